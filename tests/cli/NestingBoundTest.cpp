// The nesting bound counted off the text stands in for a walk over the tree: it is never
// below the depth the tree has, and it is given up wherever markup could mislead the count.
#include "CliTestSupport.h"

#include "cli/musicxml/IndentedSave.h"
#include "cli/musicxml/NestingBound.h"
#include "cli/musicxml/ScoreFile.h"

#include <gtest/gtest.h>

namespace beatclone::cli::test {
namespace {

std::optional<size_t> BoundOf(const std::string& text, size_t piece, bool wide = true) {
    NestingBound nesting(wide);
    for (size_t got = std::min(piece, text.size()); got < text.size(); got = std::min(got + piece, text.size()))
        nesting.Scan(text.data(), got, false);
    nesting.Scan(text.data(), text.size(), true);
    return nesting.Bound();
}

size_t TreeDepth(const std::string& text) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_buffer(text.data(), text.size(), kParseOptions)) << text;
    return DeepestNesting(document, 1000);
}

TEST(NestingBound, NeverBelowTheTreeAndGivenUpWhereMarkupMisleads) {
    struct Case {
        std::string markup;
        bool sure;
    };
    const Case cases[] = {
        {"<a><b/><c k=\"v\" l='w'>x</c><d\n/></a>", true},
        // A declaration's "/>" closes nothing; comments and instructions count for nothing.
        {"<?xml version=\"1.0\"?><!DOCTYPE a/><a><b><!-- c/ --><?pi /?><c/></b></a>", true},
        {"<a><!-- <b> --><c><d/></c></a>", false},
        {"<a k=\"x/>\"><b><c/></b></a>", false},
        {"<a>x &gt; y/ z<b><c/></b></a>", true},
        {"<a>x > y/> z<b><c/></b></a>", false},
        {"<a><![CDATA[</a><a/>]]><b><c/></b></a>", false},
    };
    for (const Case& c : cases)
        for (size_t shift = 0; shift <= 64; shift += 7) {
            // Cut across 64-byte blocks and across reads at every place.
            const std::string text = std::string(shift, ' ') + c.markup + std::string(70, '\n');
            const size_t depth = TreeDepth(text);
            for (size_t piece = 1; piece <= text.size(); piece += 5) {
                const std::optional<size_t> bound = BoundOf(text, piece);
                ASSERT_EQ(bound.has_value(), c.sure) << c.markup << " piece " << piece;
                if (bound) {
                    EXPECT_GE(*bound + 1, depth) << c.markup;
                }
                EXPECT_EQ(BoundOf(text, piece, false), bound) << "portable blocks: " << c.markup;
            }
        }
}

TEST(NestingBound, SparesTheWalkOnEveryCorpusScore) {
    for (const std::filesystem::path& path : CorpusScores()) {
        const std::string text = ReadText(path);
        if (text.rfind("PK", 0) == 0) continue; // compressed
        const std::optional<size_t> bound = BoundOf(text, size_t{1} << 16);
        if (path.filename() == "lilysuite-32a-Notations.xml") { // a comment quotes a tag
            EXPECT_FALSE(bound);
            continue;
        }
        ASSERT_TRUE(bound) << path;
        EXPECT_EQ(BoundOf(text, 1000, false), bound) << path;
        EXPECT_GE(*bound + 1, TreeDepth(text)) << path;
        EXPECT_LE(*bound, static_cast<size_t>(kMaxIndentLevels)) << path;
    }
}

// A file of many pieces, in a buffer large enough for a mapping of its own: read as the same
// text whole.
TEST(NestingBound, ALargeScoreFileIsReadAsItsWholeText) {
    std::string text = ReadText(std::filesystem::path(BEATCLONE_EXAMPLES_DIR) / "brass.musicxml");
    const size_t root = text.find("<score-partwise");
    ASSERT_NE(root, std::string::npos);
    text.insert(root, "<!--" + std::string(size_t{6} << 20, 'x') + "-->\n");
    ScratchDir dir;
    WriteText(dir / "large.musicxml", text);
    ScoreFile fromFile, fromText;
    LoadScoreFile((dir / "large.musicxml").string(), fromFile);
    ParseScoreText("large.musicxml", text.data(), text.size(), fromText);
    EXPECT_EQ(fromFile.depth, fromText.depth);
    EXPECT_LE(fromFile.depth, static_cast<size_t>(kMaxIndentLevels) + 1);
    EXPECT_EQ(SerializeScore(fromFile.document), SerializeScore(fromText.document));
}

} // namespace
} // namespace beatclone::cli::test
