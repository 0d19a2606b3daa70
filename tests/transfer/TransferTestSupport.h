// Helpers for the transfer tests: layers written in a short notation over entries held in plain
// memory (no host needed to walk them), and a stand-in host with one document.
//
// Notation: measures separated by "|", entries by spaces. "r" is a rest, "e" a note entry
// without notes, otherwise the notes' pitch steps separated by "," (a chord), each followed by
// "~" when tied forward: "0 2~ | 2 1,3~,5". A rest that holds notes reads "r:" and its notes.
#pragma once

#include "framework/FCNoteEntry.h"
#include "framework/FCNoteEntryLayer.h"
#include "host/HostFunctions.h"
#include "simhost/SimFormat.h"
#include "simhost/SimHost.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace transfer_test {

// Host records are packed: their fields are taken by value, never bound to a reference.
template <typename T>
T Read(T packedField) {
    return packedField;
}

inline EntryRecord Entry(std::string token) {
    EntryRecord entry{};
    simhost::SetDuration(entry, simhost::kQuarter);
    if (token == "r") return entry;
    const bool rest = token.starts_with("r:");
    if (rest) token.erase(0, 2);
    entry.entryFlags = rest ? 0 : NoteEntryFlag;
    if (token == "e") return entry;
    std::istringstream notes(token);
    std::string note;
    for (int16_t k = 0; std::getline(notes, note, ','); ++k) {
        simhost::SetPitch(entry.notes[k], simhost::Pitch{static_cast<uint8_t>(std::stoi(note)), 0, 4, 0});
        entry.notes[k].noteId = static_cast<int16_t>(k + 1);
        entry.notes[k].noteFlags = note.back() == '~' ? TieForwardFlag : 0;
        entry.noteCount = static_cast<int16_t>(k + 1);
    }
    return entry;
}

inline std::string Describe(const EntryRecord& entry) {
    std::string text;
    if ((entry.entryFlags & NoteEntryFlag) == 0)
        text = NoteCountOf(entry) > 0 ? "r:" : "r";
    else if (NoteCountOf(entry) == 0)
        text = "e";
    for (int k = 0; k < NoteCountOf(entry); ++k) {
        if (k > 0) text += ",";
        text += std::to_string(simhost::GetPitch(entry.notes[k]).step);
        if ((entry.notes[k].noteFlags & TieForwardFlag) != 0) text += "~";
    }
    return text;
}

// The layer in the notation above, read through its entries and their frames.
inline std::string Describe(const FCNoteEntryLayer& layer) {
    std::string text;
    for (int32_t i = 0; i < layer.GetCount(); ++i) {
        const FCNoteEntry* entry = layer.GetEntryAt(i);
        if (i > 0) text += entry->GetFrame() != layer.GetEntryAt(i - 1)->GetFrame() ? " | " : " ";
        text += Describe(*entry->GetRecord());
    }
    return text;
}

// A one-note entry with the given number and extra entry flags.
inline EntryRecord Numbered(uint32_t number, uint32_t flags = 0) {
    EntryRecord record = Entry("0");
    record.entryNumber = number;
    record.entryFlags |= flags;
    return record;
}

// The same outside any frame, wrapped.
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

// A layer whose entries live in frames the test owns, one per measure, wrapped as a loaded
// layer wraps host frames: an FCNoteEntry per entry with its FCNotes, linked in layer order.
class MemoryLayer {
public:
    explicit MemoryLayer(std::vector<MemoryMeasure> measures) : measures_(std::move(measures)) {
        layer_.reset(FCNoteEntryLayer::CreateExact(0, 11, 1, static_cast<int16_t>(measures_.size())));
        FCNoteEntry* previous = nullptr;
        for (MemoryMeasure& measure : measures_) {
            TgfFrame& frame = frames_.emplace_back();
            frame.entries = measure.entries.data();
            frame.entryCount = static_cast<int16_t>(measure.entries.size());
            frame.tuplets = measure.tuplets.data();
            frame.tupletCount = static_cast<int16_t>(measure.tuplets.size());
            for (EntryRecord& record : measure.entries) {
                auto* entry = new FCNoteEntry(&record, &frame);
                entry->BuildNotes();
                if (previous != nullptr) previous->SetNext(entry);
                layer_->Add(entry);
                previous = entry;
            }
        }
    }
    explicit MemoryLayer(const std::string& notation) : MemoryLayer(Parse(notation)) {}
    MemoryLayer(const MemoryLayer&) = delete;
    MemoryLayer& operator=(const MemoryLayer&) = delete;

    FCNoteEntryLayer& Layer() { return *layer_; }
    FCNoteEntry& At(int32_t index) { return *layer_->GetEntryAt(index); }
    EntryRecord& Record(int32_t index) { return *At(index).GetRecord(); }
    TgfFrame& Frame(size_t measure) { return frames_[measure]; }
    std::string Text() const { return Describe(*layer_); }

private:
    static std::vector<MemoryMeasure> Parse(const std::string& notation) {
        std::vector<MemoryMeasure> measures(1);
        std::istringstream tokens(notation);
        for (std::string token; tokens >> token;) {
            if (token == "|")
                measures.emplace_back();
            else
                measures.back().entries.push_back(Entry(token));
        }
        return measures;
    }

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
        EXPECT_TRUE(host.Problems().empty());
        host.Reset();
    }

    uint64_t Calls(simhost::Function f) const { return host.CallCount(f); }

    simhost::Host& host = simhost::Host::Instance();
    simhost::Document* doc = nullptr;
};

} // namespace transfer_test
