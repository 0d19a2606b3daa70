#include "cli/CliError.h"
#include "cli/ScoreReader.h"

#include <iostream>

using namespace beatclone::cli;

int main(int argc, char** argv) {
    if (argc != 4 || std::string(argv[2]) != "-o") {
        std::cerr << "usage: beatclone SCORE -o OUT\n";
        return static_cast<int>(ExitCode::Usage);
    }
    try {
        Score score;
        ReadScore(argv[1], score);
        SaveScoreFile(score.file, argv[3], FormatForPath(argv[3], score.file.format));
    } catch (const CliError& e) {
        std::cerr << "beatclone: " << e.what() << "\n";
        return static_cast<int>(e.Code());
    }
    return 0;
}
