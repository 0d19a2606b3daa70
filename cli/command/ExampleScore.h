// The built-in example: a short brass-section score (cli/examples/brass.musicxml).
#pragma once

namespace beatclone::cli {

const char* ExampleScoreText();

} // namespace beatclone::cli
