// orvanel.cfg: defaults, loading, saving, derivation of the mesh parameters,
// and what the properties window's controls show and give back.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/headless/headless.h"
#include "settings/properties_window.h"
#include "tests/settings/settings_fixture.h"
#include "tests/support/test_files.h"

// Read before any test runs: both globals are constant-initialised.
static const GenerationSettingsRecord SettingsAtStart = GenerationSettings;
static const GenerationParamsRecord ParamsAtStart = GenerationParams;

static const uint32_t OneBits = 0x3F800000u;  // 1.0f
static const size_t RecordSize = 2084;

// The file image of the defaults for `exeDir`: colour (0, 0, 0, 1), the
// program path followed by zeros, positions 128, 2, 256, 24, flag 0.
static Bytes DefaultImage(const std::string& exeDir)
{
    Bytes bytes(RecordSize, 0);
    PutUint32(bytes, 12, OneBits);
    std::string path = exeDir + "/fp/light_std.fp";
    memcpy(&bytes[16], path.data(), path.size());
    PutUint32(bytes, 2064, 128);
    PutUint32(bytes, 2068, 2);
    PutUint32(bytes, 2072, 256);
    PutUint32(bytes, 2076, 24);
    PutUint32(bytes, 2080, 0);
    return bytes;
}

static void ExpectPositions(WindowHandle window, int stretch, int fuzz, int height, int scale, int check)
{
    EXPECT_EQ(stretch, GetTrackbarPosition(window, 1005));
    EXPECT_EQ(fuzz, GetTrackbarPosition(window, 1006));
    EXPECT_EQ(height, GetTrackbarPosition(window, 1007));
    EXPECT_EQ(scale, GetTrackbarPosition(window, 1008));
    EXPECT_EQ(check, GetCheckState(window, 1012));
}

static void SetExeDirectory(const std::string& directory)
{
    ASSERT_LT(directory.size(), ExeDirectorySize);
    memset(ExeDirectory, 0, ExeDirectorySize);
    memcpy(ExeDirectory, directory.data(), directory.size());
}

TEST(SettingsAtProgramStart, RecordIsZeroAndParamsHoldTheirInitialValues)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&SettingsAtStart);
    for (size_t i = 0; i < sizeof SettingsAtStart; ++i)
        ASSERT_EQ(0, bytes[i]) << "at " << i;
    EXPECT_FLOAT_BITS(1.0f, ParamsAtStart.textureScale);
    EXPECT_EQ(1, ParamsAtStart.gridStep);
    EXPECT_FLOAT_BITS(1.0f, ParamsAtStart.heightScale);
    EXPECT_FLOAT_BITS(24.0f, ParamsAtStart.overallScale);
    EXPECT_EQ(1, ParamsAtStart.eliminateZeroHeight);
}

TEST_F(SettingsTest, WithoutFileDefaultsAreShownAndTheFirstSaveWritesThem)
{
    LoadSettings();
    EXPECT_EQ(exeDir + "/fp/light_std.fp", std::string(GenerationSettings.fragmentProgramPath));
    bool exists = true;
    ReadConfig(&exists);
    EXPECT_FALSE(exists) << "loading must not write the file";

    WindowHandle properties = CreatePropertiesWindow(Window());
    ASSERT_NE(properties, nullptr);
    ExpectPositions(properties, 128, 2, 256, 24, 0);
    ReadPropertiesWindow(properties);

    Bytes file = ReadConfig(&exists);
    ASSERT_TRUE(exists);
    EXPECT_EQ(DefaultImage(exeDir), file);
    EXPECT_FLOAT_BITS(1.0f, GenerationParams.textureScale);
    EXPECT_EQ(2, GenerationParams.gridStep);
    EXPECT_FLOAT_BITS(1.0f, GenerationParams.heightScale);
    EXPECT_FLOAT_BITS(24.0f, GenerationParams.overallScale);
    EXPECT_EQ(0, GenerationParams.eliminateZeroHeight);
}

TEST_F(SettingsTest, FillSetsTheTrackbarRanges)
{
    LoadSettings();
    WindowHandle properties = CreatePropertiesWindow(Window());
    ASSERT_NE(properties, nullptr);
    const int expected[4][3] = {{1005, 1, 1024}, {1006, 1, 6}, {1007, 1, 4096}, {1008, 4, 1024}};
    for (const auto& range : expected) {
        int minimum = -1, maximum = -1;
        ASSERT_TRUE(HeadlessTrackbarRange(properties, range[0], &minimum, &maximum));
        EXPECT_EQ(range[1], minimum) << range[0];
        EXPECT_EQ(range[2], maximum) << range[0];
    }
}

