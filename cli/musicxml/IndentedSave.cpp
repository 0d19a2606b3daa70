#include "cli/musicxml/IndentedSave.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace beatclone::cli {
namespace {

constexpr char kLevel = '\x01';

// Passes the text on, turning each run of level marks into at most kMaxIndentLevels levels of
// spaces. pugixml writes the marks only as indentation, after a line break. The text goes on
// in large pieces: a write per line would cost more than the saving itself.
class CappedIndent : public pugi::xml_writer {
public:
    explicit CappedIndent(pugi::xml_writer& out) : out_(out) { buffer_.reserve(kBufferBytes + 2 * kMaxIndentLevels); }

    void Flush() {
        if (!buffer_.empty()) out_.write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

    void write(const void* data, size_t size) override {
        const char* s = static_cast<const char*>(data);
        const char* end = s + size;
        while (s < end) {
            const char* mark = static_cast<const char*>(std::memchr(s, kLevel, static_cast<size_t>(end - s)));
            if (mark == nullptr) mark = end;
            if (mark > s) {
                Put(s, static_cast<size_t>(mark - s));
                levels_ = 0;
            }
            const char* after = mark;
            while (after < end && *after == kLevel) ++after;
            const size_t marks = static_cast<size_t>(after - mark);
            const size_t room = kMaxIndentLevels - std::min<size_t>(levels_, kMaxIndentLevels);
            if (size_t levels = std::min(marks, room); levels > 0) buffer_.append(2 * levels, ' ');
            levels_ += marks;
            s = after;
        }
    }

private:
    static constexpr size_t kBufferBytes = size_t{64} << 10;

    void Put(const char* s, size_t size) {
        if (buffer_.size() + size > kBufferBytes) Flush();
        if (size >= kBufferBytes)
            out_.write(s, size);
        else
            buffer_.append(s, size);
    }

    pugi::xml_writer& out_;
    std::string buffer_;
    size_t levels_ = 0; // level marks in the current run, which may span calls
};

// pugixml's own walk: one call a node, where stepping through the tree from outside the
// library costs several.
class DepthWalker : public pugi::xml_tree_walker {
public:
    explicit DepthWalker(size_t limit) : limit_(limit) {}

    bool for_each(pugi::xml_node& node) override {
        size_t depth = static_cast<size_t>(this->depth()) + 1;
        if (depth <= deepest_) return true;
        deepest_ = depth;
        if (depth <= limit_ || node.type() != pugi::node_element) return true;
        at_ = node;
        return false;
    }

    size_t deepest_ = 0;
    pugi::xml_node at_;

private:
    size_t limit_;
};

} // namespace

size_t DeepestNesting(const pugi::xml_document& document, size_t limit, pugi::xml_node* at) {
    DepthWalker walker(limit);
    pugi::xml_document& walked = const_cast<pugi::xml_document&>(document); // traverse only reads
    walked.traverse(walker);
    if (at != nullptr) *at = walker.at_;
    return walker.deepest_;
}

void SaveIndented(const pugi::xml_document& document, pugi::xml_writer& out) {
    SaveIndented(document, out, DeepestNesting(document, kMaxIndentLevels + 1));
}

void SaveIndented(const pugi::xml_document& document, pugi::xml_writer& out, size_t deepest) {
    if (deepest == 0) deepest = DeepestNesting(document, kMaxIndentLevels + 1);
    // Real scores nest far less deep than the cap (a node at depth d is indented d - 1 levels):
    // pugixml's own indenting writes them as they are.
    if (deepest <= kMaxIndentLevels + 1) {
        document.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
        return;
    }
    CappedIndent writer(out);
    const char indent[] = {kLevel, '\0'};
    document.save(writer, indent, pugi::format_indent, pugi::encoding_utf8);
    writer.Flush();
}

} // namespace beatclone::cli
