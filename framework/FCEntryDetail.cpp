#include "framework/FCEntryDetail.h"

#include "framework/FCNoteEntry.h"
#include "host/HostFunctions.h"

#include <memory>

const char* __FCEntryDetail::ClassName() const { return "__FCEntryDetail"; }

bool __FCEntryDetail::LoadDetail(uint32_t entryNumber, uint16_t sequence) {
    Key() = EDataKey{entryNumber, sequence};
    return LoadData();
}

bool __FCEntryDetail::Reload() { return HoldsRecord() && LoadDetail(GetKey().number, GetKey().sequence); }

bool __FCEntryDetail::LoadFirst() { return entry_ != nullptr && LoadDetail(entry_->GetEntryNumber(), 0); }

bool __FCEntryDetail::LoadNext() {
    const uint16_t old = GetSequence();
    // The last sequence number has no successor; wrapping to 0 would walk the entry again.
    if (old == kNoSequence) return false;
    SetSequence(static_cast<uint16_t>(old + 1));
    if (LoadData()) return true;
    SetSequence(old);
    return false;
}

void __FCEntryDetail::ConnectToEntry(FCNoteEntry* entry) {
    entry_ = entry;
    if (entry != nullptr) Key().number = entry->GetEntryNumber();
}

uint16_t __FCEntryDetail::FindLastSequence() const {
    const uint32_t number = entry_->GetEntryNumber();
    std::unique_ptr<__FCEntryDetail> probe(CreateObject());
    probe->SetKey(GetKey());
    probe->SetDocument(GetDocument());
    probe->CopyDataFrom(*this);
    probe->ConnectToEntry(entry_);
    if (!probe->LoadDetail(number, 0)) return kNoSequence;

    // The host's next-record order runs on past this entry's details; the walk stops at the
    // first record of another entry, and at any key that does not move forward.
    uint16_t last = 0;
    EDataKey at = probe->GetKey();
    while (fx::NextEData(Tag(), &at) != 0 && at.number == number && at.sequence > last && at.sequence != kNoSequence) {
        probe->SetKey(at);
        if (!probe->LoadData()) break;
        last = at.sequence;
    }
    return last;
}

bool __FCEntryDetail::SaveNew() {
    uint32_t size = 0;
    if (entry_ == nullptr || !SizeToSave(&size)) return false;
    EDataKey created{GetKey().number, kNoSequence};
    if (fx::CreateEData(Tag(), &created, GetRecord(), size) == 0) return false;

    const uint16_t sequence = created.sequence != kNoSequence ? created.sequence : FindLastSequence();
    if (sequence == kNoSequence) return false;
    Key() = EDataKey{entry_->GetEntryNumber(), sequence};
    UseRecord(MutableRecord(), OwnsRecord(), SaveSize());
    SetEntryFlag(entry_, true);
    return true;
}
