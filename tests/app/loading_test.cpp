// What the executable loads, as the dynamic loader itself reports it: batch
// mode and --info never the desktop module, the toolkit or GL, and a preview
// GL only; the desktop program with its module, without it and with a broken
// one; and a preview where GL cannot be set up.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_files.h"

namespace {

const std::string Program = ORVANEL_EXECUTABLE;

void PutHeightmap(const TempFolder& folder)
{
    ASSERT_TRUE(WriteFileBytes(folder.File("h.bmp"), Bmp24Bytes(16, 16, [](int x, int y) {
                                   return static_cast<uint32_t>(x * 16 + y) << 16;
                               })));
}

// The libraries initialised during the run, one "calling init: PATH" line each.
std::string LoadedLibraries(const TempFolder& folder, const std::string& arguments)
{
    std::string log;
    RunCommand("cd '" + folder.path + "' && LD_DEBUG=libs '" + Program + "' " + arguments +
                   " 2>&1 >/dev/null | grep 'calling init:'",
               &log);
    return log;
}

TEST(Loading, BatchModeLoadsNoToolkitAndGLOnlyForAPreview)
{
    TempFolder folder;
    ASSERT_NO_FATAL_FAILURE(PutHeightmap(folder));
    ASSERT_EQ(RunCommand("cd '" + folder.path + "' && '" + Program + "' --generate h.bmp --output m.3ds 2>/dev/null"),
              0);
    for (const char* arguments : {"--version", "--help", "--info m.3ds", "--generate h.bmp --output m.3ds"}) {
        const std::string log = LoadedLibraries(folder, arguments);
        EXPECT_NE(log.find("libc.so"), std::string::npos) << arguments << ": no loader log";
        for (const char* library :
             {"orvanel-desktop", "libwx", "libgtk", "libgdk", "libEGL", "libGL", "libOpenGL", "libassimp"})
            EXPECT_EQ(log.find(library), std::string::npos) << arguments << " loads " << library;
    }
    // libraries opened on the way show too
    EXPECT_NE(LoadedLibraries(folder, "--generate h.bmp --output m.3ds --preview p.png").find("libEGL"),
              std::string::npos);
    EXPECT_NE(LoadedLibraries(folder, "--generate h.bmp --output m.dae").find("libassimp"), std::string::npos);
}

// Without orvanel-assimp.so beside it, a COLLADA or FBX export says why and writes nothing;
// the other formats need no module.
TEST(Loading, ColladaAndFbxSayWhyTheirModuleCannotBeLoaded)
{
    TempFolder folder;
    ASSERT_EQ(RunCommand("cp '" + Program + "' '" + folder.path + "/'"), 0);
    ASSERT_NO_FATAL_FAILURE(PutHeightmap(folder));
    std::string output;
    EXPECT_EQ(RunCommand("cd '" + folder.path + "' && ./orvanel --generate h.bmp --output m.fbx 2>&1", &output), 1);
    EXPECT_NE(output.find("The COLLADA and FBX writer could not be loaded: " + folder.File("orvanel-assimp.so") +
                          ": cannot open shared object file"),
              std::string::npos)
        << output;
    EXPECT_TRUE(ReadFileBytes(folder.File("m.fbx")).empty());
    EXPECT_EQ(RunCommand("cd '" + folder.path + "' && ./orvanel --generate h.bmp --output m.glb 2>/dev/null"), 0);
}

// glvnd with no EGL vendor library to load: no display, no context.
TEST(Loading, PreviewWithoutGLStillSavesTheMeshAndFails)
{
    TempFolder folder;
    ASSERT_NO_FATAL_FAILURE(PutHeightmap(folder));
    const std::string run = "cd '" + folder.path + "' && __EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json '" + Program +
        "' --generate h.bmp ";
    ASSERT_EQ(RunCommand(run + "--output plain.3ds 2>/dev/null"), 0);
    std::string output;
    EXPECT_EQ(RunCommand(run + "--output m.3ds --preview p.png", &output), 1);
    EXPECT_EQ(output,
              "Successfully loaded 'h.bmp'.\nSuccessfully saved '" + folder.File("m.3ds") +
                  "'.\norvanel: no OpenGL context to render the preview\n");
    EXPECT_EQ(ReadFileBytes(folder.File("m.3ds")), ReadFileBytes(folder.File("plain.3ds")));
    EXPECT_TRUE(ReadFileBytes(folder.File("p.png")).empty());
}

#ifdef ORVANEL_HAVE_DESKTOP
// A copy of the executable, started as the desktop program without a display.
TEST(Loading, DesktopProgramSaysWhyItsModuleCannotBeLoaded)
{
    TempFolder folder;
    ASSERT_EQ(RunCommand("cp '" + Program + "' '" + folder.path + "/'"), 0);
    const std::string module = folder.File("orvanel-desktop.so");
    const std::string desktop = "env -u DISPLAY -u WAYLAND_DISPLAY '" + folder.File("orvanel") + "'";
    const std::string prefix = "orvanel: the desktop part of Orvanel could not be loaded: " + module + ": ";
    std::string output;
    EXPECT_EQ(RunCommand(desktop, &output), 1);
    EXPECT_EQ(output, prefix + "cannot open shared object file: No such file or directory\n");
    ASSERT_NO_FATAL_FAILURE(PutHeightmap(folder));
    EXPECT_EQ(RunCommand("cd '" + folder.path + "' && ./orvanel --generate h.bmp --output m.3ds 2>/dev/null"), 0)
        << "batch mode needs no module";

    ASSERT_TRUE(WriteFileText(module, "not a module"));
    output.clear();
    EXPECT_EQ(RunCommand(desktop, &output), 1);
    EXPECT_EQ(output.rfind(prefix, 0), 0u) << output;
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;

    // the real module loads: what is missing then is the display
    ASSERT_EQ(RunCommand("cp '" ORVANEL_RUNTIME_DIR "/orvanel-desktop.so' '" + module + "'"), 0);
    output.clear();
    EXPECT_EQ(RunCommand(desktop, &output), 1);
    EXPECT_EQ(output.rfind("orvanel: cannot open a display for the desktop program.\n", 0), 0u) << output;
}
#endif

}  // namespace
