#include "simhost/SimFormat.h"
#include "simhost/SimHost.h"

#include <cstring>
#include <limits>

namespace simhost {

Document::Document(int16_t number) : number_(number) {}

int16_t Document::AddStaff(int16_t instrument) {
    if (instruments_.size() >= static_cast<size_t>(std::numeric_limits<int16_t>::max())) return 0;
    instruments_.push_back(instrument);
    return StaffCount();
}

int16_t Document::StaffCount() const { return static_cast<int16_t>(instruments_.size()); }

int16_t Document::InstrumentAt(int16_t slot) const {
    if (slot < 1 || slot > StaffCount()) return 0;
    return instruments_[static_cast<size_t>(slot - 1)];
}

int16_t Document::SlotOf(int16_t instrument) const {
    if (instrument == 0) return 0;
    for (size_t i = 0; i < instruments_.size(); ++i) {
        if (instruments_[i] == instrument) return static_cast<int16_t>(i + 1);
    }
    return 0;
}

void Document::SetMeasureCount(int16_t count) { measureCount_ = count < 0 ? 0 : count; }

const std::vector<EntryRecord>& Document::Entries(int16_t instrument, int16_t measure, int16_t layer) const {
    static const std::vector<EntryRecord> kNone;
    const auto it = cells_.find(CellAddress{instrument, measure, layer});
    return it == cells_.end() ? kNone : it->second;
}

void Document::SetEntries(int16_t instrument, int16_t measure, int16_t layer, std::vector<EntryRecord> entries) {
    const CellAddress cell{instrument, measure, layer};
    std::vector<EntryRecord>& stored = cells_[cell];
    // Entry numbers are copied out before use: inside packed records they may sit unaligned.
    for (const EntryRecord& old : stored) {
        const uint32_t number = old.entryNumber;
        const auto it = cellOfEntry_.find(number);
        if (it != cellOfEntry_.end() && it->second == cell) cellOfEntry_.erase(it);
    }
    for (EntryRecord& entry : entries) {
        if (entry.entryNumber == 0) entry.entryNumber = NextEntryNumber();
        const uint32_t number = entry.entryNumber;
        if (number > lastEntryNumber_) lastEntryNumber_ = number;
        if (number != 0) cellOfEntry_[number] = cell;
    }
    stored = std::move(entries);
}

uint32_t Document::AddEntry(int16_t instrument, int16_t measure, int16_t layer, EntryRecord entry) {
    std::vector<EntryRecord> entries = Entries(instrument, measure, layer);
    entries.push_back(entry);
    SetEntries(instrument, measure, layer, std::move(entries));
    return Entries(instrument, measure, layer).back().entryNumber;
}

uint32_t Document::NextEntryNumber() {
    if (lastEntryNumber_ == std::numeric_limits<uint32_t>::max()) return 0;
    return ++lastEntryNumber_;
}

std::optional<CellAddress> Document::CellOfEntry(uint32_t number) const {
    const auto it = cellOfEntry_.find(number);
    if (it == cellOfEntry_.end()) return std::nullopt;
    return it->second;
}

void Document::PutEData(uint32_t tag, uint32_t number, uint16_t sequence, const void* bytes, size_t size) {
    std::vector<uint8_t> record(size);
    if (size != 0 && bytes != nullptr) std::memcpy(record.data(), bytes, size);
    edata_[EDataAddress{tag, number, sequence}] = std::move(record);
}

const std::vector<uint8_t>* Document::FindEData(uint32_t tag, uint32_t number, uint16_t sequence) const {
    const auto it = edata_.find(EDataAddress{tag, number, sequence});
    return it == edata_.end() ? nullptr : &it->second;
}

void Document::PurgeDetails(uint32_t number) {
    for (const uint32_t tag : {kArticulationTag, kTupletTag}) {
        edata_.erase(edata_.lower_bound(EDataAddress{tag, number, 0}),
                     edata_.upper_bound(EDataAddress{tag, number, std::numeric_limits<uint16_t>::max()}));
    }
}

} // namespace simhost