TEST_F(SettingsTest, FullFileLoadsEveryField)
{
    Bytes bytes(RecordSize, 0);
    PutUint32(bytes, 0, FloatBits(0.25f));
    PutUint32(bytes, 4, FloatBits(0.5f));
    PutUint32(bytes, 8, FloatBits(0.75f));
    PutUint32(bytes, 12, FloatBits(0.125f));
    memcpy(&bytes[16], "/elsewhere/fp.fp", 16);
    bytes[40] = 'x';  // behind the terminator: carried, never read as path
    PutUint32(bytes, 2064, 1024);
    PutUint32(bytes, 2068, 6);
    PutUint32(bytes, 2072, 4096);
    PutUint32(bytes, 2076, 1024);
    PutUint32(bytes, 2080, 1);
    WriteConfig(bytes);
    LoadSettings();
    EXPECT_FLOAT_BITS(0.25f, GenerationSettings.backgroundColor[0]);
    EXPECT_FLOAT_BITS(0.5f, GenerationSettings.backgroundColor[1]);
    EXPECT_FLOAT_BITS(0.75f, GenerationSettings.backgroundColor[2]);
    EXPECT_FLOAT_BITS(0.125f, GenerationSettings.backgroundColor[3]);
    EXPECT_STREQ("/elsewhere/fp.fp", GenerationSettings.fragmentProgramPath);

    // a mesh generation reads the window back: the top of every range
    WindowHandle properties = CreatePropertiesWindow(Window());
    ASSERT_NE(properties, nullptr);
    ExpectPositions(properties, 1024, 6, 4096, 1024, 1);
    ReadPropertiesWindow(properties);
    EXPECT_FLOAT_BITS(8.0f, GenerationParams.textureScale);
    EXPECT_EQ(32, GenerationParams.gridStep);
    EXPECT_FLOAT_BITS(16.0f, GenerationParams.heightScale);
    EXPECT_FLOAT_BITS(1024.0f, GenerationParams.overallScale);
    EXPECT_EQ(1, GenerationParams.eliminateZeroHeight);
    EXPECT_EQ(bytes, ReadConfig()) << "the save writes back exactly what was loaded";
}

TEST_F(SettingsTest, BottomOfEveryRangeDerivesExactly)
{
    LoadSettings();
    WindowHandle properties = CreatePropertiesWindow(Window());
    ASSERT_NE(properties, nullptr);
    HeadlessMoveTrackbar(properties, 1005, 1);
    HeadlessMoveTrackbar(properties, 1006, 1);
    HeadlessMoveTrackbar(properties, 1007, 1);
    HeadlessMoveTrackbar(properties, 1008, 4);
    HeadlessClickCheckbox(properties, 1012);
    ReadPropertiesWindow(properties);
    EXPECT_FLOAT_BITS(0.0078125f, GenerationParams.textureScale);
    EXPECT_EQ(1, GenerationParams.gridStep);
    EXPECT_FLOAT_BITS(0.00390625f, GenerationParams.heightScale);
    EXPECT_FLOAT_BITS(4.0f, GenerationParams.overallScale);
    EXPECT_EQ(1, GenerationParams.eliminateZeroHeight);
    Bytes file = ReadConfig();
    ASSERT_EQ(RecordSize, file.size());
    EXPECT_EQ(1u, GetUint32(file, 2064));
    EXPECT_EQ(1u, GetUint32(file, 2068));
    EXPECT_EQ(1u, GetUint32(file, 2072));
    EXPECT_EQ(4u, GetUint32(file, 2076));
    EXPECT_EQ(1u, GetUint32(file, 2080));
}

