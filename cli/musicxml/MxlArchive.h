// Compressed MusicXML (.mxl): a zip archive whose META-INF/container.xml names the score file.
#pragma once

#include <string>
#include <vector>

namespace beatclone::cli {

struct ArchiveMember {
    std::string name;
    std::string bytes;
};

struct MxlContents {
    std::string rootPath;              // the score's path inside the archive
    std::string rootBytes;             // the score itself
    std::vector<ArchiveMember> others; // everything else but the container and mimetype
};

// Throws CliError(BadInput) naming the problem when the archive cannot be read.
MxlContents ReadMxlArchive(const std::string& path);

// Writes a fresh archive at `path` (which must not be the final name: callers rename it into
// place). Throws CliError(OutputFailed).
void WriteMxlArchive(const std::string& path, const MxlContents& contents);

} // namespace beatclone::cli
