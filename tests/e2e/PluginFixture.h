// A stand-in host with one document of four staves, and the module freshly loaded into it.
// Every test ends by checking the host's books: each lent frame given back exactly once.
#pragma once

#include "simhost/SimHost.h"
#include "tests/e2e/PluginModule.h"
#include "tests/support/TestScore.h"

#include <gtest/gtest.h>

#include <string>

class PluginFixture : public ::testing::Test {
protected:
    static constexpr int16_t kDocument = 5;
    static constexpr int16_t kStaves = 4;
    static constexpr int16_t kMeasures = 16;
    // Slot s holds instrument 20 + s, so a slot taken for an instrument shows.
    static int16_t Instrument(int16_t slot) { return static_cast<int16_t>(20 + slot); }

    void SetUp() override {
        host.Reset();
        simhost::Document& document = host.AddDocument(kDocument);
        for (int16_t slot = 1; slot <= kStaves; ++slot) document.AddStaff(Instrument(slot));
        document.SetMeasureCount(kMeasures);
        ASSERT_TRUE(module.Load()) << module.Error();
    }

    void TearDown() override {
        EXPECT_TRUE(host.CheckNoLiveFrames());
        for (const std::string& problem : host.Problems()) ADD_FAILURE() << problem;
        module.Unload();
    }

    simhost::Document& Doc() { return *host.FindDocument(kDocument); }

    void Write(int16_t slot, int16_t layer, int16_t firstMeasure, const std::string& text) {
        testscore::WriteLayer(Doc(), Instrument(slot), layer, firstMeasure, text);
    }
    std::string Read(int16_t slot, int16_t layer, int16_t first, int16_t last) {
        return testscore::ReadLayer(Doc(), Instrument(slot), layer, first, last);
    }
    std::string Bytes(int16_t slot, int16_t layer, int16_t first, int16_t last) {
        return testscore::LayerBytes(Doc(), Instrument(slot), layer, first, last);
    }

    // Selects whole measures as the user would and runs SET SOURCE.
    int16_t SetSource(int16_t slot, int16_t first, int16_t last) {
        return Run(kSetSourceCommand, simhost::Host::WholeMeasures(slot, slot, first, last));
    }
    // Selects the destination and runs COPY.
    int16_t CopyTo(int16_t firstSlot, int16_t lastSlot, int16_t first, int16_t last) {
        return Run(kCopyCommand, simhost::Host::WholeMeasures(firstSlot, lastSlot, first, last));
    }
    int16_t Run(int16_t command, const RegionRecord& selection) {
        host.SetSelection(selection);
        return module.Invoke(kOwner, command, &selection);
    }

    // The one message box shown since the last call, as "caption: text"; "" when none.
    std::string TakeBox() {
        const auto& boxes = host.MessageBoxes();
        if (boxes.size() <= seenBoxes) return "";
        const simhost::MessageBoxCall& box = boxes[seenBoxes];
        seenBoxes = boxes.size();
        EXPECT_EQ(box.owner, kOwner);
        EXPECT_EQ(box.style, 0x10u);
        std::string out;
        for (char16_t c : box.caption) out += static_cast<char>(c);
        out += ": ";
        for (char16_t c : box.text) out += static_cast<char>(c);
        return out;
    }

    inline static void* const kOwner = reinterpret_cast<void*>(0x5150);
    simhost::Host& host = simhost::Host::Instance();
    PluginModule module;
    size_t seenBoxes = 0;
};
