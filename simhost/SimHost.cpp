#include "simhost/SimHost.h"

#include "simhost/FrameBooks.h"
#include "simhost/SimFormat.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <limits>

namespace simhost {
namespace {

constexpr int kFunctionCount = static_cast<int>(Function::Count);
constexpr int kMaxCount = std::numeric_limits<int16_t>::max();
// Larger records are refused rather than copied from a caller's buffer of doubtful size.
constexpr uint32_t kMaxEDataSize = 0xFFFF;

// Adds the time spent in one host call to the books, when timing is on.
// Also keeps the depth of host calls in progress, so that a benchmark can tell the host's
// allocations from the module's.
int gCallDepth = 0;

class CallTimer {
public:
    CallTimer(bool on, uint64_t& sink) : sink_(on ? &sink : nullptr) {
        ++gCallDepth;
        if (sink_ != nullptr) start_ = std::chrono::steady_clock::now();
    }
    ~CallTimer() {
        --gCallDepth;
        if (sink_ == nullptr) return;
        const auto spent = std::chrono::steady_clock::now() - start_;
        *sink_ += static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(spent).count());
    }
    CallTimer(const CallTimer&) = delete;
    CallTimer& operator=(const CallTimer&) = delete;

private:
    uint64_t* sink_;
    std::chrono::steady_clock::time_point start_;
};

// The placements of the stored tuplet details of each entry: sequence 0, 1, 2 ... while present.
std::vector<FrameTupletRecord> PlaceTuplets(const Document& document, const std::vector<EntryRecord>& entries) {
    std::vector<FrameTupletRecord> placements;
    const auto& store = document.EData();
    // A score without tuplets is answered without a search per entry.
    const auto first = store.lower_bound(EDataAddress{kTupletTag, 0, 0});
    if (first == store.end() || first->first.tag != kTupletTag) return placements;
    for (size_t index = 0; index < entries.size(); ++index) {
        const uint32_t number = entries[index].entryNumber;
        if (number == 0) continue;
        auto it = store.lower_bound(EDataAddress{kTupletTag, number, 0});
        for (int sequence = 0; it != store.end() && placements.size() < static_cast<size_t>(kMaxCount);
             ++sequence, ++it) {
            if (it->first != EDataAddress{kTupletTag, number, static_cast<uint16_t>(sequence)}) break;
            FrameTupletRecord placement{};
            placement.entryIndex = static_cast<int16_t>(index);
            placement.tupletIndex = static_cast<int16_t>(sequence);
            std::memcpy(placement.definition, it->second.data(),
                        std::min(it->second.size(), sizeof placement.definition));
            placements.push_back(placement);
        }
    }
    return placements;
}

// Moves the placements of entries at or after `from` by `shift` and drops those of entries in
// [from, from + dropped). Placements naming no entry of the old array are left alone.
void ShiftTuplets(TgfFrame& frame, int oldCount, int from, int dropped, int shift) {
    int kept = 0;
    for (int i = 0; i < frame.tupletCount; ++i) {
        FrameTupletRecord placement = frame.tuplets[i];
        const int index = placement.entryIndex;
        const bool known = index >= 0 && index < oldCount;
        if (known && index >= from && index < from + dropped) continue;
        if (known && index >= from) placement.entryIndex = static_cast<int16_t>(index + shift);
        frame.tuplets[kept++] = placement;
    }
    frame.tupletCount = static_cast<int16_t>(kept);
}

} // namespace

bool InsideHostCall() { return gCallDepth > 0; }

const char* FunctionName(Function f) {
    // Built once: the frame books name the function on every call they check.
    static const auto kNames = [] {
        std::array<const char*, kFunctionCount> names{};
        for (int i = 0; i < kFunctionCount; ++i) names[i] = host_binding::HostFunctionName(static_cast<Function>(i));
        return names;
    }();
    const int i = static_cast<int>(f);
    return i >= 0 && i < kFunctionCount && kNames[i] != nullptr ? kNames[i] : "unknown function";
}

