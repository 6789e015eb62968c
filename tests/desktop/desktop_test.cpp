// The real executable on a real X server: a copy of the program refuses to run
// without a display; started on a private Xvfb with a heightmap and left
// through its File menu, it saves orvanel.cfg beside itself.
#include <algorithm>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/test_files.h"
#include "tests/support/xvfb_display.h"

TEST(Desktop, RefusesWithoutADisplayAndStartedWithAHeightmapSavesTheSettingsOnExit)
{
    TempFolder folder;
    // a copy of the program and the files it reads
    ASSERT_EQ(RunCommand("cp -R '" ORVANEL_EXECUTABLE "' '" ORVANEL_RUNTIME_DIR
                         "/orvanel-desktop.so' '" ORVANEL_RUNTIME_DIR "/assets' '" ORVANEL_RUNTIME_DIR "/fp' '" +
                         folder.path + "/'"),
              0);
    ASSERT_TRUE(WriteFileBytes(folder.File("hills.bmp"), Bmp24Bytes(64, 64, [](int x, int) { return x * 0x40000u; })));
    std::string output, error, window;
    // without a display it refuses, and saves nothing
    EXPECT_EQ(RunCommand("cd '" + folder.path + "' && env -u DISPLAY -u WAYLAND_DISPLAY ./orvanel", &output), 1);
    EXPECT_EQ(output.find("orvanel: cannot open a display for the desktop program.\n"), 0u) << output;
    ASSERT_TRUE(StartXvfb(&error)) << error;
    // in the background, holding none of RunCommand's pipe
    // the user's own configuration folder is never read or written by a test
    RunCommand("(cd '" + folder.path +
               "' && XDG_CONFIG_HOME=config timeout 60 ./orvanel hills.bmp >output.txt 2>&1; echo $? >status) " +
               ">/dev/null 2>&1 &");
    ASSERT_EQ(RunCommand("timeout 20 xdotool search --sync --onlyvisible --name '^Orvanel$' | head -1", &window), 0);
    ASSERT_FALSE(window.empty());

    ASSERT_EQ(
        RunCommand("xdotool windowfocus --sync " + window.substr(0, window.size() - 1) + " key --delay 100 alt+f x"),
        0);
    std::vector<uint8_t> status;
    for (int wait = 0; wait < 300 && (status = ReadFileBytes(folder.File("status"))).empty(); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(std::string(status.begin(), status.end()), "0\n");
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
    std::vector<uint8_t> saved = ReadFileBytes(folder.File("orvanel.cfg"));
    // the record, then the block that names the heightmap among the recent ones
    const std::string block(saved.begin() + std::min<size_t>(saved.size(), 2084), saved.end());
    EXPECT_NE(block.find(folder.File("hills.bmp")), std::string::npos);
    saved.resize(std::min<size_t>(saved.size(), 2084));
    EXPECT_EQ(saved, settings);
}
