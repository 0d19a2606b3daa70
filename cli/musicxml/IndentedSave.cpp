#include "cli/musicxml/IndentedSave.h"

#include <algorithm>
#include <cstring>

namespace beatclone::cli {
namespace {

constexpr char kLevel = '\x01';

// Passes the text on, turning each run of level marks into at most kMaxIndentLevels levels of
// spaces. pugixml writes the marks only as indentation, after a line break.
class CappedIndent : public pugi::xml_writer {
public:
    explicit CappedIndent(pugi::xml_writer& out) : out_(out) { std::memset(spaces_, ' ', sizeof spaces_); }

    void write(const void* data, size_t size) override {
        const char* s = static_cast<const char*>(data);
        const char* end = s + size;
        while (s < end) {
            const char* mark = static_cast<const char*>(std::memchr(s, kLevel, static_cast<size_t>(end - s)));
            if (mark == nullptr) mark = end;
            if (mark > s) {
                out_.write(s, static_cast<size_t>(mark - s));
                levels_ = 0;
            }
            const char* after = mark;
            while (after < end && *after == kLevel) ++after;
            const size_t marks = static_cast<size_t>(after - mark);
            const size_t room = kMaxIndentLevels - std::min<size_t>(levels_, kMaxIndentLevels);
            if (size_t levels = std::min(marks, room); levels > 0) out_.write(spaces_, 2 * levels);
            levels_ += marks;
            s = after;
        }
    }

private:
    pugi::xml_writer& out_;
    size_t levels_ = 0; // level marks in the current run, which may span calls
    char spaces_[2 * kMaxIndentLevels];
};

} // namespace

void SaveIndented(const pugi::xml_document& document, pugi::xml_writer& out) {
    CappedIndent writer(out);
    const char indent[] = {kLevel, '\0'};
    document.save(writer, indent, pugi::format_indent, pugi::encoding_utf8);
}

} // namespace beatclone::cli
