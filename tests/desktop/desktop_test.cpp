// The real executable on a real X server: a copy of the program, started on a
// private Xvfb with a heightmap, shows it in its preview (as ImageMagick sees
// the screen) and, left through its File menu, saves orvanel.cfg beside
// itself. Without a display it refuses.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/test_files.h"
#include "tests/support/xvfb_display.h"

// A folder holding a copy of the program and the files it reads.
static bool CopyProgram(const TempFolder& folder)
{
    return RunCommand("cp -R '" ORVANEL_EXECUTABLE "' '" ORVANEL_RUNTIME_DIR "/assets' '" ORVANEL_RUNTIME_DIR "/fp' '" +
                      folder.path + "/'") == 0;
}

// How many pixels have the colour (0xRRGGBB), and the leftmost column holding one.
static std::pair<int, int> CountColor(const Picture& shot, unsigned color)
{
    std::pair<int, int> found = {0, shot.width};
    for (size_t i = 0; i < shot.rgba.size(); i += 4)
        if (static_cast<unsigned>(shot.rgba[i] << 16 | shot.rgba[i + 1] << 8 | shot.rgba[i + 2]) == color) {
            ++found.first;
            found.second = std::min(found.second, static_cast<int>(i / 4 % shot.width));
        }
    return found;
}

TEST(Desktop, StartedWithAHeightmapItShowsItAndSavesTheSettingsOnExit)
{
    TempFolder folder;
    ASSERT_TRUE(CopyProgram(folder));
    // 128 x 128, left half red (height 255), right half green: the overlay shows it as it is
    ASSERT_TRUE(WriteFileBytes(folder.File("hills.bmp"),
                               Bmp24Bytes(128, 128, [](int x, int) { return x < 64 ? 0xFF0000u : 0x00FF00u; })));
    std::string error, window, status;
    ASSERT_TRUE(StartXvfb(&error)) << error;
    // in the background, holding none of RunCommand's pipe
    RunCommand("(cd '" + folder.path + "' && timeout 60 ./orvanel hills.bmp >output.txt 2>&1; echo $? >status) " +
               ">/dev/null 2>&1 &");
    ASSERT_EQ(RunCommand("timeout 20 xdotool search --sync --onlyvisible --name '^Orvanel$' | head -1", &window), 0);
    ASSERT_FALSE(window.empty());

    // the frame timer draws the overlay, 128 pixels each way, into the preview's top-left corner
    Picture shot;
    std::pair<int, int> red, green;
    for (int shots = 0; shots < 50 && red.first != 64 * 128; ++shots) {
        ASSERT_TRUE(TakeScreenshot(&shot)) << "ImageMagick's import failed or is missing";
        red = CountColor(shot, 0xFF0000);
        green = CountColor(shot, 0x00FF00);
    }
    EXPECT_EQ(std::make_pair(red.first, green.first), std::make_pair(64 * 128, 64 * 128));
    EXPECT_EQ(green.second - red.second, 64) << "left stays left";

    ASSERT_EQ(
        RunCommand("xdotool windowfocus --sync " + window.substr(0, window.size() - 1) + " key --delay 100 alt+f x"),
        0);
    for (int wait = 0; wait < 300 && RunCommand("cat '" + folder.File("status") + "'", &status) != 0; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(status, "0\n");
    // the default background (opaque black), the copy's own fragment program, the default sliders
    std::vector<uint8_t> settings;
    for (float component : {0.0f, 0.0f, 0.0f, 1.0f})
        PutFloat(&settings, component);
    const std::string program = folder.File("fp/light_std.fp");
    settings.insert(settings.end(), program.begin(), program.end());
    settings.resize(16 + 2048);
    for (uint32_t position : {128, 2, 256, 24, 0})
        PutLE32(&settings, position);
    ASSERT_EQ(settings.size(), 2084u);
    EXPECT_EQ(ReadFileBytes(folder.File("orvanel.cfg")), settings);
}

TEST(Desktop, RefusesWithoutADisplay)
{
    TempFolder folder;
    ASSERT_TRUE(CopyProgram(folder));
    std::string output;
    EXPECT_EQ(RunCommand("cd '" + folder.path + "' && env -u DISPLAY -u WAYLAND_DISPLAY ./orvanel", &output), 1);
    EXPECT_EQ(output.find("orvanel: cannot open a display for the desktop program.\n"), 0u) << output;
    EXPECT_TRUE(ReadFileBytes(folder.File("orvanel.cfg")).empty());
}
