#include "cli/musicxml/MxlArchive.h"

#include "cli/CliError.h"

#include <pugixml.hpp>
#include <zip.h>

#include <memory>
#include <sstream>

namespace beatclone::cli {
namespace {

constexpr const char* kContainerPath = "META-INF/container.xml";
constexpr const char* kMimeType = "application/vnd.recordare.musicxml";

std::shared_ptr<zip_t> Shared(zip_t* archive) {
    return std::shared_ptr<zip_t>(archive, [](zip_t* z) {
        if (z != nullptr) zip_discard(z);
    });
}

[[noreturn]] void Bad(const std::string& path, const std::string& why) {
    throw CliError(ExitCode::BadInput, path + ": not a readable compressed MusicXML file: " + why);
}

std::string MiB(uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

// Unpacks one member, refusing it when it says it is larger than `limit` and checking that it
// holds exactly what it says (libzip checks the CRC at the end).
std::string ReadMember(zip_t* zip, zip_uint64_t index, uint64_t limit, const std::string& path) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) Bad(path, "a member cannot be read");
    const std::string member = std::string("member ") + (st.name ? st.name : "?");
    if (st.size > limit)
        Bad(path, member + " unpacks to more than " + MiB(limit) +
                      ", the most read from an archive; unzip it and pass its .musicxml file instead");
    zip_file_t* file = zip_fopen_index(zip, index, 0);
    if (file == nullptr) Bad(path, member + " cannot be opened");
    std::string bytes(static_cast<size_t>(st.size), '\0');
    zip_int64_t got = bytes.empty() ? 0 : zip_fread(file, bytes.data(), st.size);
    char extra;
    zip_int64_t more = got < 0 ? 0 : zip_fread(file, &extra, 1);
    zip_fclose(file);
    if (got < 0 || more != 0 || static_cast<zip_uint64_t>(got) != st.size) Bad(path, member + " is damaged");
    return bytes;
}

} // namespace

MxlContents ReadMxlArchive(const std::string& path) {
    int error = 0;
    std::shared_ptr<zip_t> zip = Shared(zip_open(path.c_str(), ZIP_RDONLY, &error));
    if (!zip) {
        zip_error_t ze;
        zip_error_init_with_code(&ze, error);
        std::string why = zip_error_strerror(&ze);
        zip_error_fini(&ze);
        Bad(path, why);
    }
    zip_int64_t containerIndex = zip_name_locate(zip.get(), kContainerPath, 0);
    if (containerIndex < 0) Bad(path, "it has no META-INF/container.xml");
    std::string container = ReadMember(zip.get(), static_cast<zip_uint64_t>(containerIndex), kMaxContainerBytes, path);

    pugi::xml_document doc;
    if (!doc.load_buffer(container.data(), container.size())) Bad(path, "its META-INF/container.xml is not XML");
    // The first rootfile is the score; later ones may be other renderings of it.
    pugi::xml_node rootfile = doc.child("container").child("rootfiles").child("rootfile");
    std::string rootPath = rootfile.attribute("full-path").as_string();
    if (rootPath.empty()) Bad(path, "its container.xml names no score");

    MxlContents out;
    out.rootPath = rootPath;
    zip_int64_t rootIndex = zip_name_locate(zip.get(), rootPath.c_str(), 0);
    if (rootIndex < 0) Bad(path, "the score " + rootPath + " named by its container.xml is missing");
    zip_int64_t count = zip_get_num_entries(zip.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(zip.get(), static_cast<zip_uint64_t>(i), 0);
        if (name == nullptr) Bad(path, "a member has no name");
        std::string memberName = name;
        if (i == rootIndex) {
            out.rootBytes = ReadMember(zip.get(), static_cast<zip_uint64_t>(i), kMaxUnpackedScoreBytes, path);
        } else if (memberName != "mimetype" && memberName != kContainerPath && !memberName.empty() &&
                   memberName.back() != '/') {
            out.others.push_back({memberName, zip, static_cast<uint64_t>(i)});
        }
    }
    return out;
}

namespace {

struct WriteArchive {
    zip_t* zip = nullptr;
    ~WriteArchive() {
        if (zip != nullptr) zip_discard(zip);
    }
};

void AddMember(zip_t* zip, const std::string& name, const std::string& bytes, bool store, const std::string& path) {
    zip_source_t* source = zip_source_buffer(zip, bytes.data(), bytes.size(), 0);
    if (source == nullptr) throw CliError(ExitCode::OutputFailed, path + ": cannot add " + name);
    zip_int64_t index = zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (index < 0) {
        zip_source_free(source);
        throw CliError(ExitCode::OutputFailed, path + ": cannot add " + name + ": " + zip_strerror(zip));
    }
    if (store) zip_set_file_compression(zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
}

// Copies a member of the archive read as it is stored, still compressed.
void CopyMember(zip_t* zip, const ArchiveMember& member, const std::string& path) {
    zip_source_t* source = zip_source_zip(zip, member.archive.get(), member.index, 0, 0, -1);
    if (source == nullptr)
        throw CliError(ExitCode::OutputFailed, path + ": cannot copy " + member.name + ": " + zip_strerror(zip));
    if (zip_file_add(zip, member.name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
        zip_source_free(source);
        throw CliError(ExitCode::OutputFailed, path + ": cannot copy " + member.name + ": " + zip_strerror(zip));
    }
}

} // namespace

void WriteMxlArchive(const std::string& path, const MxlContents& contents) {
    int error = 0;
    WriteArchive archive;
    archive.zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive.zip == nullptr) throw CliError(ExitCode::OutputFailed, path + ": cannot create the archive");

    const std::string mime = kMimeType;
    pugi::xml_document containerDoc;
    pugi::xml_node decl = containerDoc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    pugi::xml_node rootfile = containerDoc.append_child("container").append_child("rootfiles").append_child("rootfile");
    rootfile.append_attribute("full-path") = contents.rootPath.c_str();
    rootfile.append_attribute("media-type") = "application/vnd.recordare.musicxml+xml";
    std::ostringstream containerText;
    containerDoc.save(containerText, "  ");
    const std::string container = containerText.str();
    // The mimetype member comes first and uncompressed, so that tools can sniff the type.
    AddMember(archive.zip, "mimetype", mime, true, path);
    AddMember(archive.zip, kContainerPath, container, false, path);
    AddMember(archive.zip, contents.rootPath, contents.rootBytes, false, path);
    for (const ArchiveMember& m : contents.others) CopyMember(archive.zip, m, path);

    if (zip_close(archive.zip) != 0) {
        std::string why = zip_strerror(archive.zip);
        throw CliError(ExitCode::OutputFailed, path + ": cannot write the archive: " + why);
    }
    archive.zip = nullptr;
}

} // namespace beatclone::cli
