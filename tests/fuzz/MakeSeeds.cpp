// Writes the fuzz target's seed inputs: scores of the end-to-end tests, encoded as
// HostileHost.h reads them, with an honest tape and with a few failing calls.
//   make_fuzz_seeds DIRECTORY
#include "simhost/SimFormat.h"
#include "simhost/SimHost.h"
#include "tests/support/TestScore.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Layer {
    int16_t slot, layer;
    const char* text;
};

struct Seed {
    const char* name;
    int16_t staves, measures;
    std::vector<Layer> layers;
    std::vector<uint8_t> tape;
};

class Writer {
public:
    void U8(uint32_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
    void U16(uint32_t v) {
        U8(v);
        U8(v >> 8);
    }
    void U32(uint32_t v) {
        U16(v);
        U16(v >> 16);
    }
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> Encode(const Seed& seed) {
    simhost::Document document(1);
    for (int16_t slot = 1; slot <= seed.staves; ++slot) document.AddStaff(static_cast<int16_t>(10 + slot));
    document.SetMeasureCount(seed.measures);
    for (const Layer& l : seed.layers)
        testscore::WriteLayer(document, static_cast<int16_t>(10 + l.slot), l.layer, 1, l.text);

    Writer w;
    w.U8(seed.staves - 1);
    w.U8(seed.measures - 1);
    w.U8(4);
    w.U8(0xFF);
    w.U16(0);
    w.U8(1);
    w.U8(1);
    w.U8(seed.measures);
    w.U8(0); // source: staff 1
    w.U8(1);
    w.U8(seed.staves);
    w.U8(1);
    w.U8(seed.measures); // destination: all
    Writer cells;
    int cellCount = 0;
    for (int16_t slot = 1; slot <= seed.staves; ++slot) {
        for (int16_t measure = 1; measure <= seed.measures; ++measure) {
            for (int16_t layer = 0; layer < 4; ++layer) {
                const auto& entries = document.Entries(static_cast<int16_t>(10 + slot), measure, layer);
                if (entries.empty()) continue;
                ++cellCount;
                cells.U8(slot);
                cells.U8(measure);
                cells.U8(layer);
                cells.U8(entries.size());
                std::vector<std::pair<int, int>> placements;
                for (size_t i = 0; i < entries.size(); ++i) {
                    for (uint16_t k = 0; document.FindEData(0x45035450u, entries[i].entryNumber, k); ++k)
                        placements.push_back({static_cast<int>(i), k});
                }
                cells.U8(placements.size());
                for (const EntryRecord& e : entries) {
                    cells.U32(e.entryNumber);
                    cells.U32(e.entryFlags);
                    cells.U8(simhost::GetDuration(e) >> 6);
                    cells.U8(e.noteCount);
                    for (int k = 0; k < e.noteCount; ++k) {
                        cells.U16(static_cast<uint16_t>(e.notes[k].noteId));
                        cells.U32(e.notes[k].noteFlags);
                        cells.U8(e.notes[k].hostData[0]);
                    }
                }
                for (auto [index, k] : placements) {
                    cells.U8(index);
                    cells.U8(k);
                    cells.U8(3);
                }
            }
        }
    }
    w.U8(cellCount);
    w.bytes.insert(w.bytes.end(), cells.bytes.begin(), cells.bytes.end());
    w.U8(document.EData().size());
    for (const auto& [address, bytes] : document.EData()) {
        w.U8(address.tag == 0x6564494Du ? 0 : 1);
        w.U32(address.number);
        w.U16(address.sequence);
        w.U8(bytes.size());
        w.U8(bytes.empty() ? 0 : bytes[0]);
    }
    w.bytes.insert(w.bytes.end(), seed.tape.begin(), seed.tape.end());
    return w.bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds DIRECTORY\n");
        return 2;
    }
    const std::vector<Layer> sweep = {
        {1, 0, "q:C5~ e:C5 e:r 3/2e:D5 e:E5 e:F5!1 | h:G5+B5!2!4 q:A5 q:r"},
        {2, 0, "h:C4 h:D4 | q:E4 q:F4+A4 q:G4 q:A4"},
        {2, 1, "w:C3 | w:D3"},
        {3, 0, "q:C4~ q:C4 q:D4 q:E4 | q:F4 h:G4 q:A4"},
    };
    std::vector<uint8_t> failing(40, 0);
    failing[25] = 0x80;
    failing[33] = 0x80;
    const std::vector<Seed> seeds = {
        {"sweep", 3, 2, sweep, {}},
        {"sweep-failing", 3, 2, sweep, failing},
        {"sweep-lying", 3, 2, sweep, std::vector<uint8_t>(60, 0x07)},
        {"chords", 2, 1, {{1, 0, "q:C4+E4+G4!3 q:D4 h:r"}, {2, 0, "q:C5 q:D5+F5~ q:D5+F5 q:G5"}}, {}},
    };
    for (const Seed& seed : seeds) {
        const std::vector<uint8_t> bytes = Encode(seed);
        const std::string path = std::string(argv[1]) + "/" + seed.name;
        FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) return 1;
        std::fclose(out);
    }
    return 0;
}
