// Helpers shared by the command-line tool's tests: scratch folders, the corpus, schema checks
// and running the executable.
#pragma once

#include "cli/musicxml/MusicXmlScore.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace beatclone::cli::test {

// A fresh empty folder, removed when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Names of the files in it, sorted.
    std::vector<std::string> Files() const;

private:
    std::filesystem::path path_;
};

std::filesystem::path CorpusDir();
// Every score of the corpus, sorted by name.
std::vector<std::filesystem::path> CorpusScores();

// Empty when the file validates against the MusicXML schema, else xmllint's complaint.
std::string SchemaProblems(const std::filesystem::path& file);

// Empty when the JSON text validates against the command's report schema, else the complaint.
std::string JsonSchemaProblems(const std::string& json);

// Writes the score to `out` (uncompressed), expects it to validate, and reads it back.
std::unique_ptr<MusicXmlScore> SavedAndReadBack(const MusicXmlScore& score, const std::filesystem::path& out);

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
// Runs the beatclone executable with the arguments (no shell involved).
RunResult RunTool(const std::vector<std::string>& args);
// The same with `input` as its standard input.
RunResult RunTool(const std::vector<std::string>& args, const std::string& input);
// Runs a command through /bin/sh, as a user would type it.
RunResult RunShell(const std::string& command);

std::string ReadText(const std::filesystem::path& file);
void WriteText(const std::filesystem::path& file, const std::string& text);

} // namespace beatclone::cli::test