Host& Host::Instance() {
    // Never destroyed, so that calls made while the process shuts down still find a host.
    static Host* const host = new Host();
    return *host;
}

Host::Host() : books_(std::make_unique<FrameBooks>(problems_)) {}

Host::~Host() = default;

void Host::Reset() {
    books_->Clear();
    books_->SetChecks(true);
    documents_.clear();
    currentDocument_ = 0;
    selection_ = RegionRecord{};
    maxLayers_ = 4;
    hiddenLayers_.clear();
    numberOnInsert_ = false;
    std::fill(std::begin(missing_), std::end(missing_), false);
    std::fill(std::begin(failing_), std::end(failing_), false);
    failLoads_.clear();
    failCountdown_ = 0;
    nthFailure_ = Function::Count;
    timing_ = false;
    callCount_ = 0;
    std::fill(std::begin(perFunction_), std::end(perFunction_), 0);
    nanosInHost_ = 0;
    problems_.clear();
    boxes_.clear();
}

// ---- Set-up --------------------------------------------------------------------------------

Document& Host::AddDocument(int16_t number) {
    const bool first = documents_.empty();
    Document& document = documents_.try_emplace(number, number).first->second;
    if (first) currentDocument_ = number;
    return document;
}

Document* Host::FindDocument(int16_t number) {
    const auto it = documents_.find(number);
    return it == documents_.end() ? nullptr : &it->second;
}

void Host::SetCurrentDocument(int16_t number) { currentDocument_ = number; }

Document* Host::CurrentDocument() { return FindDocument(currentDocument_); }

RegionRecord Host::WholeMeasures(int16_t firstSlot, int16_t lastSlot, int16_t first, int16_t last) {
    RegionRecord region{};
    region.startSlot = firstSlot;
    region.startMeasure = first;
    region.startPosition = 0;
    region.endSlot = lastSlot;
    region.endMeasure = last;
    region.endPosition = WholeMeasureEnd;
    return region;
}

void Host::SetLayerShown(int16_t layer, bool shown) {
    if (shown) {
        hiddenLayers_.erase(layer);
    } else {
        hiddenLayers_.insert(layer);
    }
}

void Host::SetMissing(Function f, bool missing) {
    const int i = static_cast<int>(f);
    if (i >= 0 && i < kFunctionCount) missing_[i] = missing;
}

void Host::SetFailing(Function f, bool failing) {
    const int i = static_cast<int>(f);
    if (i >= 0 && i < kFunctionCount) failing_[i] = failing;
}

void Host::FailLoadAt(int16_t slot, int16_t measure) { failLoads_.insert({slot, measure}); }

void Host::FailNthCall(uint64_t n) {
    failCountdown_ = n;
    nthFailure_ = Function::Count;
}

void Host::SetChecks(bool on) { books_->SetChecks(on); }
bool Host::ChecksOn() const { return books_->ChecksOn(); }

size_t Host::LiveFrameCount() const { return books_->LiveCount(); }
size_t Host::FrameBytesNow() const { return books_->BytesNow(); }
size_t Host::FrameBytesPeak() const { return books_->BytesPeak(); }

bool Host::CheckNoLiveFrames() { return books_->Audit() == 0; }

// ---- Serving calls -------------------------------------------------------------------------

Host::Verdict Host::Admit(Function f) {
    const int i = static_cast<int>(f);
    ++callCount_;
    ++perFunction_[i];
    bool nth = false;
    if (failCountdown_ != 0 && --failCountdown_ == 0) {
        nth = true;
        nthFailure_ = f;
    }
    if (missing_[i]) return Verdict::Missing;
    if (failing_[i] || nth) return Verdict::Failing;
    return Verdict::Go;
}

