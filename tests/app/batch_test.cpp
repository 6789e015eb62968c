// Batch mode through the real executable: command lines with their exit status and exact
// messages, and what the recorded batch outputs cannot see: message boxes, foreign files
// listed by --info, a settings file shaping mesh and preview pixels, orvanel.cfg left alone.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

namespace {

const std::string Program = ORVANEL_EXECUTABLE, ProgramFolder = Program.substr(0, Program.rfind('/'));

class BatchTest : public ::testing::Test {
protected:
    TempFolder folder;
    int status = -1;
    std::string out, err;  // the run's standard output and error, the folder written as $DIR

    void Orvanel(const std::string& arguments)
    {
        out.clear();
        status = RunCommand("cd '" + folder.path + "' && { '" + Program + "' " + arguments + " 2>err.txt; }", &out);
        std::vector<uint8_t> bytes = ReadFileBytes(folder.File("err.txt"));
        err = std::regex_replace(std::string(bytes.begin(), bytes.end()), std::regex(folder.path), "$$DIR");
    }

    void Shell(const std::string& command)
    {
        ASSERT_EQ(RunCommand("cd '" + folder.path + "' && " + command), 0) << command << " (ImageMagick, assimp)";
    }
};

// Usage errors exit with 2 before any work: options are whole names and every bound is
// accepted, but nothing past it. Message boxes are printed like the status line.
TEST_F(BatchTest, EachCommandLineHasItsOutcome)
{
    ASSERT_TRUE(WriteFileBytes(folder.File("wide.bmp"), Bmp24Bytes(2048, 2, [](int x, int) { return x << 16; })));
    Shell("printf 'o one\\nv 0 0 0\\nv 1 0 0\\nv 0 1 0\\nf 1 2 3\\n' > one.obj && assimp export one.obj one.3ds");
    const std::string output = "--generate a.bmp --output a.3ds ", range = "' is not a whole number from ";
    const struct {
        std::string arguments;
        int status;
        std::string err;  // for usage errors only the reason
        std::string out;  // a pattern of the standard output
    } runs[] = {
        {"--bogus", 2, "unknown option '--bogus'", ""},
        {"--gen a.bmp --output a.3ds", 2, "unknown option '--gen'", ""},
        {output + "-- b.bmp", 2, "unexpected argument 'b.bmp'", ""},
        {"--generate a.bmp --output", 2, "option '--output' needs a value", ""},
        {"--generate= --output a.3ds", 2, "option '--generate' needs a value", ""},
        {output + "--grid-fuzz 7", 2, "'7" + range + "1 to 6 for --grid-fuzz", ""},
        {output + "--overall-scale 3", 2, "'3" + range + "4 to 1024 for --overall-scale", ""},
        {output + "--height-scaling 4097", 2, "'4097" + range + "1 to 4096 for --height-scaling", ""},
        {output + "--texture-stretching=12x", 2, "'12x" + range + "1 to 1024 for --texture-stretching", ""},
        {output + "--texture-stretching 99999999999", 2, "'99999999999" + range + "1 to 1024 for --texture-stretching",
         ""},
        {output + "--preview-size 800", 2, "'800' is not a size like 800x600 (1 to 8192 each)", ""},
        {output + "--preview-size 800x8193", 2, "'800x8193' is not a size like 800x600 (1 to 8192 each)", ""},
        {output + "--spin north", 2, "'north' is not a number of degrees for --spin", ""},
        {output + "--tilt nan", 2, "'nan' is not a number of degrees for --tilt", ""},
        {"--info a.3ds --generate a.bmp", 2, "--info and --generate cannot be combined", ""},
        {"--generate a.bmp", 2, "--generate needs --output MESH.3ds", ""},
        {"--eliminate-zero-height", 2,
         "nothing to do: give --generate HEIGHTMAP.bmp --output MESH.3ds, or --info MESH.3ds", ""},
        {"--texture-stretching 1 --texture-stretching=1024 --grid-fuzz 1 --grid-fuzz=6 --height-scaling 1 "
         "--height-scaling=4096 --overall-scale 4 --overall-scale=1024 --preview-size 1x1 --preview-size=8192x8192 "
         "--spin -1e9 --tilt=1e9 -h",
         0, "", "^Usage:\n"},
        {"--version", 0, "", "^Orvanel, release 1\n$"},
        {"--generate missing.bmp --output a.3ds", 1,
         "Could not open 'missing.bmp'.\n", "^$"},
        {"--generate wide.bmp --output wide.3ds", 0,
         "WARNING! This image is huge. This may be very slow, and the mesh may be "
         "extremely tesselated.\nSuccessfully loaded 'wide.bmp'.\nSuccessfully saved '$DIR/wide.3ds'.\n",
         "^$"},
        {"--info one.3ds", 0, "",
         ": 3 vertices, 1 faces, no texture coordinates, normals computed, 0 joints\n(.*\n)*"
         "  one.obj: no vertex list\n"},
    };
    for (const auto& run : runs) {
        Orvanel(run.arguments);
        EXPECT_EQ(status, run.status) << run.arguments;
        EXPECT_EQ(err,
                  run.status == 2 ? "orvanel: " + run.err + "\nTry 'orvanel --help' for more information.\n" : run.err)
            << run.arguments;
        EXPECT_TRUE(std::regex_search(out, std::regex(run.status == 2 ? "^$" : run.out))) << run.arguments << out;
    }
}

// A saved settings file (a green background, grid fuzz 3, scale 24) under an option
// that overrides its scale: the mesh, and the preview showing the heightmap's overlay
// and the lit mesh on that background. An existing output is replaced.
TEST_F(BatchTest, SettingsFileAndOptionsShapeTheMeshAndThePreview)
{
    Shell("convert -size 64x64 radial-gradient:red-black -type TrueColor BMP3:dome.bmp && echo old > dome.3ds");
    std::vector<uint8_t> settings;
    for (float component : {0.0f, 0.5f, 0.0f, 1.0f})
        PutFloat(&settings, component);
    std::string program = ProgramFolder + "/fp/light_std.fp";
    settings.insert(settings.end(), program.begin(), program.end());
    settings.resize(2064);
    for (uint32_t position : {128, 3, 256, 24, 0})
        PutLE32(&settings, position);
    ASSERT_TRUE(WriteFileBytes(folder.File("saved.cfg"), settings));
    std::vector<uint8_t> savedBefore = ReadFileBytes(ProgramFolder + "/orvanel.cfg");
    Orvanel(
        "--generate dome.bmp --output dome.3ds --settings saved.cfg --overall-scale 16 --preview dome.png "
        "--preview-size 320x240");
    ASSERT_EQ(status, 0) << err;
    EXPECT_EQ(ReadFileBytes(ProgramFolder + "/orvanel.cfg"), savedBefore);  // batch mode never saves it

    // grid step 4: 16 x 16 vertices, 2 x 15 x 15 faces; the first vertex at x = -32 x 16
    std::vector<uint8_t> mesh = ReadFileBytes(folder.File("dome.3ds"));
    ASSERT_EQ(mesh.size(), 67u + 20u * 256u + 8u * 450u);
    EXPECT_EQ(GetFloat(&mesh[51]), -512.0f);

    // the preview as ImageMagick reads it: its size, the overlay's red centre and black
    // corner, the file's background, the lit mesh in the middle
    std::string pixels;
    RunCommand("convert '" + folder.File("dome.png") + "' -format '%wx%h %[fx:p{64,64}.r>0.8] %[fx:p{1,1}.r<0.1] " +
                   "%[fx:p{318,2}.r==0 && abs(255*p{318,2}.g-128)<1 && p{318,2}.b==0] %[fx:p{160,125}.r>0.05]' info:",
               &pixels);
    EXPECT_EQ(pixels, "320x240 1 1 1 1");
}

}  // namespace
