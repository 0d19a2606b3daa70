// Counting attack groups, gathering their first entries and carrying pitches onto a new
// rhythm, on layers held in plain memory (notation in TransferTestSupport.h).
#include "framework/FCEntryPitchesCollection.h"
#include "TransferTestSupport.h"

#include <gtest/gtest.h>

namespace transfer_test {
namespace {

TEST(CountAttackGroups, TiesJoinEntriesAndRestsBreakThem) {
    const struct {
        const char* layer;
        int groups;
    } cases[] = {
        {"", 0},
        {"r r | r", 0},
        {"0 1 2 3", 4},
        {"0 1 2~ | 2 3", 4},   // a tie over the barline
        {"0~ | 0~ | 0", 1},    // a chain over three measures
        {"0,2~,4 0,2,4 5", 2}, // one tied note ties the chord
        {"0~ r 0", 2},         // a rest inside a tie chain breaks it
        {"0~ 0~ 0 r", 1},      // a rest after the chain
        {"0 r:1~ 1", 2},       // a rest's note records never tie
        {"e 1 1", 3},          // a note entry without notes starts a group
        {"0 1~", 2},           // a tie on the last entry
    };
    for (const auto& c : cases) EXPECT_EQ(MemoryLayer(c.layer).Layer().CountAttackGroups(), c.groups) << c.layer;

    // A note entry without notes ties nothing, whatever its free slots hold.
    MemoryLayer empty("e 1");
    empty.Record(0).notes[0].noteFlags = TieForwardFlag;
    empty.At(0).BuildNotes();
    EXPECT_EQ(empty.Layer().CountAttackGroups(), 2);
}

TEST(CollectFrom, GathersTheFirstEntryOfEachGroupWithoutOwningIt) {
    MemoryLayer layer("r 0~ | 0 r 1,3~ | 3 4");
    auto* pitches = new FCEntryPitchesCollection();
    pitches->CollectFrom(layer.Layer());
    ASSERT_EQ(pitches->GetCount(), 3);
    EXPECT_EQ(pitches->GetEntryAt(0), &layer.At(1));
    EXPECT_EQ(pitches->GetEntryAt(1), &layer.At(4));
    EXPECT_EQ(pitches->GetEntryAt(2), &layer.At(6));

    // Destroying the collection deletes none of the layer's entries: they stay readable, and
    // the layer deletes each once when it goes (a sanitizer build sees a double delete).
    delete pitches;
    EXPECT_EQ(layer.Text(), "r 0~ | 0 r 1,3~ | 3 4");
    EXPECT_EQ(layer.At(4).GetCount(), 2);
}

// The rebuilt layer after carrying the pitches of `destination` onto `rhythm`.
std::string Carry(const std::string& destination, const std::string& rhythm) {
    MemoryLayer old(destination);
    MemoryLayer rebuilt(rhythm);
    FCEntryPitchesCollection pitches;
    pitches.CollectFrom(old.Layer());
    rebuilt.Layer().ApplyPitches(pitches);
    return rebuilt.Text();
}

TEST(ApplyPitches, EveryMemberOfAGroupTakesItsNotesWithTiesFromTheNewRhythm) {
    const struct {
        const char* destination;
        const char* rhythm;
        const char* expected;
    } cases[] = {
        {"0 1 2,4 3", "6 6 6 6", "0 1 2,4 3"},
        // Tied over the barline: the same notes on both sides, tied then untied. The old
        // rhythm's ties are not kept; one tied note ties every note of the new chord.
        {"0~ 0 2,4,6 1,3", "5 5~ | 5 1,2~,3 5", "0 2~,4~,6~ | 2,4,6 1~,3~ 1,3"},
        // A tied pair carried onto one untied entry.
        {"1~ 1 2", "6 6", "1 2"},
        // A rest after a tied entry belongs to its group and takes its notes as they are;
        // a rest between untied notes takes nothing.
        {"3~ 3 4 5", "6~ r 6 r 6", "3~ r:3~ 4 r 5"},
        // Chords of different sizes; a gathered entry without notes; a rebuilt one without.
        {"2 0,1,2,3,4,5,6,7,8,9,10,11 e 1,3", "4,5,6 6 4,5,6 e", "2 0,1,2,3,4,5,6,7,8,9,10,11 e 1,3"},
        // Fewer gathered entries than groups: the rest stay as they were.
        {"1", "5 6~ 6", "1 6~ 6"},
        // More gathered entries than groups: the extra ones are not used.
        {"1 2 3", "r 6~ 6", "r 1~ 1"},
        // A tie on the last entry ends the walk.
        {"1 2", "6 6~", "1 2~"},
        {"1", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Carry(c.destination, c.rhythm), c.expected) << c.destination << " onto " << c.rhythm;
    }
}

TEST(ApplyPitches, OnlyNotesAndTheirTieBitChange) {
    MemoryLayer old("1~ 1 2");
    old.Record(0).notes[0].noteFlags |= 0x00000100u;
    MemoryLayer rebuilt("4,5,6 r");
    simhost::SetDuration(rebuilt.Record(0), 2 * simhost::kQuarter);
    rebuilt.Record(0).notes[0].noteFlags |= TieForwardFlag; // the chord ties into the rest
    FCEntryPitchesCollection pitches;
    pitches.CollectFrom(old.Layer());
    rebuilt.Layer().ApplyPitches(pitches);

    EXPECT_EQ(Read(rebuilt.Record(0).notes[0].noteFlags), 0x00000100u | TieForwardFlag);
    EXPECT_EQ(Read(rebuilt.Record(1).notes[0].noteFlags), 0x00000100u | TieForwardFlag) << "a rest keeps the copy";
    EXPECT_EQ(simhost::GetDuration(rebuilt.Record(0)), 2 * simhost::kQuarter);
    EXPECT_EQ(rebuilt.Record(1).entryFlags & NoteEntryFlag, 0u);
    // Slots beyond the copied notes keep their bytes; the FCNotes cover the copied notes only
    // and point into the entry's own record.
    EXPECT_EQ(simhost::GetPitch(rebuilt.Record(0).notes[1]).step, 5);
    ASSERT_EQ(rebuilt.At(0).GetCount(), 1);
    EXPECT_EQ(rebuilt.At(0).GetNoteAt(0)->GetRecord(), &rebuilt.Record(0).notes[0]);
    EXPECT_EQ(rebuilt.At(0).GetNoteAt(0)->GetEntry(), &rebuilt.At(0));
    EXPECT_EQ(rebuilt.At(1).GetCount(), 1);
}

TEST(CopyNotesFrom, CopiesOnlyTheNotesARecordHolds) {
    MemoryLayer sources("0,1,2,3,4,5,6,7,8,9,10,11 3");
    sources.Record(0).noteCount = 40;
    sources.Record(1).noteCount = -3;
    MemoryLayer target("6,6");

    target.At(0).CopyNotesFrom(sources.At(0));
    EXPECT_EQ(target.Text(), "0,1,2,3,4,5,6,7,8,9,10,11");
    EXPECT_EQ(target.At(0).GetCount(), 12);
    target.At(0).CopyNotesFrom(sources.At(1));
    EXPECT_EQ(target.Text(), "e");
    EXPECT_EQ(target.At(0).GetCount(), 0);

    // An entry without a record neither gives nor takes anything.
    FCNoteEntry detached(nullptr, nullptr);
    target.At(0).CopyNotesFrom(sources.At(0));
    target.At(0).CopyNotesFrom(detached);
    detached.CopyNotesFrom(target.At(0));
    EXPECT_EQ(target.At(0).GetCount(), 12);
    EXPECT_EQ(detached.GetCount(), 0);
}

} // namespace
} // namespace transfer_test
