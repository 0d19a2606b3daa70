// The stand-in host: plays Finale for the module's tests, for the command-line tool and for the
// Windows test host. It holds documents (staves, measures, layers of entries, EData records),
// the current selection, and serves the sixteen FX_ functions (SimHostExports.cpp) from that
// state. It also keeps books on the frames it lends, so that misuse shows as a test failure.
#pragma once

#include "host/HostFunctionList.h"
#include "host/HostRecords.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace simhost {

// The FX_ functions, for fault injection and call counts.
using Function = host_binding::HostFunction;
// The function's C name ("FX_" and its name), or "unknown function".
const char* FunctionName(Function f);

// Whether an FX_ function of the stand-in host is running now.
bool InsideHostCall();

// One message box the module showed.
struct MessageBoxCall {
    void* owner;
    std::u16string text;
    std::u16string caption;
    uint32_t style;
};

// Key of an EData record.
struct EDataAddress {
    uint32_t tag;
    uint32_t number;
    uint16_t sequence;
    auto operator<=>(const EDataAddress&) const = default;
};

// Where a layer of entries is stored: one measure of one staff in one layer index.
struct CellAddress {
    int16_t instrument;
    int16_t measure;
    int16_t layer;
    auto operator<=>(const CellAddress&) const = default;
};

class FrameBooks;
struct LentFrame;

// One score. Staves sit in slots 1..n in score order; each holds an instrument number of its
// own, deliberately different from its slot.
class Document {
public:
    explicit Document(int16_t number);

    int16_t Number() const { return number_; }

    // Appends a staff holding `instrument` and answers its slot.
    int16_t AddStaff(int16_t instrument);
    int16_t StaffCount() const;
    // 0 when the slot holds no staff.
    int16_t InstrumentAt(int16_t slot) const;
    // 0 when no staff holds the instrument.
    int16_t SlotOf(int16_t instrument) const;
    const std::vector<int16_t>& Instruments() const { return instruments_; }

    void SetMeasureCount(int16_t count);
    int16_t MeasureCount() const { return measureCount_; }

    // The stored entries of one measure of one staff in one layer index (empty when none).
    const std::vector<EntryRecord>& Entries(int16_t instrument, int16_t measure, int16_t layer) const;
    // Replaces them; entries numbered 0 get fresh numbers, and the counter moves past any
    // higher number stored, so that no number is given twice. Answers nothing.
    void SetEntries(int16_t instrument, int16_t measure, int16_t layer, std::vector<EntryRecord> entries);
    // The same with a copy of `entries`, into the storage the cell already has.
    void StoreEntries(int16_t instrument, int16_t measure, int16_t layer, std::span<const EntryRecord> entries);
    // Appends one entry (numbered afresh when its entryNumber is 0); answers its number.
    uint32_t AddEntry(int16_t instrument, int16_t measure, int16_t layer, EntryRecord entry);
    // A number never used before in this document (0 once all 32-bit numbers are spent).
    uint32_t NextEntryNumber();
    // The highest number given out or stored so far.
    uint32_t LastEntryNumber() const { return lastEntryNumber_; }
    // The cell that stores the entry with this number, if any.
    std::optional<CellAddress> CellOfEntry(uint32_t number) const;

    // The EData store, ordered by (tag, number, sequence).
    const std::map<EDataAddress, std::vector<uint8_t>>& EData() const { return edata_; }
    std::map<EDataAddress, std::vector<uint8_t>>& EData() { return edata_; }
    void PutEData(uint32_t tag, uint32_t number, uint16_t sequence, const void* bytes, size_t size);
    // Null when there is no such record.
    const std::vector<uint8_t>* FindEData(uint32_t tag, uint32_t number, uint16_t sequence) const;
    // Removes the detail records (articulations, tuplets) stored under an entry number.
    void PurgeDetails(uint32_t number);

private:
    using Cell = std::vector<EntryRecord>;
    // The cells of one measure of one staff, layer indexes 0..3.
    using MeasureCells = std::array<Cell, 4>;
    // Where an instrument's first staff sits, and which of staffCells_ holds its cells.
    struct Staff {
        int16_t slot;
        uint32_t cells;
    };
    // The cell at `address`; null when none was stored there.
    const Cell* FindCell(const CellAddress& address) const;
    Cell& CellAt(const CellAddress& address);
    // Numbers the unnumbered entries of `stored`, now in `cell`, and records their owners.
    void Adopt(const CellAddress& cell, std::vector<EntryRecord>& stored);
    void SetOwner(uint32_t number, const CellAddress& cell);
    void DropOwner(uint32_t number, const CellAddress& cell);

