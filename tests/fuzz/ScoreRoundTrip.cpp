#include "tests/fuzz/ScoreRoundTrip.h"

#include "cli/CliError.h"
#include "cli/command/TransferRun.h"
#include "cli/musicxml/IndentedSave.h"
#include "cli/musicxml/ScoreReader.h"
#include "cli/musicxml/XmlInputCheck.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace scorefuzz {
namespace {

using namespace beatclone::cli;

[[noreturn]] void Broken(const char* what) {
    std::fprintf(stderr, "score fuzz: %s\n", what);
    std::abort();
}

// What the writer may add to what it carries through: a line break and at most 16 levels of
// indentation per node (an empty element of 4 bytes comes out as 38), escapes for characters
// a reader took raw.
size_t MostWritten(size_t read) { return 10 * read + 4096; }

// As the tool saves it: always UTF-8, and declared so.
std::string Serialized(const ScoreFile& file) {
    pugi::xml_node decl = file.document.first_child();
    if (decl.type() == pugi::node_declaration && decl.attribute("encoding"))
        decl.attribute("encoding").set_value("UTF-8");
    return SerializeScore(file.document);
}

// The text must read back, and write out again unchanged.
void CheckReadsBack(const std::string& text) {
    ScoreFile again;
    try {
        ParseScoreText("written", text.data(), text.size(), again);
    } catch (const CliError&) {
        Broken("the written score does not read back");
    }
    if (Serialized(again) != text) Broken("the written score does not write out the same");
}

std::string Range(const Part& part, size_t first, size_t count) {
    size_t last = std::min(part.measures.size() - 1, first + count - 1);
    return part.measures[first].number + "-" + part.measures[last].number;
}

void Transfer(MusicXmlScore& score, const uint8_t* header) {
    const std::vector<Part>& parts = score.score.parts;
    const Part& from = parts[header[0] % parts.size()];
    const Part& to = parts[header[3] % parts.size()];
    size_t count = 1 + header[2] % 4;
    int staff = 1 + (header[2] >> 2) % from.staffCount;
    std::string source =
        from.id + "/" + std::to_string(staff) + ":" + Range(from, header[1] % from.measures.size(), count);
    std::string destination = to.id + ":" + Range(to, header[4] % to.measures.size(), count);
    RunTransfer(score, {source, destination, "", false});
}

// SCORE_FUZZ_VERBOSE=1 shows each refusal, to see what a seed reaches.
void Refused(const CliError& e) {
    static const bool verbose = std::getenv("SCORE_FUZZ_VERBOSE") != nullptr;
    if (verbose) std::fprintf(stderr, "refused: %s\n", e.what());
}

} // namespace

void RunScore(const uint8_t* data, size_t size) {
    if (size < kHeaderBytes) return;
    const char* text = reinterpret_cast<const char*>(data + kHeaderBytes);
    const size_t textSize = size - kHeaderBytes;
    MusicXmlScore score;
    score.score.path = "fuzz";
    try {
        ParseScoreText(score.score.path, text, textSize, score.file);
    } catch (const CliError& e) {
        Refused(e);
        return;
    }
    // The depth the reader found, counted off the text or walked, is never below the tree's.
    if (DeepestNesting(score.file.document, kMaxXmlDepth + 1) > score.file.depth) Broken("the depth was undercounted");
    const std::string written = Serialized(score.file);
    if (written.size() > MostWritten(textSize)) Broken("the written score is out of proportion to the one read");
    CheckReadsBack(written);
    try {
        BuildScoreOutline(score);
        DetailMeasures(score, 0, score.score.MeasureCount() - 1);
        Transfer(score, data);
    } catch (const CliError& e) {
        Refused(e);
        return;
    }
    CheckReadsBack(Serialized(score.file));
}

} // namespace scorefuzz
