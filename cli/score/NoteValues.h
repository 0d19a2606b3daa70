// Note values: MusicXML's note-type names and dots against the host's EDU durations
// (a quarter note is 1024 EDUs).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace beatclone::cli {

// EDUs of an undotted note type ("quarter" = 1024), or 0 for a name MusicXML does not have.
uint32_t TypeValue(std::string_view typeName);

// EDUs of a note type with `dots` augmentation dots, or 0 when the name is unknown or the
// dots go below the smallest value.
uint32_t DottedValue(std::string_view typeName, int dots);

struct TypeAndDots {
    const char* type;
    int dots;
};
// The type and dots that notate `edus` exactly, if any (1536 = quarter with one dot).
std::optional<TypeAndDots> NotateValue(uint32_t edus);

// A short name for reports: "q", "e.", "h..", "s" and so on; the EDU count when no type fits.
std::string ShortValueName(uint32_t edus);

} // namespace beatclone::cli
