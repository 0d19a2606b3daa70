// A score file on disk: plain MusicXML or compressed .mxl, parsed into a DOM that keeps
// everything the tool does not touch (comments, processing instructions, the doctype), and
// written back through a temporary file so that a failure never leaves half a file behind.
#pragma once

#include "cli/musicxml/MxlArchive.h"

#include <pugixml.hpp>

#include <string>
#include <vector>

namespace beatclone::cli {

enum class ScoreFormat { Uncompressed, Compressed };

struct ScoreFile {
    pugi::xml_document document;
    ScoreFormat format = ScoreFormat::Uncompressed;
    // For a compressed input: where the score sat in the archive, and the other members,
    // which are written back unchanged.
    std::string rootPath = "score.musicxml";
    std::vector<ArchiveMember> otherMembers;
    // How deep the document read nests (DeepestNesting), or more where that is saved alike; 0:
    // not known, to be found on saving.
    size_t depth = 0;
};

// The parse and save options: everything in the file is kept.
inline constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_declaration | pugi::parse_doctype | pugi::parse_comments | pugi::parse_pi;

// The format an output path asks for by its extension, else `fallback`.
ScoreFormat FormatForPath(const std::string& path, ScoreFormat fallback);

// Reads and parses a score file. The format is taken from the content, not the name.
// Throws CliError(BadInput) naming the file and the problem.
void LoadScoreFile(const std::string& path, ScoreFile& out);

// Parses MusicXML text already in memory; `name` is used in messages.
void ParseScoreText(const std::string& name, const char* data, size_t size, ScoreFile& out);

// The document as UTF-8 MusicXML text.
std::string SerializeScore(const pugi::xml_document& document);
std::string SerializeScore(const ScoreFile& score);

// Writes the score to `path` in `format` as OutputFile.h tells; "-" is standard output.
// Throws CliError(OutputFailed).
void SaveScoreFile(const ScoreFile& score, const std::string& path, ScoreFormat format);

} // namespace beatclone::cli