    int16_t number_;
    int16_t measureCount_ = 0;
    uint32_t lastEntryNumber_ = 0;
    std::vector<int16_t> instruments_;
    std::unordered_map<int16_t, Staff> staves_;
    // Looked up once per frame lent, so kept in flat arrays: per instrument, per measure
    // (measure 1 first), per layer index. Cells outside those (an instrument on no staff, a
    // measure below 1, another layer index) sit in otherCells_.
    std::vector<std::vector<MeasureCells>> staffCells_;
    std::map<CellAddress, Cell> otherCells_;
    // The cell of each entry number: numbers are handed out one after another, so an array
    // indexed by number holds them; a number far beyond the others goes in otherOwners_.
    std::vector<std::optional<CellAddress>> owners_;
    std::unordered_map<uint32_t, CellAddress> otherOwners_;
    std::map<EDataAddress, std::vector<uint8_t>> edata_;
};

class Host {
public:
    // The process's stand-in host, the one the FX_ exports serve.
    static Host& Instance();

    // Back to a host with no documents, the empty selection, 4 layers all shown, no faults,
    // and empty books.
    void Reset();

    // Documents. The first one added becomes current.
    Document& AddDocument(int16_t number);
    Document* FindDocument(int16_t number);
    void SetCurrentDocument(int16_t number);
    int16_t CurrentDocumentNumber() const { return currentDocument_; }
    // Null when no document is current.
    Document* CurrentDocument();

    // The selection GetCurERegions reports (and that callers pass to Invoke).
    void SetSelection(const RegionRecord& region) { selection_ = region; }
    const RegionRecord& Selection() const { return selection_; }
    // A whole-measure selection of slots [firstSlot, lastSlot] by measures [first, last].
    static RegionRecord WholeMeasures(int16_t firstSlot, int16_t lastSlot, int16_t first, int16_t last);

    void SetMaxLayers(int16_t layers) { maxLayers_ = layers; }
    void SetLayerShown(int16_t layer, bool shown);
    // Inserted entries come numbered (true) or with number 0, numbered on save (false, default).
    void SetNumberOnInsert(bool on) { numberOnInsert_ = on; }

    // Fault injection.
    // The function answers as if the host lacked it: no effect, 0 (null for LoadTGF, 4 for
    // GetMaxLayers).
    void SetMissing(Function f, bool missing);
    // The function answers 0 (null for LoadTGF) without effect; except that a failing
    // FreeTGF still takes the frame back, so that fault sweeps see no leak the module could
    // not have avoided.
    void SetFailing(Function f, bool failing);
    // LoadTGF answers null for this measure of this slot in every layer (slot 0: every slot).
    void FailLoadAt(int16_t slot, int16_t measure);
    // The nth host call from now (1 = the next one) fails as SetFailing does; 0 switches this
    // off.
    void FailNthCall(uint64_t n);
    // The function whose call FailNthCall made fail; Function::Count until that happened.
    Function NthCallFailure() const { return nthFailure_; }

    // Counts of calls made since the last Reset.
    uint64_t CallCount() const { return callCount_; }
    uint64_t CallCount(Function f) const { return perFunction_[static_cast<int>(f)]; }

    // The checks that exist for tests, on after every Reset: frames and entry arrays given
    // back stay quarantined until Reset (up to a bound), so that a later use of one is recorded
    // as such and a write into one shows when CheckNoLiveFrames looks again, and the guard
    // bytes around a frame's arrays are looked at on every call that takes the frame. The
    // command and the benchmarks switch them off: memory given back is then used again at
    // once. A module that keeps to its frames is answered alike either way; a frame's
    // pointers and counts are checked either way, so the host never reads outside its memory.
    void SetChecks(bool on);
    bool ChecksOn() const;

    // Books on lent frames.
    size_t LiveFrameCount() const;
    // Misuse seen so far: double frees, use of freed frames, unknown frames, overwritten
    // guard bytes, counts or array pointers the host did not set, headers that no longer echo
    // their load, entry numbers saved in the wrong cell, frames still lent when
    // CheckNoLiveFrames ran. Empty when all is well.
    const std::vector<std::string>& Problems() const { return problems_; }
    // Records a problem for every frame still lent (and checks its guards) and for every freed
    // frame or replaced entry array written to since; answers whether no frame was lent.
    bool CheckNoLiveFrames();

    // Message boxes shown since the last Reset.
    const std::vector<MessageBoxCall>& MessageBoxes() const { return boxes_; }

    // Time spent inside the FX_ functions, when timing is on (for the benchmarks).
    void SetTiming(bool on) { timing_ = on; }
    uint64_t NanosecondsInHost() const { return nanosInHost_; }

