// Loading pictures on the real main window: messages, what each outcome leaves, menu items and
// Generate, the default textures, the status line's cut; textures in real GL pixels (Mesa llvmpipe).
#include <GL/gl.h>

#include <cmath>
#include <tuple>

#include "image/file_buffer.h"
#include "image/image_load.h"
#include "image/picture_texture.h"
#include "image/report_message.h"
#include "tests/image/image_fixture.h"
#include "tests/support/main_window_fixture.h"

static const std::string BuiltAssets = ORVANEL_BUILT_ASSETS_DIR;

// The main window, a GL context, the default textures beside the executable and no texture names yet.
class ImageLoadTest : public MainWindowTest {
protected:
    void PrepareExeDirectory() override
    {
        ASSERT_EQ(RunCommand("mkdir '" + exeDir + "/folder.bmp' '" + exeDir + "/assets' && cp '" + BuiltAssets +
                             "/deftex.bmp' '" + BuiltAssets + "/defnrm.bmp' '" + exeDir + "/assets/'"),
                  0);
    }
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(StartMainWindow());
        ASSERT_NO_FATAL_FAILURE(EnsureGLContext());
        HeightmapTextureId = DecalTextureId = NormalTextureId = 0;
        SetControlText(Window(), StatusLineControl, "");
        ClearHeadlessDialogCalls();
    }
    void TearDown() override
    {
        CloseFileBuffer();
        MainWindowTest::TearDown();
    }

    std::string PutFile(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        EXPECT_TRUE(WriteFileBytes(exeDir + "/" + name, bytes));
        return exeDir + "/" + name;
    }

    // Loads `path` as `mode`, then goes back to heightmaps as the commands do.
    bool LoadAs(int mode, const std::string& path)
    {
        ImageLoadMode = mode;
        bool loaded = LoadImageFile(Window(), path.c_str());
        ImageLoadMode = Heightmap;
        return loaded;
    }

    // Level 0 of texture `name` as RGBA, row 0 first; empty when it has no pixels.
    static std::vector<uint8_t> TexturePixels(uint32_t name)
    {
        GLint width = 0, height = 0;
        glBindTexture(GL_TEXTURE_2D, name);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        std::vector<uint8_t> rgba(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        return rgba;
    }

    // The texture holds exactly the Image's pixels, its top row as texture row 0.
    static void ExpectTextureHolds(uint32_t name, const Image* image)
    {
        std::vector<uint8_t> rgba = TexturePixels(name);
        EXPECT_EQ(rgba, std::vector<uint8_t>(image->pixels, image->pixels + 4 * image->width * image->height))
            << "texture " << name;
    }
};

TEST_F(ImageLoadTest, EachOutcomeSaysSoAndKeepsDropsOrReplacesTheHeightmap)
{
    enum Outcome { Kept, Dropped, Replaced, Warned };  // Warned: replaced after the huge-picture warning
    std::vector<uint8_t> eightBit = Bmp24Bytes(2, 2, Pattern), truncated = Bmp24Bytes(4, 4, Pattern), none;
    SetField(&eightBit, 28, 8, 2);
    truncated.pop_back();
    const std::string unsupported = "'@' is in an unsupported bitmap mode.", loaded = "Successfully loaded '@'.";
    const struct {
        std::string path;  // beside the executable unless it starts with '/'
        std::vector<uint8_t> bytes;
        std::string message;  // '@' stands for the path
        Outcome outcome;
    } cases[] = {
        // the extension is what follows the last dot, even in a folder's name
        {"/maps.old/terrain", none, "Extension 'old/terrain' is unknown.", Kept},
        {"/maps/terrain", none, "Couldn't determine extension for '@'.", Kept},
        {"terrain.bmp.txt", none, "Extension 'txt' is unknown.", Kept},
        {"terrain.", none, "Extension '' is unknown.", Kept},
        {"missing.bmp", none, "Could not open '@'.", Kept},
        {"folder.bmp", none, "Could not open '@'.", Kept},
        {std::string(4500, 'q') + ".bmp", none, "Could not open '@'.", Kept},  // cut to the status line's buffer
        {"eight.bmp", eightBit, unsupported, Dropped},
        {"short.bmp", truncated, unsupported, Dropped},
        {"odd.bmp", Bmp24Bytes(6, 4, Pattern), "The image must be in powers of 2.", Dropped},
        {"upper.BMP", Bmp24Bytes(8, 2, Pattern), loaded, Replaced},
        {"edge.bmp", Bmp24Bytes(1024, 2, Pattern), loaded, Replaced},
        {"wide.bmp", Bmp24Bytes(2048, 2, Pattern), loaded, Warned},
        {"tall.bmp", Bmp24Bytes(2, 2048, Pattern), loaded, Warned},
    };
    // other bits of the menu items stay as they are
    ASSERT_TRUE(SetMenuItemState(Window(), LoadNormalTextureCommand, MenuItemGrayed | MenuItemChecked));
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.path.substr(0, 40));
        ASSERT_TRUE(LoadAs(Heightmap, PutFile("good.bmp", Bmp24Bytes(4, 4, Pattern))));
        const Image* before = HeightmapImage;
        const uint32_t name = HeightmapTextureId;
        ClearHeadlessDialogCalls();
        const std::string path = entry.path[0] == '/' ? entry.path : exeDir + "/" + entry.path;
        if (!entry.bytes.empty())
            PutFile(entry.path, entry.bytes);
        EXPECT_EQ(LoadImageFile(Window(), path.c_str()), entry.outcome >= Replaced);
        std::string message = entry.message;
        if (message.find('@') != std::string::npos)
            message.replace(message.find('@'), 1, path);
        EXPECT_EQ(StatusLine(), message.substr(0, 4095));
        if (entry.outcome == Kept)
            EXPECT_EQ(HeightmapImage, before);
        else  // none, or the new picture
            EXPECT_EQ(HeightmapImage ? HeightmapImage->width : 0,
                      entry.outcome == Dropped ? 0 : static_cast<int32_t>(GetLE32(&entry.bytes[18])));
        if (entry.outcome >= Replaced)
            ExpectTextureHolds(name, HeightmapImage);
        ASSERT_EQ(HeadlessDialogCalls().size(), entry.outcome == Warned ? 1u : 0u);
        for (const HeadlessDialogCall& call : HeadlessDialogCalls())
            EXPECT_TRUE(call.kind == HeadlessMessageBox && call.owner == Window() && call.caption == "Warning!" &&
                        call.flags == MessageBoxOkButton &&
                        call.text ==
                            "WARNING! This image is huge. This may be very slow, and the mesh may be "
                            "extremely tesselated.");
        // the texture items and Generate are usable exactly while there is a heightmap
        const unsigned grayed = HeightmapImage ? 0 : MenuItemGrayed;
        EXPECT_EQ(GetMenuItemState(Window(), LoadDecalTextureCommand), int(grayed));
        EXPECT_EQ(GetMenuItemState(Window(), LoadNormalTextureCommand), int(grayed | MenuItemChecked));
        EXPECT_EQ(IsControlEnabled(Window(), GenerateButtonControl), HeightmapImage != nullptr);
        EXPECT_EQ(TheFileBuffer.bytes, nullptr) << "the file is closed after every load";
    }
}

