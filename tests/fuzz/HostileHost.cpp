#include "tests/fuzz/HostileHost.h"

#include "host/HostFunctions.h"
#include "host/HostRecords.h"
#include "plugin/PluginExports.h"
#include "simhost/SimHost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace hostile {
namespace {

// The host functions are numbered as the stand-in host numbers them (the header's bits of
// missing functions).
constexpr int kFnCount = static_cast<int>(simhost::Function::Count);
constexpr int kFreeTGF = static_cast<int>(simhost::Function::FreeTGF);

constexpr int16_t kInstrumentBase = 10;
constexpr int kMaxLayerIndex = 8;
constexpr int32_t kManyPlacements = 32767;

// Reads the input from the front; zeros once it runs out.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), left_(size) {}
    uint8_t U8() {
        if (left_ == 0) return 0;
        --left_;
        return *data_++;
    }
    int8_t I8() { return static_cast<int8_t>(U8()); }
    uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
    uint32_t U32() { return uint32_t{U16()} | uint32_t{U16()} << 16; }

private:
    const uint8_t* data_;
    size_t left_;
};

using CellKey = std::tuple<int16_t, int16_t, int16_t>;      // slot, measure, layer
using DetailKey = std::tuple<uint32_t, uint32_t, uint16_t>; // tag, number, sequence

struct Cell {
    std::vector<EntryRecord> entries;
    std::vector<FrameTupletRecord> placements;
};

struct Lent {
    CellKey cell;
};

struct State {
    explicit State(Reader tape) : tape(tape) {}
    int16_t staves = 1;
    int16_t measures = 1;
    int16_t maxLayers = 4;
    uint8_t shown = 0xFF;
    uint16_t missing = 0;
    RegionRecord selection{};
    std::map<CellKey, Cell> cells;
    std::map<DetailKey, std::vector<uint8_t>> details;
    uint32_t nextNumber = 1000;
    std::map<TgfFrame*, Lent> lent;
    Reader tape;
};

State* g = nullptr;

[[noreturn]] void Misuse(const char* what) {
    std::fprintf(stderr, "hostile host: %s\n", what);
    std::abort();
}

// The tape's byte for this call: bit 7 fails it, the rest choose a lie.
struct Answer {
    bool fail;
    uint8_t lie;
};
Answer Next() {
    const uint8_t b = g->tape.U8();
    return {(b & 0x80) != 0, static_cast<uint8_t>(b & 0x7F)};
}

Lent& Find(TgfFrame* frame, const char* function) {
    const auto it = g->lent.find(frame);
    if (it == g->lent.end()) Misuse(function);
    return it->second;
}

int EntriesHeld(const TgfFrame& frame) { return frame.entryCount < 0 ? 0 : frame.entryCount; }

// Exact size, so that a read past the count the host reports is caught.
EntryRecord* NewEntries(int count) { return new EntryRecord[static_cast<size_t>(count)](); }

void FreeFrame(TgfFrame* frame) {
    delete[] frame->entries;
    delete[] frame->tuplets;
    delete frame;
}

// A whole-measure region: slots [firstSlot, lastSlot] by measures [first, last].
RegionRecord Region(int8_t firstSlot, int8_t lastSlot, int8_t first, int8_t last) {
    RegionRecord region{};
    region.startSlot = firstSlot;
    region.endSlot = lastSlot;
    region.startMeasure = first;
    region.endMeasure = last;
    region.endPosition = WholeMeasureEnd;
    return region;
}

