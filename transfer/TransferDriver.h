// COPY: the recorded source's rhythm into every destination layer with as many attacks.
#pragma once

class FCMusicRegion;
class FCNoteEntryLayer;

// Checks the destination, reads layer 1 of the source once, then rebuilds every destination
// layer whose attack-group count equals the source's. False, with a message in `buffer`, when
// the destination is refused or the source has no notes; true otherwise, rebuilt or not.
bool TransferRhythm(const FCMusicRegion& destination, char* buffer);

// Rebuilds `destination` (loaded) from the source's rhythm, keeping its pitches attack by
// attack. Leaves it as it was when it is the source itself or when the counts do not agree.
// When the host refuses a save or a detail record halfway, the frames `destination` still
// holds are saved back with their details, so the layer ends as it was.
void TransferLayer(const FCNoteEntryLayer& source, FCNoteEntryLayer& destination);