// A texture takes a name when it has none, changes only its own texture, never warns, and a refusal
// changes nothing.
TEST_F(ImageLoadTest, TexturesTouchNothingButTheirTexture)
{
    std::vector<uint8_t> v4 = Bmp24Bytes(2, 2, Pattern), picture = Bmp24Bytes(2048, 2, Pattern);
    SetField(&v4, 14, 108);
    const std::string odd = PutFile("odd.bmp", Bmp24Bytes(100, 64, Pattern)), unsupported = PutFile("v4.bmp", v4),
                      path = PutFile("texture.bmp", picture);
    ImagePtr expected = Decoded(picture);
    for (int mode : {Decal, NormalMap}) {
        uint32_t &target = mode == Decal ? DecalTextureId : NormalTextureId,
                 &other = mode == Decal ? NormalTextureId : DecalTextureId;
        target = 0;
        other = TakeTextureId();
        EXPECT_TRUE(LoadAs(mode, path) && target != 0 && target != other);
        EXPECT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
        EXPECT_FALSE(LoadAs(mode, odd));
        EXPECT_EQ(StatusLine(), "The image must be in powers of 2.");
        EXPECT_FALSE(LoadAs(mode, unsupported));
        EXPECT_EQ(StatusLine(), "'" + unsupported + "' is in an unsupported bitmap mode.");
        ExpectTextureHolds(target, expected.get());
        EXPECT_TRUE(TexturePixels(other).empty() && !HeightmapImage && HeadlessDialogCalls().empty());
        EXPECT_TRUE(!IsControlEnabled(Window(), GenerateButtonControl) && !TheFileBuffer.bytes);
    }
}

// Each command shows the Open dialog for bitmaps and loads what was chosen as its picture; the mode
// is back at heightmap afterwards, so that the next drop is one; a cancelled dialog loads nothing.
TEST_F(ImageLoadTest, CommandsLoadWhatTheOpenDialogChose)
{
    const std::string heightmap = PutFile("heightmap.bmp", Bmp24Bytes(4, 4, Pattern));
    for (auto command : {OnLoadHeightmap, OnLoadDecalTexture, OnLoadNormalTexture, OnLoadHeightmap}) {
        QueueFileDialogAnswer(command == OnLoadNormalTexture ? "nowhere/missing.bmp" : heightmap.c_str());
        command();
        EXPECT_EQ(ImageLoadMode, Heightmap);
    }
    OnLoadDecalTexture();  // no answer: cancelled
    EXPECT_TRUE(HeightmapImage && !TexturePixels(DecalTextureId).empty() && !NormalTextureId);
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + heightmap + "'.");
    ASSERT_EQ(HeadlessDialogCalls().size(), 5u);
    for (const HeadlessDialogCall& call : HeadlessDialogCalls())
        EXPECT_TRUE(call.kind == HeadlessOpenFileDialog && call.owner == Window() && call.flags == 0u &&
                    call.filter == "Pictures (*.bmp;*.png)|*.bmp;*.png|Bitmap files (*.bmp)|*.bmp|PNG files (*.png)|*.png||" && call.defaultExtension.empty());
    EXPECT_EQ(GetBMPFromBuffer(), nullptr);
    EXPECT_EQ(StatusLine(), "GetBMPFromBuffer call with no file buffer\n");
}

