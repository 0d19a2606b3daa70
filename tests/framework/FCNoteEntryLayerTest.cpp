// The note entry layer against the stand-in host. Every test ends with the host's books
// checked: each frame lent was given back exactly once, and nothing was used after that.
#include "framework/FCNoteEntryLayer.h"
#include "host/HostFunctions.h"
#include "simhost/SimFormat.h"
#include "simhost/SimHost.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using simhost::Function;
using simhost::Host;

// Instruments, deliberately unlike the slots that hold them.
constexpr int16_t kSource = 11;
constexpr int16_t kDest = 12;

Host& host() { return Host::Instance(); }

EntryRecord MakeEntry(uint32_t duration, int notes) {
    EntryRecord e{};
    simhost::SetDuration(e, duration);
    e.entryFlags = notes > 0 ? NoteEntryFlag : 0;
    e.noteCount = static_cast<int16_t>(notes);
    for (int k = 0; k < notes && k < kMaxNotesPerEntry; ++k) {
        simhost::SetPitch(e.notes[k], simhost::Pitch{static_cast<uint8_t>(k), 0, 4, 0});
        e.notes[k].noteId = static_cast<int16_t>(k + 1);
    }
    return e;
}

std::vector<uint32_t> Durations(const std::vector<EntryRecord>& entries) {
    std::vector<uint32_t> out;
    for (const EntryRecord& e : entries) out.push_back(simhost::GetDuration(e));
    return out;
}

// Durations along the layer's next chain, from its first entry.
std::vector<uint32_t> ChainDurations(const FCNoteEntryLayer& layer) {
    std::vector<uint32_t> out;
    for (FCNoteEntry* e = layer.GetEntryAt(0); e != nullptr; e = e->GetNext()) {
        out.push_back(e->GetRecord() != nullptr ? simhost::GetDuration(*e->GetRecord()) : 0);
    }
    return out;
}

// A host that lacks the named functions, for the binding seam.
std::set<std::string> gDropped;
void* ResolveAllBut(const char* name) { return gDropped.count(name) != 0 ? nullptr : dlsym(RTLD_DEFAULT, name); }

using Layer = std::unique_ptr<FCNoteEntryLayer>;

// Source: instrument 11, layer index 0, measures 5-7 (two entries, none, one).
// Destination: instrument 12, layer index 1, measures 10-12 (one entry, two, one).
class LayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        host().Reset();
        doc_ = &host().AddDocument(1);
        srcSlot_ = doc_->AddStaff(kSource);
        dstSlot_ = doc_->AddStaff(kDest);
        doc_->SetMeasureCount(16);
        Select(1, 16);
        doc_->SetEntries(kSource, 5, 0, {MakeEntry(1024, 3), MakeEntry(2048, 1)});
        doc_->SetEntries(kSource, 7, 0, {MakeEntry(4096, 1)});
        doc_->SetEntries(kDest, 10, 1, {MakeEntry(512, 1)});
        doc_->SetEntries(kDest, 11, 1, {MakeEntry(256, 2), MakeEntry(256, 0)});
        doc_->SetEntries(kDest, 12, 1, {MakeEntry(768, 1)});
    }
    void TearDown() override {
        host_binding::SetResolverForTesting(nullptr);
        gDropped.clear();
        EXPECT_TRUE(host().CheckNoLiveFrames());
        for (const std::string& problem : host().Problems()) ADD_FAILURE() << problem;
    }

    void Select(int16_t first, int16_t last) { host().SetSelection(Host::WholeMeasures(1, 2, first, last)); }
    static Layer Source() { return Layer(FCNoteEntryLayer::CreateExact(0, kSource, 5, 7)); }
    std::vector<uint32_t> Stored(int16_t instrument, int16_t measure, int16_t layer) const {
        return Durations(doc_->Entries(instrument, measure, layer));
    }
    std::vector<std::vector<uint32_t>> StoredDestination() const {
        return {Stored(kDest, 10, 1), Stored(kDest, 11, 1), Stored(kDest, 12, 1)};
    }
    // A clone that fails leaves the layer empty and unmoved, and the destination as it was.
    void ExpectCloneFailsWhole(FCNoteEntryLayer& layer) {
        const auto before = StoredDestination();
        EXPECT_FALSE(layer.CloneTo(1, kDest, 10));
        EXPECT_EQ(layer.GetCount(), 0);
        EXPECT_EQ(layer.GetFrameCount(), 0);
        EXPECT_EQ(layer.GetLayer(), 0);
        EXPECT_EQ(layer.GetInstrument(), kSource);
        EXPECT_EQ(layer.GetFirstMeasure(), 5);
        EXPECT_EQ(layer.GetLastMeasure(), 7);
        EXPECT_FALSE(layer.Save());
        EXPECT_EQ(StoredDestination(), before);
    }

    simhost::Document* doc_ = nullptr;
    int16_t srcSlot_ = 0;
    int16_t dstSlot_ = 0;
};

