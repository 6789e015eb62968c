// The properties window: showing and hiding it with the View menu's check
// mark, its commands and the background colour chooser.
#include <cmath>

#include "platform/headless/headless.h"
#include "settings/properties_window.h"
#include "tests/settings/settings_fixture.h"

class PropertiesWindowTest : public SettingsTest {
protected:
    WindowHandle properties = nullptr;

    void SetUp() override
    {
        SettingsTest::SetUp();
        // the main window's start-up loaded the settings and created the window
        properties = PropertiesWindow;
        ASSERT_NE(properties, nullptr);
    }

    bool MenuChecked() const
    {
        int state = GetMenuItemState(Window(), 32774);
        EXPECT_GE(state, 0);
        return state >= 0 && (state & MenuItemChecked) != 0;
    }
};

TEST_F(PropertiesWindowTest, CreatedFromItsTemplateShownAndOwnedByTheMainWindow)
{
    EXPECT_EQ(properties, HeadlessFindWindow(130));
    EXPECT_EQ(HeadlessWindowCount(), 2);
    EXPECT_TRUE(IsPlatformWindowVisible(properties));
    EXPECT_TRUE(MenuChecked()) << "the menu resource starts with the mark";
    EXPECT_TRUE(HasControl(properties, 1011));
    // owned: it goes with the main window
    int before = HeadlessWindowCount();
    delete dialog;
    dialog = nullptr;
    EXPECT_EQ(before - 2, HeadlessWindowCount());
}

TEST_F(PropertiesWindowTest, ToggleHidesAndShowsWithTheCheckMark)
{
    TogglePropertiesWindow(Window(), properties);
    EXPECT_FALSE(IsPlatformWindowVisible(properties));
    EXPECT_FALSE(MenuChecked());
    EXPECT_EQ(0, GetMenuItemState(Window(), 32774)) << "only the mark changes";
    TogglePropertiesWindow(Window(), properties);
    EXPECT_TRUE(IsPlatformWindowVisible(properties));
    EXPECT_EQ(static_cast<int>(MenuItemChecked), GetMenuItemState(Window(), 32774));
}

TEST_F(PropertiesWindowTest, ViewMenuCommandTogglesTheMainWindowsPropertiesWindow)
{
    OnGenerationProperties();
    EXPECT_FALSE(IsPlatformWindowVisible(properties));
    EXPECT_FALSE(MenuChecked());
    OnGenerationProperties();
    EXPECT_TRUE(IsPlatformWindowVisible(properties));
    EXPECT_TRUE(MenuChecked());
}

TEST_F(PropertiesWindowTest, ToggleWithoutAWindowOrMenuDoesNothing)
{
    PropertiesWindow = nullptr;
    OnGenerationProperties();
    EXPECT_TRUE(MenuChecked());
    TogglePropertiesWindow(properties, properties);  // the properties window has no menu
    EXPECT_TRUE(IsPlatformWindowVisible(properties));
    TogglePropertiesWindow(nullptr, properties);
    EXPECT_TRUE(IsPlatformWindowVisible(properties));
}

TEST_F(PropertiesWindowTest, EnterAndEscapeHideTheWindowAndClearTheMark)
{
    HeadlessPressEnter(properties);
    EXPECT_FALSE(IsPlatformWindowVisible(properties));
    EXPECT_FALSE(MenuChecked());
    OnGenerationProperties();
    EXPECT_TRUE(IsPlatformWindowVisible(properties)) << "the next choice shows it again";
    EXPECT_TRUE(MenuChecked());

    HeadlessPressEscape(properties);
    EXPECT_FALSE(IsPlatformWindowVisible(properties));
    EXPECT_EQ(0, GetMenuItemState(Window(), 32774));
    OnGenerationProperties();
    EXPECT_TRUE(IsPlatformWindowVisible(properties));
}