    // Bytes held by lent frames now and at most since the last Reset.
    // Counted as the records' bytes: header, entries and tuplet placements, guards excluded.
    size_t FrameBytesNow() const;
    size_t FrameBytesPeak() const;

    // Used by the FX_ exports. Each answers as the FX_ function of the same name, counts as a
    // call and is subject to the injected faults. Where the host's behaviour is open:
    // - LoadTGF: a separate copy per call; a measure without entries gives entryCount 0 with
    //   non-null, empty arrays (a write into them hits a guard). Tuplet placements are built
    //   from the stored tuplet details of each entry, sequence 0, 1, 2 ... while present. The
    //   flag argument is ignored.
    // - SaveTGF: stores the entries of an intact frame in the cell it was loaded from and numbers
    //   the unnumbered ones in the store only: the frame keeps its zeros, so the module reloads
    //   it to see them. A number that is not the cell's own (a duplicate, another cell's, one
    //   never given out) is recorded as a problem and replaced. Tuplet placements are not saved
    //   (the details are the record). Articulation and tuplet details of entries gone from the
    //   cell are deleted. saveInhibit is the module's business and is not looked at.
    // - FreeTGF: null is a no-op answering 0; a failing one still takes the frame back.
    // - InsertEXENTRY / DeleteEXENTRY: always a new array; a bad index or count answers 0 and
    //   changes nothing. Placements of moved entries move with them, those of deleted entries
    //   go.
    // - CreateEData with sequence kNoSequence: one past the highest sequence of that number.
    TgfFrame* LoadTGF(int16_t slotList, int16_t slot, int16_t measure, int16_t layer, int16_t flag);
    int16_t SaveTGF(TgfFrame* frame);
    int16_t FreeTGF(TgfFrame* frame);
    int16_t InsertEXENTRY(TgfFrame* frame, int16_t index, int16_t count);
    int16_t DeleteEXENTRY(TgfFrame* frame, int16_t index, int16_t count);
    int16_t LoadEData(uint32_t tag, EDataKey* key, void* buffer, uint32_t* size);
    int16_t SaveEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size);
    int16_t CreateEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size);
    int16_t DeleteEData(uint32_t tag, EDataKey* key);
    int16_t NextEData(uint32_t tag, EDataKey* key);
    int16_t SlotToInst(int16_t slot, int16_t slotList);
    int16_t InstToSlot(int16_t instrument);
    int16_t GetShowLayer(int16_t layer);
    int16_t GetCurERegions(void* out8, void* out24, RegionRecord* region);
    int16_t GetCurrentEnigmaDocument();
    int16_t GetMaxLayers();
    int32_t MessageBox(void* owner, const char16_t* text, const char16_t* caption, uint32_t style);

    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

private:
    enum class Verdict { Go, Missing, Failing };
    Host();
    ~Host();
    // Counts a call and decides whether an injected fault stops it.
    Verdict Admit(Function f);
    // The live, undamaged frame; null (with any problem recorded) otherwise.
    LentFrame* Usable(const TgfFrame* frame, Function f);
    Document* CurrentDocumentFor(const EDataKey* key);
    // Replaces `removed` entries at `index` with `added` zeroed ones in a new array.
    int16_t Reshape(TgfFrame* frame, Function f, int index, int removed, int added);

    int16_t currentDocument_ = 0;
    std::map<int16_t, Document> documents_;
    RegionRecord selection_{};
    int16_t maxLayers_ = 4;
    std::set<int16_t> hiddenLayers_;
    bool numberOnInsert_ = false;

    bool missing_[static_cast<int>(Function::Count)] = {};
    bool failing_[static_cast<int>(Function::Count)] = {};
    std::set<std::pair<int16_t, int16_t>> failLoads_; // (slot, measure); slot 0 = every slot
    uint64_t failCountdown_ = 0;
    Function nthFailure_ = Function::Count;

    bool timing_ = false;
    uint64_t callCount_ = 0;
    uint64_t perFunction_[static_cast<int>(Function::Count)] = {};
    uint64_t nanosInHost_ = 0;
    std::vector<std::string> problems_;
    std::vector<MessageBoxCall> boxes_;
    std::unique_ptr<FrameBooks> books_;
    // Reused by every SaveTGF, so that a save allocates nothing once they have grown.
    struct SaveScratch {
        std::vector<EntryRecord> entries;
        std::vector<std::pair<uint32_t, size_t>> numbers; // sorted, each with its first entry
        std::vector<bool> refused;                        // by entry
        std::vector<uint32_t> gone;                       // numbers the save deletes
    };
    SaveScratch saveScratch_;
};

} // namespace simhost
