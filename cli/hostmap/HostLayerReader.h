// Reads one layer of one measure back out of the stand-in host as timed events, ready to be
// written as MusicXML: durations from the notated values and the tuplets stored on the
// entries, ties from the tie flags, articulations from their detail records.
#pragma once

#include "cli/score/ScoreModel.h"
#include "simhost/SimHost.h"

#include <vector>

namespace beatclone::cli {

std::vector<Event> ReadHostLayer(const simhost::Document& document, int16_t instrument, int16_t measure, int16_t layer);

// Sounding length of a notated value under a time-modification, in quarter notes.
Rational SoundingLength(uint32_t notated, int tmActual, int tmNormal);

} // namespace beatclone::cli
