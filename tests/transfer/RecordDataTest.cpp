// Host data records through the stand-in host's EData store: the record base, articulation
// records and their collection.
#include "framework/FCArticulations.h"
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
    bool Load(uint32_t number, uint16_t sequence) {
        SetKey(EDataKey{number, sequence});
        return LoadData();
    }
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

// Resolves every host function but one from the stand-in host.
template <Function Replaced, auto Replacement>
void* Replacing(const char* name) {
    return std::strcmp(name, simhost::FunctionName(Replaced)) == 0 ? reinterpret_cast<void*>(Replacement)
                                                                   : dlsym(RTLD_DEFAULT, name);
}

class RecordDataTest : public HostTest {
protected:
    void Put(uint32_t tag, uint32_t number, uint16_t sequence, const Bytes& bytes) {
        doc->PutEData(tag, number, sequence, bytes.data(), bytes.size());
    }
    const Bytes* Stored(uint32_t tag, uint32_t number, uint16_t sequence) {
        return doc->FindEData(tag, number, sequence);
    }
    void PutArticulation(uint32_t number, uint16_t sequence, uint16_t id) {
        const simhost::ArticulationRecord record{id, 0, {}};
        doc->PutEData(kArticulationDetailTag, number, sequence, &record, sizeof record);
    }
};

TEST_F(RecordDataTest, WithoutARecordNothingReachesTheHost) {
    ProbeRecord never;
    EXPECT_FALSE(never.Save());
    ProbeRecord refused;
    EXPECT_FALSE(refused.Load(5, 2));
    EXPECT_EQ(refused.GetRecordSize(), 0);
    EXPECT_EQ(refused.GetKey().sequence, 2);
    EXPECT_FALSE(refused.Reload());
    EXPECT_FALSE(refused.Save());
    EXPECT_EQ(Calls(Function::LoadEData), 1u);
    EXPECT_EQ(Calls(Function::SaveEData), 0u);
}

int16_t LoadReportingNegativeSize(uint32_t, EDataKey*, void* buffer, uint32_t* size, uint32_t) {
    std::memset(buffer, 0xAB, *size);
    *size = 0xFFFFFFF0u;
    return 1;
}

TEST_F(RecordDataTest, SizesTheHostReportsBeyondTheBufferAreCut) {
    Put(kProbeTag, 5, 0, Sequence(100, 0));
    ProbeRecord record(8);
    ASSERT_TRUE(record.Load(5, 0));
    EXPECT_EQ(record.GetRecordSize(), 8);
    EXPECT_EQ(record.GetDocument(), 7);
    // Neither a save nor a copy reads past the eight bytes the object has.
    record.SetKey(EDataKey{5, 1});
    ASSERT_TRUE(record.Save());
    EXPECT_EQ(*Stored(kProbeTag, 5, 1), Sequence(8, 0));
    ProbeRecord copy(8);
    copy.CopyDataFrom(record);
    EXPECT_EQ(copy.Held(), Sequence(8, 0));

    // An articulation keeps its 12 bytes whatever size the host reports.
    Put(kArticulationDetailTag, 40, 0, Sequence(40, 0));
    FCArticulation articulation;
    ASSERT_TRUE(articulation.LoadDetail(40, 0));
    articulation.SetSequence(1);
    ASSERT_TRUE(articulation.Save());
    EXPECT_EQ(*Stored(kArticulationDetailTag, 40, 1), Sequence(12, 0));

    // A size that reads negative leaves no record to save.
    host_binding::SetResolverForTesting(&Replacing<Function::LoadEData, &LoadReportingNegativeSize>);
    EXPECT_TRUE(record.LoadData());
    EXPECT_EQ(record.GetRecordSize(), 0);
    EXPECT_FALSE(record.Save());
    EXPECT_EQ(Calls(Function::SaveEData), 2u);
}

TEST_F(RecordDataTest, CopyDataFromTakesAnIndependentCopy) {
    Put(kProbeTag, 5, 0, Sequence(4, 1));
    Put(kProbeTag, 5, 1, Sequence(8, 50));
    auto source = std::make_unique<ProbeRecord>(8);
    ASSERT_TRUE(source->Load(5, 0));

    ProbeRecord copy(8);
    copy.SetKey(EDataKey{9, 3});
    ProbeRecord empty(8);
    copy.CopyDataFrom(empty);
    EXPECT_EQ(copy.GetRecord(), nullptr) << "a source without a record changes nothing";

    copy.CopyDataFrom(*source);
    EXPECT_TRUE(copy.OwnsRecord());
    EXPECT_EQ(copy.Held(), Sequence(4, 1));
    EXPECT_EQ(copy.GetKey().sequence, 3);
    // The source changes, then goes; the copy keeps its bytes.
    ASSERT_TRUE(source->Load(5, 1));
    source.reset();
    EXPECT_EQ(copy.Held(), Sequence(4, 1));
    // A later load lands in the copied buffer, which has room for what the load offers.
    ASSERT_TRUE(copy.Load(5, 1));
    EXPECT_EQ(copy.Held(), Sequence(8, 50));
}

