#include "framework/FCNote.h"

const char* FCNote::ClassName() const { return "FCNote"; }