void ReadScore(Reader& in, State& state) {
    const int cells = in.U8();
    for (int c = 0; c < cells; ++c) {
        const CellKey key{in.U8(), in.U8(), in.U8()};
        const int entries = in.U8();
        const int placements = in.U8();
        Cell& cell = state.cells[key];
        cell = Cell{};
        for (int e = 0; e < entries; ++e) {
            EntryRecord entry{};
            entry.entryNumber = in.U32();
            entry.entryFlags = in.U32();
            entry.hostData1[0] = in.U8();
            entry.noteCount = in.I8();
            const int notes = std::clamp<int>(entry.noteCount, 0, kMaxNotesPerEntry);
            for (int k = 0; k < notes; ++k) {
                entry.notes[k].noteId = static_cast<int16_t>(in.U16());
                entry.notes[k].noteFlags = in.U32();
                entry.notes[k].hostData[0] = in.U8();
            }
            cell.entries.push_back(entry);
        }
        for (int p = 0; p < placements; ++p) {
            FrameTupletRecord placement{};
            placement.entryIndex = in.I8();
            placement.tupletIndex = in.I8();
            const uint8_t fill = in.U8();
            std::memset(placement.definition, fill, sizeof placement.definition);
            const int32_t copies = fill == 0xFF ? kManyPlacements : 1;
            for (int32_t i = 0; i < copies && cell.placements.size() < size_t{kManyPlacements}; ++i) {
                cell.placements.push_back(placement);
            }
        }
    }
    const int details = in.U8();
    for (int d = 0; d < details; ++d) {
        const uint32_t tag = in.U8() == 0 ? kArticulationDetailTag : kTupletDetailTag;
        const uint32_t number = in.U32();
        const uint16_t sequence = in.U16();
        const size_t size = in.U8();
        state.details[{tag, number, sequence}] = std::vector<uint8_t>(size, in.U8());
    }
}

// ---- The host functions ----------------------------------------------------------------------

TgfFrame* LoadTGF(int16_t slotList, int16_t slot, int16_t measure, int16_t layer, int16_t, uint32_t) {
    const Answer a = Next();
    if (a.fail || slot < 1 || slot > g->staves || measure < 1 || measure > g->measures || layer < 0 ||
        layer >= kMaxLayerIndex) {
        return nullptr;
    }
    const CellKey key{slot, measure, layer};
    const Cell& cell = g->cells[key];
    auto* frame = new TgfFrame{};
    frame->slotList = static_cast<uint16_t>(slotList);
    frame->slot = static_cast<uint16_t>(slot);
    frame->measure = measure;
    frame->layer = layer;
    const auto entries = static_cast<int>(cell.entries.size());
    frame->entries = NewEntries(entries);
    std::copy(cell.entries.begin(), cell.entries.end(), frame->entries);
    frame->entryCount = static_cast<int16_t>(entries);
    frame->tuplets = new FrameTupletRecord[cell.placements.size()];
    std::copy(cell.placements.begin(), cell.placements.end(), frame->tuplets);
    frame->tupletCount = static_cast<int16_t>(cell.placements.size());
    switch (a.lie & 7) {
        case 1:
            frame->saveInhibit = 1;
            break;
        case 2:
            frame->entryCount = static_cast<int16_t>(-1 - entries);
            break;
        case 3:
            frame->measure = static_cast<int16_t>(measure + 1);
            break;
        case 4:
            frame->entryCount = static_cast<int16_t>(std::max(0, entries - 1));
            break;
        case 5:
            frame->tupletCount = -1;
            break;
        default:
            break;
    }
    g->lent[frame] = Lent{key};
    return frame;
}

int16_t SaveTGF(TgfFrame* frame, uint32_t) {
    const Answer a = Next();
    const Lent& lent = Find(frame, "FX_SaveTGF of a frame not lent");
    if (a.fail) return 0;
    Cell& cell = g->cells[lent.cell];
    cell.entries.assign(frame->entries, frame->entries + EntriesHeld(*frame));
    for (EntryRecord& entry : cell.entries) {
        // A lying host may give one number twice.
        if (entry.entryNumber == 0) entry.entryNumber = (a.lie & 2) != 0 ? g->nextNumber : g->nextNumber++;
    }
    // Some hosts number the frame in place as well.
    if ((a.lie & 1) != 0) std::copy(cell.entries.begin(), cell.entries.end(), frame->entries);
    cell.placements.assign(frame->tuplets, frame->tuplets + std::max<int>(0, frame->tupletCount));
    return 1;
}

int16_t FreeTGF(TgfFrame* frame, uint32_t) {
    const Answer a = Next();
    Find(frame, "FX_FreeTGF of a frame not lent (given back twice?)");
    g->lent.erase(frame);
    FreeFrame(frame);
    return a.fail ? 0 : 1;
}

