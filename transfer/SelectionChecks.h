// The shape checks on the user's selections before anything is loaded.
#pragma once

class FCMusicRegion;

// Whole measures of one staff: checks SourceRegion. On false the message is in `buffer`.
bool CheckSourceSelection(char* buffer);
// Whole measures, as many as the source, in the source's document. On false the message is in
// `buffer`. Asks the host for the current document only after the shape tests pass.
bool CheckDestinationSelection(const FCMusicRegion& destination, char* buffer);
