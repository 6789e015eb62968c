// orvanel.cfg and the generation settings: defaults, loading any file, saving,
// paths that do not fit, the mesh parameters derived from what the properties
// window shows, and that window with the View menu and the colour chooser.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <tuple>

#include "settings/properties_window.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/test_files.h"

// The four trackbars and their lowest and highest positions.
static const int Trackbars[4] = {StretchTrackbarControl, FuzzTrackbarControl, HeightTrackbarControl,
                                 ScaleTrackbarControl};
static const int32_t Ranges[4][2] = {{1, 1024}, {1, 6}, {1, 4096}, {4, 1024}};

// The main window started as the program starts: the settings loaded and the properties window shown.
class SettingsTest : public MainWindowTest {
protected:
    WindowHandle properties = nullptr;
    std::string config;  // orvanel.cfg beside the executable

    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(StartMainWindow());
        ASSERT_NE(properties = PropertiesWindow, nullptr);
        config = exeDir + "/orvanel.cfg";
    }

    static std::vector<uint8_t> RecordBytes()
    {
        const uint8_t* record = reinterpret_cast<const uint8_t*>(&GenerationSettings);
        return std::vector<uint8_t>(record, record + sizeof GenerationSettings);
    }

    // The four trackbars' positions and the checkbox's state.
    std::vector<int32_t> Shown() const
    {
        std::vector<int32_t> shown;
        for (int control : Trackbars)
            shown.push_back(GetTrackbarPosition(properties, control));
        shown.push_back(GetCheckState(properties, EliminateCheckboxControl));
        return shown;
    }
};

typedef std::tuple<float, int32_t, float, float, int32_t> ParamFields;

static ParamFields Fields(const GenerationParamsRecord& params)
{
    return ParamFields(params.textureScale, params.gridStep, params.heightScale, params.overallScale,
                       params.eliminateZeroHeight);
}

// The file image of the defaults: colour (0, 0, 0, 1), the program path beside
// the executable followed by zeros, positions 128, 2, 256, 24, flag 0.
static std::vector<uint8_t> DefaultFile(const std::string& exeDir)
{
    std::vector<uint8_t> bytes;
    for (float component : {0.0f, 0.0f, 0.0f, 1.0f})
        PutFloat(&bytes, component);
    std::string path = exeDir + "/fp/light_std.fp";
    bytes.insert(bytes.end(), path.begin(), path.end());
    bytes.resize(2064);
    for (uint32_t field : {128, 2, 256, 24, 0})
        PutLE32(&bytes, field);
    return bytes;
}

// Without a file the defaults show and the first read-back saves them; a configuration file that
// is a folder reads as none and is left alone.
TEST_F(SettingsTest, WithoutAFileTheDefaultsShowAndTheFirstReadBackSavesThem)
{
    EXPECT_EQ(Shown(), std::vector<int32_t>({128, 2, 256, 24, 0}));
    ReadPropertiesWindow(nullptr);
    EXPECT_EQ(Fields(GenerationParams), ParamFields(1.0f, 1, 1.0f, 24.0f, 1)) << "nothing read back";
    ASSERT_EQ(mkdir(config.c_str(), 0755), 0);
    GenerationSettings.stretchPosition = 5;
    LoadSettings();
    EXPECT_EQ(RecordBytes(), DefaultFile(exeDir));
    ReadPropertiesWindow(properties);
    ASSERT_EQ(rmdir(config.c_str()), 0) << "still a folder";
    // what could not be saved beside the executable went to the user's file, which is read first
    const std::string user = exeDir + ".config/orvanel/orvanel.cfg";
    EXPECT_EQ(ReadFileBytes(user), DefaultFile(exeDir));
    GenerationSettings.stretchPosition = 77;
    ASSERT_TRUE(SaveSettings());
    ASSERT_TRUE(WriteFileBytes(config, DefaultFile(exeDir)));
    LoadSettings();
    EXPECT_EQ(GenerationSettings.stretchPosition, 77);
    EXPECT_EQ(Fields(GenerationParams), ParamFields(1.0f, 2, 1.0f, 24.0f, 0));
    EXPECT_TRUE(HeadlessDialogCalls().empty());
}

