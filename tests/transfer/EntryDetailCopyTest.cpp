// Articulations and tuplets carried from source entries to rebuilt entries, stored through the
// stand-in host's EData store.
#include "framework/FCArticulations.h"
#include "TransferTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <vector>

namespace transfer_test {
namespace {

using simhost::Function;

class EntryDetailCopyTest : public HostTest {
protected:
    void PutArticulation(uint32_t number, uint16_t sequence, uint16_t id, int16_t placement = 0) {
        simhost::ArticulationRecord record{id, placement, {}};
        doc->PutEData(simhost::kArticulationTag, number, sequence, &record, sizeof record);
    }
    // The articulation stored under (number, sequence): its id and placement, or (0, 0).
    std::pair<uint16_t, int16_t> ArticulationAt(uint32_t number, uint16_t sequence) {
        const std::vector<uint8_t>* bytes = doc->FindEData(simhost::kArticulationTag, number, sequence);
        if (bytes == nullptr || bytes->size() != sizeof(simhost::ArticulationRecord)) return {0, 0};
        simhost::ArticulationRecord record;
        std::memcpy(&record, bytes->data(), sizeof record);
        return {record.articulationId, record.placement};
    }
    size_t StoredFor(uint32_t tag, uint32_t number) {
        size_t found = 0;
        for (const auto& [address, bytes] : doc->EData()) found += address.tag == tag && address.number == number;
        return found;
    }
};

using Articulation = std::pair<uint16_t, int16_t>;

TEST_F(EntryDetailCopyTest, ArticulationsKeepTheirSequenceNumbersUpToTheFirstGap) {
    for (uint16_t s = 0; s < 3; ++s) PutArticulation(50, s, 4, static_cast<int16_t>(s));
    PutArticulation(50, 4, 9); // beyond the gap
    LooseEntry source(50, ArticulationFlag), target(60);

    // Equal articulations of the source are all taken: only what the entry had counts.
    EXPECT_EQ(target.entry.CopyArticulationsFrom(&source.entry), 3);
    for (uint16_t s = 0; s < 3; ++s) {
        EXPECT_EQ(ArticulationAt(60, s), (Articulation{4, static_cast<int16_t>(s)}));
        EXPECT_EQ(ArticulationAt(50, s), (Articulation{4, static_cast<int16_t>(s)})) << "the source keeps its own";
    }
    EXPECT_EQ(StoredFor(simhost::kArticulationTag, 60), 3u);
    EXPECT_NE(target.record.entryFlags & ArticulationFlag, 0u);

    // A flag without records brings nothing and sets nothing.
    LooseEntry flaggedOnly(52, ArticulationFlag), other(62);
    EXPECT_EQ(other.entry.CopyArticulationsFrom(&flaggedOnly.entry), 0);
    EXPECT_EQ(other.record.entryFlags & ArticulationFlag, 0u);
}

TEST_F(EntryDetailCopyTest, ArticulationsAlreadyPresentAreSkippedAndTheRestShifted) {
    PutArticulation(60, 0, 7, -1);
    PutArticulation(50, 0, 7, 1);
    PutArticulation(50, 1, 9, 1);
    LooseEntry source(50, ArticulationFlag), target(60);

    EXPECT_EQ(target.entry.CopyArticulationsFrom(&source.entry), 1);
    EXPECT_EQ(ArticulationAt(60, 0), (Articulation{7, -1})) << "the entry's own stays";
    EXPECT_EQ(ArticulationAt(60, 1), (Articulation{0, 0})) << "nothing under the source's own number";
    EXPECT_EQ(ArticulationAt(60, 2), (Articulation{9, 1})) << "1 shifted past the 1 present";
    EXPECT_NE(target.record.entryFlags & ArticulationFlag, 0u);
}

TEST_F(EntryDetailCopyTest, PreloadedArticulationsAndUnnumberedDestinations) {
    PutArticulation(50, 0, 2);
    PutArticulation(50, 1, 5);
    LooseEntry source(50, ArticulationFlag), target(60), unnumbered(0);
    FCArticulations preloaded(&source.entry);
    ASSERT_EQ(preloaded.LoadAll(), 2);
    const uint64_t loads = Calls(Function::LoadEData);

    // An entry numbered 0 takes nothing and asks the host nothing.
    EXPECT_EQ(unnumbered.entry.CopyArticulationsFrom(&source.entry), 0);
    EXPECT_EQ(unnumbered.entry.CopyArticulationsFrom(preloaded), 0);
    EXPECT_EQ(Read(preloaded.GetArticulationAt(0)->GetKey().number), 50u) << "not rekeyed";
    EXPECT_EQ(Calls(Function::LoadEData), loads);
    EXPECT_EQ(Calls(Function::SaveEData), 0u);
    EXPECT_EQ(unnumbered.record.entryFlags & ArticulationFlag, 0u);

    // Preloaded articulations travel even after a save over the source position removed
    // the source's own records.
    doc->EData().clear();
    EXPECT_EQ(target.entry.CopyArticulationsFrom(preloaded), 2);
    EXPECT_EQ(ArticulationAt(60, 1).first, 5);
    EXPECT_EQ(preloaded.GetArticulationAt(1)->GetEntry(), &target.entry);
}

void* ResolveWithoutLoadEData(const char* name) {
    return std::strcmp(name, simhost::FunctionName(Function::LoadEData)) == 0 ? nullptr : dlsym(RTLD_DEFAULT, name);
}

TEST_F(EntryDetailCopyTest, ArticulationsWithMissingHostFunctions) {
    PutArticulation(50, 0, 1);
    PutArticulation(50, 1, 2);
    LooseEntry source(50, ArticulationFlag), target(60);

    // Without LoadEData there is nothing to copy.
    host_binding::SetResolverForTesting(&ResolveWithoutLoadEData);
    EXPECT_EQ(target.entry.CopyArticulationsFrom(&source.entry), 0);
    EXPECT_EQ(Calls(Function::SaveEData), 0u);
    EXPECT_EQ(target.record.entryFlags & ArticulationFlag, 0u);
    host_binding::SetResolverForTesting(nullptr);

    // Without SaveEData every save fails: nothing is stored and the entry stays unflagged.
    host.SetMissing(Function::SaveEData, true);
    EXPECT_EQ(target.entry.CopyArticulationsFrom(&source.entry), 0);
    EXPECT_EQ(StoredFor(simhost::kArticulationTag, 60), 0u);
    EXPECT_EQ(target.record.entryFlags & ArticulationFlag, 0u);
}

// A tuplet placement whose definition starts with `mark`.
FrameTupletRecord Placement(int16_t entryIndex, int16_t tupletIndex, uint8_t mark) {
    FrameTupletRecord placement{};
    placement.entryIndex = entryIndex;
    placement.tupletIndex = tupletIndex;
    for (size_t i = 0; i < sizeof placement.definition; ++i) placement.definition[i] = static_cast<uint8_t>(mark + i);
    return placement;
}

class TupletCopyTest : public EntryDetailCopyTest {
protected:
    // The mark of the tuplet stored under (number, sequence), or 0.
    uint8_t TupletAt(uint32_t number, uint16_t sequence) {
        const std::vector<uint8_t>* bytes = doc->FindEData(simhost::kTupletTag, number, sequence);
        if (bytes == nullptr) return 0;
        EXPECT_EQ(bytes->size(), 30u);
        for (size_t i = 1; i < bytes->size(); ++i) EXPECT_EQ((*bytes)[i], static_cast<uint8_t>((*bytes)[0] + i));
        return (*bytes)[0];
    }
    // One measure of `count` entries numbered from `firstNumber`.
    std::vector<MemoryMeasure> Rebuilt(uint32_t firstNumber, int count, uint32_t flags = 0) {
        std::vector<MemoryMeasure> measures(1);
        for (int i = 0; i < count; ++i)
            measures[0].entries.push_back(Numbered(firstNumber + static_cast<uint32_t>(i), flags));
        return measures;
    }
};

TEST_F(TupletCopyTest, TupletsFollowTheirEntriesUpToTheFirstGap) {
    MemoryLayer source({
        {{Numbered(10, TupletFlag), Numbered(11, TupletFlag), Numbered(12, TupletFlag), Numbered(13)},
         {Placement(0, 1, 20), Placement(1, 2, 60), Placement(0, 0, 10), Placement(1, 0, 50), Placement(3, 0, 90)}},
        {{Numbered(14, TupletFlag)}, {Placement(0, 0, 100)}},
    });
    MemoryLayer rebuilt(Rebuilt(20, 5, TupletFlag));

    ASSERT_TRUE(rebuilt.Layer().CopyTupletsFrom(source.Layer()));
    // Two tuplets, found by their number whatever the placement order.
    EXPECT_EQ(TupletAt(20, 0), 10);
    EXPECT_EQ(TupletAt(20, 1), 20);
    // Tuplet numbers 0 and 2: the one beyond the gap stays behind.
    EXPECT_EQ(TupletAt(21, 0), 50);
    EXPECT_EQ(StoredFor(simhost::kTupletTag, 21), 1u);
    // Flagged without placements: nothing stored, the flag cleared.
    EXPECT_EQ(StoredFor(simhost::kTupletTag, 22), 0u);
    EXPECT_EQ(rebuilt.Record(2).entryFlags & TupletFlag, 0u);
    // Not flagged: its placement is not looked at and the rebuilt entry is not touched.
    EXPECT_EQ(StoredFor(simhost::kTupletTag, 23), 0u);
    EXPECT_NE(rebuilt.Record(3).entryFlags & TupletFlag, 0u);
    // Placements are looked up in the source entry's own frame.
    EXPECT_EQ(TupletAt(24, 0), 100);
    for (int i : {0, 1, 4}) EXPECT_NE(rebuilt.Record(i).entryFlags & TupletFlag, 0u) << i;
}

TEST_F(TupletCopyTest, PlacementsOutsideTheFrameAreIgnored) {
    MemoryLayer source({
        {{Numbered(10, TupletFlag), Numbered(11)},
         {Placement(5, 0, 1), Placement(-1, 0, 2), Placement(1, 0, 3), Placement(0, 0, 40)}},
        {{Numbered(12, TupletFlag)}, {Placement(0, 0, 50)}},
        {{Numbered(13, TupletFlag)}, {Placement(0, 0, 60)}},
    });
    // A negative count and an absent array read as no placements at all.
    source.Frame(1).tupletCount = -4;
    source.Frame(2).tuplets = nullptr;
    MemoryLayer rebuilt(Rebuilt(20, 4));

    ASSERT_TRUE(rebuilt.Layer().CopyTupletsFrom(source.Layer()));
    EXPECT_EQ(TupletAt(20, 0), 40);
    EXPECT_EQ(StoredFor(simhost::kTupletTag, 22), 0u);
    EXPECT_EQ(StoredFor(simhost::kTupletTag, 23), 0u);
    EXPECT_EQ(rebuilt.Record(2).entryFlags & TupletFlag, 0u);
}

TEST_F(TupletCopyTest, ManyPlacementsOnOneEntryAreFoundInOnePass) {
    // A host reporting 32767 placements on one entry (tuplet numbers 32765 down to 0, each
    // found last, and one duplicate): every number is stored, in time linear in what the frame
    // holds.
    std::vector<FrameTupletRecord> placements;
    for (int32_t k = INT16_MAX - 2; k >= 0; --k) placements.push_back(Placement(0, static_cast<int16_t>(k), 7));
    placements.push_back(Placement(0, 3, 99)); // a later duplicate of a number is not taken
    MemoryLayer source({{{Numbered(10, TupletFlag)}, placements}});
    MemoryLayer rebuilt(Rebuilt(20, 1));
    ASSERT_TRUE(rebuilt.Layer().CopyTupletsFrom(source.Layer()));
    EXPECT_EQ(StoredFor(simhost::kTupletTag, 20), size_t{INT16_MAX - 1});
    EXPECT_EQ(TupletAt(20, 3), 7);
}

TEST_F(TupletCopyTest, UnnumberedDestinationsRefusedSavesAndDifferentCounts) {
    MemoryLayer source(
        {{{Numbered(10, TupletFlag), Numbered(11, TupletFlag)}, {Placement(0, 0, 10), Placement(1, 0, 30)}}});
    std::vector<MemoryMeasure> measures = Rebuilt(20, 2, TupletFlag);
    measures[0].entries[0].entryNumber = 0;
    MemoryLayer rebuilt(measures);

    // Details under number 0 would belong to no entry: none is written and the flag goes. A
    // record the host refuses takes the flag with it, and the copy answers false.
    host.SetFailing(Function::SaveEData, true);
    EXPECT_FALSE(rebuilt.Layer().CopyTupletsFrom(source.Layer()));
    EXPECT_EQ(Calls(Function::SaveEData), 1u);
    EXPECT_EQ(rebuilt.Record(0).entryFlags & TupletFlag, 0u);
    EXPECT_EQ(rebuilt.Record(1).entryFlags & TupletFlag, 0u);

    MemoryLayer longer(Rebuilt(30, 3));
    EXPECT_FALSE(longer.Layer().CopyTupletsFrom(source.Layer()));
    EXPECT_EQ(Calls(Function::SaveEData), 1u);
}

} // namespace
} // namespace transfer_test
