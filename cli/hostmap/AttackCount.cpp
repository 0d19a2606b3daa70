#include "cli/hostmap/AttackCount.h"

#include "cli/hostmap/HostMapping.h"

namespace beatclone::cli {

int CountAttacks(const simhost::Document& document, int16_t instrument, int16_t layer, size_t firstMeasure,
                 size_t lastMeasure) {
    int count = 0;
    bool tied = false;
    for (size_t m = firstMeasure; m <= lastMeasure; ++m)
        for (const EntryRecord& entry : document.Entries(instrument, HostMeasure(m), layer)) {
            if ((entry.entryFlags & NoteEntryFlag) == 0) {
                tied = false;
                continue;
            }
            if (!tied) ++count;
            tied = false;
            for (int k = 0; k < NoteCountOf(entry); ++k)
                if (entry.notes[k].noteFlags & TieForwardFlag) {
                    tied = true;
                    break;
                }
        }
    return count;
}

} // namespace beatclone::cli