// Each product in float; every fuzz position gives its power of two.
TEST_F(SettingsTest, ReadingBackDerivesEachProductInFloat)
{
    LoadSettings();
    WindowHandle properties = CreatePropertiesWindow(Window());
    ASSERT_NE(properties, nullptr);
    for (int fuzz = 1; fuzz <= 6; ++fuzz) {
        SCOPED_TRACE(fuzz);
        const int stretch = 70 + fuzz, height = 1000 + fuzz, scale = 330 + fuzz;
        HeadlessMoveTrackbar(properties, 1005, stretch);
        HeadlessMoveTrackbar(properties, 1006, fuzz);
        HeadlessMoveTrackbar(properties, 1007, height);
        HeadlessMoveTrackbar(properties, 1008, scale);
        ReadPropertiesWindow(properties);
        EXPECT_EQ(1 << (fuzz - 1), GenerationParams.gridStep);
        EXPECT_FLOAT_BITS(stretch / 128.0f, GenerationParams.textureScale);
        EXPECT_FLOAT_BITS(height / 256.0f, GenerationParams.heightScale);
        EXPECT_FLOAT_BITS(static_cast<float>(scale), GenerationParams.overallScale);
    }
}

TEST_F(SettingsTest, LongerFileKeepsItsTailAfterASave)
{
    Bytes bytes = DefaultImage(exeDir);
    PutUint32(bytes, 2064, 500);
    for (int i = 0; i < 300; ++i)
        bytes.push_back(static_cast<unsigned char>(0xA0 + i % 7));
    WriteConfig(bytes);
    LoadSettings();
    EXPECT_EQ(500, GenerationSettings.stretchPosition);
    EXPECT_EQ(0, GenerationSettings.eliminateZeroHeight) << "bytes past the record are never read";

    WindowHandle properties = CreatePropertiesWindow(Window());
    ASSERT_NE(properties, nullptr);
    HeadlessMoveTrackbar(properties, 1005, 900);
    ReadPropertiesWindow(properties);
    Bytes expected = bytes;
    PutUint32(expected, 2064, 900);
    EXPECT_EQ(expected, ReadConfig());
}

TEST_F(SettingsTest, FileOfColorAndPathOnlyShowsTheMinimumPositions)
{
    Bytes bytes(2064, 0);
    PutUint32(bytes, 0, FloatBits(0.5f));
    PutUint32(bytes, 12, OneBits);
    memcpy(&bytes[16], "/p/q.fp", 7);
    WriteConfig(bytes);
    LoadSettings();
    EXPECT_FLOAT_BITS(0.5f, GenerationSettings.backgroundColor[0]);
    EXPECT_STREQ("/p/q.fp", GenerationSettings.fragmentProgramPath);
    EXPECT_EQ(0, GenerationSettings.stretchPosition);
    EXPECT_EQ(0, GenerationSettings.fuzzPosition);
    EXPECT_EQ(0, GenerationSettings.heightPosition);
    EXPECT_EQ(0, GenerationSettings.scalePosition);
    EXPECT_EQ(0, GenerationSettings.eliminateZeroHeight);

    WindowHandle properties = CreatePropertiesWindow(Window());
    ASSERT_NE(properties, nullptr);
    ExpectPositions(properties, 1, 1, 1, 4, 0);
    EXPECT_EQ(0, GenerationSettings.stretchPosition) << "kept as stored until read back";
    ReadPropertiesWindow(properties);
    Bytes expected = bytes;
    PutUint32(expected, 2064, 1);
    PutUint32(expected, 2068, 1);
    PutUint32(expected, 2072, 1);
    PutUint32(expected, 2076, 4);
    PutUint32(expected, 2080, 0);
    EXPECT_EQ(expected, ReadConfig());
}

TEST_F(SettingsTest, EmptyFileGivesZeroColorAndEmptyPath)
{
    GenerationSettings.stretchPosition = 99;  // a second load must not keep old values
    WriteConfig(Bytes());
    LoadSettings();
    const unsigned char* record = reinterpret_cast<const unsigned char*>(&GenerationSettings);
    for (size_t i = 0; i < sizeof GenerationSettings; ++i)
        ASSERT_EQ(0, record[i]) << "at " << i;
}

TEST_F(SettingsTest, EveryShortFileFillsOnlyItsLeadingBytes)
{
    Bytes full(RecordSize);
    for (size_t i = 0; i < full.size(); ++i)
        full[i] = static_cast<unsigned char>(1 + i % 251);  // never 0: the path has no terminator
    const size_t lengths[] = {1, 3, 15, 16, 17, 2063, 2064, 2065, 2083};
    for (size_t length : lengths) {
        WriteConfig(Bytes(full.begin(), full.begin() + static_cast<long>(length)));
        LoadSettings();
        const unsigned char* record = reinterpret_cast<const unsigned char*>(&GenerationSettings);
        for (size_t i = 0; i < RecordSize; ++i) {
            bool inPath = i >= 16 && i < 2064;
            // a path that fills its whole field has no terminator: taken as empty
            unsigned char expected = (inPath && length >= 2064) ? 0 : (i < length ? full[i] : 0);
            ASSERT_EQ(expected, record[i]) << "length " << length << " at " << i;
        }
    }
}

