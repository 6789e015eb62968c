// A fixture that starts the real main window on the headless back end, in a
// folder of its own that stands in for the executable's directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "image/image_load.h"
#include "image/picture_texture.h"
#include "model/model_store.h"
#include "platform/headless/headless.h"
#include "platform/platform_ops.h"
#include "platform/shell.h"
#include "render/gl_setup.h"
#include "settings/settings.h"

// Puts every module's globals back as a fresh process has them, so that each
// test starts the program anew.
inline void ResetProgramState()
{
    ResetRendererForTests();
    ReleaseAllModels();
    CurrentModelInstance = nullptr;
    FreeImage(HeightmapImage);
    HeightmapImage = nullptr;
    ImageLoadMode = Heightmap;
    HeightmapTextureId = DecalTextureId = NormalTextureId = 0;
    NextTextureId = 1;
    GenerationSettings = GenerationSettingsRecord();
    GenerationParams = {1.0f, 1, 1.0f, 24.0f, 1};
    ViewTilt = ViewSpin = ViewPanX = ViewPanY = 0.0f;
    ViewZoom = 1.0f;
    ExeDirectory[0] = '\0';
    CommandLinePath[0] = '\0';
}

class MainWindowTest : public ::testing::Test {
protected:
    // Folder standing in for the executable's directory; "orvanel" is the executable's name there.
    std::string exeDir;
    MainDialog* dialog = nullptr;
    GLContextHandle ownContext = nullptr;
    bool steersView = true;  // the window's own, given to it at start

    void SetUp() override
    {
        char pattern[] = "/tmp/orvanel-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        exeDir = pattern;
        // the user's own configuration folder is never read or written by a test;
        // this one lies beside exeDir, so that exeDir holds only what the program puts there
        setenv("XDG_CONFIG_HOME", (exeDir + ".config").c_str(), 1);
        std::string exe = exeDir + "/orvanel";
        SetExecutablePathOverride(exe.c_str());
        ResetHeadlessPlatform();
        ResetProgramState();
        PrepareExeDirectory();
    }

    // Override to lay files beside the executable before the window starts.
    virtual void PrepareExeDirectory() {}

    // Creates the main window as the program does at start-up.
    void StartMainWindow()
    {
        dialog = new MainDialog();
        dialog->steersView = steersView;
        ASSERT_TRUE(dialog->Create());
    }

    // A current GL context on the preview frame: the window's own once it makes
    // one at start-up, else one made here.
    void EnsureGLContext()
    {
        GLContextHandle context = HeadlessFindGLContext(Window(), 1004);
        if (!context) {
            GLPixelFormatRequest format = {32, 24, 16, true};
            context = ownContext = CreateGLContext(Window(), 1004, format);
        }
        ASSERT_NE(context, nullptr);
        ASSERT_TRUE(MakeGLContextCurrent(context));
    }

    WindowHandle Window() const
    {
        return dialog ? dialog->Window() : nullptr;
    }

    std::string StatusLine() const
    {
        char text[8192];
        GetControlText(Window(), 1008, text, sizeof text);
        return text;
    }

    void TearDown() override
    {
        if (ownContext) {
            MakeGLContextCurrent(nullptr);
            DeleteGLContext(ownContext);
            ownContext = nullptr;
        }
        delete dialog;
        dialog = nullptr;
        ResetProgramState();
        SetExecutablePathOverride(nullptr);
        ResetHeadlessPlatform();
        std::string command = "rm -rf '" + exeDir + "' '" + exeDir + ".config'";
        if (std::system(command.c_str()) != 0)
            ADD_FAILURE() << "could not remove " << exeDir;
    }
};