// Replaces `removed` entries at `index` with `added` zeroed ones, in a new array.
int16_t Reshape(TgfFrame* frame, int index, int removed, int added, bool number) {
    const int old = EntriesHeld(*frame);
    if (index < 0 || removed < 0 || added < 0 || index + removed > old || old - removed + added > 0x7FFF) return 0;
    const int count = old - removed + added;
    EntryRecord* entries = NewEntries(count);
    std::copy(frame->entries, frame->entries + index, entries);
    std::copy(frame->entries + index + removed, frame->entries + old, entries + index + added);
    for (int i = index; number && i < index + added; ++i) entries[i].entryNumber = g->nextNumber++;
    delete[] frame->entries;
    frame->entries = entries;
    frame->entryCount = static_cast<int16_t>(count);
    return 1;
}

int16_t InsertEXENTRY(TgfFrame* frame, int16_t index, int16_t count, uint32_t) {
    const Answer a = Next();
    Find(frame, "FX_InsertEXENTRY on a frame not lent");
    if (a.fail) return 0;
    const int shift = (a.lie & 3) == 1 ? -1 : (a.lie & 3) == 2 ? 1 : 0;
    return Reshape(frame, index, 0, std::max(0, count + shift), (a.lie & 4) != 0);
}

int16_t DeleteEXENTRY(TgfFrame* frame, int16_t index, int16_t count, uint32_t) {
    const Answer a = Next();
    Find(frame, "FX_DeleteEXENTRY on a frame not lent");
    if (a.fail) return 0;
    return Reshape(frame, index, (a.lie & 1) != 0 ? std::max(0, count - 1) : count, 0, false);
}

int16_t LoadEData(uint32_t tag, EDataKey* key, void* buffer, uint32_t* size, uint32_t) {
    const Answer a = Next();
    if (a.fail || key == nullptr || size == nullptr) return 0;
    const auto it = g->details.find({tag, key->number, key->sequence});
    // A host that answers yes to every key, with no bytes.
    if (it == g->details.end()) {
        if ((a.lie & 7) != 7) return 0;
        *size = 0;
        return 1;
    }
    const std::vector<uint8_t>& record = it->second;
    const size_t copied = std::min<size_t>(*size, record.size());
    if (buffer != nullptr && copied != 0) std::memcpy(buffer, record.data(), copied);
    switch (a.lie & 3) {
        case 1:
            *size = 0xFFFFFFFFu;
            break;
        case 2:
            *size = static_cast<uint32_t>(record.size() + 1000);
            break;
        case 3:
            *size = 0;
            break;
        default:
            *size = static_cast<uint32_t>(record.size());
            break;
    }
    return 1;
}

int16_t SaveEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size, uint32_t) {
    const Answer a = Next();
    if (a.fail || key == nullptr || size > 0xFFFF || (buffer == nullptr && size != 0)) return 0;
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    g->details[{tag, key->number, key->sequence}] = std::vector<uint8_t>(bytes, bytes + size);
    return 1;
}

int16_t CreateEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size, uint32_t v) {
    if (key != nullptr && key->sequence == 0xFFFF) key->sequence = static_cast<uint16_t>(g->tape.U8());
    return SaveEData(tag, key, buffer, size, v);
}

int16_t DeleteEData(uint32_t tag, EDataKey* key, uint32_t) {
    const Answer a = Next();
    if (a.fail || key == nullptr) return 0;
    return g->details.erase({tag, key->number, key->sequence}) != 0 ? 1 : 0;
}

int16_t NextEData(uint32_t tag, EDataKey* key, void*, void*, uint32_t) {
    const Answer a = Next();
    if (a.fail || key == nullptr) return 0;
    // A stuck host: yes, and the key stays where it was.
    if ((a.lie & 7) == 1) return 1;
    const auto it = g->details.upper_bound({tag, key->number, key->sequence});
    if (it == g->details.end() || std::get<0>(it->first) != tag) return 0;
    key->number = std::get<1>(it->first);
    key->sequence = std::get<2>(it->first);
    return 1;
}

int16_t SlotToInst(int16_t slot, int16_t, uint32_t) {
    const Answer a = Next();
    if (a.fail || slot < 1 || slot > g->staves) return 0;
    return static_cast<int16_t>(kInstrumentBase + ((a.lie & 7) == 1 ? g->staves + 1 - slot : slot));
}

int16_t InstToSlot(int16_t instrument, int16_t, uint32_t) {
    const Answer a = Next();
    const int slot = instrument - kInstrumentBase;
    if (a.fail || slot < 1 || slot > g->staves) return 0;
    return static_cast<int16_t>(slot);
}