// A path that fills its whole field has no terminator and is taken as empty;
// one terminated in its last byte is kept.
TEST_F(SettingsTest, UnterminatedProgramPathIsTakenAsEmpty)
{
    Bytes bytes = DefaultImage(exeDir);
    memset(&bytes[16], 'b', 2047);
    WriteConfig(bytes);
    LoadSettings();
    EXPECT_EQ(std::string(2047, 'b'), std::string(GenerationSettings.fragmentProgramPath));

    memset(&bytes[16], 'a', 2048);
    PutUint32(bytes, 2076, 77);
    WriteConfig(bytes);
    LoadSettings();
    EXPECT_EQ(nullptr, memchr(GenerationSettings.fragmentProgramPath, 'a', FragmentProgramPathSize));
    EXPECT_EQ('\0', GenerationSettings.fragmentProgramPath[0]);
    EXPECT_EQ(77, GenerationSettings.scalePosition) << "the other fields still load";
    EXPECT_FLOAT_BITS(1.0f, GenerationSettings.backgroundColor[3]);
}

TEST_F(SettingsTest, GarbageFileLoadsAndDerivesDefinedValues)
{
    Bytes bytes(3000);
    unsigned seed = 12345;
    for (unsigned char& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<unsigned char>(seed >> 16);
    }
    PutUint32(bytes, 0, 0x7FC00000u);  // NaN red
    PutUint32(bytes, 4, 0xFF800000u);  // minus infinity green
    PutUint32(bytes, 2064, 0x80000000u);
    PutUint32(bytes, 2068, 0x7FFFFFFFu);
    PutUint32(bytes, 2072, 0xFFFFFFFBu);  // -5
    PutUint32(bytes, 2076, 40000);
    PutUint32(bytes, 2080, 7);
    WriteConfig(bytes);
    LoadSettings();
    EXPECT_EQ(INT32_MIN, GenerationSettings.stretchPosition);
    EXPECT_EQ(7, GenerationSettings.eliminateZeroHeight);

    WindowHandle properties = CreatePropertiesWindow(Window());
    ASSERT_NE(properties, nullptr);
    ExpectPositions(properties, 1, 6, 1, 1024, 1);
    ClearHeadlessDialogCalls();
    QueueColorDialogAnswer(false, 0);
    ASSERT_TRUE(HeadlessClickButton(properties, 1011));
    ASSERT_EQ(1u, HeadlessDialogCalls().size());
    EXPECT_EQ(0u, HeadlessDialogCalls()[0].initialColor & 0xFFFFu) << "NaN and infinity propose 0";

    ReadPropertiesWindow(properties);
    EXPECT_FLOAT_BITS(0.0078125f, GenerationParams.textureScale);
    EXPECT_EQ(32, GenerationParams.gridStep);
    EXPECT_FLOAT_BITS(0.00390625f, GenerationParams.heightScale);
    EXPECT_FLOAT_BITS(1024.0f, GenerationParams.overallScale);
    EXPECT_EQ(1, GenerationParams.eliminateZeroHeight);
    Bytes file = ReadConfig();
    ASSERT_EQ(bytes.size(), file.size());
    EXPECT_TRUE(std::equal(bytes.begin() + RecordSize, bytes.end(), file.begin() + RecordSize));
}

TEST(DeriveGenerationParams, StoredPositionsOutsideTheRangesAreTakenAsShown)
{
    struct Case {
        int32_t stored;  // every position gets this value
        int32_t gridStep;
        float textureScale, heightScale, overallScale;
    };
    const Case cases[] = {
        {0, 1, 0.0078125f, 0.00390625f, 4.0f},           {-5, 1, 0.0078125f, 0.00390625f, 4.0f},
        {INT32_MIN, 1, 0.0078125f, 0.00390625f, 4.0f},   {7, 32, 7.0f / 128.0f, 7.0f / 256.0f, 7.0f},
        {40, 32, 40.0f / 128.0f, 40.0f / 256.0f, 40.0f}, {5000, 32, 8.0f, 16.0f, 1024.0f},
        {INT32_MAX, 32, 8.0f, 16.0f, 1024.0f},
    };
    for (const Case& c : cases) {
        GenerationSettingsRecord settings = {};
        settings.stretchPosition = settings.fuzzPosition = settings.heightPosition = settings.scalePosition = c.stored;
        settings.eliminateZeroHeight = c.stored;
        GenerationParamsRecord params = DeriveGenerationParams(settings);
        EXPECT_EQ(c.gridStep, params.gridStep) << c.stored;
        EXPECT_FLOAT_BITS(c.textureScale, params.textureScale);
        EXPECT_FLOAT_BITS(c.heightScale, params.heightScale);
        EXPECT_FLOAT_BITS(c.overallScale, params.overallScale);
        EXPECT_EQ(c.stored ? 1 : 0, params.eliminateZeroHeight);
    }
}