TEST_F(LayerTest, ConstructionRaisesTheFirstMeasureAndCutsTheLastAtTheSelection) {
    Select(1, 8);
    EXPECT_EQ(FCNoteEntryLayer(0, kSource, 0, 4).GetFirstMeasure(), 1);
    EXPECT_EQ(FCNoteEntryLayer(0, kSource, -3, 4).GetFirstMeasure(), 1);
    EXPECT_EQ(FCNoteEntryLayer(0, kSource, 2, -1).GetLastMeasure(), 8);
    EXPECT_EQ(FCNoteEntryLayer(0, kSource, 2, 20).GetLastMeasure(), 8);
    EXPECT_EQ(FCNoteEntryLayer(0, kSource, 2, 5).GetLastMeasure(), 5);

    // A layer after the selection ends below its first measure and loads nothing.
    Select(1, 4);
    FCNoteEntryLayer late(0, kSource, 9, 12);
    EXPECT_EQ(late.GetLastMeasure(), 4);
    EXPECT_FALSE(late.Load());
    EXPECT_FALSE(late.CloneTo(1, kDest, 10));
    host().SetSelection(RegionRecord{});
    FCNoteEntryLayer none(0, kSource, 1, -1);
    EXPECT_EQ(none.GetLastMeasure(), 0);
    EXPECT_FALSE(none.Load());
    EXPECT_EQ(host().CallCount(Function::LoadTGF), 0u);

    // The exact placement keeps its range whatever the selection.
    Layer exact(FCNoteEntryLayer::CreateExact(0, kSource, 0, 7));
    EXPECT_EQ(exact->GetFirstMeasure(), 1);
    EXPECT_EQ(exact->GetLastMeasure(), 7);
    EXPECT_TRUE(exact->Load());
    EXPECT_EQ(exact->GetFrameCount(), 7);
    EXPECT_EQ(exact->GetCount(), 3);
}

TEST_F(LayerTest, LoadRefusesPositionsThatAreNoMeasures) {
    for (auto* layer : {FCNoteEntryLayer::CreateExact(0, 0, 5, 7), FCNoteEntryLayer::CreateExact(0, kSource, 5, 4),
                        FCNoteEntryLayer::CreateExact(0, kSource, 5, 0)}) {
        EXPECT_FALSE(layer->Load());
        EXPECT_FALSE(layer->Save());
        delete layer;
    }
    EXPECT_EQ(host().CallCount(), 0u);
}