// What can be saved nowhere is said, with the place and the reason; a linked file is replaced
// through the link, not written in place, and keeps its tail; a pipe is never waited on.
TEST_F(SettingsTest, SavesGoThroughLinksPipesAreNotWaitedOnAndFailuresAreSaid)
{
    ASSERT_TRUE(WriteFileText(exeDir + "/real.cfg", std::string(3000, '\x07')));
    ASSERT_EQ(symlink("real.cfg", config.c_str()), 0);
    struct stat before, after;
    ASSERT_EQ(stat(config.c_str(), &before), 0);
    ASSERT_TRUE(SaveSettings());
    ASSERT_TRUE(lstat(config.c_str(), &after) == 0 && S_ISLNK(after.st_mode));
    ASSERT_EQ(stat(config.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "written in place, not replaced";
    std::vector<uint8_t> expected = RecordBytes();
    expected.resize(3000, 7);
    EXPECT_EQ(ReadFileBytes(config), expected);

    ASSERT_TRUE(unlink(config.c_str()) == 0 && mkfifo(config.c_str(), 0600) == 0);
    alarm(20);  // a read that waits on the pipe ends the test
    EXPECT_FALSE(LoadSettingsFile(config.c_str()));
    LoadSettings();
    alarm(0);
    EXPECT_EQ(GenerationSettings.stretchPosition, 128);

    snprintf(ExeDirectory, sizeof ExeDirectory, "%s/missing", exeDir.c_str());
    ASSERT_TRUE(WriteFileText(exeDir + "/plain", ""));
    setenv("XDG_CONFIG_HOME", (exeDir + "/plain").c_str(), 1);
    EXPECT_FALSE(SaveSettings());
    EXPECT_EQ(StatusLine(),
              "Could not save the settings to '" + exeDir + "/plain/orvanel/orvanel.cfg': Not a directory.");
}

// Any file gives its first 2084 bytes and zeros after them; a program path with no terminator in
// its field is taken as empty, since a cut path names another file. The trackbars show stored
// positions out of range at the nearer end; reading them back saves what they show over the
// record and keeps the rest of the file.
TEST_F(SettingsTest, AnyFileFillsTheRecordAndReadingBackSavesWhatIsShown)
{
    for (size_t terminator : {0, 40, 2063}) {  // 0: none in the path's field
        std::vector<uint8_t> file(2384);
        for (size_t i = 0; i < file.size(); ++i)
            file[i] = static_cast<uint8_t>(i == terminator ? 0 : 1 + i % 251);
        const int32_t end = terminator ? 1 : -1;  // each trackbar's top or bottom end, by turns
        const int32_t positions[] = {-end * INT32_MAX, end * INT32_MAX, -end * 5000, end * 40000, 7};
        memcpy(&file[2064], positions, sizeof positions);
        for (size_t length : {0, 1, 15, 16, 17, 41, 2063, 2064, 2065, 2072, 2083, 2084, 2384}) {
            SCOPED_TRACE(std::to_string(length) + " bytes, terminator at " + std::to_string(terminator));
            ASSERT_TRUE(WriteFileBytes(config, std::vector<uint8_t>(file.begin(), file.begin() + length)));
            GenerationSettings.stretchPosition = 99;
            LoadSettings();
            std::vector<uint8_t> expected(file.begin(), file.begin() + std::min<size_t>(length, 2084));
            expected.resize(2084);
            if (std::find(&expected[16], &expected[2064], 0) == &expected[2064])
                std::fill(&expected[16], &expected[2064], 0);
            EXPECT_EQ(RecordBytes(), expected);
            FillPropertiesWindow(properties);
            std::vector<int32_t> shown(5);
            memcpy(shown.data(), &expected[2064], 20);
            for (size_t i = 0; i < 4; ++i)
                shown[i] = std::min(std::max(shown[i], Ranges[i][0]), Ranges[i][1]);
            shown[4] = shown[4] != 0;
            EXPECT_EQ(Shown(), shown);
            // texture coordinates * N / 128, a grid step of 2^(N-1) pixels, heights * N / 256
            const ParamFields params(shown[0] / 128.0f, 1 << (shown[1] - 1), shown[2] / 256.0f, float(shown[3]),
                                     shown[4]);
            EXPECT_EQ(Fields(DeriveGenerationParams(GenerationSettings)), params) << "as batch mode derives them";
            ReadPropertiesWindow(properties);
            EXPECT_EQ(Fields(GenerationParams), params);
            memcpy(&expected[2064], shown.data(), 20);
            EXPECT_EQ(RecordBytes(), expected);
            expected.insert(expected.end(), file.begin() + std::min<size_t>(length, 2084), file.begin() + length);
            EXPECT_EQ(ReadFileBytes(config), expected);
        }
    }
}

// A directory too long for a path is refused, never cut: the cut path would name another file.
// So is an unknown directory (no file at the root) and one without a terminator (never read past).
TEST_F(SettingsTest, PathsThatDoNotFitAreLeftEmpty)
{
    for (size_t length : {0, 1011, 1012, 2031, 2032, 2048}) {
        const std::string directory = length ? "/" + std::string(length - 1, 'd') : "";
        memset(ExeDirectory, 0, ExeDirectorySize);
        memcpy(ExeDirectory, directory.data(), length);
        char path[ConfigurationPathSize];
        const bool fits = length && length + strlen("/orvanel.cfg") < 1024;
        EXPECT_EQ(FormConfigurationPath(path, sizeof path), fits) << length;
        EXPECT_EQ(std::string(path), fits ? directory + "/orvanel.cfg" : "");
        memset(GenerationSettings.fragmentProgramPath, 'g', FragmentProgramPathSize);
        SetDefaultSettings();
        std::string program = directory + "/fp/light_std.fp";
        program.resize(length && program.size() < FragmentProgramPathSize ? program.size() : 0);
        program.resize(FragmentProgramPathSize);
        EXPECT_EQ(std::string(GenerationSettings.fragmentProgramPath, FragmentProgramPathSize), program) << length;
        EXPECT_EQ(GenerationSettings.scalePosition, 24);
    }
    memcpy(ExeDirectory, exeDir.c_str(), exeDir.size() + 1);
}

// OK and Cancel (Enter and Escape) and the close box hide the window and clear the mark, so that
// the next choice of the View menu item shows it again; no window or no menu does nothing.
TEST_F(SettingsTest, ViewMenuEnterAndEscapeShowAndHideThePropertiesWindow)
{
    const std::pair<std::function<void()>, bool> steps[] = {
        {[] {}, true},
        {OnGenerationProperties, false},
        {OnGenerationProperties, true},
        {[this] { HeadlessPressEnter(properties); }, false},
        {OnGenerationProperties, true},
        {[this] { HeadlessPressEscape(properties); }, false},
        {[this] { TogglePropertiesWindow(Window(), properties); }, true},
        {[this] { HeadlessCloseWindow(properties); }, false},
        {[this] { TogglePropertiesWindow(Window(), properties); }, true},
        {[this] { TogglePropertiesWindow(properties, properties); }, true},  // it has no menu
        {[] { PropertiesWindow = nullptr, OnGenerationProperties(); }, true},
        // the mark stays the main window's after a properties window was made for another owner
        {[this] { CreatePropertiesWindow(properties), HeadlessPressEnter(properties); }, false},
    };
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
        steps[i].first();
        // the menu item's mark alone changes, in step with the window
        EXPECT_EQ(IsPlatformWindowVisible(properties), steps[i].second) << i;
        EXPECT_EQ(GetMenuItemState(Window(), GenerationPropertiesCommand), steps[i].second ? int(MenuItemChecked) : 0);
    }
}

// Moving the controls changes nothing until a Generate reads them back; Set Defaults resets
// controls, colour and program path at once, whatever the command's high word, and saves nothing.
TEST_F(SettingsTest, ControlsActOnlyWhenReadBackAndSetDefaultsResetsThem)
{
    const std::vector<uint8_t> before = RecordBytes();
    for (int control : Trackbars)
        HeadlessMoveTrackbar(properties, control, 5);
    HeadlessClickCheckbox(properties, EliminateCheckboxControl);
    EXPECT_EQ(RecordBytes(), before);
    EXPECT_NE(access(config.c_str(), F_OK), 0);
    ReadPropertiesWindow(properties);
    const std::vector<uint8_t> saved = ReadFileBytes(config);
    const GenerationParamsRecord params = GenerationParams;
    std::fill_n(GenerationSettings.backgroundColor, 4, 0.5f);
    strcpy(GenerationSettings.fragmentProgramPath, "/moved/fp.fp");
    EXPECT_EQ(PropertiesDialogProc(properties, DialogMessageCommand, 0xBEEF0000u | SetDefaultsButtonControl, 0), 0);
    EXPECT_EQ(Shown(), std::vector<int32_t>({128, 2, 256, 24, 0}));
    EXPECT_EQ(RecordBytes(), before);
    EXPECT_EQ(Fields(GenerationParams), Fields(params)) << "derived only when read back";
    EXPECT_EQ(ReadFileBytes(config), saved);
    EXPECT_TRUE(IsPlatformWindowVisible(properties));
}

// The chooser, owned by the main window, proposes each channel truncated to its low 8 bits (0 for
// no number); a confirmed colour sets each channel from its byte and keeps alpha, and every colour
// comes back as it was chosen; a cancelled one changes nothing.
TEST_F(SettingsTest, ColorChooserProposesAndSetsTheBackground)
{
    const float color[4] = {0.5f, NAN, -0.5f, 0.75f};
    memcpy(GenerationSettings.backgroundColor, color, sizeof color);
    QueueColorDialogAnswer(true, 0x00FF8040u);
    QueueColorDialogAnswer(false, 0x00123456u);
    for (uint32_t proposed : {127u | 129u << 16, 0x00FF8040u}) {
        ClearHeadlessDialogCalls();
        ASSERT_TRUE(HeadlessClickButton(properties, BackgroundColorButtonControl));
        ASSERT_EQ(HeadlessDialogCalls().size(), 1u);
        EXPECT_TRUE(HeadlessDialogCalls()[0].kind == HeadlessColorDialog && HeadlessDialogCalls()[0].owner == Window());
        EXPECT_EQ(HeadlessDialogCalls()[0].initialColor, proposed);
        EXPECT_EQ(std::vector<float>(GenerationSettings.backgroundColor, GenerationSettings.backgroundColor + 4),
                  std::vector<float>({0x40 * 0.003921569f, 0x80 * 0.003921569f, 1.0f, 0.75f}));
    }
    for (uint32_t byte = 0; byte < 256; ++byte) {
        SetBackgroundFromColorValue(GenerationSettings.backgroundColor, byte | (255 - byte) << 8 | (byte ^ 90) << 16);
        EXPECT_EQ(ColorValueFromBackground(GenerationSettings.backgroundColor),
                  byte | (255 - byte) << 8 | (byte ^ 90) << 16);
    }
    EXPECT_TRUE(ColorChannelFromComponent(INFINITY) == 0 && ColorChannelFromComponent(1.5f) == 126 &&
                ColorChannelFromComponent(1e30f) == 0);
}
