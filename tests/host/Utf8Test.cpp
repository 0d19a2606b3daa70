#include "host/Utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf16ToUtf8, EncodesEveryRangeAndReplacesLoneSurrogates) {
    EXPECT_EQ(Utf16ToUtf8(u"Error"), "Error");
    EXPECT_EQ(Utf16ToUtf8(u"\u00e9\u266d"), "\xC3\xA9\xE2\x99\xAD");      // é, a flat sign
    EXPECT_EQ(Utf16ToUtf8(u"\U0001D11E"), "\xF0\x9D\x84\x9E");            // a G clef, as a pair
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD834')), "\xEF\xBF\xBD"); // a lone high surrogate
    EXPECT_EQ(Utf16ToUtf8(std::u16string(u"\xDD1E"
                                         u"a")),
              "\xEF\xBF\xBD"
              "a");
}

} // namespace