TEST_F(SettingsTest, ReadingWithoutAWindowChangesAndSavesNothing)
{
    LoadSettings();
    ReadPropertiesWindow(nullptr);
    bool exists = true;
    ReadConfig(&exists);
    EXPECT_FALSE(exists);
    EXPECT_EQ(0, memcmp(&InitialParams, &GenerationParams, sizeof InitialParams));
    EXPECT_EQ(128, GenerationSettings.stretchPosition);
}

// What cannot be saved beside the executable goes to the user's file, which is then read
// first; what can be saved nowhere is said, with the place and the reason.
TEST_F(SettingsTest, ConfigurationFileThatIsAFolderGivesDefaultsAndTheUsersFileIsUsed)
{
    ASSERT_EQ(0, mkdir(ConfigPath().c_str(), 0755));
    GenerationSettings.stretchPosition = 5;
    LoadSettings();
    EXPECT_EQ(128, GenerationSettings.stretchPosition);
    EXPECT_FLOAT_BITS(1.0f, GenerationSettings.backgroundColor[3]);
    GenerationSettings.stretchPosition = 77;
    EXPECT_TRUE(SaveSettings());
    EXPECT_EQ(sizeof GenerationSettings, ReadFileBytes(exeDir + ".config/orvanel/orvanel.cfg").size());
    ASSERT_EQ(0, rmdir(ConfigPath().c_str()));
    WriteConfig(DefaultImage(exeDir));
    LoadSettings();
    EXPECT_EQ(77, GenerationSettings.stretchPosition);
}

TEST_F(SettingsTest, SettingsSavedNowhereAreSaid)
{
    SetExeDirectory(exeDir + "/missing");
    LoadSettings();
    EXPECT_EQ(exeDir + "/missing/fp/light_std.fp", std::string(GenerationSettings.fragmentProgramPath));
    ASSERT_TRUE(WriteFileText(exeDir + "/plain", ""));
    setenv("XDG_CONFIG_HOME", (exeDir + "/plain").c_str(), 1);
    EXPECT_FALSE(SaveSettings());
    EXPECT_EQ(StatusLine(),
              "Could not save the settings to '" + exeDir + "/plain/orvanel/orvanel.cfg': Not a directory.");
    struct stat info;
    EXPECT_NE(0, stat((exeDir + "/missing").c_str(), &info));
}

// A linked file is replaced, not written in place, and keeps its tail; a pipe is never waited on.
TEST_F(SettingsTest, LinkedFileIsReplacedWithItsTailAndAPipeIsNotWaitedOn)
{
    ASSERT_TRUE(WriteFileText(exeDir + "/real.cfg", std::string(3000, '\x07')));
    ASSERT_EQ(0, symlink("real.cfg", ConfigPath().c_str()));
    struct stat before, after;
    ASSERT_EQ(0, stat(ConfigPath().c_str(), &before));
    SetDefaultSettings();
    ASSERT_TRUE(SaveSettings());
    ASSERT_EQ(0, lstat(ConfigPath().c_str(), &after));
    EXPECT_TRUE(S_ISLNK(after.st_mode));
    ASSERT_EQ(0, stat(ConfigPath().c_str(), &after));
    EXPECT_NE(before.st_ino, after.st_ino) << "written in place, not replaced";
    Bytes bytes = ReadConfig();
    ASSERT_EQ(3000u, bytes.size());
    EXPECT_EQ(0, memcmp(bytes.data(), &GenerationSettings, sizeof GenerationSettings));
    EXPECT_EQ(Bytes(916, 7), Bytes(bytes.begin() + 2084, bytes.end()));

    ASSERT_EQ(0, unlink(ConfigPath().c_str()));
    ASSERT_EQ(0, mkfifo(ConfigPath().c_str(), 0600));
    alarm(20);  // a read that waits on the pipe ends the test
    EXPECT_FALSE(LoadSettingsFile(ConfigPath().c_str()));
    LoadSettings();
    alarm(0);
    EXPECT_EQ(128, GenerationSettings.stretchPosition);
}