LentFrame* Host::Usable(const TgfFrame* frame, Function f) {
    LentFrame* lent = books_->Find(frame, FunctionName(f), false);
    return (lent != nullptr && books_->Intact(*lent, FunctionName(f))) ? lent : nullptr;
}

TgfFrame* Host::LoadTGF(int16_t slotList, int16_t slot, int16_t measure, int16_t layer, int16_t /*flag*/) {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::LoadTGF) != Verdict::Go) return nullptr;
    const Document* document = CurrentDocument();
    if (document == nullptr) return nullptr;
    const int16_t instrument = document->InstrumentAt(slot);
    if (instrument == 0 || measure < 1 || measure > document->MeasureCount() || layer < 0 || layer >= maxLayers_) {
        return nullptr;
    }
    if (failLoads_.contains({slot, measure}) || failLoads_.contains({int16_t{0}, measure})) return nullptr;

    const std::vector<EntryRecord>& entries = document->Entries(instrument, measure, layer);
    if (entries.size() > static_cast<size_t>(kMaxCount)) return nullptr;
    const std::vector<FrameTupletRecord> tuplets = PlaceTuplets(*document, entries);
    const FrameOrigin origin{
        document->Number(), static_cast<uint16_t>(slotList), static_cast<uint16_t>(slot), measure, layer, instrument};
    return books_->Lend(origin, entries, tuplets);
}

int16_t Host::SaveTGF(TgfFrame* frame) {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::SaveTGF) != Verdict::Go) return 0;
    LentFrame* lent = Usable(frame, Function::SaveTGF);
    if (lent == nullptr) return 0;
    const FrameOrigin& origin = lent->origin;
    const auto problem = [lent] { return std::string(FunctionName(Function::SaveTGF)) + ": " + lent->Describe(); };
    if (frame->slotList != origin.slotList || frame->slot != origin.slot || frame->measure != origin.measure ||
        frame->layer != origin.layer) {
        problems_.push_back(problem() + " no longer echoes where it was loaded from");
        return 0;
    }
    Document* document = FindDocument(origin.document);
    if (document == nullptr) return 0;

    // Numbers the module may keep are those it was given for this cell; anything else (a
    // duplicate, a number of another cell, one never given out) is recorded and renumbered.
    const CellAddress cell{origin.instrument, origin.measure, origin.layer};
    std::vector<EntryRecord>& entries = saveScratch_.entries;
    entries.assign(frame->entries, frame->entries + frame->entryCount);
    // The numbers in order, each with the first entry that carries it.
    std::vector<std::pair<uint32_t, size_t>>& numbers = saveScratch_.numbers;
    numbers.clear();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].entryNumber != 0) numbers.emplace_back(uint32_t{entries[i].entryNumber}, i);
    }
    std::sort(numbers.begin(), numbers.end());
    std::vector<bool>& refused = saveScratch_.refused;
    refused.assign(entries.size(), false);
    for (size_t k = 0; k < numbers.size(); ++k) {
        const auto [number, i] = numbers[k];
        const bool duplicate = k > 0 && numbers[k - 1].first == number;
        const auto owner = duplicate ? std::nullopt : document->CellOfEntry(number);
        refused[i] = duplicate || number > document->LastEntryNumber() || (owner && *owner != cell);
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!refused[i]) continue;
        problems_.push_back(problem() + " entry " + std::to_string(i) + " carries number " +
                            std::to_string(entries[i].entryNumber) + " that is not its own");
        entries[i].entryNumber = 0;
    }
    // Kept: a number whose first entry keeps it.
    const auto kept = [&numbers, &refused](uint32_t number) {
        const auto it = std::lower_bound(numbers.begin(), numbers.end(), std::pair<uint32_t, size_t>{number, 0});
        return it != numbers.end() && it->first == number && !refused[it->second];
    };

    std::vector<uint32_t>& gone = saveScratch_.gone;
    gone.clear();
    for (const EntryRecord& old : document->Entries(cell.instrument, cell.measure, cell.layer)) {
        const uint32_t number = old.entryNumber; // packed: copied out, never bound
        if (!kept(number)) gone.push_back(number);
    }
    document->StoreEntries(cell.instrument, cell.measure, cell.layer, entries);
    // Deleted entries take their details with them.
    for (const uint32_t number : gone) document->PurgeDetails(number);
    return 1;
}

