// ReportMessage: printf-style text that replaces the status line, cut to its
// 4096-byte buffer.
#include "tests/image/image_window_fixture.h"

class ReportMessageTest : public ImageWindowTest {};

TEST_F(ReportMessageTest, FormatsAndReplacesTheStatusLine)
{
    ReportMessage(Window(), "first %d", 1);
    EXPECT_EQ(StatusLine(), "first 1");
    ReportMessage(Window(), "'%s' and %s", "a b", "c");
    EXPECT_EQ(StatusLine(), "'a b' and c");
    ReportMessage(Window(), "%s", "");
    EXPECT_EQ(StatusLine(), "");
}

TEST_F(ReportMessageTest, LongTextIsCutToTheBuffer)
{
    std::string exact(4095, 'x');
    ReportMessage(Window(), "%s", exact.c_str());
    EXPECT_EQ(StatusLine(), exact);
    std::string longer(10000, 'y');
    ReportMessage(Window(), "Could not open '%s'.", longer.c_str());
    std::string expected = "Could not open '" + longer.substr(0, 4095 - 16);
    EXPECT_EQ(StatusLine().size(), 4095u);
    EXPECT_EQ(StatusLine(), expected);
}

// A cut in the middle of a UTF-8 character drops its leading bytes too.
TEST_F(ReportMessageTest, CutNeverLeavesHalfACharacter)
{
    std::string text(4094, 'a');
    text += "\xC3\xA9";  // e acute: its second byte would be byte 4096
    ReportMessage(Window(), "%s", text.c_str());
    EXPECT_EQ(StatusLine(), std::string(4094, 'a'));
    std::string three(4092, 'a');
    three += "\xE2\x82\xAC";  // the euro sign fits exactly
    ReportMessage(Window(), "%s", three.c_str());
    EXPECT_EQ(StatusLine(), three);
    std::string cut(4093, 'a');
    cut += "\xE2\x82\xAC";  // two of its three bytes would fit
    ReportMessage(Window(), "%s", cut.c_str());
    EXPECT_EQ(StatusLine(), std::string(4093, 'a'));
}

TEST_F(ReportMessageTest, NoWindowIsHarmless)
{
    ReportMessage(nullptr, "nowhere %d", 5);
    EXPECT_EQ(StatusLine(), "");
}

TEST_F(ReportMessageTest, LoadMessagesWithLongPathsAreCut)
{
    std::string path = std::string(5000, 'p') + ".png";
    LoadImageFile(Window(), path.c_str());
    EXPECT_EQ(StatusLine(), "Extension 'png' is unknown.");
    std::string missing = exeDir + "/" + std::string(4500, 'q') + ".bmp";
    LoadImageFile(Window(), missing.c_str());
    EXPECT_EQ(StatusLine().size(), 4095u);
    EXPECT_EQ(StatusLine().rfind("Could not open '", 0), 0u);
}
