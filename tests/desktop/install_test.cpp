// What Linux desktops and installers get: cmake --install into a fresh folder
// gives the program, its files, a desktop entry naming them and the icon
// written from the window's icon; the installed program generates the sample
// and its preview from a folder of its own, exactly as the build tree's does
// (a missing texture or fragment program would show).
#include <gtest/gtest.h>
#include <png.h>

#include "resources/resources.h"
#include "tests/support/test_files.h"

TEST(InstalledFolder, HoldsAValidEntryTheIconAndAProgramThatRunsOnItsOwn)
{
    TempFolder root;
    const std::string prefix = root.File("opt/orvanel"), work = root.File("work");
    std::string output, files;
    ASSERT_EQ(RunCommand("mkdir '" + work + "' && '" CMAKE_COMMAND "' --install '" ORVANEL_BINARY_DIR "' --prefix '" +
                             prefix + "' >/dev/null && cd '" + prefix + "' && find . -type f | LC_ALL=C sort",
                         &files),
              0)
        << files;
    EXPECT_EQ(files,
              "./assets/defnrm.bmp\n./assets/deftex.bmp\n./assets/sample.bmp\n./fp/light_std.fp\n./orvanel\n./"
              "orvanel-assimp.so\n./orvanel-desktop.so\n"
              "./share/applications/orvanel.desktop\n./share/icons/hicolor/32x32/apps/orvanel.png\n");
    const std::string entry = prefix + "/share/applications/orvanel.desktop";
    EXPECT_EQ(RunCommand("desktop-file-validate '" + entry + "'", &output), 0);
    EXPECT_EQ(output, "") << "warnings or hints";
    const std::vector<uint8_t> bytes = ReadFileBytes(entry);
    const std::string text(bytes.begin(), bytes.end());
    for (const std::string& line : std::vector<std::string>{
             "[Desktop Entry]", "Type=Application", "Name=Orvanel", "Terminal=false",
             "Exec=\"" + prefix + "/orvanel\" %f", "MimeType=image/bmp;",
             "Icon=" + prefix + "/share/icons/hicolor/32x32/apps/orvanel.png", "Categories=Graphics;3DGraphics;"})
        EXPECT_NE(("\n" + text).find("\n" + line + "\n"), std::string::npos) << line;

    // the icon, decoded by libpng, is the window's icon pixel for pixel
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(
        png_image_begin_read_from_file(&image, (prefix + "/share/icons/hicolor/32x32/apps/orvanel.png").c_str()));
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;
    EXPECT_EQ(std::make_pair(image.width, image.height), std::make_pair(32u, 32u));
    EXPECT_EQ(pixels, std::vector<uint8_t>(FindIconImage(MainIcon)->rgba, FindIconImage(MainIcon)->rgba + 32 * 32 * 4));

    ASSERT_EQ(RunCommand("cd '" + work +
                         "' && '" ORVANEL_EXECUTABLE "' --generate '" ORVANEL_RUNTIME_DIR
                         "/assets/sample.bmp' --output built.3ds --preview built.png"),
              0);
    output.clear();
    EXPECT_EQ(RunCommand("cd '" + work + "' && '" + prefix + "/orvanel' --generate '" + prefix +
                             "/assets/sample.bmp' --output sample.3ds --preview sample.png",
                         &output),
              0);
    // the first line is the lighting check, which needs the installed fragment program
    EXPECT_EQ(output,
              "OpenGL initialization successful.\nSuccessfully loaded '" + prefix +
                  "/assets/sample.bmp'.\nSuccessfully saved '" + work +
                  "/sample.3ds'.\nSuccessfully saved 'sample.png'.\n");
    for (const std::string kind : {".3ds", ".png"}) {
        const std::vector<uint8_t> installed = ReadFileBytes(work + "/sample" + kind);
        EXPECT_TRUE(!installed.empty() && installed == ReadFileBytes(work + "/built" + kind)) << kind;
    }
    EXPECT_TRUE(ReadFileBytes(prefix + "/orvanel.cfg").empty()) << "batch mode never saves the settings";
}