TEST_F(LayerTest, LoadWrapsEveryEntryAndChainsOverAnEmptyMeasure) {
    Layer layer = Source();
    ASSERT_TRUE(layer->Load());
    ASSERT_EQ(layer->GetFrameCount(), 3);
    ASSERT_NE(layer->GetFrameAt(1), nullptr);
    EXPECT_EQ(layer->GetFrameAt(1)->entryCount, 0);
    EXPECT_EQ(layer->GetFrameAt(3), nullptr);
    ASSERT_EQ(layer->GetCount(), 3);
    EXPECT_EQ(ChainDurations(*layer), (std::vector<uint32_t>{1024, 2048, 4096}));
    EXPECT_EQ(layer->GetEntryAt(1)->GetNext(), layer->GetEntryAt(2));

    const auto& stored = doc_->Entries(kSource, 5, 0);
    FCNoteEntry* chord = layer->GetEntryAt(0);
    EXPECT_EQ(chord->GetFrame(), layer->GetFrameAt(0));
    EXPECT_EQ(chord->GetEntryNumber(), stored[0].entryNumber);
    EXPECT_EQ(layer->GetEntryAt(2)->GetFrame(), layer->GetFrameAt(2));
    ASSERT_EQ(chord->GetCount(), 3);
    for (int32_t k = 0; k < 3; ++k) {
        EXPECT_EQ(chord->GetNoteAt(k)->GetRecord(), &chord->GetRecord()->notes[k]);
        EXPECT_EQ(chord->GetNoteAt(k)->GetIndex(), k);
        EXPECT_EQ(chord->GetNoteAt(k)->GetEntry(), chord);
    }

    // Loading again gives the earlier frames back first.
    ASSERT_TRUE(layer->Load());
    EXPECT_EQ(host().LiveFrameCount(), 3u);
}

TEST_F(LayerTest, ChainPassesOverASkippedMeasure) {
    doc_->SetEntries(kSource, 6, 0, {MakeEntry(333, 1)});
    Layer layer = Source();
    // Per measure: GetShowLayer, InstToSlot, LoadTGF. The second GetShowLayer says "hidden".
    host().FailNthCall(4);
    ASSERT_TRUE(layer->Load());
    EXPECT_EQ(layer->GetFrameAt(1), nullptr);
    EXPECT_EQ(ChainDurations(*layer), (std::vector<uint32_t>{1024, 2048, 4096}));
}

TEST_F(LayerTest, HiddenLayerLoadsNothingUnlessVisibleOnlyIsOff) {
    host().SetLayerShown(0, false);
    Layer layer = Source();
    ASSERT_TRUE(layer->Load());
    EXPECT_EQ(layer->GetCount(), 0);
    EXPECT_EQ(layer->GetFrameCount(), 3);
    EXPECT_EQ(layer->GetFrameAt(0), nullptr);
    EXPECT_TRUE(layer->Save());
    EXPECT_EQ(host().CallCount(Function::LoadTGF), 0u);
    EXPECT_EQ(host().CallCount(Function::SaveTGF), 0u);

    // A clone from a hidden layer touches no destination measure.
    const auto before = StoredDestination();
    EXPECT_TRUE(layer->CloneTo(1, kDest, 10));
    EXPECT_TRUE(layer->Save());
    EXPECT_EQ(StoredDestination(), before);
    EXPECT_EQ(host().CallCount(Function::LoadTGF), 0u);

    Layer shown = Source();
    shown->SetVisibleOnly(false);
    ASSERT_TRUE(shown->Load());
    EXPECT_EQ(shown->GetCount(), 3);
}

TEST_F(LayerTest, MissingFrameEmptiesTheLayer) {
    Layer layer = Source();
    ASSERT_TRUE(layer->Load());
    host().FailLoadAt(srcSlot_, 6);
    EXPECT_FALSE(layer->Load());
    EXPECT_EQ(layer->GetCount(), 0);
    EXPECT_EQ(layer->GetFrameCount(), 0);
    EXPECT_FALSE(layer->Save());
}

TEST_F(LayerTest, HostWithoutShowLayerOrLoadTGF) {
    host().SetMissing(Function::GetShowLayer, true);
    Layer blind = Source();
    ASSERT_TRUE(blind->Load());
    EXPECT_EQ(blind->GetCount(), 0);
    blind->SetVisibleOnly(false);
    ASSERT_TRUE(blind->Load());
    EXPECT_EQ(blind->GetCount(), 3);

    // The same host through the binding seam, now also without LoadTGF.
    gDropped = {simhost::FunctionName(Function::GetShowLayer), simhost::FunctionName(Function::LoadTGF)};
    host_binding::SetResolverForTesting(&ResolveAllBut);
    Layer none = Source();
    none->SetVisibleOnly(false);
    EXPECT_FALSE(none->Load());
    EXPECT_FALSE(none->CloneTo(1, kDest, 10));
    host_binding::SetResolverForTesting(nullptr);
}

