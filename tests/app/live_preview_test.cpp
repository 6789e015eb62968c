// The live preview on the headless back end: the mesh Generate would write, shown without a
// file, following the heightmap and the sliders; the 3DS limits keep the last mesh that
// fitted; Generate still writes the file, the very bytes that were on show.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/main_dialog.h"
#include "image/image_load.h"
#include "model/model_store.h"
#include "render/gl_setup.h"
#include "resources/resource_ids.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/test_files.h"

class LivePreviewTest : public MainWindowTest {
protected:
    std::string Detail() const
    {
        char text[512];
        GetControlText(Window(), StatusDetailControl, text, sizeof text);
        return text;
    }

    // Ticks the timers until the worker's mesh, or the reason for none, is shown.
    std::string WaitForPreview()
    {
        SetControlText(Window(), StatusDetailControl, "");
        for (int tick = 0; tick < 2000; ++tick) {
            TickHeadlessTimers(1);
            const std::string detail = Detail();
            if (!detail.empty() && detail.rfind("Building", 0) != 0)
                return detail;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "(timed out)";
    }

    void LoadHeightmap(const std::string& name, int side)
    {
        ASSERT_TRUE(WriteFileBytes(exeDir + "/" + name, Bmp24Bytes(side, side, [](int x, int y) {
                                       return static_cast<uint32_t>((x * 7 + y * 3) % 256) << 16;
                                   })));
        LoadImageFile(Window(), (exeDir + "/" + name).c_str());
    }

    std::vector<uint8_t> Pixels()
    {
        std::vector<uint8_t> pixels;
        int width = 0, height = 0;
        TickHeadlessTimers(1);
        EXPECT_TRUE(HeadlessReadPixels(PreviewGLContext, &pixels, &width, &height));
        return pixels;
    }

    // The values beside the four trackbars, joined by '|'.
    static std::string ShownValues()
    {
        std::string values;
        for (int control : {StretchValueControl, FuzzValueControl, HeightValueControl, ScaleValueControl}) {
            char text[64] = "";
            GetControlText(PropertiesWindow, control, text, sizeof text);
            values += (values.empty() ? "" : "|") + std::string(text);
        }
        return values;
    }

    static std::vector<uint8_t> ShownBytes()
    {
        for (const FileEntry& entry : FileTable)
            if (entry.used && std::string(entry.name) == "(unsaved preview)")
                return std::vector<uint8_t>(entry.bytes, entry.bytes + entry.size);
        return {};
    }
};

TEST_F(LivePreviewTest, FollowsTheHeightmapAndSlidersWritesNothingAndGenerateWritesWhatWasShown)
{
    StartMainWindow();
    for (int tick = 0; tick < 3; ++tick)
        TickHeadlessTimers(1);
    EXPECT_EQ(Detail(), "") << "nothing to show without a heightmap";
    LoadHeightmap("hills.bmp", 64);
    EXPECT_EQ(WaitForPreview(), "Unsaved preview: 1024 vertices, 1922 faces");  // grid step 2
    ASSERT_NE(CurrentModelInstance, nullptr);
    EXPECT_STREQ(CurrentModelInstance->path, "(unsaved preview)");
    const std::vector<uint8_t> coarse = Pixels();
    EXPECT_EQ(ShownValues(),
              "repeat \xC3\x97"
              "1|step 2 px|height \xC3\x97"
              "1|24 units/px");
    SetTrackbarPosition(PropertiesWindow, FuzzTrackbarControl, 1);
    SetTrackbarPosition(PropertiesWindow, StretchTrackbarControl, 64);
    EXPECT_EQ(WaitForPreview(), "Unsaved preview: 4096 vertices, 7938 faces");
    EXPECT_EQ(ShownValues(),
              "repeat \xC3\x97"
              "0.5|step 1 px|height \xC3\x97"
              "1|24 units/px");
    EXPECT_NE(Pixels(), coarse);
    const std::vector<uint8_t> shown = ShownBytes();
    std::string listing;
    ASSERT_EQ(RunCommand("ls '" + exeDir + "'", &listing), 0);
    EXPECT_EQ(listing.find(".3ds"), std::string::npos);
    EXPECT_EQ(listing.find("orvanel.cfg"), std::string::npos) << "the settings are saved by Generate";

    LoadHeightmap("large.bmp", 512);
    EXPECT_EQ(WaitForPreview(),
              "Preview (the last mesh that fitted): Aborting, triangle count would exceed MAX_WORD. (3DS format "
              "limitation)");
    EXPECT_EQ(ShownBytes(), shown);
    LoadHeightmap("hills.bmp", 64);
    EXPECT_EQ(WaitForPreview(), "Unsaved preview: 4096 vertices, 7938 faces");

    QueueFileDialogAnswer((exeDir + "/hills.3ds").c_str());
    ASSERT_TRUE(OnGenerate());
    EXPECT_EQ(ReadFileBytes(exeDir + "/hills.3ds"), shown);
    EXPECT_EQ(std::string(CurrentModelInstance->path), exeDir + "/hills.3ds");
    EXPECT_EQ(Detail(), "Saved: 4096 vertices, 7938 faces");
    for (int tick = 0; tick < 5; ++tick)
        TickHeadlessTimers(1);
    EXPECT_EQ(std::string(CurrentModelInstance->path), exeDir + "/hills.3ds") << "the file stays on show";
}