TEST_F(PropertiesWindowTest, CloseMessageLeavesTheWindowShown)
{
    HeadlessCloseWindow(properties);
    EXPECT_TRUE(IsPlatformWindowVisible(properties));
    EXPECT_TRUE(MenuChecked());
    EXPECT_EQ(1, PropertiesDialogProc(properties, DialogMessageClose, 0, 0));
    EXPECT_EQ(1, PropertiesDialogProc(properties, DialogMessageInit, 0, 0));
    EXPECT_TRUE(IsPlatformWindowVisible(properties));
}

TEST_F(PropertiesWindowTest, TrackbarsAndCheckboxChangeNothingUntilReadBack)
{
    GenerationSettingsRecord before = GenerationSettings;
    HeadlessMoveTrackbar(properties, 1005, 3);
    HeadlessMoveTrackbar(properties, 1006, 5);
    HeadlessClickCheckbox(properties, 1012);
    EXPECT_EQ(0, PropertiesDialogProc(properties, DialogMessageCommand, 1005, 0));
    EXPECT_EQ(0, PropertiesDialogProc(properties, 0x0114, 0, 0));  // a scroll notification
    EXPECT_EQ(0, memcmp(&before, &GenerationSettings, sizeof before));
    EXPECT_EQ(0, memcmp(&InitialParams, &GenerationParams, sizeof InitialParams));
    bool exists = true;
    ReadConfig(&exists);
    EXPECT_FALSE(exists);
    EXPECT_TRUE(IsPlatformWindowVisible(properties));
}

TEST_F(PropertiesWindowTest, SetDefaultsResetsControlsAndRecordAtOnce)
{
    GenerationSettings.backgroundColor[0] = 0.5f;
    GenerationSettings.backgroundColor[3] = 0.25f;
    strcpy(GenerationSettings.fragmentProgramPath, "/moved/fp.fp");
    HeadlessMoveTrackbar(properties, 1005, 1000);
    HeadlessMoveTrackbar(properties, 1006, 6);
    HeadlessMoveTrackbar(properties, 1007, 9);
    HeadlessMoveTrackbar(properties, 1008, 700);
    HeadlessClickCheckbox(properties, 1012);
    ReadPropertiesWindow(properties);
    Bytes saved = ReadConfig();
    GenerationParamsRecord params = GenerationParams;

    ASSERT_TRUE(HeadlessClickButton(properties, 1010));
    EXPECT_EQ(128, GetTrackbarPosition(properties, 1005));
    EXPECT_EQ(2, GetTrackbarPosition(properties, 1006));
    EXPECT_EQ(256, GetTrackbarPosition(properties, 1007));
    EXPECT_EQ(24, GetTrackbarPosition(properties, 1008));
    EXPECT_EQ(0, GetCheckState(properties, 1012));
    EXPECT_EQ(exeDir + "/fp/light_std.fp", std::string(GenerationSettings.fragmentProgramPath));
    EXPECT_FLOAT_BITS(0.0f, GenerationSettings.backgroundColor[0]);
    EXPECT_FLOAT_BITS(1.0f, GenerationSettings.backgroundColor[3]);
    EXPECT_EQ(0, memcmp(&params, &GenerationParams, sizeof params)) << "derived only at read-back";
    EXPECT_EQ(saved, ReadConfig()) << "not saved by the button";
    EXPECT_TRUE(IsPlatformWindowVisible(properties));
}

TEST_F(PropertiesWindowTest, OnlyTheCommandsLowWordCounts)
{
    HeadlessMoveTrackbar(properties, 1005, 1000);
    EXPECT_EQ(0, PropertiesDialogProc(properties, DialogMessageCommand, (0xBEEFu << 16) | 1010u, 0));
    EXPECT_EQ(128, GetTrackbarPosition(properties, 1005));
    EXPECT_EQ(0, PropertiesDialogProc(properties, DialogMessageCommand, (1u << 16) | 2u, 0));
    EXPECT_FALSE(IsPlatformWindowVisible(properties));
    EXPECT_FALSE(MenuChecked());
}

