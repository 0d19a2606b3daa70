// One destination layer rebuilt from the source rhythm through the stand-in host's frames:
// pitches gathered before the clone, carried onto it across a barline, details stored under the
// numbers the host gave the new entries.
#include "framework/FCArticulations.h"
#include "transfer/FCEntryPitchesCollection.h"
#include "TransferTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace transfer_test {
namespace {

using Bools = std::vector<bool>;
using Ints = std::vector<int>;

constexpr uint32_t kHalf = 2 * simhost::kQuarter;
constexpr int16_t kSource = 11;
constexpr int16_t kDestination = 12;

std::unique_ptr<FCNoteEntryLayer> Loaded(int16_t instrument) {
    std::unique_ptr<FCNoteEntryLayer> layer(FCNoteEntryLayer::CreateExact(0, instrument, 1, 2));
    layer->SetVisibleOnly(false);
    EXPECT_TRUE(layer->Load());
    return layer;
}

TEST_F(HostTest, RebuiltLayerKeepsItsPitchesAndTakesTheSourceDetails) {
    // Source: a half note, a half note tied over the barline into a quarter, a quarter with a
    // triplet and a staccato, and a rest. Destination: a whole note tied over the barline, a
    // chord and a note.
    const uint32_t quarter = simhost::kQuarter;
    doc->SetEntries(kSource, 1, 0, {Note(5, false, kHalf), Note(5, true, kHalf)});
    EntryRecord detailed = Note(5);
    detailed.entryFlags |= TupletFlag | ArticulationFlag;
    doc->AddEntry(kSource, 2, 0, Note(5));
    const uint32_t detailedNumber = doc->AddEntry(kSource, 2, 0, detailed);
    doc->AddEntry(kSource, 2, 0, Rest(kHalf));
    const simhost::TupletDefinition triplet{3, 2, 512, 1, 1, {}};
    doc->PutEData(simhost::kTupletTag, detailedNumber, 0, &triplet, sizeof triplet);
    const simhost::ArticulationRecord staccato{simhost::kArtStaccato, 1, {}};
    doc->PutEData(simhost::kArticulationTag, detailedNumber, 0, &staccato, sizeof staccato);
    doc->SetEntries(kDestination, 1, 0, {Note(1, true, 4 * quarter)});
    doc->SetEntries(kDestination, 2, 0, {Note(1, false, kHalf), Chord({2, 4}), Note(3)});

    {
        std::unique_ptr<FCNoteEntryLayer> source = Loaded(kSource);
        std::unique_ptr<FCNoteEntryLayer> destination = Loaded(kDestination);
        ASSERT_EQ(source->CountAttackGroups(), 3);
        ASSERT_EQ(destination->CountAttackGroups(), 3);

        FCEntryPitchesCollection pitches;
        pitches.CollectFrom(*destination);
        std::unique_ptr<FCNoteEntryLayer> rebuilt(FCNoteEntryLayer::CreateExact(0, kSource, 1, 2));
        rebuilt->SetVisibleOnly(false);
        ASSERT_TRUE(rebuilt->CloneTo(0, kDestination, 1));
        ASSERT_EQ(rebuilt->CountAttackGroups(), pitches.GetCount());
        rebuilt->ApplyPitches(pitches);
        pitches.Forget();

        FCArticulations preloaded(source->GetEntryAt(3));
        ASSERT_EQ(preloaded.LoadAll(), 1);
        ASSERT_TRUE(rebuilt->Save());
        ASSERT_TRUE(rebuilt->CopyTupletsFrom(*source));
        ASSERT_NE(rebuilt->GetEntryAt(3), nullptr);
        EXPECT_EQ(rebuilt->GetEntryAt(3)->CopyArticulationsFrom(preloaded), 1);
        ASSERT_TRUE(rebuilt->Save());
    }

    const std::vector<EntryRecord>& first = doc->Entries(kDestination, 1, 0);
    const std::vector<EntryRecord>& second = doc->Entries(kDestination, 2, 0);
    ASSERT_EQ(first.size(), 2u);
    ASSERT_EQ(second.size(), 3u);
    EXPECT_EQ(Steps(first[0]), (Ints{1}));
    EXPECT_EQ(Ties(first[0]), (Bools{false})) << "the old rhythm's tie is not kept";
    EXPECT_EQ(Steps(first[1]), (Ints{2, 4}));
    EXPECT_EQ(Ties(first[1]), (Bools{true, true}));
    EXPECT_EQ(Steps(second[0]), (Ints{2, 4}));
    EXPECT_EQ(Ties(second[0]), (Bools{false, false}));
    EXPECT_EQ(Steps(second[1]), (Ints{3}));
    EXPECT_EQ(simhost::GetDuration(second[1]), quarter);
    EXPECT_EQ(second[2].entryFlags & NoteEntryFlag, 0u);

    // The details sit under the number the host gave the rebuilt entry.
    const uint32_t number = second[1].entryNumber;
    ASSERT_NE(number, 0u);
    EXPECT_NE(second[1].entryFlags & TupletFlag, 0u);
    EXPECT_NE(second[1].entryFlags & ArticulationFlag, 0u);
    const std::vector<uint8_t>* tuplet = doc->FindEData(simhost::kTupletTag, number, 0);
    ASSERT_NE(tuplet, nullptr);
    const auto* tripletBytes = reinterpret_cast<const uint8_t*>(&triplet);
    EXPECT_EQ(*tuplet, std::vector<uint8_t>(tripletBytes, tripletBytes + sizeof triplet));
    const std::vector<uint8_t>* articulation = doc->FindEData(simhost::kArticulationTag, number, 0);
    ASSERT_NE(articulation, nullptr);
    EXPECT_EQ((*articulation)[0], simhost::kArtStaccato);
}

} // namespace
} // namespace transfer_test
