#include "framework/FCNote.h"

#include "framework/BlockPool.h"

const char* FCNote::ClassName() const { return "FCNote"; }

void* FCNote::operator new(size_t bytes) { return BlockPool<sizeof(FCNote)>::Take(bytes); }

void FCNote::operator delete(void* block, size_t bytes) { BlockPool<sizeof(FCNote)>::Give(block, bytes); }
