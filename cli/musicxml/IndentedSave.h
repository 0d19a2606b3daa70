// Saving a document the way pugixml indents it, two spaces a level, but never more than
// kMaxIndentLevels levels: deeper content is written at that indentation. However deep a
// score nests, what is written then stays within a small multiple of what was read.
#pragma once

#include <pugixml.hpp>

#include <cstddef>

namespace beatclone::cli {

// Well past the depth of any MusicXML element, so real scores come out indented throughout.
inline constexpr int kMaxIndentLevels = 16;

// Writes `document` as UTF-8 to `out`. The document must hold no U+0001 (XML allows none, and
// the reader refuses it), which stands for one level of indentation on the way out.
void SaveIndented(const pugi::xml_document& document, pugi::xml_writer& out);

// The same, given how deep the document nests (DeepestNesting), which spares a walk over it.
void SaveIndented(const pugi::xml_document& document, pugi::xml_writer& out, size_t deepest);

// How deep the document's nodes nest, the root element being 1 (text inside an element counts
// one deeper); the walk stops at the first element deeper than `limit`, which `at` then holds.
size_t DeepestNesting(const pugi::xml_document& document, size_t limit, pugi::xml_node* at = nullptr);

} // namespace beatclone::cli
