// The floor beatclone_cli_bench measures the command against: parsing a score and saving it
// with pugixml, with the command's options, and nothing else.
//
//   beatclone_pugixml_floor [--tree-arena] IN OUT
// --tree-arena gives pugixml the command's allocator, for a like-for-like floor.
#include "cli/musicxml/ScoreFile.h"
#include "cli/musicxml/TreeArena.h"

#include <pugixml.hpp>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--tree-arena") == 0) {
        beatclone::cli::TreeArena::Install();
        --argc;
        ++argv;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: beatclone_pugixml_floor [--tree-arena] IN OUT\n");
        return 2;
    }
    pugi::xml_document document;
    if (!document.load_file(argv[1], beatclone::cli::kParseOptions)) {
        std::fprintf(stderr, "%s: cannot parse\n", argv[1]);
        return 1;
    }
    return document.save_file(argv[2], "  ", pugi::format_indent, pugi::encoding_utf8) ? 0 : 1;
}
