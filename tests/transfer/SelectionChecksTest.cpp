// The five refusals, word for word, in the order the tests decide.
#include "framework/FCMusicRegion.h"
#include "simhost/SimHost.h"
#include "transfer/MessageBuffer.h"
#include "transfer/SelectionChecks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr const char* kPartialSource = "Partial measure selection are not allowed for this plug-in.";
constexpr const char* kOneStaff = "Only one individual staff is allowed as the selected source region.";
constexpr const char* kPartialDestination = "Partial selections are not allowed for this plug-in.";
constexpr const char* kLength = "The destination region must have the same number of measures as the source region.";
constexpr const char* kDocument = "The source region must belong to the current document.";

FCMusicRegion Region(int16_t startSlot, int16_t endSlot, int16_t first, int16_t last) {
    FCMusicRegion r;
    const RegionRecord record = simhost::Host::WholeMeasures(startSlot, endSlot, first, last);
    r.SetFromRecord(&record);
    return r;
}

class SelectionChecks : public ::testing::Test {
protected:
    void SetUp() override {
        host.Reset();
        host.AddDocument(3).SetMeasureCount(40);
        std::memset(buffer, '#', sizeof buffer);
    }
    // Sets the source as SET SOURCE does, in the current document.
    void SetSource(const FCMusicRegion& region) {
        SourceRegion = region;
        SourceRegion.document = 3;
    }
    // The message, and that nothing was written past the buffer.
    std::string Message() const {
        EXPECT_EQ(buffer[kMessageBufferSize], '#');
        return std::string(buffer);
    }
    bool Untouched() const { return buffer[0] == '#'; }

    simhost::Host& host = simhost::Host::Instance();
    char buffer[kMessageBufferSize + 8];
};

TEST_F(SelectionChecks, SourceShapes) {
    SetSource(Region(2, 2, 5, 8));
    EXPECT_TRUE(CheckSourceSelection(buffer));
    EXPECT_TRUE(Untouched());

    FCMusicRegion partial = Region(2, 2, 5, 8);
    partial.endPosition = WholeMeasureEnd - 1;
    SetSource(partial);
    EXPECT_FALSE(CheckSourceSelection(buffer));
    EXPECT_EQ(Message(), kPartialSource);

    partial = Region(2, 2, 5, 8);
    partial.startPosition = 1;
    SetSource(partial);
    EXPECT_FALSE(CheckSourceSelection(buffer));
    EXPECT_EQ(Message(), kPartialSource);

    SetSource(Region(2, 3, 5, 8));
    EXPECT_FALSE(CheckSourceSelection(buffer));
    EXPECT_EQ(Message(), kOneStaff);

    // Partial and on two staves: the partial test decides.
    partial = Region(2, 3, 5, 8);
    partial.startPosition = 480;
    SetSource(partial);
    EXPECT_FALSE(CheckSourceSelection(buffer));
    EXPECT_EQ(Message(), kPartialSource);

    // The empty region counts as whole measures whatever its positions hold.
    FCMusicRegion empty;
    empty.startSlot = empty.endSlot = 4;
    empty.startPosition = 77;
    empty.endPosition = 12;
    SetSource(empty);
    EXPECT_TRUE(CheckSourceSelection(buffer));
}

TEST_F(SelectionChecks, DestinationShapes) {
    SetSource(Region(1, 1, 5, 8));
    EXPECT_TRUE(CheckDestinationSelection(Region(2, 4, 10, 13), buffer));
    EXPECT_TRUE(CheckDestinationSelection(Region(1, 1, 5, 8), buffer)); // the source itself
    EXPECT_TRUE(CheckDestinationSelection(Region(1, 3, 1, 4), buffer)); // before the source
    EXPECT_TRUE(Untouched());

    EXPECT_FALSE(CheckDestinationSelection(Region(2, 4, 10, 12), buffer));
    EXPECT_EQ(Message(), kLength);

    FCMusicRegion partialAndShort = Region(2, 4, 10, 12);
    partialAndShort.endPosition = 0;
    EXPECT_FALSE(CheckDestinationSelection(partialAndShort, buffer));
    EXPECT_EQ(Message(), kPartialDestination);
}

TEST_F(SelectionChecks, DestinationInAnotherDocument) {
    SetSource(Region(1, 1, 5, 8));
    host.AddDocument(4);
    host.SetCurrentDocument(4);
    const uint64_t before = host.CallCount(simhost::Function::GetCurrentEnigmaDocument);
    EXPECT_FALSE(CheckDestinationSelection(Region(1, 2, 10, 12), buffer));
    EXPECT_EQ(Message(), kLength);
    // The document is asked for only after the shape tests pass.
    EXPECT_EQ(host.CallCount(simhost::Function::GetCurrentEnigmaDocument), before);

    EXPECT_FALSE(CheckDestinationSelection(Region(1, 2, 10, 13), buffer));
    EXPECT_EQ(Message(), kDocument);
    EXPECT_EQ(host.CallCount(simhost::Function::GetCurrentEnigmaDocument), before + 1);
}

TEST_F(SelectionChecks, MeasureCountsUseWideArithmetic) {
    // -32768..32767 spans 65536 measures; in 16 bits that wraps to the 0 of a reversed range.
    SetSource(Region(1, 1, -32768, 32767));
    EXPECT_FALSE(CheckDestinationSelection(Region(1, 1, 5, 4), buffer));
    EXPECT_EQ(Message(), kLength);
}

TEST(MessageBuffer, NeverWritesPastItsEnd) {
    char buffer[kMessageBufferSize + 4];
    std::memset(buffer, '#', sizeof buffer);
    const std::string longer(200, 'x');
    WriteMessage(buffer, longer.c_str());
    EXPECT_EQ(std::strlen(buffer), kMessageBufferSize - 1);
    EXPECT_EQ(buffer[kMessageBufferSize], '#');
    WriteMessage(buffer, kLength); // the longest message fits whole
    EXPECT_EQ(std::string(buffer), kLength);
    EXPECT_EQ(std::strlen(kLength), 82u);
    WriteMessage(nullptr, kLength);
}

} // namespace