int16_t GetShowLayer(int16_t layer, uint32_t) {
    const Answer a = Next();
    if (a.fail || layer < 0 || layer >= kMaxLayerIndex) return 0;
    return static_cast<int16_t>((g->shown >> layer) & 1);
}

int16_t GetCurERegions(void* out8, void* out24, RegionRecord* region, uint32_t) {
    const Answer a = Next();
    if (a.fail || region == nullptr) return 0;
    if (out8 != nullptr) std::memset(out8, 0, 8);
    if (out24 != nullptr) std::memset(out24, 0, 24);
    *region = g->selection;
    if ((a.lie & 7) == 1) region->endMeasure = static_cast<int16_t>(region->endMeasure - 1);
    return 1;
}

int16_t GetCurrentEnigmaDocument(uint32_t) {
    const Answer a = Next();
    return a.fail ? 0 : static_cast<int16_t>((a.lie & 7) == 1 ? 2 : 1);
}

int16_t GetMaxLayers(uint32_t) {
    const Answer a = Next();
    return a.fail ? 0 : g->maxLayers;
}

void* const kFunctions[kFnCount] = {
    reinterpret_cast<void*>(&LoadTGF),
    reinterpret_cast<void*>(&SaveTGF),
    reinterpret_cast<void*>(&FreeTGF),
    reinterpret_cast<void*>(&InsertEXENTRY),
    reinterpret_cast<void*>(&DeleteEXENTRY),
    reinterpret_cast<void*>(&LoadEData),
    reinterpret_cast<void*>(&SaveEData),
    reinterpret_cast<void*>(&CreateEData),
    reinterpret_cast<void*>(&DeleteEData),
    reinterpret_cast<void*>(&NextEData),
    reinterpret_cast<void*>(&SlotToInst),
    reinterpret_cast<void*>(&InstToSlot),
    reinterpret_cast<void*>(&GetShowLayer),
    reinterpret_cast<void*>(&GetCurERegions),
    reinterpret_cast<void*>(&GetCurrentEnigmaDocument),
    reinterpret_cast<void*>(&GetMaxLayers),
};
void* Resolve(const char* name) {
    for (int f = 0; f < kFnCount; ++f) {
        if (std::strcmp(name, host_binding::HostFunctionName(static_cast<host_binding::HostFunction>(f))) == 0)
            return (g->missing >> f & 1) != 0 ? nullptr : kFunctions[f];
    }
    return nullptr;
}

} // namespace

void RunCopy(const uint8_t* data, size_t size) {
    Reader in(data, size);
    State state(in);
    state.staves = static_cast<int16_t>(in.U8() % 4 + 1);
    state.measures = static_cast<int16_t>(in.U8() % 4 + 1);
    state.maxLayers = in.I8();
    state.shown = in.U8();
    state.missing = in.U16();
    const int8_t sourceSlot = in.I8(), sourceFirst = in.I8(), sourceLast = in.I8();
    in.U8();
    const RegionRecord source = Region(sourceSlot, sourceSlot, sourceFirst, sourceLast);
    const int8_t firstSlot = in.I8(), lastSlot = in.I8(), first = in.I8(), last = in.I8();
    const RegionRecord destination = Region(firstSlot, lastSlot, first, last);
    ReadScore(in, state);
    state.tape = in;

    g = &state;
    host_binding::SetResolverForTesting(&Resolve);
    state.selection = source;
    FinaleExtensionInvoke(nullptr, 0, &source);
    state.selection = destination;
    FinaleExtensionInvoke(nullptr, 1, &destination);
    // Without FX_FreeTGF nothing can come back; otherwise everything must have.
    if ((state.missing >> kFreeTGF & 1) == 0 && !state.lent.empty()) Misuse("a frame is still lent after COPY");
    for (const auto& [frame, lent] : state.lent) FreeFrame(frame);
    host_binding::SetResolverForTesting(nullptr);
    g = nullptr;
}

} // namespace hostile

// The module shows its refusals here rather than on stderr.
extern "C" __attribute__((visibility("default"))) int32_t MessageBoxW(void*, const char16_t*, const char16_t*,
                                                                      uint32_t) {
    return 1;
}