TEST_F(LayerTest, CloneFillsTheDestinationAndMovesTheLayer) {
    Layer layer = Source();
    ASSERT_TRUE(layer->CloneTo(1, kDest, 10));
    EXPECT_EQ(layer->GetLayer(), 1);
    EXPECT_EQ(layer->GetInstrument(), kDest);
    EXPECT_EQ(layer->GetFirstMeasure(), 10);
    EXPECT_EQ(layer->GetLastMeasure(), 12);
    ASSERT_EQ(layer->GetFrameCount(), 3);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(layer->GetFrameAt(i)->measure, 10 + i);
        EXPECT_EQ(layer->GetFrameAt(i)->slot, dstSlot_);
        EXPECT_EQ(layer->GetFrameAt(i)->layer, 1);
    }
    EXPECT_EQ(ChainDurations(*layer), (std::vector<uint32_t>{1024, 2048, 4096}));
    EXPECT_EQ(layer->GetEntryAt(0)->GetCount(), 3);
    // Only the source's own frames were given back so far.
    EXPECT_EQ(host().LiveFrameCount(), 3u);

    ASSERT_TRUE(layer->Save());
    EXPECT_EQ(Stored(kDest, 10, 1), (std::vector<uint32_t>{1024, 2048}));
    EXPECT_TRUE(Stored(kDest, 11, 1).empty());
    EXPECT_EQ(Stored(kDest, 12, 1), (std::vector<uint32_t>{4096}));
    EXPECT_EQ(simhost::GetPitch(doc_->Entries(kDest, 10, 1)[0].notes[2]).step, 2);
    EXPECT_EQ(Stored(kSource, 5, 0), (std::vector<uint32_t>{1024, 2048}));
}

TEST_F(LayerTest, CloneClearsMaskedFlagsAndKeepsTheInsertedNumbers) {
    EntryRecord flagged = MakeEntry(1024, 2);
    flagged.entryFlags = 0xFFFFFFFFu;
    flagged.entryFlags2 = 0xFFFF;
    doc_->SetEntries(kSource, 5, 0, {flagged});
    const EntryRecord source = doc_->Entries(kSource, 5, 0)[0];
    host().SetNumberOnInsert(true);

    Layer layer = Source();
    ASSERT_TRUE(layer->CloneTo(1, kDest, 10));
    EntryRecord clone = *layer->GetEntryAt(0)->GetRecord();
    EXPECT_EQ(clone.entryFlags, 0xFF85AB3Fu);
    EXPECT_EQ(clone.entryFlags2, 0xFFDF);
    const uint32_t number = clone.entryNumber;
    EXPECT_NE(number, 0u);
    EXPECT_NE(number, source.entryNumber);
    // Every other byte is the source's.
    clone.entryNumber = source.entryNumber;
    clone.entryFlags = source.entryFlags;
    clone.entryFlags2 = source.entryFlags2;
    EXPECT_EQ(std::memcmp(&clone, &source, sizeof clone), 0);

    // Numbered entries need no reload.
    const uint64_t loads = host().CallCount(Function::LoadTGF);
    ASSERT_TRUE(layer->Save());
    EXPECT_EQ(host().CallCount(Function::LoadTGF), loads);
    EXPECT_EQ(doc_->Entries(kDest, 10, 1)[0].entryNumber, number);
}

