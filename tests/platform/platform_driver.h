// The platform layer's contract runs on both back ends through a driver: what a
// user does to a window and what a test reads back. And a recording dialog.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "resources/resources.h"
#include "tests/support/xvfb_display.h"

struct PlatformDriver {
    bool (*Start)();  // selects the back end
    // A click as a user makes it: false, and nothing sent, on a missing or disabled control.
    bool (*Click)(WindowHandle window, int controlId);
    void (*ClickCheckbox)(WindowHandle window, int controlId);
    void (*ChooseMenuItem)(WindowHandle window, unsigned commandId);
    void (*ChooseSystemMenuItem)(WindowHandle window, unsigned commandId);
    void (*PressKey)(WindowHandle window, bool enter);  // Enter, else Escape
    void (*Close)(WindowHandle window);                 // the close box
    void (*Drop)(WindowHandle window, const std::vector<std::string>& paths);
    void (*Resize)(WindowHandle window, int width, int height);  // the client area
    // Lets timers tick and events flow until `done`, or a while when there is none; false when never done.
    bool (*RunUntil)(const std::function<bool()>& done);
    bool (*ReadPixels)(WindowHandle window, int controlId, Picture* picture);  // what a frame control shows
};

// The driver of the back end that this suite is built for.
extern const PlatformDriver BackEndDriver;

class RecordingDialog : public PlatformDialog {
public:
    explicit RecordingDialog(int templateId = MainDialogTemplate, WindowHandle owner = nullptr)
        : PlatformDialog(templateId, owner)
    {
    }
    std::string started;  // "x" for DoDataExchange, "i" for OnInitDialog, in order
    std::vector<unsigned> commands, systemCommands;
    std::vector<std::vector<int>> sizes, moves;   // kind, width, height; flags, x, y
    std::vector<std::vector<std::string>> drops;  // the paths of each drop
    int closes = 0;
    bool keepOpenOnClose = false;  // OnClose leaves the dialog open
    std::function<void()> onInit;  // what OnInitDialog does besides

    void DoDataExchange() override
    {
        started += "x";
    }
    bool OnInitDialog() override
    {
        started += "i";
        if (onInit)
            onInit();
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
        sizes.push_back({static_cast<int>(kind), width, height});
    }
    void OnMouseMove(unsigned flags, int x, int y) override
    {
        moves.push_back({static_cast<int>(flags), x, y});
    }
    void OnDropFiles(DropHandle drop) override
    {
        drops.emplace_back();
        for (unsigned i = 0; GetDroppedFilePath(drop, i); ++i)
            drops.back().push_back(GetDroppedFilePath(drop, i));
        EXPECT_EQ(GetDroppedFileCount(drop), drops.back().size());
    }
    void OnClose() override
    {
        ++closes;
        if (!keepOpenOnClose)
            PlatformDialog::OnClose();
    }
};

// Each test starts the back end with a main window shown.
class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(driver.Start());
        main.reset(new RecordingDialog());
        ASSERT_TRUE(main->Create());
        window = main->Window();
    }
    const PlatformDriver& driver = BackEndDriver;
    std::unique_ptr<RecordingDialog> main;
    WindowHandle window = nullptr;
};