// A folder below exeDir whose own path has exactly `length` characters.
static std::string MakeDeepFolder(const std::string& exeDir, size_t length)
{
    std::string path = exeDir;
    while (path.size() < length) {
        size_t part = std::min<size_t>(200, length - path.size() - 1);
        if (part == 0)
            break;
        path += "/" + std::string(part, 'd');
        if (mkdir(path.c_str(), 0755) != 0)
            return "";
    }
    return path.size() == length ? path : "";
}

TEST_F(SettingsTest, ConfigurationPathThatJustFitsIsUsed)
{
    // "/orvanel.cfg" is 12 characters: 1011 + 12 = 1023 plus the terminator
    std::string folder = MakeDeepFolder(exeDir, 1011);
    ASSERT_EQ(1011u, folder.size());
    SetExeDirectory(folder);
    char path[ConfigurationPathSize];
    ASSERT_TRUE(FormConfigurationPath(path, sizeof path));
    EXPECT_EQ(folder + "/orvanel.cfg", std::string(path));
    LoadSettings();
    SaveSettings();
    struct stat info;
    ASSERT_EQ(0, stat((folder + "/orvanel.cfg").c_str(), &info));
    EXPECT_EQ(static_cast<off_t>(RecordSize), info.st_size);
}

TEST_F(SettingsTest, ConfigurationPathTooLongIsRefusedNotCut)
{
    std::string folder = MakeDeepFolder(exeDir, 1012);
    ASSERT_EQ(1012u, folder.size());
    SetExeDirectory(folder);
    char path[ConfigurationPathSize];
    EXPECT_FALSE(FormConfigurationPath(path, sizeof path));
    EXPECT_EQ('\0', path[0]);
    // a file named with the cut path must not be read either
    std::ofstream((folder + "/orvanel.cf").c_str(), std::ios::binary) << std::string(2084, '\x05');
    LoadSettings();
    EXPECT_EQ(128, GenerationSettings.stretchPosition) << "defaults, as without a file";
    SaveSettings();
    struct stat info;
    ASSERT_EQ(0, stat((folder + "/orvanel.cf").c_str(), &info));
    EXPECT_EQ(2084, info.st_size);
    std::ifstream cut((folder + "/orvanel.cf").c_str(), std::ios::binary);
    EXPECT_EQ(std::string(2084, '\x05'), std::string(std::istreambuf_iterator<char>(cut), {}));
}

TEST_F(SettingsTest, UnknownExeDirectoryNamesNoFile)
{
    // an executable's path that could not be read must not put files at the root
    SetExeDirectory("");
    char path[ConfigurationPathSize];
    EXPECT_FALSE(FormConfigurationPath(path, sizeof path));
    SetDefaultSettings();
    EXPECT_EQ('\0', GenerationSettings.fragmentProgramPath[0]);
}

TEST_F(SettingsTest, ProgramPathTooLongForItsFieldIsLeftEmpty)
{
    // "/fp/light_std.fp" is 16 characters: 2031 + 16 = 2047 plus the terminator
    SetExeDirectory("/" + std::string(2030, 'x'));
    SetDefaultSettings();
    EXPECT_EQ(2047u, strlen(GenerationSettings.fragmentProgramPath));
    SetExeDirectory("/" + std::string(2031, 'x'));
    SetDefaultSettings();
    for (int i = 0; i < FragmentProgramPathSize; ++i)
        ASSERT_EQ('\0', GenerationSettings.fragmentProgramPath[i]) << i;
    EXPECT_EQ(128, GenerationSettings.stretchPosition);
}

TEST_F(SettingsTest, ExeDirectoryWithoutTerminatorIsNeverReadPast)
{
    memset(ExeDirectory, 'z', ExeDirectorySize);
    LoadSettings();
    EXPECT_EQ('\0', GenerationSettings.fragmentProgramPath[0]);
    EXPECT_EQ(24, GenerationSettings.scalePosition);
    SaveSettings();  // refused: nothing to check but that it returns
    ExeDirectory[0] = '\0';
}