TEST_F(LayerTest, SaveRenumbersAndRebindsTheWrappers) {
    Layer layer = Source();
    ASSERT_TRUE(layer->CloneTo(1, kDest, 10));
    for (int32_t i = 0; i < 3; ++i) EXPECT_EQ(layer->GetEntryAt(i)->GetEntryNumber(), 0u);

    const uint64_t loads = host().CallCount(Function::LoadTGF);
    ASSERT_TRUE(layer->Save());
    // Measures 10 and 12 held unnumbered entries; the emptied measure 11 did not.
    EXPECT_EQ(host().CallCount(Function::LoadTGF), loads + 2);
    const auto& stored10 = doc_->Entries(kDest, 10, 1);
    const auto& stored12 = doc_->Entries(kDest, 12, 1);
    const uint32_t numbers[] = {stored10[0].entryNumber, stored10[1].entryNumber, stored12[0].entryNumber};
    const int32_t slots[] = {0, 0, 2};
    for (int32_t i = 0; i < 3; ++i) {
        FCNoteEntry* entry = layer->GetEntryAt(i);
        EXPECT_NE(numbers[i], 0u);
        EXPECT_EQ(entry->GetEntryNumber(), numbers[i]);
        EXPECT_EQ(entry->GetFrame(), layer->GetFrameAt(slots[i]));
        EXPECT_EQ(entry->GetRecord(), &layer->GetFrameAt(slots[i])->entries[i == 1 ? 1 : 0]);
        for (int32_t k = 0; k < entry->GetCount(); ++k) {
            EXPECT_EQ(entry->GetNoteAt(k)->GetRecord(), &entry->GetRecord()->notes[k]);
        }
    }
    EXPECT_NE(numbers[0], numbers[1]);

    // Everything is numbered now: a second save reloads nothing.
    ASSERT_TRUE(layer->Save());
    EXPECT_EQ(host().CallCount(Function::LoadTGF), loads + 2);
}

TEST_F(LayerTest, SaveLeavesInhibitedFramesAlone) {
    Layer layer = Source();
    ASSERT_TRUE(layer->Load());
    TgfFrame* inhibited = layer->GetFrameAt(0);
    inhibited->saveInhibit = 1;
    // Unnumbered and without notes: a saved frame would be normalized and reloaded.
    inhibited->entries[0].entryNumber = 0;
    inhibited->entries[0].noteCount = 0;
    simhost::SetDuration(layer->GetFrameAt(2)->entries[0], 999);

    const uint64_t loads = host().CallCount(Function::LoadTGF);
    EXPECT_TRUE(layer->Save());
    EXPECT_EQ(host().CallCount(Function::SaveTGF), 2u);
    EXPECT_EQ(host().CallCount(Function::LoadTGF), loads);
    EXPECT_EQ(layer->GetFrameAt(0), inhibited);
    EXPECT_EQ(inhibited->entries[0].noteCount, 0);
    EXPECT_EQ(Stored(kSource, 5, 0), (std::vector<uint32_t>{1024, 2048}));
    EXPECT_EQ(Stored(kSource, 7, 0), (std::vector<uint32_t>{999}));
}

TEST_F(LayerTest, CloneFailsWholeWhenADestinationFrameIsMissing) {
    host().FailLoadAt(dstSlot_, 12);
    Layer layer = Source();
    ASSERT_TRUE(layer->Load());
    ExpectCloneFailsWhole(*layer);
}

TEST_F(LayerTest, CloneFailsWholeWhenASourceFrameIsMissing) {
    host().FailLoadAt(srcSlot_, 7);
    Layer layer = Source();
    ExpectCloneFailsWhole(*layer);
}

TEST_F(LayerTest, CloneRefusesADestinationBeyondTheLastMeasureNumber) {
    Layer layer = Source();
    EXPECT_FALSE(layer->CloneTo(1, kDest, 32766));
    EXPECT_FALSE(layer->CloneTo(1, kDest, 0));
    EXPECT_EQ(host().CallCount(Function::LoadTGF), 0u);

    // A range ending at the last measure number terminates.
    host().SetLayerShown(0, false);
    Layer top(FCNoteEntryLayer::CreateExact(0, kSource, 32760, 32767));
    EXPECT_TRUE(top->Load());
    EXPECT_EQ(top->GetFrameCount(), 8);
    EXPECT_TRUE(top->CloneTo(1, kDest, 32760));
    EXPECT_EQ(top->GetLastMeasure(), 32767);
}