TEST_F(RecordDataTest, NextDeleteAndMissingHostFunctions) {
    Put(kProbeTag, 5, 0, Sequence(4, 1));
    Put(kProbeTag, 5, 1, Sequence(4, 2));
    ProbeRecord record;
    ASSERT_TRUE(record.Load(5, 0));
    ASSERT_TRUE(record.LoadNext());
    EXPECT_EQ(record.Held(), Sequence(4, 2));
    const uint64_t loads = Calls(Function::LoadEData);
    EXPECT_FALSE(record.LoadNext());
    EXPECT_EQ(Calls(Function::LoadEData), loads) << "no next record, no load";

    // Whatever the host answers, the object keeps its key and bytes.
    EXPECT_TRUE(record.Delete());
    EXPECT_EQ(Stored(kProbeTag, 5, 1), nullptr);
    EXPECT_FALSE(record.DeleteData());
    EXPECT_EQ(record.GetKey().sequence, 1);
    EXPECT_EQ(record.Held(), Sequence(4, 2));

    for (Function f : {Function::LoadEData, Function::SaveEData, Function::NextEData}) host.SetMissing(f, true);
    EXPECT_FALSE(record.Save());
    EXPECT_FALSE(record.LoadNext());
    EXPECT_FALSE(record.Load(5, 0));
}

TEST_F(RecordDataTest, LoadAllWalksSequenceNumbersUpToTheFirstGap) {
    PutArticulation(40, 0, simhost::kArtStaccato);
    PutArticulation(40, 1, simhost::kArtAccent);
    PutArticulation(40, 3, simhost::kArtTenuto); // beyond the gap: not seen
    PutArticulation(41, 0, simhost::kArtFermata);
    LooseEntry loose(40);

    FCArticulations articulations(&loose.entry);
    ASSERT_EQ(articulations.LoadAll(), 2);
    ASSERT_EQ(articulations.LoadAll(), 2) << "a second load replaces the items";
    const FCArticulation* second = articulations.GetArticulationAt(1);
    EXPECT_EQ(second->GetArticulationId(), simhost::kArtAccent);
    EXPECT_EQ(Read(second->GetKey().number), 40u);
    EXPECT_EQ(second->GetSequence(), 1);
    EXPECT_EQ(second->GetEntry(), &loose.entry);

    // An entry numbered 0 loads nothing and asks the host nothing.
    const uint64_t loads = Calls(Function::LoadEData);
    loose.record.entryNumber = 0;
    EXPECT_EQ(articulations.LoadAll(), 0);
    EXPECT_EQ(Calls(Function::LoadEData), loads);

    // A failed step keeps the key; the last sequence number has no successor to wrap to.
    FCArticulation articulation;
    ASSERT_TRUE(articulation.LoadDetail(41, 0));
    EXPECT_FALSE(articulation.LoadNext());
    EXPECT_EQ(articulation.GetSequence(), 0);
    articulation.SetSequence(kNoSequence);
    EXPECT_FALSE(articulation.LoadNext());
    EXPECT_EQ(Calls(Function::LoadEData), loads + 2);
}

// CreateEData of a host that stores the record but does not say under which number.
int16_t CreateWithoutTelling(uint32_t tag, EDataKey* key, const void* buffer, uint32_t size, uint32_t) {
    EDataKey own = *key;
    return simhost::Host::Instance().CreateEData(tag, &own, buffer, size);
}

TEST_F(RecordDataTest, SaveNewLearnsTheSequenceNumber) {
    PutArticulation(40, 0, simhost::kArtStaccato);
    PutArticulation(40, 1, simhost::kArtAccent);
    PutArticulation(41, 7, simhost::kArtFermata);
    LooseEntry loose(40);

    FCArticulation told;
    told.ConnectToEntry(&loose.entry);
    ASSERT_TRUE(told.SaveNew());
    EXPECT_EQ(told.GetSequence(), 2);
    EXPECT_NE(loose.record.entryFlags & ArticulationFlag, 0u);

    // When the host does not say, the walk over the entry's records finds the last one and
    // stops at the next entry's.
    host_binding::SetResolverForTesting(&Replacing<Function::CreateEData, &CreateWithoutTelling>);
    FCArticulation found;
    found.ConnectToEntry(&loose.entry);
    ASSERT_TRUE(found.SaveNew());
    EXPECT_EQ(Read(found.GetKey().number), 40u);
    EXPECT_EQ(found.GetSequence(), 3);
    ASSERT_NE(Stored(kArticulationDetailTag, 40, 3), nullptr);
}

} // namespace
} // namespace transfer_test
