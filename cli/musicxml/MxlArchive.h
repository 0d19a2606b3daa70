// Compressed MusicXML (.mxl): a zip archive whose META-INF/container.xml names the score file.
// Only the container and the score are unpacked, each up to a limit; every other member is
// carried over to the archive written as it was stored, without being unpacked at all.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct zip;

namespace beatclone::cli {

// The most the container and the score may unpack to. A real score is a few MiB of text; a
// large one tens of MiB.
inline constexpr uint64_t kMaxContainerBytes = uint64_t{1} << 20;
inline constexpr uint64_t kMaxUnpackedScoreBytes = uint64_t{256} << 20;

// A member of the archive read, copied as it is stored: the archive stays open for it.
struct ArchiveMember {
    std::string name;
    std::shared_ptr<zip> archive;
    uint64_t index = 0;
};

struct MxlContents {
    std::string rootPath;              // the score's path inside the archive
    std::string rootBytes;             // the score itself
    std::vector<ArchiveMember> others; // everything else but the container and mimetype
};

// Throws CliError(BadInput) naming the problem when the archive cannot be read, or when the
// container or the score would unpack past its limit.
MxlContents ReadMxlArchive(const std::string& path);

// Writes a fresh archive at `path` (which must not be the final name: callers rename it into
// place). Throws CliError(OutputFailed).
void WriteMxlArchive(const std::string& path, const MxlContents& contents);

} // namespace beatclone::cli
