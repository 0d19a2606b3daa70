// Helpers for the transfer tests: entries and notes made to measure, layers over entries held
// in plain memory (no host needed to walk them), and a stand-in host with one document.
#pragma once

#include "framework/FCNoteEntry.h"
#include "framework/FCNoteEntryLayer.h"
#include "host/HostFunctions.h"
#include "simhost/SimFormat.h"
#include "simhost/SimHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <initializer_list>
#include <memory>
#include <vector>

namespace transfer_test {

// A note of pitch `step` in octave 4 (steps past 6 climb octaves), with the tie flag when
// `tied`. Its noteId is left for the caller.
inline NoteRecord MakeNote(int step, bool tied = false) {
    NoteRecord note{};
    simhost::SetPitch(note, simhost::Pitch{static_cast<uint8_t>(step % 7), 0,
                                           static_cast<int8_t>(4 + step / 7), 0});
    note.noteFlags = tied ? TieForwardFlag : 0;
    return note;
}

// A note entry holding one note per step; `tiedMask` bit k ties note k forward.
inline EntryRecord Chord(std::initializer_list<int> steps, uint32_t tiedMask = 0,
                         uint32_t duration = simhost::kQuarter) {
    EntryRecord entry{};
    entry.entryFlags = NoteEntryFlag;
    simhost::SetDuration(entry, duration);
    int k = 0;
    for (int step : steps) {
        entry.notes[k] = MakeNote(step, ((tiedMask >> k) & 1u) != 0);
        entry.notes[k].noteId = static_cast<int16_t>(k + 1);
        ++k;
    }
    entry.noteCount = static_cast<int16_t>(k);
    return entry;
}

inline EntryRecord Note(int step, bool tied = false, uint32_t duration = simhost::kQuarter) {
    return Chord({step}, tied ? 1u : 0u, duration);
}

inline EntryRecord Rest(uint32_t duration = simhost::kQuarter) {
    EntryRecord entry{};
    simhost::SetDuration(entry, duration);
    return entry;
}

// The pitch steps of the notes in use, in order.
inline std::vector<int> Steps(const EntryRecord& entry) {
    std::vector<int> steps;
    for (int k = 0; k < NoteCountOf(entry); ++k) {
        const simhost::Pitch pitch = simhost::GetPitch(entry.notes[k]);
        steps.push_back(pitch.step + 7 * (pitch.octave - 4));
    }
    return steps;
}

// Whether each note in use is tied forward, in order.
inline std::vector<bool> Ties(const EntryRecord& entry) {
    std::vector<bool> ties;
    for (int k = 0; k < NoteCountOf(entry); ++k) ties.push_back((entry.notes[k].noteFlags & TieForwardFlag) != 0);
    return ties;
}

// Host records are packed: their fields are taken by value, never bound to a reference.
template <typename T>
T Read(T packedField) {
    return packedField;
}

// A one-note entry with the given number and extra entry flags.
inline EntryRecord Numbered(uint32_t number, uint32_t flags = 0) {
    EntryRecord record = Note(0);
    record.entryNumber = number;
    record.entryFlags |= flags;
    return record;
}

// The same, outside any frame, wrapped.
struct LooseEntry {
    explicit LooseEntry(uint32_t number, uint32_t flags = 0) : record(Numbered(number, flags)) {}
    EntryRecord record;
    FCNoteEntry entry{&record, nullptr};
};

// One measure of a layer held in plain memory.
struct MemoryMeasure {
    std::vector<EntryRecord> entries;
    std::vector<FrameTupletRecord> tuplets = {};
};

// A layer whose entries live in frames the test owns, one per measure, wrapped as the loaded
// layer wraps host frames: an FCNoteEntry per entry with its FCNotes, linked in layer order.
class MemoryLayer {
public:
    explicit MemoryLayer(std::vector<MemoryMeasure> measures) : measures_(std::move(measures)) {
        layer_.reset(FCNoteEntryLayer::CreateExact(0, 11, 1, static_cast<int16_t>(measures_.size())));
        FCNoteEntry* previous = nullptr;
        for (size_t m = 0; m < measures_.size(); ++m) {
            TgfFrame& frame = frames_.emplace_back();
            frame.measure = static_cast<int16_t>(m + 1);
            frame.entries = measures_[m].entries.data();
            frame.entryCount = static_cast<int16_t>(measures_[m].entries.size());
            frame.tuplets = measures_[m].tuplets.data();
            frame.tupletCount = static_cast<int16_t>(measures_[m].tuplets.size());
            for (EntryRecord& record : measures_[m].entries) {
                auto* entry = new FCNoteEntry(&record, &frame);
                entry->BuildNotes();
                if (previous != nullptr) previous->SetNext(entry);
                layer_->Add(entry);
                previous = entry;
            }
        }
    }
    // One measure.
    explicit MemoryLayer(std::vector<EntryRecord> entries)
        : MemoryLayer(std::vector<MemoryMeasure>{MemoryMeasure{std::move(entries)}}) {}
    MemoryLayer(const MemoryLayer&) = delete;
    MemoryLayer& operator=(const MemoryLayer&) = delete;

    FCNoteEntryLayer& Layer() { return *layer_; }
    FCNoteEntry& Entry(int32_t index) { return *layer_->GetEntryAt(index); }
    // The record of entry `index` counted through all measures.
    EntryRecord& Record(int32_t index) { return *Entry(index).GetRecord(); }
    TgfFrame& Frame(size_t measure) { return frames_[measure]; }

private:
    std::vector<MemoryMeasure> measures_;
    std::deque<TgfFrame> frames_; // stable addresses
    std::unique_ptr<FCNoteEntryLayer> layer_;
};

// A stand-in host with document 7, instruments 11 and 12 in slots 1 and 2, four measures.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.Reset();
        doc = &host.AddDocument(7);
        doc->AddStaff(11);
        doc->AddStaff(12);
        doc->SetMeasureCount(4);
    }
    void TearDown() override {
        host_binding::SetResolverForTesting(nullptr);
        EXPECT_TRUE(host.CheckNoLiveFrames());
        EXPECT_TRUE(host.Problems().empty());
        host.Reset();
    }

    uint64_t Calls(simhost::Function f) const { return host.CallCount(f); }

    simhost::Host& host = simhost::Host::Instance();
    simhost::Document* doc = nullptr;
};

} // namespace transfer_test