int16_t Host::FreeTGF(TgfFrame* frame) {
    CallTimer timer(timing_, nanosInHost_);
    const Verdict verdict = Admit(Function::FreeTGF);
    if (verdict == Verdict::Missing) return 0;
    LentFrame* lent = books_->Find(frame, FunctionName(Function::FreeTGF), true);
    if (lent == nullptr) return 0;
    books_->Intact(*lent, FunctionName(Function::FreeTGF)); // records damage; the frame goes back all the same
    // A failing free still takes the frame back: the module has given it, and nothing it could
    // do would make a leak report fair.
    books_->Release(*lent);
    return verdict == Verdict::Go ? 1 : 0;
}

int16_t Host::InsertEXENTRY(TgfFrame* frame, int16_t index, int16_t count) {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::InsertEXENTRY) != Verdict::Go) return 0;
    return Reshape(frame, Function::InsertEXENTRY, index, 0, count);
}

int16_t Host::DeleteEXENTRY(TgfFrame* frame, int16_t index, int16_t count) {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::DeleteEXENTRY) != Verdict::Go) return 0;
    return Reshape(frame, Function::DeleteEXENTRY, index, count, 0);
}

int16_t Host::Reshape(TgfFrame* frame, Function f, int index, int removed, int added) {
    LentFrame* lent = Usable(frame, f);
    if (lent == nullptr) return 0;
    const int oldCount = frame->entryCount;
    const int newCount = oldCount - removed + added;
    if (index < 0 || removed < 0 || added < 0 || index + removed > oldCount || newCount > kMaxCount) return 0;

    // Always a new array, so that a pointer kept across the call is caught as stale.
    GuardedBlock fresh = books_->NewBlock({static_cast<size_t>(newCount) * sizeof(EntryRecord)});
    auto* entries = reinterpret_cast<EntryRecord*>(fresh.Data());
    std::copy(frame->entries, frame->entries + index, entries);
    std::copy(frame->entries + index + removed, frame->entries + oldCount, entries + index + added);
    Document* document = FindDocument(lent->origin.document);
    if (numberOnInsert_ && document != nullptr) {
        for (int i = index; i < index + added; ++i) entries[i].entryNumber = document->NextEntryNumber();
    }
    books_->ReplaceEntries(*lent, std::move(fresh), static_cast<int16_t>(newCount));
    ShiftTuplets(*frame, oldCount, index, removed, added - removed);
    return 1;
}

// ---- EData ---------------------------------------------------------------------------------

Document* Host::CurrentDocumentFor(const EDataKey* key) { return key == nullptr ? nullptr : CurrentDocument(); }

int16_t Host::LoadEData(uint32_t tag, EDataKey* key, void* buffer, uint32_t* size) {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::LoadEData) != Verdict::Go) return 0;
    const Document* document = CurrentDocumentFor(key);
    if (document == nullptr || size == nullptr) return 0;
    const std::vector<uint8_t>* record = document->FindEData(tag, key->number, key->sequence);
    if (record == nullptr) return 0;
    const size_t copied = buffer == nullptr ? 0 : std::min<size_t>(*size, record->size());
    if (copied != 0) std::memcpy(buffer, record->data(), copied);
    *size = static_cast<uint32_t>(record->size());
    return 1;
}

int16_t Host::SaveEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size) {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::SaveEData) != Verdict::Go) return 0;
    Document* document = CurrentDocumentFor(key);
    if (document == nullptr || (buffer == nullptr && size != 0) || size > kMaxEDataSize) return 0;
    document->PutEData(tag, key->number, key->sequence, buffer, size);
    return 1;
}

