// Counting attack groups, gathering their first entries and carrying pitches onto a new
// rhythm, on layers held in plain memory.
#include "transfer/AttackGroups.h"
#include "transfer/FCEntryPitchesCollection.h"
#include "TransferTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace transfer_test {
namespace {

using Bools = std::vector<bool>;
using Ints = std::vector<int>;

constexpr uint32_t kHalf = 2 * simhost::kQuarter;

TEST(CountAttackGroups, EmptyLayersAndRestsCountNothing) {
    MemoryLayer empty(std::vector<EntryRecord>{});
    EXPECT_EQ(empty.Layer().CountAttackGroups(), 0);
    MemoryLayer rests({Rest(), Rest(), Rest()});
    EXPECT_EQ(rests.Layer().CountAttackGroups(), 0);
}

TEST(CountAttackGroups, TiesJoinEntriesAndRestsBreakThem) {
    struct Case {
        const char* name;
        std::vector<MemoryMeasure> measures;
        int groups;
    };
    EntryRecord tiedRest = Rest();
    tiedRest.notes[0].noteFlags = TieForwardFlag; // a rest's note records never tie
    EntryRecord noNotes = Note(0, true);
    noNotes.noteCount = 0; // a note entry without notes never ties, whatever its slots hold
    const std::vector<Case> cases = {
        {"four quarters", {{{Note(0), Note(1), Note(2), Note(3)}}}, 4},
        {"tie over the barline", {{{Note(0), Note(1), Note(2, true, kHalf)}}, {{Note(2), Note(3)}}}, 4},
        {"chord with one tied note", {{{Chord({0, 2, 4}, 0b010), Chord({0, 2, 4}), Note(5)}}}, 2},
        {"tied note, rest, note", {{{Note(0, true), Rest(), Note(0)}}}, 2},
        {"rest after a tie chain", {{{Note(0, true), Note(0, true), Note(0), Rest()}}}, 1},
        {"rest holding tied records", {{{Note(0), tiedRest, Note(1)}}}, 2},
        {"note entry without notes", {{{noNotes, Note(1), Note(1)}}}, 3},
        {"tie on the last entry", {{{Note(0), Note(1, true)}}}, 2},
        {"chain over three measures", {{{Note(0, true)}}, {{Note(0, true)}}, {{Note(0)}}}, 1},
    };
    for (const Case& c : cases) {
        MemoryLayer layer(c.measures);
        EXPECT_EQ(layer.Layer().CountAttackGroups(), c.groups) << c.name;
    }
}

TEST(CollectFrom, GathersTheFirstEntryOfEachGroupWithoutOwningIt) {
    MemoryLayer layer({{{Rest(), Note(0, true)}}, {{Note(0), Rest(), Chord({1, 3}, 0b01)}}, {{Note(3), Note(4)}}});
    auto* pitches = new FCEntryPitchesCollection();
    pitches->CollectFrom(layer.Layer());

    ASSERT_EQ(pitches->GetCount(), layer.Layer().CountAttackGroups());
    ASSERT_EQ(pitches->GetCount(), 3);
    EXPECT_EQ(pitches->GetEntryAt(0), &layer.Entry(1));
    EXPECT_EQ(pitches->GetEntryAt(1), &layer.Entry(4));
    EXPECT_EQ(pitches->GetEntryAt(2), &layer.Entry(6));
    EXPECT_EQ(pitches->GetEntryAt(3), nullptr);
    EXPECT_STREQ(pitches->ClassName(), "__FCCollection");

    // Destroying the collection deletes none of the layer's entries: they stay readable, and
    // the layer deletes each of them once when it goes (a sanitizer build sees a double delete).
    delete pitches;
    EXPECT_EQ(layer.Layer().GetCount(), 7);
    EXPECT_EQ(Steps(*layer.Entry(4).GetRecord()), (Ints{1, 3}));
    EXPECT_EQ(layer.Entry(4).GetCount(), 2);
}

// Gathers the pitches of `destination` and puts them onto `rebuilt`.
void Carry(MemoryLayer& destination, MemoryLayer& rebuilt) {
    FCEntryPitchesCollection pitches;
    pitches.CollectFrom(destination.Layer());
    rebuilt.Layer().ApplyPitches(pitches);
}

TEST(ApplyPitches, EachGroupTakesTheNotesOfItsGatheredEntry) {
    MemoryLayer destination({Note(0), Note(1), Chord({2, 4}), Note(3)});
    MemoryLayer rebuilt({Note(6, false, kHalf), Note(6), Note(6), Note(6)});
    Carry(destination, rebuilt);
    EXPECT_EQ(Steps(rebuilt.Record(0)), (Ints{0}));
    EXPECT_EQ(Steps(rebuilt.Record(1)), (Ints{1}));
    EXPECT_EQ(Steps(rebuilt.Record(2)), (Ints{2, 4}));
    EXPECT_EQ(Steps(rebuilt.Record(3)), (Ints{3}));
    // Durations stay the new rhythm's.
    EXPECT_EQ(simhost::GetDuration(rebuilt.Record(0)), kHalf);
}

TEST(ApplyPitches, TiesComeFromTheNewRhythmAcrossBarlines) {
    // Old rhythm: a tied pair (its first note with a host flag of its own), a chord, a chord.
    EntryRecord flagged = Note(0, true);
    flagged.notes[0].noteFlags |= 0x00000100u;
    MemoryLayer destination({flagged, Note(0), Chord({2, 4, 6}), Chord({1, 3})});
    // New rhythm: a note; a note tied over the barline; a chord with only its middle note
    // tied into the last note.
    MemoryLayer rebuilt({{{Note(5), Note(5, true, kHalf)}},
                         {{Note(5), Chord({1, 2, 3}, 0b010), Note(5)}}});
    Carry(destination, rebuilt);

    ASSERT_EQ(rebuilt.Layer().CountAttackGroups(), 3);
    EXPECT_EQ(Steps(rebuilt.Record(0)), (Ints{0}));
    EXPECT_EQ(Ties(rebuilt.Record(0)), (Bools{false})) << "the old rhythm's tie is not kept";
    EXPECT_EQ(Read(rebuilt.Record(0).notes[0].noteFlags), 0x00000100u) << "only the tie bit changes";
    // Both sides of the barline take the same notes: tied, then untied.
    EXPECT_EQ(Steps(rebuilt.Record(1)), (Ints{2, 4, 6}));
    EXPECT_EQ(Ties(rebuilt.Record(1)), (Bools{true, true, true}));
    EXPECT_EQ(Steps(rebuilt.Record(2)), (Ints{2, 4, 6}));
    EXPECT_EQ(Ties(rebuilt.Record(2)), (Bools{false, false, false}));
    // One tied note of a chord ties the entry: every copied note is tied.
    EXPECT_EQ(Steps(rebuilt.Record(3)), (Ints{1, 3}));
    EXPECT_EQ(Ties(rebuilt.Record(3)), (Bools{true, true}));
    EXPECT_EQ(Steps(rebuilt.Record(4)), (Ints{1, 3}));
    EXPECT_EQ(Ties(rebuilt.Record(4)), (Bools{false, false}));
}

TEST(ApplyPitches, RestsInsideAndBetweenGroups) {
    // Old: two notes, the first tied into the second, then a single note.
    EntryRecord tied = Note(3, true);
    tied.notes[0].noteFlags |= 0x00000100u;
    MemoryLayer destination({tied, Note(3), Note(4)});
    // New: tied note, rest, note, and a trailing rest.
    EntryRecord restAfterTie = Rest();
    restAfterTie.notes[5].noteId = 77; // slots beyond the copied notes stay as they were
    EntryRecord plainRest = Rest();
    MemoryLayer rebuilt({Note(6, true), restAfterTie, Note(6), plainRest});
    Carry(destination, rebuilt);

    EXPECT_EQ(Steps(rebuilt.Record(0)), (Ints{3}));
    EXPECT_EQ(Ties(rebuilt.Record(0)), (Bools{true}));
    // The rest that follows a tied entry is a member of its group: it takes the notes as
    // copied, flags included, and stays a rest.
    EXPECT_EQ(rebuilt.Record(1).entryFlags & NoteEntryFlag, 0u);
    EXPECT_EQ(Steps(rebuilt.Record(1)), (Ints{3}));
    EXPECT_EQ(Read(rebuilt.Record(1).notes[0].noteFlags), Read(tied.notes[0].noteFlags));
    EXPECT_EQ(rebuilt.Record(1).notes[5].noteId, 77);
    EXPECT_EQ(rebuilt.Entry(1).GetCount(), 1);
    // The note after the rest starts group 2.
    EXPECT_EQ(Steps(rebuilt.Record(2)), (Ints{4}));
    // A rest outside any group receives nothing.
    EXPECT_EQ(rebuilt.Record(3).noteCount, 0);
    EXPECT_EQ(rebuilt.Entry(3).GetCount(), 0);
}

TEST(ApplyPitches, RestBetweenUntiedNotesIsSkipped) {
    MemoryLayer destination({Note(1), Note(2)});
    EntryRecord rest = Rest();
    rest.notes[0] = MakeNote(5);
    rest.noteCount = 1;
    MemoryLayer rebuilt({Rest(), Note(6), rest, Note(6)});
    Carry(destination, rebuilt);
    EXPECT_EQ(rebuilt.Record(0).noteCount, 0);
    EXPECT_EQ(Steps(rebuilt.Record(1)), (Ints{1}));
    EXPECT_EQ(Steps(rebuilt.Record(2)), (Ints{5}));
    EXPECT_EQ(Steps(rebuilt.Record(3)), (Ints{2}));
}

TEST(ApplyPitches, ChordsOfDifferentSizesAndEntriesWithoutNotes) {
    EntryRecord empty = Note(0);
    empty.noteCount = 0;
    const std::initializer_list<int> twelve = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    MemoryLayer destination({Note(2), Chord(twelve), empty, Chord({1, 3})});
    EntryRecord emptyNew = Note(6, true);
    emptyNew.noteCount = 0; // starts a group, ties nothing
    MemoryLayer rebuilt({Chord({4, 5, 6}), Note(6), Chord({4, 5, 6}), emptyNew, Note(6)});
    Carry(destination, rebuilt);

    // Three notes become one; the slots beyond keep their old bytes but are not in use.
    EXPECT_EQ(rebuilt.Record(0).noteCount, 1);
    EXPECT_EQ(rebuilt.Entry(0).GetCount(), 1);
    EXPECT_EQ(Steps(rebuilt.Record(0)), (Ints{2}));
    EXPECT_EQ(simhost::GetPitch(rebuilt.Record(0).notes[1]).step, 5);
    // One note becomes twelve, each wrapped by an FCNote over this entry's own record.
    EXPECT_EQ(rebuilt.Record(1).noteCount, 12);
    ASSERT_EQ(rebuilt.Entry(1).GetCount(), 12);
    for (int32_t k = 0; k < 12; ++k) {
        const FCNote* note = rebuilt.Entry(1).GetNoteAt(k);
        EXPECT_EQ(note->GetRecord(), &rebuilt.Record(1).notes[k]);
        EXPECT_EQ(note->GetIndex(), k);
        EXPECT_EQ(note->GetEntry(), &rebuilt.Entry(1));
    }
    // A gathered entry without notes empties the rebuilt one.
    EXPECT_EQ(rebuilt.Record(2).noteCount, 0);
    EXPECT_EQ(rebuilt.Entry(2).GetCount(), 0);
    EXPECT_EQ(rebuilt.Record(2).entryFlags & NoteEntryFlag, NoteEntryFlag);
    // A rebuilt entry without notes takes the group's notes, untied.
    EXPECT_EQ(Steps(rebuilt.Record(3)), (Ints{1, 3}));
    EXPECT_EQ(Ties(rebuilt.Record(3)), (Bools{false, false}));
    // Nothing is left for the last group.
    EXPECT_EQ(Steps(rebuilt.Record(4)), (Ints{6}));
}

TEST(ApplyPitches, GroupsBeyondTheGatheredEntriesStayAsTheyAre) {
    MemoryLayer destination({Note(1)});
    MemoryLayer rebuilt({Note(5), Note(6, true), Note(6)});
    Carry(destination, rebuilt);
    EXPECT_EQ(Steps(rebuilt.Record(0)), (Ints{1}));
    EXPECT_EQ(Steps(rebuilt.Record(1)), (Ints{6}));
    EXPECT_EQ(Ties(rebuilt.Record(1)), (Bools{true}));
    EXPECT_EQ(Steps(rebuilt.Record(2)), (Ints{6}));

    // More gathered entries than groups: the extra ones are not used.
    MemoryLayer many({Note(1), Note(2), Note(3)});
    MemoryLayer fewer({Rest(), Note(6, true), Note(6)});
    Carry(many, fewer);
    EXPECT_EQ(Steps(fewer.Record(1)), (Ints{1}));
    EXPECT_EQ(Steps(fewer.Record(2)), (Ints{1}));

    // An empty layer is left alone.
    MemoryLayer none(std::vector<EntryRecord>{});
    Carry(many, none);
}

TEST(ApplyPitches, TieOnTheLastEntryEndsTheWalk) {
    MemoryLayer destination({Note(1), Note(2)});
    MemoryLayer rebuilt({Note(6), Note(6, true)});
    Carry(destination, rebuilt);
    EXPECT_EQ(Steps(rebuilt.Record(1)), (Ints{2}));
    EXPECT_EQ(Ties(rebuilt.Record(1)), (Bools{true}));
}

TEST(CopyNotesFrom, CopiesOnlyTheNotesARecordHolds) {
    EntryRecord overfull = Chord({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    overfull.noteCount = 40;
    EntryRecord negative = Note(3);
    negative.noteCount = -3;
    MemoryLayer sources({overfull, negative});
    MemoryLayer target({Chord({6, 6})});
    FCNoteEntry& entry = target.Entry(0);

    entry.CopyNotesFrom(sources.Entry(0));
    EXPECT_EQ(target.Record(0).noteCount, 12);
    EXPECT_EQ(entry.GetCount(), 12);
    EXPECT_EQ(Steps(target.Record(0)), (Ints{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));

    entry.CopyNotesFrom(sources.Entry(1));
    EXPECT_EQ(target.Record(0).noteCount, 0);
    EXPECT_EQ(entry.GetCount(), 0);

    // Copying an entry onto itself keeps its notes.
    MemoryLayer self({Chord({1, 2})});
    self.Entry(0).CopyNotesFrom(self.Entry(0));
    EXPECT_EQ(Steps(self.Record(0)), (Ints{1, 2}));
    EXPECT_EQ(self.Entry(0).GetCount(), 2);

    // An entry without a record neither gives nor takes anything.
    FCNoteEntry detached(nullptr, nullptr);
    entry.CopyNotesFrom(sources.Entry(0));
    entry.CopyNotesFrom(detached);
    EXPECT_EQ(entry.GetCount(), 12);
    detached.CopyNotesFrom(entry);
    EXPECT_EQ(detached.GetCount(), 0);
}

} // namespace
} // namespace transfer_test
