#include "CliTestSupport.h"

#include "cli/musicxml/ScoreReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace beatclone::cli::test {
namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() /
            ("beatclone-cli-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::vector<std::string> ScratchDir::Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

fs::path CorpusDir() { return fs::path(BEATCLONE_CORPUS_DIR); }

std::vector<fs::path> CorpusScores() {
    std::vector<fs::path> scores;
    std::error_code error;
    for (const auto& e : fs::directory_iterator(CorpusDir(), error)) {
        std::string ext = e.path().extension().string();
        if (e.is_regular_file() && (ext == ".xml" || ext == ".musicxml" || ext == ".mxl")) scores.push_back(e.path());
    }
    std::sort(scores.begin(), scores.end());
    return scores;
}

namespace {

std::string Slurp(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    return text;
}

// Runs a program with its output captured through files (no pipes to dead-lock on), its
// standard input from `input` when given.
RunResult Run(const std::vector<std::string>& argv, const std::string* input = nullptr) {
    char outName[] = "/tmp/beatclone-cli-out-XXXXXX";
    char errName[] = "/tmp/beatclone-cli-err-XXXXXX";
    char inName[] = "/tmp/beatclone-cli-in-XXXXXX";
    int outFd = ::mkstemp(outName), errFd = ::mkstemp(errName), inFd = -1;
    if (input != nullptr) {
        inFd = ::mkstemp(inName);
        EXPECT_EQ(::write(inFd, input->data(), input->size()), static_cast<ssize_t>(input->size()));
        ::lseek(inFd, 0, SEEK_SET);
        ::unlink(inName);
    }
    RunResult result;
    pid_t pid = ::fork();
    if (pid == 0) {
        if (inFd >= 0) ::dup2(inFd, 0);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ::lseek(outFd, 0, SEEK_SET);
    ::lseek(errFd, 0, SEEK_SET);
    result.out = Slurp(outFd);
    result.err = Slurp(errFd);
    ::close(outFd);
    ::close(errFd);
    if (inFd >= 0) ::close(inFd);
    ::unlink(outName);
    ::unlink(errName);
    return result;
}

} // namespace

std::string SchemaProblems(const fs::path& file) {
    fs::path schema = CorpusDir() / "schema" / "musicxml.xsd";
    RunResult r = Run({BEATCLONE_XMLLINT, "--nonet", "--noout", "--schema", schema.string(), file.string()});
    return r.exitCode == 0 ? std::string() : r.err + r.out;
}

std::string JsonSchemaProblems(const std::string& json) {
    char name[] = "/tmp/beatclone-cli-json-XXXXXX";
    int fd = ::mkstemp(name);
    EXPECT_EQ(::write(fd, json.data(), json.size()), static_cast<ssize_t>(json.size()));
    ::close(fd);
    static const char kCheck[] =
        "import json, sys, jsonschema\n"
        "jsonschema.validate(json.load(open(sys.argv[2])), json.load(open(sys.argv[1])))\n";
    RunResult r = Run({BEATCLONE_PYTHON, "-c", kCheck, BEATCLONE_REPORT_SCHEMA, name});
    ::unlink(name);
    return r.exitCode == 0 ? std::string() : r.err + r.out;
}

std::unique_ptr<MusicXmlScore> SavedAndReadBack(const MusicXmlScore& score, const fs::path& out) {
    SaveScoreFile(score.file, out.string(), ScoreFormat::Uncompressed);
    EXPECT_EQ(SchemaProblems(out), "") << out;
    auto written = std::make_unique<MusicXmlScore>();
    ReadScore(out.string(), *written);
    return written;
}

RunResult RunTool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{BEATCLONE_CLI_EXECUTABLE};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv);
}

RunResult RunTool(const std::vector<std::string>& args, const std::string& input) {
    std::vector<std::string> argv{BEATCLONE_CLI_EXECUTABLE};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv, &input);
}

RunResult RunShell(const std::string& command) { return Run({"/bin/sh", "-c", command}); }

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary);
    out << text;
}

} // namespace beatclone::cli::test
