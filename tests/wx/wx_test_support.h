// Shared pieces of the desktop back end's tests: the fixture, a dialog that
// records what its handlers heard, and small helpers.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/wx/wx_testing.h"
#include "resources/resources.h"

struct RecordedSize {
    unsigned kind;      // SizeRestored / SizeMinimized / SizeMaximized
    int width, height;  // client size in pixels
};

struct RecordedMove {
    unsigned flags;  // MouseLeftButton or 0
    int x, y;        // main-window client coordinates
};

class RecordingDialog : public PlatformDialog {
public:
    explicit RecordingDialog(int templateId = MainDialogTemplate, WindowHandle owner = nullptr)
        : PlatformDialog(templateId, owner)
    {
    }

    std::vector<unsigned> commands;               // OnCommand ids in order
    std::vector<unsigned> systemCommands;         // OnSysCommand commands
    std::vector<RecordedSize> sizes;              // OnSize calls
    std::vector<RecordedMove> moves;              // OnMouseMove calls
    std::vector<std::vector<std::string>> drops;  // OnDropFiles: the paths of each drop
    int closes = 0;                               // OnClose calls
    int exchanges = 0;                            // DoDataExchange calls
    int inits = 0;                                // OnInitDialog calls
    bool keepOpenOnClose = false;                 // OnClose does not end the dialog
    bool resizePreview = false;                   // OnSize resizes the preview frame as the shell does

    void DoDataExchange() override
    {
        ++exchanges;
    }
    bool OnInitDialog() override
    {
        ++inits;
        return true;
    }
    void OnCommand(unsigned id) override
    {
        commands.push_back(id);
        PlatformDialog::OnCommand(id);
    }
    void OnSysCommand(unsigned command, intptr_t parameter) override
    {
        systemCommands.push_back(command);
        PlatformDialog::OnSysCommand(command, parameter);
    }
    void OnSize(unsigned kind, int width, int height) override
    {
        sizes.push_back({kind, width, height});
        if (resizePreview && kind != SizeMinimized)
            SetControlSize(Window(), PreviewFrameControl, width - 21, height - 54);
    }
    void OnMouseMove(unsigned flags, int x, int y) override
    {
        moves.push_back({flags, x, y});
    }
    void OnDropFiles(DropHandle drop) override
    {
        std::vector<std::string> paths;
        for (unsigned i = 0; i < GetDroppedFileCount(drop); ++i)
            paths.push_back(GetDroppedFilePath(drop, i));
        EXPECT_EQ(GetDroppedFilePath(drop, GetDroppedFileCount(drop)), nullptr);
        drops.push_back(paths);
    }
    void OnClose() override
    {
        ++closes;
        if (!keepOpenOnClose)
            PlatformDialog::OnClose();
    }
};

// Every test runs on the desktop back end and must not trip a toolkit assertion.
class WxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        assertsBefore = WxAssertCount();
    }
    void TearDown() override
    {
        PumpWxEvents(20);
        EXPECT_EQ(WxAssertCount(), assertsBefore);
    }
    int assertsBefore = 0;
};

// A main window made for each test and destroyed before the toolkit is checked.
class WxWindowTest : public WxTest {
protected:
    void SetUp() override
    {
        WxTest::SetUp();
        dialog.reset(new RecordingDialog());
        ASSERT_TRUE(dialog->Create());
        window = dialog->Window();
    }
    void TearDown() override
    {
        dialog.reset();
        WxTest::TearDown();
    }
    std::unique_ptr<RecordingDialog> dialog;
    WindowHandle window = nullptr;
};

// Pumps events until `predicate()` holds, for at most `milliseconds`.
template <typename Predicate>
bool PumpUntil(Predicate predicate, unsigned milliseconds = 5000)
{
    return PumpWxEventsUntil([](void* context) { return (*static_cast<Predicate*>(context))(); }, &predicate,
                             milliseconds);
}

// A pixel of a screenshot of the whole screen, taken with ImageMagick.
struct Screenshot {
    int width = 0, height = 0;       // pixels
    std::vector<unsigned char> rgb;  // 3 bytes per pixel, top row first
};
bool TakeScreenshot(Screenshot* shot, std::string* error);
