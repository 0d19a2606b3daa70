#include "framework/FCBaseData.h"

#include "host/HostFunctions.h"

#include <cstring>
#include <limits>

__FCBaseData::~__FCBaseData() { FreeOwnedRecord(); }

const char* __FCBaseData::ClassName() const { return "__FCBaseData"; }

void __FCBaseData::FreeOwnedRecord() {
    if (ownsRecord_ && record_ != nullptr) delete[] static_cast<unsigned char*>(record_);
    ownsRecord_ = false;
}

void __FCBaseData::UseRecord(void* record, bool owned, int64_t size) {
    if (record != record_) FreeOwnedRecord();
    record_ = record;
    ownsRecord_ = owned;
    recordSize_ = size;
}

bool __FCBaseData::LoadData() {
    if (record_ != nullptr && DiscardBeforeLoad()) {
        FreeOwnedRecord();
        BufferDiscarded();
        record_ = nullptr;
        recordSize_ = 0;
    }
    if (record_ == nullptr) record_ = DefaultBuffer();

    const uint32_t offered = LoadSize();
    uint32_t size = offered;
    if (fx::LoadEData(Tag(), &key_, record_, &size) == 0) {
        recordSize_ = 0;
        return false;
    }
    // The host's size is signed; the bytes it may have written end where the buffer ends.
    const int64_t reported = static_cast<int32_t>(size);
    recordSize_ = reported < 0 ? 0 : reported > offered ? offered : reported;
    document_ = fx::GetCurrentEnigmaDocument();
    return true;
}

bool __FCBaseData::Reload() { return recordSize_ > 0 && LoadData(); }

bool __FCBaseData::SizeToSave(uint32_t* size) const {
    if (recordSize_ <= 0 || record_ == nullptr) return false;
    const int64_t wanted = SaveSize();
    if (wanted < 0 || wanted > std::numeric_limits<uint32_t>::max()) return false;
    *size = static_cast<uint32_t>(wanted);
    return true;
}

bool __FCBaseData::Save() {
    uint32_t size = 0;
    if (!SizeToSave(&size)) return false;
    return fx::SaveEData(Tag(), &key_, record_, size) != 0;
}

bool __FCBaseData::DeleteData() { return fx::DeleteEData(Tag(), &key_) != 0; }

bool __FCBaseData::Delete() { return DeleteData(); }

bool __FCBaseData::LoadNext() {
    if (fx::NextEData(Tag(), &key_) == 0) return false;
    return LoadData();
}

void __FCBaseData::CopyDataFrom(const __FCBaseData& other) {
    if (&other == this || other.recordSize_ <= 0 || other.record_ == nullptr) return;
    // The copy keeps room for a later LoadData, which offers the host LoadSize() bytes.
    const auto size = static_cast<size_t>(other.recordSize_);
    const size_t room = size > LoadSize() ? size : LoadSize();
    auto* copy = new unsigned char[room]();
    std::memcpy(copy, other.record_, size);
    UseRecord(copy, true, other.recordSize_);
}