// The files beside the executable fill the decal and normal-map textures, silently; missing or
// unusable ones leave them empty. The normal map the build makes holds unit normals pointing out
// of a surface that is flat on average.
TEST_F(ImageLoadTest, DefaultTexturesFillSilentlyOrGiveStandInsAndSaySo)
{
    LoadDefaultTextures();
    ImagePtr normals = Decoded(ReadFileBytes(BuiltAssets + "/defnrm.bmp"));
    ExpectTextureHolds(DecalTextureId, Decoded(ReadFileBytes(BuiltAssets + "/deftex.bmp")).get());
    ExpectTextureHolds(NormalTextureId, normals.get());
    double sum[3] = {};
    for (size_t i = 0; i < 256 * 256; ++i) {
        double n[3];
        for (int c = 0; c < 3; ++c)
            sum[c] += n[c] = (normals->pixels[i * 4 + c] - 128.0) / 127.0;
        ASSERT_TRUE(std::fabs(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) - 1) < 0.02 && n[2] > 0.5) << i;
    }
    EXPECT_TRUE(std::fabs(sum[0]) < 0.02 * 65536 && std::fabs(sum[1]) < 0.02 * 65536);
    PutFile("assets/deftex.bmp", Bmp24Bytes(6, 4, Pattern));
    ASSERT_EQ(RunCommand("rm '" + exeDir + "/assets/defnrm.bmp'"), 0);
    DecalTextureId = TakeTextureId();
    NormalTextureId = TakeTextureId();
    LoadDefaultTextures();
    // one-texel stand-ins, white and flat, so that the mesh is lit, not black; and it is said
    EXPECT_EQ(TexturePixels(DecalTextureId), std::vector<uint8_t>({255, 255, 255, 255}));
    EXPECT_EQ(TexturePixels(NormalTextureId), std::vector<uint8_t>({128, 128, 255, 255}));
    EXPECT_EQ(StatusLine(), "Could not load the default textures from '" + exeDir + "/assets'.");
    EXPECT_TRUE(HeadlessDialogCalls().empty() && !TheFileBuffer.bytes);
}

// Power-of-two sides go in as they are, top row first; anything else, no picture or the
// GL's default texture is refused and leaves the texture as it was.
TEST_F(ImageLoadTest, UploadsPowerOfTwoPicturesOnly)
{
    ImagePtr last(nullptr, FreeImage), refused = Decoded(Bmp24Bytes(16, 16, Pattern));
    for (auto size : {std::make_pair(256, 128), {1, 1}, {1, 64}, {2, 8}}) {
        last = Decoded(Bmp24Bytes(size.first, size.second, Pattern));
        EXPECT_EQ(UploadTexture(last.get(), 1), 1u);
        ExpectTextureHolds(1, last.get());
    }
    for (auto size : {std::make_pair(16, 15), {3, 4}, {4, 3}, {0, 4}, {4, 0}, {-2, 2}, {2, -4}, {6, 6}}) {
        std::tie(refused->width, refused->height) = size;
        EXPECT_EQ(UploadTexture(refused.get(), 1), 0u) << size.first << "x" << size.second;
        ExpectTextureHolds(1, last.get());
    }
    EXPECT_FALSE(UploadTexture(nullptr, 1) || UploadTexture(last.get(), 0));
    EXPECT_TRUE(TexturePixels(0).empty()) << "the default texture was filled";
}

// Text beyond the 4096-byte buffer is cut, and never inside a UTF-8 character.
TEST_F(ImageLoadTest, StatusLineIsCutBetweenCharacters)
{
    const std::string a(4091, 'a'), e = "\xC3\xA9", euro = "\xE2\x82\xAC", smile = "\xF0\x9F\x98\x80";
    const std::pair<std::string, std::string> cases[] = {
        {a + "aaa" + e, a + "aaa"},  {a + "aa" + e, a + "aa" + e}, {a + "a" + euro, a + "a" + euro},
        {a + "aa" + euro, a + "aa"}, {a + smile, a + smile},       {a + "a" + smile, a + "a"},
    };
    for (const auto& entry : cases) {
        ReportMessage(Window(), "%s", entry.first.c_str());
        EXPECT_EQ(StatusLine(), entry.second) << entry.first.size() << " bytes";
    }
    ReportMessage(nullptr, "nowhere %d", 5);
    EXPECT_EQ(StatusLine(), a + "a");
}
