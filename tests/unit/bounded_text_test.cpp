#include "base/bounded_text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Copies, appends and formats end within the capacity, NUL-terminated, and
// say whether the whole text fitted.
TEST(BoundedText, WritesWithinCapacityOnly) {
    char guarded[6] = {'x', 'x', 'x', 'x', 'x', 'G'};
    EXPECT_FALSE(copyText(guarded, 5, "abcdefgh"));
    EXPECT_STREQ(guarded, "abcd");
    EXPECT_EQ(guarded[5], 'G');
    char buffer[8] = "ab";
    EXPECT_TRUE(appendText(buffer, sizeof buffer, "cde"));
    EXPECT_FALSE(appendText(buffer, sizeof buffer, "fghij"));
    EXPECT_STREQ(buffer, "abcdefg");
    char unended[3] = {'a', 'b', 'c'};
    EXPECT_FALSE(appendText(unended, sizeof unended, ""));
    EXPECT_TRUE(copyText(buffer, sizeof buffer, "abcdefg"));
    EXPECT_TRUE(formatText(buffer, sizeof buffer, "%s\\%s", "d:", "Game"));
    EXPECT_STREQ(buffer, "d:\\Game");
    EXPECT_FALSE(formatText(buffer, sizeof buffer, "%s\\%s", "c:\\Program", "Files"));
    EXPECT_EQ(std::strlen(buffer), 7u);
    EXPECT_FALSE(copyText(buffer, 0, "a") || formatText(buffer, 0, "%d", 1));
    EXPECT_TRUE(formatText(buffer, 1, "%s", "") && copyText(buffer, 1, ""));
}

TEST(BoundedText, BackslashesInsideDoubleByteCharactersAreNotSeparators) {
    // "表" is 0x95 0x5C and "ソ" is 0x83 0x5C in code page 932.
    char path[64] = "c:\\Games\\\x95\x5C";
    EXPECT_TRUE(cutAtLastBackslash(path));
    EXPECT_STREQ(path, "c:\\Games");

    char trail[64] = "c:\\\x83\x5C";
    EXPECT_EQ(trailingBackslash(trail), nullptr);
    char real[64] = "c:\\\x83\x5C\\";
    EXPECT_EQ(trailingBackslash(real), real + 5);

    char noSeparator[16] = "\x95\x5C\x83\x5C\xE0\x5C";  // lead bytes low and high
    EXPECT_FALSE(cutAtLastBackslash(noSeparator));
    EXPECT_STREQ(noSeparator, "\x95\x5C\x83\x5C\xE0\x5C");

    char module[64] = "e:\\Games\\Setup\\update.exe";
    EXPECT_TRUE(cutAtLastBackslash(module));
    EXPECT_STREQ(module, "e:\\Games\\Setup");

    char empty[4] = "";
    EXPECT_EQ(trailingBackslash(empty), nullptr);
}

}  // namespace
