// Host data records through the stand-in host's EData store: the record base, articulation
// records and their collection.
#include "framework/FCArticulation.h"
#include "framework/FCArticulations.h"
#include "framework/FCBaseData.h"
#include "TransferTestSupport.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <memory>
#include <vector>

namespace transfer_test {
namespace {

using simhost::Function;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t kProbeTag = 0x54455354u;

// A record class of the tests' own. Its built-in storage is a heap block of exactly
// LoadSize() bytes, so that a sanitizer build sees any access beyond it.
class ProbeRecord : public __FCBaseData {
public:
    explicit ProbeRecord(uint32_t loadSize = 8) : loadSize_(loadSize), storage_(new uint8_t[loadSize]()) {}

    int32_t ClassID() const override { return 99; }
    void* DefaultBuffer() override { return storage_.get(); }
    ProbeRecord* CreateObject() const override { return new ProbeRecord(loadSize_); }
    uint32_t Tag() const override { return kProbeTag; }
    uint32_t LoadSize() const override { return loadSize_; }
    bool LoadFirst() override { return LoadData(); }

    Bytes Held() const {
        const auto* bytes = static_cast<const uint8_t*>(GetRecord());
        return Bytes(bytes, bytes + GetRecordSize());
    }

private:
    uint32_t loadSize_;
    std::unique_ptr<uint8_t[]> storage_;
};

Bytes Sequence(size_t size, uint8_t first) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
}

class RecordDataTest : public HostTest {
protected:
    void Put(uint32_t tag, uint32_t number, uint16_t sequence, const Bytes& bytes) {
        doc->PutEData(tag, number, sequence, bytes.data(), bytes.size());
    }
    const Bytes* Stored(uint32_t tag, uint32_t number, uint16_t sequence) {
        return doc->FindEData(tag, number, sequence);
    }
    void PutArticulation(uint32_t number, uint16_t sequence, uint16_t id, int16_t placement = 0) {
        simhost::ArticulationRecord record{id, placement, {}};
        doc->PutEData(kArticulationDetailTag, number, sequence, &record, sizeof record);
    }
};

TEST_F(RecordDataTest, WithoutARecordNothingReachesTheHost) {
    ProbeRecord never;
    EXPECT_FALSE(never.Save());
    EXPECT_FALSE(never.Reload());

    ProbeRecord refused;
    refused.SetKey(EDataKey{5, 2});
    EXPECT_FALSE(refused.LoadData());
    EXPECT_EQ(refused.GetRecordSize(), 0);
    EXPECT_EQ(Read(refused.GetKey().number), 5u);
    EXPECT_EQ(refused.GetKey().sequence, 2);
    EXPECT_EQ(refused.GetDocument(), 0);
    EXPECT_FALSE(refused.Reload());
    EXPECT_FALSE(refused.Save());

    EXPECT_EQ(Calls(Function::LoadEData), 1u);
    EXPECT_EQ(Calls(Function::SaveEData), 0u);
}

TEST_F(RecordDataTest, LoadSaveAndReload) {
    Put(kProbeTag, 5, 0, Sequence(6, 1));
    ProbeRecord record;
    record.SetKey(EDataKey{5, 0});
    ASSERT_TRUE(record.LoadData());
    EXPECT_EQ(record.Held(), Sequence(6, 1));
    EXPECT_EQ(record.GetDocument(), 7);
    EXPECT_FALSE(record.OwnsRecord());

    record.SetKey(EDataKey{6, 1});
    ASSERT_TRUE(record.Save());
    ASSERT_NE(Stored(kProbeTag, 6, 1), nullptr);
    EXPECT_EQ(*Stored(kProbeTag, 6, 1), Sequence(6, 1));

    Put(kProbeTag, 6, 1, Sequence(3, 9));
    ASSERT_TRUE(record.Reload());
    EXPECT_EQ(record.Held(), Sequence(3, 9));
}

TEST_F(RecordDataTest, OversizeRecordsAreCutToTheBufferOffered) {
    Put(kProbeTag, 5, 0, Sequence(100, 0));
    ProbeRecord record(8);
    record.SetKey(EDataKey{5, 0});
    ASSERT_TRUE(record.LoadData());
    EXPECT_EQ(record.GetRecordSize(), 8);

    // Neither a save nor a copy reads past the eight bytes the object has.
    record.SetKey(EDataKey{5, 1});
    ASSERT_TRUE(record.Save());
    EXPECT_EQ(*Stored(kProbeTag, 5, 1), Sequence(8, 0));
    ProbeRecord copy(8);
    copy.CopyDataFrom(record);
    EXPECT_EQ(copy.Held(), Sequence(8, 0));

    // An articulation offers 12 bytes and keeps 12, whatever size the host reports.
    Put(kArticulationDetailTag, 40, 0, Sequence(40, 0));
    FCArticulation articulation;
    ASSERT_TRUE(articulation.LoadDetail(40, 0));
    EXPECT_EQ(articulation.GetRecordSize(), 12);
    articulation.SetSequence(1);
    ASSERT_TRUE(articulation.Save());
    EXPECT_EQ(*Stored(kArticulationDetailTag, 40, 1), Sequence(12, 0));
}

int16_t LoadReportingNegativeSize(uint32_t, EDataKey*, void* buffer, uint32_t* size, uint32_t) {
    std::memset(buffer, 0xAB, *size);
    *size = 0xFFFFFFF0u;
    return 1;
}

void* ResolveNegativeLoad(const char* name) {
    if (std::strcmp(name, "FX_LoadEData") == 0) return reinterpret_cast<void*>(&LoadReportingNegativeSize);
    return dlsym(RTLD_DEFAULT, name);
}

TEST_F(RecordDataTest, NegativeSizeFromTheHostHoldsNoRecord) {
    host_binding::SetResolverForTesting(&ResolveNegativeLoad);
    ProbeRecord record;
    EXPECT_TRUE(record.LoadData());
    EXPECT_EQ(record.GetRecordSize(), 0);
    EXPECT_FALSE(record.Save());
    EXPECT_EQ(Calls(Function::SaveEData), 0u);
}

TEST_F(RecordDataTest, CopyDataFromTakesAnIndependentCopy) {
    Put(kProbeTag, 5, 0, Sequence(4, 1));
    Put(kProbeTag, 5, 1, Sequence(8, 50));
    auto source = std::make_unique<ProbeRecord>(8);
    source->SetKey(EDataKey{5, 0});
    ASSERT_TRUE(source->LoadData());

    ProbeRecord copy(8);
    copy.SetKey(EDataKey{9, 3});
    ProbeRecord empty(8);
    copy.CopyDataFrom(empty);
    EXPECT_EQ(copy.GetRecord(), nullptr) << "a source without a record changes nothing";
    EXPECT_EQ(copy.GetRecordSize(), 0);

    copy.CopyDataFrom(*source);
    EXPECT_TRUE(copy.OwnsRecord());
    EXPECT_EQ(copy.Held(), Sequence(4, 1));
    EXPECT_EQ(Read(copy.GetKey().number), 9u);
    EXPECT_EQ(copy.GetDocument(), 0);

    // The source changes, then goes; the copy keeps its bytes.
    source->SetKey(EDataKey{5, 1});
    ASSERT_TRUE(source->LoadData());
    source.reset();
    EXPECT_EQ(copy.Held(), Sequence(4, 1));

    // The copied buffer is the object's own from now on: a load of a larger record lands in
    // it, and it must have room for what the load offers the host.
    copy.SetKey(EDataKey{5, 1});
    ASSERT_TRUE(copy.LoadData());
    EXPECT_EQ(copy.Held(), Sequence(8, 50));
}

// Two records of four bytes under (5, 0) and (5, 1); the first one loaded.
class TwoRecordsTest : public RecordDataTest {
protected:
    void SetUp() override {
        RecordDataTest::SetUp();
        Put(kProbeTag, 5, 0, Sequence(4, 1));
        Put(kProbeTag, 5, 1, Sequence(4, 2));
        record.SetKey(EDataKey{5, 0});
        ASSERT_TRUE(record.LoadFirst());
    }
    ProbeRecord record;
};

TEST_F(TwoRecordsTest, DeleteAndLoadNext) {
    ASSERT_TRUE(record.LoadNext());
    EXPECT_EQ(record.GetKey().sequence, 1);
    EXPECT_EQ(record.Held(), Sequence(4, 2));
    const uint64_t loads = Calls(Function::LoadEData);
    EXPECT_FALSE(record.LoadNext());
    EXPECT_EQ(Calls(Function::LoadEData), loads) << "no next record, no load";

    // Whatever the host answers, the object keeps its key and bytes.
    const void* bytes = record.GetRecord();
    EXPECT_TRUE(record.Delete());
    EXPECT_EQ(Stored(kProbeTag, 5, 1), nullptr);
    EXPECT_FALSE(record.DeleteData());
    EXPECT_EQ(record.GetKey().sequence, 1);
    EXPECT_EQ(record.GetRecord(), bytes);
    EXPECT_EQ(record.GetRecordSize(), 4);
}

TEST_F(TwoRecordsTest, MissingHostFunctionsAnswerFalse) {
    for (Function f : {Function::SaveEData, Function::DeleteEData, Function::NextEData}) host.SetMissing(f, true);
    EXPECT_FALSE(record.Save());
    EXPECT_FALSE(record.Delete());
    EXPECT_FALSE(record.LoadNext());
    host.SetMissing(Function::LoadEData, true);
    EXPECT_FALSE(record.LoadData());
    EXPECT_EQ(record.GetRecordSize(), 0);
}

TEST_F(RecordDataTest, NewArticulationHoldsTwelveZeroBytes) {
    FCArticulation articulation;
    EXPECT_EQ(articulation.ClassID(), 3);
    EXPECT_STREQ(articulation.ClassName(), "FCArticulation");
    EXPECT_EQ(articulation.GetRecordSize(), 12);
    EXPECT_FALSE(articulation.OwnsRecord());
    EXPECT_EQ(articulation.GetEntry(), nullptr);
    EXPECT_EQ(Read(articulation.GetKey().number), 0u);
    const auto* bytes = static_cast<const uint8_t*>(articulation.GetRecord());
    EXPECT_EQ(Bytes(bytes, bytes + 12), Bytes(12, 0));

    std::unique_ptr<FCArticulation> made(articulation.CreateObject());
    EXPECT_TRUE(made->IsSameClass(&articulation));
    ProbeRecord other;
    EXPECT_FALSE(articulation.IsSameClass(&other));
    // Another kind of record is not copied into an articulation.
    Put(kProbeTag, 5, 0, Sequence(8, 1));
    other.SetKey(EDataKey{5, 0});
    ASSERT_TRUE(other.LoadData());
    articulation.CopyDataFrom(other);
    EXPECT_EQ(articulation.GetArticulationId(), 0);
    FCArticulations collection(nullptr);
    EXPECT_STREQ(collection.ClassName(), "FCArticulations");
}

TEST_F(RecordDataTest, LoadAllWalksSequenceNumbersUpToTheFirstGap) {
    PutArticulation(40, 0, simhost::kArtStaccato);
    PutArticulation(40, 1, simhost::kArtAccent, 1);
    PutArticulation(40, 3, simhost::kArtTenuto); // beyond the gap: not seen
    PutArticulation(41, 0, simhost::kArtFermata);
    LooseEntry loose(40);
    EntryRecord& record = loose.record;
    FCNoteEntry& entry = loose.entry;

    FCArticulations articulations(&entry);
    ASSERT_EQ(articulations.LoadAll(), 2);
    ASSERT_EQ(articulations.LoadAll(), 2) << "a second load replaces the items";
    for (int32_t i = 0; i < 2; ++i) {
        const FCArticulation* item = articulations.GetArticulationAt(i);
        EXPECT_EQ(Read(item->GetKey().number), 40u);
        EXPECT_EQ(item->GetSequence(), i);
        EXPECT_EQ(item->GetEntry(), &entry);
        EXPECT_EQ(item->GetDocument(), 7);
    }
    EXPECT_EQ(articulations.GetArticulationAt(0)->GetArticulationId(), simhost::kArtStaccato);
    EXPECT_EQ(articulations.GetArticulationAt(1)->GetArticulationId(), simhost::kArtAccent);

    // An entry numbered 0, or none, loads nothing and asks the host nothing.
    const uint64_t loads = Calls(Function::LoadEData);
    record.entryNumber = 0;
    EXPECT_EQ(articulations.LoadAll(), 0);
    FCArticulations unbound(nullptr);
    EXPECT_EQ(unbound.LoadAll(), 0);
    EXPECT_EQ(Calls(Function::LoadEData), loads);
}

TEST_F(RecordDataTest, ArticulationStepsAndKeepsItsKeyOnFailure) {
    PutArticulation(40, 0, simhost::kArtStaccato);
    FCArticulation articulation;
    EXPECT_FALSE(articulation.LoadFirst()) << "no entry";
    ASSERT_TRUE(articulation.LoadDetail(40, 0));
    EXPECT_FALSE(articulation.LoadNext());
    EXPECT_EQ(articulation.GetSequence(), 0);

    // The last sequence number has no successor: no wrap to 0, no host call.
    articulation.SetSequence(0xFFFF);
    const uint64_t loads = Calls(Function::LoadEData);
    EXPECT_FALSE(articulation.LoadNext());
    EXPECT_EQ(Calls(Function::LoadEData), loads);
    EXPECT_EQ(articulation.GetSequence(), 0xFFFF);
}

// FX_CreateEData of a host that stores the record but does not say under which number.
int16_t CreateWithoutTelling(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size, uint32_t) {
    EDataKey own = *key;
    return simhost::Host::Instance().CreateEData(tag, &own, buffer, size);
}

void* ResolveSilentCreate(const char* name) {
    if (std::strcmp(name, "FX_CreateEData") == 0) return reinterpret_cast<void*>(&CreateWithoutTelling);
    return dlsym(RTLD_DEFAULT, name);
}

TEST_F(RecordDataTest, SaveNewLearnsTheSequenceNumber) {
    PutArticulation(40, 0, simhost::kArtStaccato);
    PutArticulation(40, 1, simhost::kArtAccent);
    PutArticulation(41, 0, simhost::kArtFermata);
    LooseEntry loose(40);
    EntryRecord& record = loose.record;
    FCNoteEntry& entry = loose.entry;

    FCArticulation unbound;
    EXPECT_FALSE(unbound.SaveNew());
    EXPECT_EQ(Calls(Function::CreateEData), 0u);

    // The host says where it stored the record.
    FCArticulation told;
    told.ConnectToEntry(&entry);
    ASSERT_TRUE(told.SaveNew());
    EXPECT_EQ(told.GetSequence(), 2);
    EXPECT_NE(record.entryFlags & ArticulationFlag, 0u);
    ASSERT_NE(Stored(kArticulationDetailTag, 40, 2), nullptr);

    // The host does not say: the walk over the entry's records finds the last one and stops
    // at the next entry's.
    host_binding::SetResolverForTesting(&ResolveSilentCreate);
    record.entryFlags = 0;
    FCArticulation found;
    found.ConnectToEntry(&entry);
    ASSERT_TRUE(found.SaveNew());
    EXPECT_EQ(Read(found.GetKey().number), 40u);
    EXPECT_EQ(found.GetSequence(), 3);
    EXPECT_NE(record.entryFlags & ArticulationFlag, 0u);

    // A refused creation changes nothing.
    host_binding::SetResolverForTesting(nullptr);
    host.SetFailing(Function::CreateEData, true);
    record.entryFlags = 0;
    FCArticulation refused;
    refused.ConnectToEntry(&entry);
    EXPECT_FALSE(refused.SaveNew());
    EXPECT_EQ(Read(record.entryFlags), 0u);
}

TEST_F(RecordDataTest, SaveAllAndSaveAllNew) {
    PutArticulation(40, 0, simhost::kArtStaccato);
    PutArticulation(40, 1, simhost::kArtAccent);
    LooseEntry source(40);
    FCArticulations articulations(&source.entry);
    ASSERT_EQ(articulations.LoadAll(), 2);
    EXPECT_TRUE(articulations.SaveAll());
    host.FailNthCall(2);
    EXPECT_FALSE(articulations.SaveAll());

    // Stored as new details of a numbered entry, after those it has.
    LooseEntry target(50);
    PutArticulation(50, 0, simhost::kArtFermata);
    FCArticulations moved(&target.entry);
    moved.Add(articulations.GetArticulationAt(0)->CreateObject());
    moved.GetArticulationAt(0)->CopyDataFrom(*articulations.GetArticulationAt(1));
    moved.SaveAllNew();
    ASSERT_NE(Stored(kArticulationDetailTag, 50, 1), nullptr);
    EXPECT_EQ((*Stored(kArticulationDetailTag, 50, 1))[0], simhost::kArtAccent);

    // An entry numbered 0 takes nothing.
    target.record.entryNumber = 0;
    const uint64_t creates = Calls(Function::CreateEData);
    moved.SaveAllNew();
    EXPECT_EQ(Calls(Function::CreateEData), creates);
}

} // namespace
} // namespace transfer_test
