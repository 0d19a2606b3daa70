// The base of every object that mirrors one host EData record: the record's key and bytes,
// loaded from the host, written back, deleted, and stepped to the next record of its type.
// A record class fixes the tag, the buffer size offered to the host and where the bytes live.
#pragma once

#include "framework/FCBase.h"
#include "host/HostRecords.h"

#include <cstdint>

class __FCBaseData : public __FCBase {
public:
    __FCBaseData() = default;
    __FCBaseData(const __FCBaseData&) = delete;
    __FCBaseData& operator=(const __FCBaseData&) = delete;
    // Frees the record when the object allocated it.
    ~__FCBaseData() override;

    // Each record class names its own kind.
    int32_t ClassID() const override = 0;
    const char* ClassName() const override;

    // The record class's built-in storage, used whenever the object holds no buffer. It has
    // room for at least LoadSize() bytes.
    virtual void* DefaultBuffer() = 0;
    // Called after LoadData has dropped the object's buffer.
    virtual void BufferDiscarded() {}
    // True: LoadData drops the current buffer before loading.
    virtual bool DiscardBeforeLoad() { return false; }
    // A new, empty object of the same record class, owned by the caller.
    virtual __FCBaseData* CreateObject() const = 0;
    virtual uint32_t Tag() const = 0;
    virtual uint32_t Version() const { return HostApiVersion; }
    // The buffer size offered to the host on load.
    virtual uint32_t LoadSize() const = 0;
    virtual int64_t SaveSize() const { return recordSize_; }
    // Takes a copy of the other object's record bytes; nothing changes when it holds none.
    // The key and the document stay.
    virtual void CopyDataFrom(const __FCBaseData& other);
    // Writes the record under the key. False without a record (no host call) or when the
    // host refuses.
    virtual bool Save();
    // Loads the record under the key again; false without a record (no host call).
    virtual bool Reload();
    // Deletes the record under the key in the host; the object itself does not change.
    virtual bool DeleteData();
    virtual bool Delete();
    virtual bool LoadFirst() = 0;
    // Moves the key on to the host's next record of the tag and loads it.
    virtual bool LoadNext();

    // Reads the record under the key. The size the host reports is kept only as far as the
    // buffer offered reaches: a larger report is cut to LoadSize(), a negative one reads as 0.
    bool LoadData();

    const EDataKey& GetKey() const { return key_; }
    void SetKey(const EDataKey& key) { key_ = key; }
    int16_t GetDocument() const { return document_; }
    void SetDocument(int16_t document) { document_ = document; }
    // The record bytes, or null.
    const void* GetRecord() const { return record_; }
    bool OwnsRecord() const { return ownsRecord_; }
    // 0: the object holds no record.
    int64_t GetRecordSize() const { return recordSize_; }
    bool HoldsRecord() const { return recordSize_ > 0; }

protected:
    EDataKey& Key() { return key_; }
    void* MutableRecord() { return record_; }
    // Points the object at `record` (of `size` bytes), freeing a buffer it owned before.
    void UseRecord(void* record, bool owned, int64_t size);
    // SaveSize() as the host takes it; false when the object holds no record or the size
    // does not fit.
    bool SizeToSave(uint32_t* size) const;

private:
    void FreeOwnedRecord();

    int16_t document_ = 0;
    void* record_ = nullptr;
    bool ownsRecord_ = false;
    int64_t recordSize_ = 0;
    EDataKey key_{0, 0};
};
