#include "framework/FCArticulation.h"

#include "framework/FCNoteEntry.h"

#include <cstring>

FCArticulation::FCArticulation() { UseRecord(builtIn_, false, kArticulationRecordSize); }

const char* FCArticulation::ClassName() const { return "FCArticulation"; }

FCArticulation* FCArticulation::CreateObject() const { return new FCArticulation(); }

void FCArticulation::CopyDataFrom(const __FCBaseData& other) {
    const auto* articulation = dynamic_cast<const FCArticulation*>(&other);
    if (articulation == nullptr || articulation == this) return;
    std::memcpy(builtIn_, articulation->builtIn_, sizeof builtIn_);
    UseRecord(builtIn_, false, kArticulationRecordSize);
}

void FCArticulation::SetEntryFlag(FCNoteEntry* entry, bool on) {
    EntryRecord* record = entry == nullptr ? nullptr : entry->GetRecord();
    if (record == nullptr) return;
    record->entryFlags = on ? (record->entryFlags | ArticulationFlag) : (record->entryFlags & ~ArticulationFlag);
}

uint16_t FCArticulation::GetArticulationId() const {
    uint16_t id = 0;
    std::memcpy(&id, builtIn_, sizeof id);
    return id;
}