int16_t Host::CreateEData(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size) {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::CreateEData) != Verdict::Go) return 0;
    Document* document = CurrentDocumentFor(key);
    if (document == nullptr || (buffer == nullptr && size != 0) || size > kMaxEDataSize) return 0;
    uint16_t sequence = key->sequence;
    if (sequence == kNoSequence) {
        // One past the highest sequence in use for this number, so new records come last.
        const auto& store = document->EData();
        auto it = store.upper_bound(EDataAddress{tag, key->number, kNoSequence});
        sequence = 0;
        if (it != store.begin() && (--it)->first.tag == tag && it->first.number == key->number) {
            if (it->first.sequence + 1 >= kNoSequence) return 0;
            sequence = static_cast<uint16_t>(it->first.sequence + 1);
        }
    } else if (document->FindEData(tag, key->number, sequence) != nullptr) {
        return 0;
    }
    document->PutEData(tag, key->number, sequence, buffer, size);
    key->sequence = sequence;
    return 1;
}

int16_t Host::DeleteEData(uint32_t tag, EDataKey* key) {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::DeleteEData) != Verdict::Go) return 0;
    Document* document = CurrentDocumentFor(key);
    if (document == nullptr) return 0;
    return document->EData().erase(EDataAddress{tag, key->number, key->sequence}) != 0 ? 1 : 0;
}

int16_t Host::NextEData(uint32_t tag, EDataKey* key) {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::NextEData) != Verdict::Go) return 0;
    const Document* document = CurrentDocumentFor(key);
    if (document == nullptr) return 0;
    const auto it = document->EData().upper_bound(EDataAddress{tag, key->number, key->sequence});
    if (it == document->EData().end() || it->first.tag != tag) return 0;
    key->number = it->first.number;
    key->sequence = it->first.sequence;
    return 1;
}

// ---- Score and selection -------------------------------------------------------------------

int16_t Host::SlotToInst(int16_t slot, int16_t /*slotList*/) {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::SlotToInst) != Verdict::Go) return 0;
    const Document* document = CurrentDocument();
    return document == nullptr ? 0 : document->InstrumentAt(slot);
}

int16_t Host::InstToSlot(int16_t instrument) {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::InstToSlot) != Verdict::Go) return 0;
    const Document* document = CurrentDocument();
    return document == nullptr ? 0 : document->SlotOf(instrument);
}

int16_t Host::GetShowLayer(int16_t layer) {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::GetShowLayer) != Verdict::Go) return 0;
    return (layer >= 0 && layer < maxLayers_ && !hiddenLayers_.contains(layer)) ? 1 : 0;
}

int16_t Host::GetCurERegions(void* out8, void* out24, RegionRecord* region) {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::GetCurERegions) != Verdict::Go) return 0;
    if (out8 != nullptr) std::memset(out8, 0, 8);
    if (out24 != nullptr) std::memset(out24, 0, 24);
    if (region == nullptr) return 0;
    *region = selection_;
    return 1;
}

int16_t Host::GetCurrentEnigmaDocument() {
    CallTimer timer(timing_, nanosInHost_);
    if (Admit(Function::GetCurrentEnigmaDocument) != Verdict::Go) return 0;
    return currentDocument_;
}

int16_t Host::GetMaxLayers() {
    CallTimer timer(timing_, nanosInHost_);
    switch (Admit(Function::GetMaxLayers)) {
        case Verdict::Missing:
            return 4;
        case Verdict::Failing:
            return 0;
        case Verdict::Go:
            break;
    }
    return maxLayers_;
}

int32_t Host::MessageBox(void* owner, const char16_t* text, const char16_t* caption, uint32_t style) {
    boxes_.push_back(MessageBoxCall{owner, text == nullptr ? std::u16string() : std::u16string(text),
                                    caption == nullptr ? std::u16string() : std::u16string(caption), style});
    return 1; // IDOK
}

} // namespace simhost
