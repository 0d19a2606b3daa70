#include "tests/support/TestScore.h"

#include "simhost/SimFormat.h"

#include <cstring>
#include <sstream>
#include <stdexcept>

namespace testscore {
namespace {

using simhost::Pitch;

const char kSteps[] = "CDEFGAB";

uint32_t BaseDuration(char c) {
    switch (c) {
        case 'w':
            return 4096;
        case 'h':
            return 2048;
        case 'q':
            return 1024;
        case 'e':
            return 512;
        case 's':
            return 256;
        case 't':
            return 128;
    }
    throw std::invalid_argument(std::string("unknown duration ") + c);
}

std::string DurationText(uint32_t duration) {
    for (char c : std::string("whqest")) {
        uint32_t base = BaseDuration(c);
        uint32_t total = base;
        std::string dots;
        for (int d = 0; d <= 3; ++d) {
            if (total == duration) return std::string(1, c) + dots;
            base /= 2;
            total += base;
            dots += '.';
        }
    }
    return std::to_string(duration);
}

Pitch ParsePitch(const std::string& text, size_t& at) {
    const char* step = std::strchr(kSteps, text.at(at));
    if (step == nullptr || *step == 0) throw std::invalid_argument("bad pitch in " + text);
    Pitch p{static_cast<uint8_t>(step - kSteps), 0, 0, 0};
    ++at;
    while (at < text.size() && (text[at] == '#' || text[at] == 'b')) {
        p.alter = static_cast<int8_t>(p.alter + (text[at] == '#' ? 1 : -1));
        ++at;
    }
    bool negative = at < text.size() && text[at] == '-';
    if (negative) ++at;
    int octave = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') octave = octave * 10 + (text[at++] - '0');
    p.octave = static_cast<int8_t>(negative ? -octave : octave);
    return p;
}

std::string PitchText(Pitch p) {
    std::string s(1, p.step < 7 ? kSteps[p.step] : '?');
    for (int a = 0; a < p.alter; ++a) s += '#';
    for (int a = 0; a > p.alter; --a) s += 'b';
    return s + std::to_string(p.octave);
}

struct ParsedEntry {
    EntryRecord record{};
    std::vector<uint16_t> articulations;
    bool tuplet = false;
    simhost::TupletDefinition definition{};
};

ParsedEntry ParseEntry(const std::string& token) {
    ParsedEntry parsed;
    size_t at = 0;
    // Tuplet prefix "3/2".
    const size_t slash = token.find('/');
    const size_t colon = token.find(':');
    if (colon == std::string::npos) throw std::invalid_argument("no ':' in " + token);
    if (slash != std::string::npos && slash < colon) {
        parsed.tuplet = true;
        parsed.definition.actual = static_cast<uint16_t>(std::stoi(token.substr(0, slash)));
        at = slash + 1;
        size_t digits = at;
        while (token[digits] >= '0' && token[digits] <= '9') ++digits;
        parsed.definition.normal = static_cast<uint16_t>(std::stoi(token.substr(at, digits - at)));
        at = digits;
        parsed.definition.showNumber = 1;
        parsed.definition.bracket = 1;
    }
    uint32_t base = BaseDuration(token.at(at++));
    uint32_t duration = base;
    while (token.at(at) == '.') {
        base /= 2;
        duration += base;
        ++at;
    }
    if (parsed.tuplet) parsed.definition.unit = duration;
    EntryRecord& e = parsed.record;
    simhost::SetDuration(e, duration);
    ++at; // ':'
    if (token.compare(at, 1, "r") == 0) {
        ++at;
    } else {
        e.entryFlags = NoteEntryFlag;
        while (true) {
            NoteRecord& note = e.notes[e.noteCount];
            simhost::SetPitch(note, ParsePitch(token, at));
            note.noteId = static_cast<int16_t>(e.noteCount + 1);
            if (at < token.size() && token[at] == '~') {
                note.noteFlags |= TieForwardFlag;
                ++at;
            }
            ++e.noteCount;
            if (at < token.size() && token[at] == '+') {
                ++at;
                continue;
            }
            break;
        }
    }
    while (at < token.size() && token[at] == '!') {
        ++at;
        size_t digits = at;
        while (digits < token.size() && token[digits] >= '0' && token[digits] <= '9') ++digits;
        parsed.articulations.push_back(static_cast<uint16_t>(std::stoi(token.substr(at, digits - at))));
        at = digits;
    }
    if (at != token.size()) throw std::invalid_argument("trailing text in " + token);
    if (!parsed.articulations.empty()) e.entryFlags |= ArticulationFlag;
    if (parsed.tuplet) e.entryFlags |= TupletFlag;
    return parsed;
}

} // namespace

void WriteLayer(simhost::Document& document, int16_t instrument, int16_t layer, int16_t firstMeasure,
                const std::string& text) {
    std::istringstream words(text);
    std::string token;
    std::vector<std::vector<ParsedEntry>> measures(1);
    while (words >> token) {
        if (token == "|") {
            measures.emplace_back();
            continue;
        }
        measures.back().push_back(ParseEntry(token));
    }
    for (size_t m = 0; m < measures.size(); ++m) {
        const int16_t measure = static_cast<int16_t>(firstMeasure + static_cast<int>(m));
        std::vector<EntryRecord> records;
        for (const ParsedEntry& p : measures[m]) records.push_back(p.record);
        document.SetEntries(instrument, measure, layer, records);
        const std::vector<EntryRecord>& stored = document.Entries(instrument, measure, layer);
        for (size_t i = 0; i < measures[m].size() && i < stored.size(); ++i) {
            const ParsedEntry& p = measures[m][i];
            const uint32_t number = stored[i].entryNumber;
            for (size_t a = 0; a < p.articulations.size(); ++a) {
                simhost::ArticulationRecord art{};
                art.articulationId = p.articulations[a];
                document.PutEData(simhost::kArticulationTag, number, static_cast<uint16_t>(a), &art, sizeof art);
            }
            if (p.tuplet) {
                document.PutEData(simhost::kTupletTag, number, 0, &p.definition, sizeof p.definition);
            }
        }
    }
}

std::string ReadLayer(const simhost::Document& document, int16_t instrument, int16_t layer, int16_t first,
                      int16_t last) {
    std::string out;
    for (int32_t m = first; m <= last; ++m) {
        if (m != first) out += " |";
        for (const EntryRecord& e : document.Entries(instrument, static_cast<int16_t>(m), layer)) {
            out += ' ';
            if (const auto* t = document.FindEData(simhost::kTupletTag, e.entryNumber, 0);
                t != nullptr && t->size() >= 4 && (e.entryFlags & TupletFlag) != 0) {
                simhost::TupletDefinition d{};
                std::memcpy(&d, t->data(), std::min(t->size(), sizeof d));
                out += std::to_string(d.actual) + "/" + std::to_string(d.normal);
            }
            out += DurationText(simhost::GetDuration(e)) + ":";
            if ((e.entryFlags & NoteEntryFlag) == 0) {
                out += "r";
            } else {
                for (int k = 0; k < NoteCountOf(e); ++k) {
                    if (k > 0) out += '+';
                    out += PitchText(simhost::GetPitch(e.notes[k]));
                    if ((e.notes[k].noteFlags & TieForwardFlag) != 0) out += '~';
                }
            }
            if ((e.entryFlags & ArticulationFlag) != 0) {
                for (uint16_t s = 0;; ++s) {
                    const auto* a = document.FindEData(simhost::kArticulationTag, e.entryNumber, s);
                    if (a == nullptr || a->size() < 2) break;
                    uint16_t id;
                    std::memcpy(&id, a->data(), 2);
                    out += "!" + std::to_string(id);
                }
            }
        }
    }
    return out.empty() ? out : out.substr(out[0] == ' ' ? 1 : 0);
}

std::string LayerBytes(const simhost::Document& document, int16_t instrument, int16_t layer, int16_t first,
                       int16_t last) {
    std::string bytes;
    for (int32_t m = first; m <= last; ++m) {
        bytes += "|";
        for (const EntryRecord& e : document.Entries(instrument, static_cast<int16_t>(m), layer)) {
            bytes.append(reinterpret_cast<const char*>(&e), sizeof e);
            for (const auto& [address, record] : document.EData()) {
                if (address.number != e.entryNumber) continue;
                bytes += std::to_string(address.tag) + "/" + std::to_string(address.sequence) + ":";
                bytes.append(reinterpret_cast<const char*>(record.data()), record.size());
            }
        }
    }
    return bytes;
}

} // namespace testscore
