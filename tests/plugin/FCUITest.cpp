// Error boxes reach the host's MessageBoxW with the owner window, the texts and the error icon.
#include "framework/FCString.h"
#include "plugin/FCUI.h"
#include "simhost/SimHost.h"

#include <gtest/gtest.h>

namespace {

TEST(FCUI, AlertErrorShowsAModalErrorBox) {
    simhost::Host& host = simhost::Host::Instance();
    host.Reset();
    void* owner = reinterpret_cast<void*>(0x4242);
    FCUI ui(owner);
    EXPECT_STREQ(ui.ClassName(), "FCUI");

    ui.AlertError("Partial selections are not allowed for this plug-in.", "Orvane Beatclone Error");
    ui.AlertError("no caption", nullptr);
    ui.AlertError("empty caption", "");

    const auto& boxes = host.MessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].owner, owner);
    EXPECT_EQ(boxes[0].text, u"Partial selections are not allowed for this plug-in.");
    EXPECT_EQ(boxes[0].caption, u"Orvane Beatclone Error");
    EXPECT_EQ(boxes[0].style, 0x00000010u);
    EXPECT_EQ(boxes[1].caption, u"Error");
    EXPECT_EQ(boxes[2].caption, u"Error");
    EXPECT_EQ(boxes[2].text, u"empty caption");
}

} // namespace
