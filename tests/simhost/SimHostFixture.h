// A clean stand-in host with one document: staves holding instruments 11, 12 and 13 in slots
// 1 to 3 (so a slot taken for an instrument shows), four measures, entries placed by the tests.
#pragma once

#include "simhost/SimFormat.h"
#include "simhost/SimHost.h"
#include "simhost/SimHostExports.h"

#include <gtest/gtest.h>

#include <vector>

namespace simhost_test {

inline constexpr uint32_t V = HostApiVersion;

// Fields of packed records may sit unaligned: read them by value, never bind references.
inline uint32_t NumberOf(const EntryRecord& entry) { return entry.entryNumber; }
inline uint32_t FlagsOf(const EntryRecord& entry) { return entry.entryFlags; }
inline const void* EntriesOf(const TgfFrame* frame) { return frame->entries; }
inline const void* TupletsOf(const TgfFrame* frame) { return frame->tuplets; }

inline EntryRecord Note(uint32_t duration, uint32_t number = 0) {
    EntryRecord entry{};
    entry.entryNumber = number;
    entry.entryFlags = NoteEntryFlag;
    entry.noteCount = 1;
    simhost::SetDuration(entry, duration);
    return entry;
}

class SimHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.Reset();
        doc = &host.AddDocument(7);
        for (int16_t instrument : {11, 12, 13}) doc->AddStaff(instrument);
        doc->SetMeasureCount(4);
    }
    void TearDown() override { host.Reset(); }

    // Stores `count` quarter notes in measure `measure` of the staff in `slot`, layer index 0.
    std::vector<uint32_t> Fill(int16_t slot, int16_t measure, int count, int16_t layer = 0) {
        std::vector<uint32_t> numbers;
        for (int i = 0; i < count; ++i) {
            numbers.push_back(doc->AddEntry(doc->InstrumentAt(slot), measure, layer, Note(simhost::kQuarter)));
        }
        return numbers;
    }
    const std::vector<EntryRecord>& Stored(int16_t slot, int16_t measure, int16_t layer = 0) {
        return doc->Entries(doc->InstrumentAt(slot), measure, layer);
    }

    simhost::Host& host = simhost::Host::Instance();
    simhost::Document* doc = nullptr;
};

} // namespace simhost_test
