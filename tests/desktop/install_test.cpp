// What Linux desktops and installers get: the desktop entry, the icon file
// written from the window's icon, and the installed folder, which must run
// on its own without the build tree.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/resources.h"
#include "tests/desktop/program_copy.h"

namespace {

const std::string SourceEntry = std::string(ORVANEL_SOURCE_DIR) + "/resources/orvanel.desktop";
const std::string BuiltIcon = std::string(ORVANEL_BINARY_DIR) + "/share/orvanel.png";

// The sample heightmap is 256 x 256; at the default grid step 2 it gives
// 128 x 128 vertices and 2 x 127 x 127 faces.
const long long SampleMeshSize = 67 + 20LL * 128 * 128 + 8LL * 2 * 127 * 127;

std::string MakeTemporaryFolder()
{
    char pattern[] = "/tmp/orvanel-install-XXXXXX";
    return mkdtemp(pattern) ? pattern : "";
}

bool IsExecutableFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IXUSR);
}

// Every line of the entry, in order.
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

TEST(DesktopEntry, PassesDesktopFileValidate)
{
    std::string output;
    int status = RunCommand("desktop-file-validate '" + SourceEntry + "' 2>&1", &output);
    EXPECT_EQ(status, 0) << "desktop-file-validate (package desktop-file-utils) is needed:\n" << output;
    EXPECT_EQ(output, "") << "warnings or hints";
}

TEST(DesktopEntry, NamesTheProgramItsIconAndTheFilesItOpens)
{
    const std::vector<std::string> lines = Lines(ReadWholeFile(SourceEntry));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "[Desktop Entry]");
    for (const char* line : {"Type=Application", "Name=Orvanel", "Exec=orvanel %f", "Icon=orvanel", "Terminal=false",
                             "MimeType=image/bmp;", "Categories=Graphics;3DGraphics;"})
        EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
}

// Decoded by libpng, independently of the writer's own code path.
TEST(DesktopIcon, PngHoldsTheWindowIconPixelForPixel)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, BuiltIcon.c_str())) << BuiltIcon << ": " << image.message;
    EXPECT_EQ(image.width, 32u);
    EXPECT_EQ(image.height, 32u);
    EXPECT_EQ(image.format & PNG_FORMAT_FLAG_ALPHA, static_cast<png_uint_32>(PNG_FORMAT_FLAG_ALPHA));
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;

    const IconImage* icon = FindIconImage(MainIcon);
    ASSERT_NE(icon, nullptr);
    ASSERT_EQ(pixels.size(), static_cast<size_t>(icon->width) * icon->height * 4);
    EXPECT_EQ(pixels, std::vector<uint8_t>(icon->rgba, icon->rgba + pixels.size()));
}

// cmake --install into a fresh folder, then the installed program generates
// the sample and its preview from a folder of its own: the assets and the
// fragment program must come from the installed folder, and the preview
// must be the build tree's to the byte (a missing texture or program shows).
class InstalledFolder : public ::testing::Test {
protected:
    std::string root;    // temporary folder of the test
    std::string prefix;  // the install prefix inside it
    std::string work;    // where the installed program runs

    void SetUp() override
    {
        root = MakeTemporaryFolder();
        ASSERT_NE(root, "");
        prefix = root + "/opt/orvanel";
        work = root + "/work";
        ASSERT_EQ(RunCommand("mkdir -p '" + work + "'"), 0);
        std::string output;
        ASSERT_EQ(RunCommand("'" CMAKE_COMMAND "' --install '" ORVANEL_BINARY_DIR "' --prefix '" + prefix + "' 2>&1",
                             &output),
                  0)
            << output;
    }

    void TearDown() override
    {
        if (!root.empty())
            RunCommand("rm -rf '" + root + "'");
    }
};

TEST_F(InstalledFolder, HoldsTheProgramAssetsFragmentProgramAndAnEntryNamingThem)
{
    std::string listing;
    ASSERT_EQ(RunCommand("cd '" + prefix + "' && find . -type f | LC_ALL=C sort", &listing), 0);
    EXPECT_EQ(listing,
              "./assets/defnrm.bmp\n"
              "./assets/deftex.bmp\n"
              "./assets/sample.bmp\n"
              "./fp/light_std.fp\n"
              "./orvanel\n"
              "./orvanel-desktop.so\n"
              "./share/applications/orvanel.desktop\n"
              "./share/icons/hicolor/32x32/apps/orvanel.png\n");
    EXPECT_TRUE(IsExecutableFile(prefix + "/orvanel"));
    EXPECT_EQ(ReadWholeFile(prefix + "/fp/light_std.fp"), ReadWholeFile(ORVANEL_RUNTIME_DIR "/fp/light_std.fp"));
    EXPECT_EQ(ReadWholeFile(prefix + "/assets/sample.bmp"), ReadWholeFile(ORVANEL_RUNTIME_DIR "/assets/sample.bmp"));
    EXPECT_EQ(ReadWholeFile(prefix + "/share/icons/hicolor/32x32/apps/orvanel.png"), ReadWholeFile(BuiltIcon));

    // the installed entry starts the installed program by its full path
    const std::string entry = prefix + "/share/applications/orvanel.desktop";
    const std::vector<std::string> lines = Lines(ReadWholeFile(entry));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Exec=\"" + prefix + "/orvanel\" %f"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Icon=" + prefix + "/share/icons/hicolor/32x32/apps/orvanel.png"),
              1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "MimeType=image/bmp;"), 1);
    std::string output;
    EXPECT_EQ(RunCommand("desktop-file-validate '" + entry + "' 2>&1", &output), 0) << output;
}

TEST_F(InstalledFolder, RunsBatchModeOnItsOwn)
{
    // the build tree's program renders the same preview, for comparison
    ASSERT_EQ(RunCommand("cd '" + work +
                         "' && '" ORVANEL_EXECUTABLE "' --generate '" ORVANEL_RUNTIME_DIR
                         "/assets/sample.bmp' --output built.3ds --preview built.png 2>/dev/null"),
              0);

    std::string messages;
    int status = RunCommand("cd '" + work + "' && '" + prefix + "/orvanel' --generate '" + prefix +
                                "/assets/sample.bmp' --output sample.3ds --preview sample.png 2>&1",
                            &messages);
    EXPECT_EQ(status, 0) << messages;
    // the first line is the lighting check, which needs the installed fp/light_std.fp
    EXPECT_EQ(messages,
              "OpenGL initialization successful.\n"
              "Successfully loaded '" +
                  prefix +
                  "/assets/sample.bmp'.\n"
                  "Successfully saved '" +
                  work +
                  "/sample.3ds'.\n"
                  "Successfully saved 'sample.png'.\n");
    EXPECT_EQ(FileSize(work + "/sample.3ds"), SampleMeshSize);
    EXPECT_EQ(ReadWholeFile(work + "/sample.3ds"), ReadWholeFile(work + "/built.3ds"));
    const std::string preview = ReadWholeFile(work + "/sample.png");
    EXPECT_GT(preview.size(), 0u);
    EXPECT_TRUE(preview == ReadWholeFile(work + "/built.png")) << "the installed program previews differently";
    // batch mode never saves the settings
    EXPECT_EQ(FileSize(prefix + "/orvanel.cfg"), -1);
}

}  // namespace