TEST_F(PropertiesWindowTest, BackgroundColorRoundTripsWhite)
{
    GenerationSettings.backgroundColor[0] = 0.5f;
    GenerationSettings.backgroundColor[1] = 0.25f;
    GenerationSettings.backgroundColor[2] = 1.0f;
    GenerationSettings.backgroundColor[3] = 0.75f;
    ClearHeadlessDialogCalls();
    QueueColorDialogAnswer(true, 0x00FFFFFFu);
    ASSERT_TRUE(HeadlessClickButton(properties, 1011));
    ASSERT_EQ(1u, HeadlessDialogCalls().size());
    const HeadlessDialogCall& call = HeadlessDialogCalls()[0];
    EXPECT_EQ(HeadlessColorDialog, call.kind);
    EXPECT_EQ(127u | (63u << 8) | (255u << 16), call.initialColor) << "truncated, not rounded";
    EXPECT_TRUE(call.confirmed);
    EXPECT_FLOAT_BITS(1.0f, GenerationSettings.backgroundColor[0]);
    EXPECT_FLOAT_BITS(1.0f, GenerationSettings.backgroundColor[1]);
    EXPECT_FLOAT_BITS(1.0f, GenerationSettings.backgroundColor[2]);
    EXPECT_FLOAT_BITS(0.75f, GenerationSettings.backgroundColor[3]);

    // reopened, it proposes white again; cancelling changes nothing
    QueueColorDialogAnswer(false, 0x00123456u);
    ASSERT_TRUE(HeadlessClickButton(properties, 1011));
    ASSERT_EQ(2u, HeadlessDialogCalls().size());
    EXPECT_EQ(0x00FFFFFFu, HeadlessDialogCalls()[1].initialColor);
    EXPECT_FALSE(HeadlessDialogCalls()[1].confirmed);
    EXPECT_FLOAT_BITS(1.0f, GenerationSettings.backgroundColor[0]);
    bool exists = true;
    ReadConfig(&exists);
    EXPECT_FALSE(exists) << "the colour is saved only at read-back";
}

TEST_F(PropertiesWindowTest, ChosenColorSetsEachChannelFromItsByte)
{
    QueueColorDialogAnswer(true, 0x00804020u);  // red 0x20, green 0x40, blue 0x80
    ASSERT_TRUE(HeadlessClickButton(properties, 1011));
    EXPECT_NEAR(32.0 / 255.0, GenerationSettings.backgroundColor[0], 1e-7);
    EXPECT_NEAR(64.0 / 255.0, GenerationSettings.backgroundColor[1], 1e-7);
    EXPECT_NEAR(128.0 / 255.0, GenerationSettings.backgroundColor[2], 1e-7);
}

TEST(ColorConversion, EveryByteSurvivesTheRoundTrip)
{
    for (uint32_t byte = 0; byte < 256; ++byte) {
        float color[4] = {0, 0, 0, 0.5f};
        SetBackgroundFromColorValue(color, byte | ((255 - byte) << 8) | (byte << 16));
        EXPECT_EQ(byte | ((255 - byte) << 8) | (byte << 16), ColorValueFromBackground(color)) << byte;
        EXPECT_FLOAT_BITS(0.5f, color[3]);
    }
}

TEST(ColorConversion, ChannelsTruncateAndKeepTheLowEightBits)
{
    EXPECT_EQ(127, ColorChannelFromComponent(0.5f));
    EXPECT_EQ(255, ColorChannelFromComponent(1.0f));
    EXPECT_EQ(0, ColorChannelFromComponent(0.0f));
    EXPECT_EQ(0, ColorChannelFromComponent(0.0039f));
    EXPECT_EQ(126, ColorChannelFromComponent(1.5f));   // 382
    EXPECT_EQ(129, ColorChannelFromComponent(-0.5f));  // -127
    EXPECT_EQ(0, ColorChannelFromComponent(std::nanf("")));
    EXPECT_EQ(0, ColorChannelFromComponent(INFINITY));
    EXPECT_EQ(0, ColorChannelFromComponent(-INFINITY));
    EXPECT_EQ(0, ColorChannelFromComponent(1e30f));  // a multiple of 256 far past any integer type
}
