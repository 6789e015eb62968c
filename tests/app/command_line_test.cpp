// The heightmap named on the command line: the desktop's quoted rule on raw
// strings, and the first argument where the shell has split them.
#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"

TEST(QuotedCommandLine, TakesThePathBetweenTheQuotes)
{
    char path[64];
    ASSERT_TRUE(TakeQuotedCommandLinePath("\"C:\\maps\\hills.bmp\" --ignored", path, sizeof path));
    EXPECT_STREQ(path, "C:\\maps\\hills.bmp");
}

TEST(QuotedCommandLine, WithoutClosingQuoteRunsToTheEnd)
{
    char path[64];
    ASSERT_TRUE(TakeQuotedCommandLinePath("\"C:\\maps\\hills.bmp", path, sizeof path));
    EXPECT_STREQ(path, "C:\\maps\\hills.bmp");
}

TEST(QuotedCommandLine, UnquotedOrEmptyNamesNoFile)
{
    char path[64] = "unchanged";
    EXPECT_FALSE(TakeQuotedCommandLinePath("C:\\maps\\hills.bmp", path, sizeof path));
    EXPECT_FALSE(TakeQuotedCommandLinePath("", path, sizeof path));
    EXPECT_FALSE(TakeQuotedCommandLinePath(nullptr, path, sizeof path));
    EXPECT_STREQ(path, "unchanged");
}

TEST(QuotedCommandLine, StopsAtTheBufferWithATerminator)
{
    char path[6];
    ASSERT_TRUE(TakeQuotedCommandLinePath("\"abcdefgh\"", path, sizeof path));
    EXPECT_STREQ(path, "abcde");
}

TEST(ArgumentPath, FirstArgumentWholeOrNothing)
{
    char program[] = "orvanel", name[] = "/tmp/a b/terrain.bmp";
    char* argv[] = {program, name, nullptr};
    char path[64];
    ASSERT_TRUE(TakeArgumentPath(2, argv, path, sizeof path));
    EXPECT_STREQ(path, "/tmp/a b/terrain.bmp");
    EXPECT_FALSE(TakeArgumentPath(1, argv, path, sizeof path));
    char tooSmall[8];
    EXPECT_FALSE(TakeArgumentPath(2, argv, tooSmall, sizeof tooSmall));  // never cut: that names another file
}