TEST_F(LayerTest, CloneFailsUnlessTheHostLeavesTheSourcesEntries) {
    // Entries not inserted, or old ones not deleted, would save a rhythm that is not the source's.
    for (Function f : {Function::InsertEXENTRY, Function::DeleteEXENTRY}) {
        host().SetMissing(f, true);
        Layer layer = Source();
        EXPECT_FALSE(layer->CloneTo(1, kDest, 10));
        EXPECT_EQ(layer->GetCount(), 0);
        EXPECT_EQ(layer->GetFirstMeasure(), 5);
        host().SetMissing(f, false);
    }
    EXPECT_EQ(host().CallCount(Function::SaveTGF), 0u);
}

TEST_F(LayerTest, RefusedFramesKeepTheScoreAndTakeNoDetails) {
    Layer layer = Source();
    ASSERT_TRUE(layer->CloneTo(1, kDest, 10));
    const std::vector<uint32_t> before = Stored(kDest, 10, 1);
    host().SetFailing(Function::SaveTGF, true);
    const uint64_t loads = host().CallCount(Function::LoadTGF);
    EXPECT_FALSE(layer->Save());
    EXPECT_EQ(host().CallCount(Function::SaveTGF), 3u);
    // Not reloaded: the old entries never come under the clone's wrappers.
    EXPECT_EQ(host().CallCount(Function::LoadTGF), loads);
    for (int32_t i = 0; i < layer->GetCount(); ++i) {
        FCNoteEntry* entry = layer->GetEntryAt(i);
        EXPECT_EQ(entry->GetRecord(), nullptr);
        EXPECT_EQ(entry->GetEntryNumber(), 0u);
        for (int32_t k = 0; k < entry->GetCount(); ++k) EXPECT_EQ(entry->GetNoteAt(k)->GetRecord(), nullptr);
    }

    // Nor offered again once the host would take them.
    host().SetFailing(Function::SaveTGF, false);
    EXPECT_FALSE(layer->Save());
    EXPECT_EQ(host().CallCount(Function::SaveTGF), 3u);
    EXPECT_EQ(Stored(kDest, 10, 1), before);
}

TEST_F(LayerTest, ReloadWithoutAFreshFrameKeepsTheOldOne) {
    Layer layer = Source();
    ASSERT_TRUE(layer->CloneTo(1, kDest, 10));
    TgfFrame* kept = layer->GetFrameAt(0);
    TgfFrame* replaced = layer->GetFrameAt(2);
    host().FailLoadAt(dstSlot_, 10);
    // Saved, but its entries are left without the numbers details would go under.
    EXPECT_FALSE(layer->Save());
    EXPECT_EQ(layer->GetFrameAt(0), kept);
    EXPECT_EQ(layer->GetEntryAt(1)->GetFrame(), kept);
    EXPECT_EQ(layer->GetEntryAt(1)->GetRecord(), &kept->entries[1]);
    EXPECT_NE(layer->GetFrameAt(2), replaced);
    EXPECT_EQ(Stored(kDest, 10, 1), (std::vector<uint32_t>{1024, 2048}));
}

TEST_F(LayerTest, NoteCountsAreBoundedByTheRecord) {
    EntryRecord crowded = MakeEntry(1024, 12);
    crowded.noteCount = 40;
    EntryRecord negative = MakeEntry(1024, 0);
    negative.noteCount = -3;
    doc_->SetEntries(kSource, 5, 0, {crowded, negative});
    Layer layer = Source();
    ASSERT_TRUE(layer->Load());
    EXPECT_EQ(layer->GetEntryAt(0)->GetCount(), 12);
    EXPECT_EQ(layer->GetEntryAt(1)->GetCount(), 0);
}

} // namespace
