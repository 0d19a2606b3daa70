#pragma once

#include "host/HostRecords.h"

// Prepares a frame's entries for the host: distinct non-zero note identifiers, their low five
// bits mirrored in noteFlags, zeroed free note slots, and a placeholder note in an entry that
// has none. Stays within the record whatever counts the frame reports.
void NormalizeEntries(TgfFrame& frame);

// The same rule for one entry.
void NormalizeEntry(EntryRecord& entry);
