#include "simhost/SimFormat.h"
#include "simhost/SimHost.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace simhost {

Document::Document(int16_t number) : number_(number) {}

namespace {

constexpr int16_t kFlatLayers = 4;
// A number this far past those held in the array goes to the map instead, so that one odd
// number cannot make the array huge.
constexpr size_t kOwnerSlack = 1 << 16;

bool InFlatRange(const CellAddress& address) {
    return address.measure >= 1 && address.layer >= 0 && address.layer < kFlatLayers;
}

} // namespace

int16_t Document::AddStaff(int16_t instrument) {
    if (instruments_.size() >= static_cast<size_t>(std::numeric_limits<int16_t>::max())) return 0;
    instruments_.push_back(instrument);
    const auto [staff, added] =
        staves_.try_emplace(instrument, Staff{StaffCount(), static_cast<uint32_t>(staffCells_.size())});
    if (added) {
        staffCells_.emplace_back();
        // Cells stored before the staff existed move into the flat arrays.
        auto it = otherCells_.lower_bound(CellAddress{instrument, std::numeric_limits<int16_t>::min(), 0});
        while (it != otherCells_.end() && it->first.instrument == instrument) {
            if (!InFlatRange(it->first)) {
                ++it;
                continue;
            }
            CellAt(it->first) = std::move(it->second);
            it = otherCells_.erase(it);
        }
    }
    return StaffCount();
}

int16_t Document::StaffCount() const { return static_cast<int16_t>(instruments_.size()); }

int16_t Document::InstrumentAt(int16_t slot) const {
    if (slot < 1 || slot > StaffCount()) return 0;
    return instruments_[static_cast<size_t>(slot - 1)];
}

int16_t Document::SlotOf(int16_t instrument) const {
    if (instrument == 0) return 0;
    const auto it = staves_.find(instrument);
    return it == staves_.end() ? 0 : it->second.slot;
}

void Document::SetMeasureCount(int16_t count) { measureCount_ = count < 0 ? 0 : count; }

const Document::Cell* Document::FindCell(const CellAddress& address) const {
    const auto staff = staves_.find(address.instrument);
    if (staff != staves_.end() && InFlatRange(address)) {
        const std::vector<MeasureCells>& measures = staffCells_[staff->second.cells];
        const auto m = static_cast<size_t>(address.measure - 1);
        return m < measures.size() ? &measures[m][static_cast<size_t>(address.layer)] : nullptr;
    }
    const auto it = otherCells_.find(address);
    return it == otherCells_.end() ? nullptr : &it->second;
}

Document::Cell& Document::CellAt(const CellAddress& address) {
    const auto staff = staves_.find(address.instrument);
    if (staff == staves_.end() || !InFlatRange(address)) return otherCells_[address];
    std::vector<MeasureCells>& measures = staffCells_[staff->second.cells];
    const auto m = static_cast<size_t>(address.measure - 1);
    if (m >= measures.size()) measures.resize(std::max<size_t>(m + 1, static_cast<size_t>(measureCount_)));
    return measures[m][static_cast<size_t>(address.layer)];
}

const std::vector<EntryRecord>& Document::Entries(int16_t instrument, int16_t measure, int16_t layer) const {
    static const std::vector<EntryRecord> kNone;
    const Cell* cell = FindCell(CellAddress{instrument, measure, layer});
    return cell == nullptr ? kNone : *cell;
}

void Document::SetOwner(uint32_t number, const CellAddress& cell) {
    if (number < owners_.size() + kOwnerSlack) {
        if (number >= owners_.size()) owners_.resize(size_t{number} + 1);
        owners_[number] = cell;
        if (!otherOwners_.empty()) otherOwners_.erase(number);
    } else {
        otherOwners_[number] = cell;
    }
}

void Document::DropOwner(uint32_t number, const CellAddress& cell) {
    if (number < owners_.size() && owners_[number] == cell) owners_[number].reset();
    if (otherOwners_.empty()) return;
    const auto it = otherOwners_.find(number);
    if (it != otherOwners_.end() && it->second == cell) otherOwners_.erase(it);
}

void Document::SetEntries(int16_t instrument, int16_t measure, int16_t layer, std::vector<EntryRecord> entries) {
    const CellAddress cell{instrument, measure, layer};
    Cell& stored = CellAt(cell);
    // Entry numbers are copied out before use: inside packed records they may sit unaligned.
    for (const EntryRecord& old : stored) DropOwner(old.entryNumber, cell);
    stored = std::move(entries);
    Adopt(cell, stored);
}

void Document::StoreEntries(int16_t instrument, int16_t measure, int16_t layer, std::span<const EntryRecord> entries) {
    const CellAddress cell{instrument, measure, layer};
    Cell& stored = CellAt(cell);
    for (const EntryRecord& old : stored) DropOwner(old.entryNumber, cell);
    stored.assign(entries.begin(), entries.end());
    Adopt(cell, stored);
}

void Document::Adopt(const CellAddress& cell, std::vector<EntryRecord>& stored) {
    for (EntryRecord& entry : stored) {
        if (entry.entryNumber == 0) entry.entryNumber = NextEntryNumber();
        const uint32_t number = entry.entryNumber;
        if (number > lastEntryNumber_) lastEntryNumber_ = number;
        if (number != 0) SetOwner(number, cell);
    }
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
    if (number < owners_.size() && owners_[number]) return owners_[number];
    if (otherOwners_.empty()) return std::nullopt;
    const auto it = otherOwners_.find(number);
    if (it == otherOwners_.end()) return std::nullopt;
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
