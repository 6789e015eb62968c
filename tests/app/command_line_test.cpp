// The heightmap named on the command line: the desktop's quoted rule on raw
// strings, and the first argument where the shell has split them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "app/command_line.h"

// Up to the closing quote, the end or the buffer; nothing without an opening quote.
TEST(CommandLine, QuotedPathIsTakenUpToItsClosingQuote)
{
    const char* const cases[][3] = {{"\"C:\\maps\\hills.bmp\" --ignored", "64", "C:\\maps\\hills.bmp"},
                                    {"\"C:\\maps\\hills.bmp", "64", "C:\\maps\\hills.bmp"},
                                    {"\"abcdefgh\"", "6", "abcde"},
                                    {"C:\\maps\\hills.bmp", "64", "unchanged"},
                                    {nullptr, "64", "unchanged"}};
    for (const auto& entry : cases) {
        char path[64] = "unchanged";
        EXPECT_EQ(TakeQuotedCommandLinePath(entry[0], path, atoi(entry[1])), strcmp(entry[2], "unchanged") != 0);
        EXPECT_STREQ(path, entry[2]) << (entry[0] ? entry[0] : "null");
    }
}

// Never cut: a cut path names another file.
TEST(CommandLine, FirstArgumentIsTakenWholeOrNotAtAll)
{
    char program[] = "orvanel", name[] = "/tmp/a b/terrain.bmp", path[64] = "unchanged", tooSmall[8] = "";
    char* argv[] = {program, name, nullptr};
    EXPECT_FALSE(TakeArgumentPath(1, argv, path, sizeof path) || TakeArgumentPath(2, argv, tooSmall, sizeof tooSmall));
    EXPECT_STREQ(path, "unchanged");
    ASSERT_TRUE(TakeArgumentPath(2, argv, path, sizeof path));
    EXPECT_STREQ(path, "/tmp/a b/terrain.bmp");
}
