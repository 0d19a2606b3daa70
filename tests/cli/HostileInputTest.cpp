// Scores made to break the tool: values that overflow exact time arithmetic, text that is not
// UTF-8 or hides references, nesting and archives that would make memory or output run away.
// Each is refused with a message that places the problem, or read and written back safely.
#include "CliTestSupport.h"

#include "cli/CliError.h"

#include <gtest/gtest.h>

namespace beatclone::cli::test {
namespace {

// The inputs the score fuzz target keeps, which start with a 5-byte header.
std::string FuzzScore(const std::string& name) {
    std::string bytes = ReadText(std::filesystem::path(BEATCLONE_FUZZ_DIR) / "score-regressions" / name);
    return bytes.substr(5);
}

TEST(HostileInput, TimeValuesTooLargeToComputeAreRefusedAtTheirMeasure) {
    ScratchDir dir;
    for (const char* name : {"forward-gaps-overflow", "coprime-divisions-overflow", "nested-tuplets-overflow"}) {
        SCOPED_TRACE(name);
        WriteText(dir / "in.musicxml", FuzzScore(name));
        RunResult r = RunTool({(dir / "in.musicxml").string(), "--source", "P1/1:1", "--to", "P1:1", "--dry-run"});
        EXPECT_EQ(r.exitCode, static_cast<int>(ExitCode::BadInput));
        EXPECT_NE(r.err.find("part P1, measure 1: durations, divisions or tuplet ratios too large"), std::string::npos)
            << r.err;
    }
}

} // namespace
} // namespace beatclone::cli::test
