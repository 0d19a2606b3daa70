#include "cli/score/NoteValues.h"

#include <array>

namespace beatclone::cli {
namespace {

struct NoteType {
    const char* name;
    const char* shortName;
    uint32_t edus;
};

// Longest first, so that the first match is the plainest notation.
constexpr std::array<NoteType, 14> kTypes = {{
    {"maxima", "8w", 32768},
    {"long", "4w", 16384},
    {"breve", "2w", 8192},
    {"whole", "w", 4096},
    {"half", "h", 2048},
    {"quarter", "q", 1024},
    {"eighth", "e", 512},
    {"16th", "s", 256},
    {"32nd", "t", 128},
    {"64th", "x", 64},
    {"128th", "128", 32},
    {"256th", "256", 16},
    {"512th", "512", 8},
    {"1024th", "1024", 4},
}};

constexpr int kMaxDots = 4;

// b + b/2 + b/4 + ... with `dots` halvings; 0 when a halving is not whole.
uint32_t WithDots(uint32_t base, int dots) {
    uint32_t total = base, part = base;
    for (int i = 0; i < dots; ++i) {
        if (part % 2 != 0) return 0;
        part /= 2;
        total += part;
    }
    return total;
}

} // namespace

uint32_t TypeValue(std::string_view typeName) {
    for (const NoteType& t : kTypes)
        if (typeName == std::string_view(t.name)) return t.edus;
    return 0;
}

uint32_t DottedValue(std::string_view typeName, int dots) {
    if (dots < 0 || dots > kMaxDots) return 0;
    return WithDots(TypeValue(typeName), dots);
}

std::optional<TypeAndDots> NotateValue(uint32_t edus) {
    for (int dots = 0; dots <= kMaxDots; ++dots)
        for (const NoteType& t : kTypes)
            if (uint32_t v = WithDots(t.edus, dots); v != 0 && v == edus) return TypeAndDots{t.name, dots};
    return std::nullopt;
}

std::string ShortValueName(uint32_t edus) {
    for (int dots = 0; dots <= kMaxDots; ++dots)
        for (const NoteType& t : kTypes)
            if (uint32_t v = WithDots(t.edus, dots); v != 0 && v == edus)
                return std::string(t.shortName) + std::string(static_cast<size_t>(dots), '.');
    return std::to_string(edus) + "edu";
}

} // namespace beatclone::cli
