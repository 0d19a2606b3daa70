#include "framework/FCArticulations.h"

#include "framework/FCNoteEntry.h"

#include <memory>

const char* __FCCollectionData::ClassName() const { return "__FCCollectionData"; }

bool __FCCollectionData::SaveAll() {
    for (int32_t i = 0; i < GetCount(); ++i) {
        __FCBaseData* item = GetDataAt(i);
        if (item != nullptr && !item->Save()) return false;
    }
    return true;
}

const char* __FCCollectionEntryDetail::ClassName() const { return "__FCCollectionEntryDetail"; }

int32_t __FCCollectionEntryDetail::LoadAll() {
    ClearAll();
    if (entry_ == nullptr || entry_->GetEntryNumber() == 0) return 0;

    std::unique_ptr<__FCEntryDetail> probe(CreateElement());
    probe->ConnectToEntry(entry_);
    bool loaded = probe->LoadFirst();
    while (loaded && probe->HoldsRecord()) {
        __FCEntryDetail* item = probe->CreateObject();
        item->SetKey(probe->GetKey());
        item->SetDocument(probe->GetDocument());
        item->CopyDataFrom(*probe);
        item->ConnectToEntry(entry_);
        Add(item);
        loaded = probe->LoadNext();
    }
    return GetCount();
}

void __FCCollectionEntryDetail::SaveAllNew() {
    if (entry_ == nullptr || entry_->GetEntryNumber() == 0) return;
    for (int32_t i = 0; i < GetCount(); ++i) {
        __FCEntryDetail* item = GetDetailAt(i);
        if (item == nullptr) continue;
        item->ConnectToEntry(entry_);
        item->SaveNew();
    }
}

const char* FCArticulations::ClassName() const { return "FCArticulations"; }

FCArticulation* FCArticulations::CreateElement() { return new FCArticulation(); }
