// LoadImageFile and the Load menu commands on the real main window: the
// message table, the texture items and Generate button after each outcome,
// texture names, the huge-image warning and the Open dialogs.
#include "tests/image/image_window_fixture.h"

using namespace bmptest;

class LoadImageFileTest : public ImageWindowTest {
protected:
    // Loads a good 4 x 4 heightmap; the state every "leaves things as they were" test starts from.
    void LoadGoodHeightmap()
    {
        std::string path = PutFile("good.bmp", MakeBmp24(4, 4, 50, 60, 70));
        LoadImageFile(Window(), path.c_str());
        ASSERT_EQ(StatusLine(), Loaded(path));
        ASSERT_NE(HeightmapImage, nullptr);
        ASSERT_TRUE(TextureItemsEnabled());
        ASSERT_TRUE(GenerateEnabled());
    }

    // Loads `path` as `mode`, then goes back to heightmaps as the commands do.
    void LoadAs(ImageLoadModes mode, const std::string& path)
    {
        ImageLoadMode = mode;
        LoadImageFile(Window(), path.c_str());
        ImageLoadMode = Heightmap;
    }

    void TakeTextureNames()
    {
        DecalTextureId = TakeTextureId();
        NormalTextureId = TakeTextureId();
    }

    int TextureWidth(uint32_t name)
    {
        int width, height;
        ReadTexture(name, &width, &height);
        return width;
    }

    static std::string Loaded(const std::string& path)
    {
        return "Successfully loaded '" + path + "'.";
    }
    static std::string Unsupported(const std::string& path)
    {
        return "'" + path + "' is in an unsupported bitmap mode.";
    }

    int MessageBoxCount() const
    {
        int count = 0;
        for (const HeadlessDialogCall& call : HeadlessDialogCalls())
            count += call.kind == HeadlessMessageBox;
        return count;
    }
};

TEST_F(LoadImageFileTest, StartsWithGrayedItemsAndDisabledGenerate)
{
    EXPECT_EQ(ItemState(LoadDecalTextureCommand), 3);
    EXPECT_EQ(ItemState(LoadNormalTextureCommand), 3);
    EXPECT_FALSE(GenerateEnabled());
    EXPECT_EQ(HeightmapImage, nullptr);
}

TEST_F(LoadImageFileTest, MessageTable)
{
    std::vector<uint8_t> eightBit = MakeBmp24(2, 2, 1, 2, 3);
    PutU16(eightBit, 28, 8);
    std::vector<uint8_t> truncated = MakeBmp24(4, 4, 1, 2, 3);
    truncated.pop_back();
    const std::string missing = exeDir + "/missing.bmp";
    const std::string eight = PutFile("eight.bmp", eightBit);
    const std::string shortFile = PutFile("short.bmp", truncated);
    const std::vector<uint8_t> good = MakeBmp24(2, 2, 1, 2, 3);
    const std::string upper = PutFile("upper.BMP", good), mixed = PutFile("mixed.Bmp", good),
                      lower = PutFile("lower.bmp", good);
    const std::pair<std::string, std::string> cases[] = {
        // the extension is after the last dot, even in a folder name
        {"C:\\maps.old\\terrain", "Extension 'old\\terrain' is unknown."},
        {"terrain", "Couldn't determine extension for 'terrain'."},
        {"/maps/terrain", "Couldn't determine extension for '/maps/terrain'."},
        {"terrain.bmp.txt", "Extension 'txt' is unknown."},
        {"terrain.", "Extension '' is unknown."},
        {"terrain.bmpx", "Extension 'bmpx' is unknown."},
        {missing, "Could not open '" + missing + "'."},
        {eight, Unsupported(eight)},
        {shortFile, Unsupported(shortFile)},
        {upper, Loaded(upper)},
        {mixed, Loaded(mixed)},
        {lower, Loaded(lower)},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.first);
        LoadImageFile(Window(), entry.first.c_str());
        EXPECT_EQ(StatusLine(), entry.second);
        EXPECT_EQ(HeightmapImage != nullptr, entry.second.rfind("Successfully", 0) == 0);
        ExpectBufferClosed();
    }
}

TEST_F(LoadImageFileTest, NoFileBufferIsReportedOnTheMainWindow)
{
    EXPECT_EQ(GetBMPFromBuffer(), nullptr);
    EXPECT_EQ(StatusLine(), "GetBMPFromBuffer call with no file buffer\n");
}

// ---------------------------------------------------------------------------
// Heightmaps: menu items, Generate and the picture

TEST_F(LoadImageFileTest, ImageMagickHeightmapBecomesImageAndTexture)
{
    ASSERT_NO_FATAL_FAILURE(RequireImageMagick());
    TempFolder folder;
    std::vector<uint8_t> rgb = PatternRgb(8, 4);
    std::string path = exeDir + "/magick.bmp";
    ASSERT_NO_FATAL_FAILURE(ConvertRawRgb(folder, 8, 4, rgb, "-type TrueColor", "BMP3:" + path));
    LoadImageFile(Window(), path.c_str());
    EXPECT_EQ(StatusLine(), Loaded(path));
    ASSERT_NE(HeightmapImage, nullptr);
    ASSERT_EQ(HeightmapImage->width, 8);
    ASSERT_EQ(HeightmapImage->height, 4);
    for (size_t i = 0; i < 8 * 4; ++i) {
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(HeightmapImage->pixels[i * 4 + c], rgb[i * 3 + c]);
        EXPECT_EQ(HeightmapImage->pixels[i * 4 + 3], 255);
    }
    EXPECT_EQ(HeightmapTextureId, 1u);
    EXPECT_EQ(NextTextureId, 2u);
    ExpectTextureEquals(HeightmapTextureId, HeightmapImage);
    EXPECT_EQ(ItemState(LoadDecalTextureCommand), 0);
    EXPECT_EQ(ItemState(LoadNormalTextureCommand), 0);
    EXPECT_TRUE(GenerateEnabled());
    ExpectBufferClosed();
}

TEST_F(LoadImageFileTest, SecondHeightmapReusesTextureName)
{
    ASSERT_NO_FATAL_FAILURE(LoadGoodHeightmap());
    uint32_t name = HeightmapTextureId;
    uint32_t next = NextTextureId;
    std::string path = PutFile("second.bmp", MakeBmp24(8, 2, 9, 9, 9));
    LoadImageFile(Window(), path.c_str());
    EXPECT_EQ(StatusLine(), Loaded(path));
    EXPECT_EQ(HeightmapTextureId, name);
    EXPECT_EQ(NextTextureId, next);
    ASSERT_EQ(HeightmapImage->width, 8);
    ExpectTextureEquals(name, HeightmapImage);
}

TEST_F(LoadImageFileTest, OtherMenuBitsSurviveGrayingAndEnabling)
{
    ASSERT_TRUE(SetMenuItemState(Window(), LoadDecalTextureCommand, MenuItemGrayed | MenuItemChecked));
    std::string path = PutFile("good.bmp", MakeBmp24(2, 2, 1, 1, 1));
    LoadImageFile(Window(), path.c_str());
    EXPECT_EQ(ItemState(LoadDecalTextureCommand), static_cast<int>(MenuItemChecked));
    std::string bad = PutFile("bad.bmp", MakeBmp24(3, 2, 1, 1, 1));
    LoadImageFile(Window(), bad.c_str());
    EXPECT_EQ(ItemState(LoadDecalTextureCommand), static_cast<int>(MenuItemGrayed | MenuItemChecked));
}

TEST_F(LoadImageFileTest, RefusedHeightmapLeavesNone)
{
    std::vector<uint8_t> rle = MakeBmp24(4, 4, 1, 2, 3);
    PutU32(rle, 30, 1);
    const std::string odd = PutFile("odd.bmp", MakeBmp24(300, 200, 1, 2, 3));
    const std::string unsupported = PutFile("rle.bmp", rle);
    for (const auto& entry : {std::make_pair(odd, std::string("The image must be in powers of 2.")),
                              std::make_pair(unsupported, Unsupported(unsupported))}) {
        SCOPED_TRACE(entry.first);
        ASSERT_NO_FATAL_FAILURE(LoadGoodHeightmap());
        LoadImageFile(Window(), entry.first.c_str());
        EXPECT_EQ(StatusLine(), entry.second);
        EXPECT_EQ(HeightmapImage, nullptr);
        EXPECT_TRUE(TextureItemsGrayed());
        EXPECT_FALSE(GenerateEnabled());
        ExpectBufferClosed();
    }
}

TEST_F(LoadImageFileTest, UnopenableOrRefusedPathLeavesPreviousHeightmap)
{
    ASSERT_NO_FATAL_FAILURE(LoadGoodHeightmap());
    Image* previous = HeightmapImage;
    const std::string missing = exeDir + "/missing.bmp";
    for (const std::string& path : {missing, std::string("terrain.png"), std::string("terrain")}) {
        SCOPED_TRACE(path);
        LoadImageFile(Window(), path.c_str());
        EXPECT_EQ(HeightmapImage, previous);
        EXPECT_TRUE(TextureItemsEnabled());
        EXPECT_TRUE(GenerateEnabled());
        ExpectBufferClosed();
    }
    EXPECT_EQ(StatusLine(), "Couldn't determine extension for 'terrain'.");
}

TEST_F(LoadImageFileTest, FailedFirstHeightmapStillTakesItsTextureName)
{
    std::string path = PutFile("odd.bmp", MakeBmp24(6, 4, 1, 2, 3));
    LoadImageFile(Window(), path.c_str());
    EXPECT_EQ(StatusLine(), "The image must be in powers of 2.");
    EXPECT_EQ(HeightmapTextureId, 1u);
    EXPECT_EQ(NextTextureId, 2u);
    ASSERT_NO_FATAL_FAILURE(LoadGoodHeightmap());
    EXPECT_EQ(HeightmapTextureId, 1u);
    EXPECT_EQ(NextTextureId, 2u);
}

// Heightmaps with a side over 1024 warn before they load; textures never do.
TEST_F(LoadImageFileTest, HugeHeightmapWarnsAndLoads)
{
    struct Case {
        int width, height;
        ImageLoadModes mode;
        int warnings;
    } const cases[] = {
        {2048, 1024, Heightmap, 1}, {16, 2048, Heightmap, 1}, {1024, 1024, Heightmap, 0}, {2048, 16, Decal, 0}};
    for (const Case& entry : cases) {
        SCOPED_TRACE(std::to_string(entry.width) + "x" + std::to_string(entry.height));
        ClearHeadlessDialogCalls();
        std::string path = PutFile("huge.bmp", MakeBmp24(entry.width, entry.height, 10, 20, 30));
        LoadAs(entry.mode, path);
        ASSERT_EQ(MessageBoxCount(), entry.warnings);
        EXPECT_EQ(StatusLine(), Loaded(path));
        if (entry.warnings == 0)
            continue;
        const HeadlessDialogCall& call = HeadlessDialogCalls().back();
        EXPECT_EQ(call.owner, Window());
        EXPECT_EQ(call.text,
                  "WARNING! This image is huge. This may be very slow, and the mesh may be extremely tesselated.");
        EXPECT_EQ(call.caption, "Warning!");
        EXPECT_EQ(call.flags, MessageBoxOkButton);
        ASSERT_NE(HeightmapImage, nullptr);
        EXPECT_EQ(HeightmapImage->width, entry.width);
        EXPECT_TRUE(GenerateEnabled());
    }
}

// ---------------------------------------------------------------------------
// Textures touch nothing but their texture

TEST_F(LoadImageFileTest, DecalChangesOnlyTheDecalTexture)
{
    ASSERT_NO_FATAL_FAILURE(LoadGoodHeightmap());
    TakeTextureNames();
    Image* heightmap = HeightmapImage;
    std::string path = PutFile("decal.bmp", MakeBmp24(4, 2, 200, 100, 50));
    LoadAs(Decal, path);
    EXPECT_EQ(StatusLine(), Loaded(path));
    EXPECT_EQ(HeightmapImage, heightmap);
    EXPECT_TRUE(TextureItemsEnabled());
    EXPECT_TRUE(GenerateEnabled());
    int width, height;
    std::vector<uint8_t> rgba = ReadTexture(DecalTextureId, &width, &height);
    ASSERT_EQ(width, 4);
    ASSERT_EQ(height, 2);
    EXPECT_EQ(rgba[0], 200);
    EXPECT_EQ(rgba[1], 100);
    EXPECT_EQ(rgba[2], 50);
    EXPECT_EQ(TextureWidth(NormalTextureId), 0) << "the normal map was touched";
    ExpectTextureEquals(HeightmapTextureId, HeightmapImage);
    ExpectBufferClosed();
}

TEST_F(LoadImageFileTest, NormalMapGoesToTheNormalTexture)
{
    TakeTextureNames();
    std::string path = PutFile("normal.bmp", MakeBmp24(2, 2, 128, 128, 255));
    LoadAs(NormalMap, path);
    EXPECT_EQ(StatusLine(), Loaded(path));
    int width, height;
    std::vector<uint8_t> rgba = ReadTexture(NormalTextureId, &width, &height);
    ASSERT_EQ(width, 2);
    EXPECT_EQ(rgba[2], 255);
    EXPECT_EQ(TextureWidth(DecalTextureId), 0) << "the decal was touched";
    // A texture load never enables the heightmap's controls.
    EXPECT_TRUE(TextureItemsGrayed());
    EXPECT_FALSE(GenerateEnabled());
    EXPECT_EQ(HeightmapImage, nullptr);
}

TEST_F(LoadImageFileTest, RefusedTextureChangesNothing)
{
    ASSERT_NO_FATAL_FAILURE(LoadGoodHeightmap());
    TakeTextureNames();
    Image* heightmap = HeightmapImage;
    LoadAs(Decal, PutFile("first.bmp", MakeBmp24(2, 2, 11, 22, 33)));
    std::vector<uint8_t> v4 = MakeBmp24(2, 2, 1, 2, 3);
    PutU32(v4, 14, 108);
    const std::string unsupported = PutFile("v4.bmp", v4);
    const std::string odd = PutFile("odd.bmp", MakeBmp24(100, 64, 1, 2, 3));
    for (ImageLoadModes mode : {Decal, NormalMap}) {
        for (const auto& entry : {std::make_pair(odd, std::string("The image must be in powers of 2.")),
                                  std::make_pair(unsupported, Unsupported(unsupported))}) {
            SCOPED_TRACE(entry.first + (mode == Decal ? " as decal" : " as normal map"));
            LoadAs(mode, entry.first);
            EXPECT_EQ(StatusLine(), entry.second);
            int width, height;
            std::vector<uint8_t> rgba = ReadTexture(DecalTextureId, &width, &height);
            ASSERT_EQ(width, 2);
            EXPECT_EQ(rgba[0], 11);
            EXPECT_EQ(TextureWidth(NormalTextureId), 0);
            EXPECT_EQ(HeightmapImage, heightmap);
            EXPECT_TRUE(TextureItemsEnabled());
            EXPECT_TRUE(GenerateEnabled());
            ExpectBufferClosed();
        }
    }
}

// Without names from start-up, a texture load takes one instead of writing
// into the GL's default texture and calling that a failure.
TEST_F(LoadImageFileTest, TextureWithoutNameTakesOne)
{
    std::string path = PutFile("decal.bmp", MakeBmp24(2, 2, 1, 2, 3));
    LoadAs(Decal, path);
    EXPECT_EQ(StatusLine(), Loaded(path));
    EXPECT_EQ(DecalTextureId, 1u);
    EXPECT_EQ(NextTextureId, 2u);
}

// ---------------------------------------------------------------------------
// The menu commands and their Open dialogs

TEST_F(LoadImageFileTest, LoadHeightmapCommandShowsOpenDialogAndLoads)
{
    std::string path = PutFile("chosen.bmp", MakeBmp24(4, 4, 1, 2, 3));
    QueueFileDialogAnswer(path.c_str());
    OnLoadHeightmap();
    ASSERT_EQ(HeadlessDialogCalls().size(), 1u);
    const HeadlessDialogCall& call = HeadlessDialogCalls()[0];
    EXPECT_EQ(call.kind, HeadlessOpenFileDialog);
    EXPECT_EQ(call.owner, Window());
    EXPECT_EQ(call.filter, "Bitmap files (*.bmp)|*.bmp||");
    EXPECT_EQ(call.defaultExtension, "");
    EXPECT_EQ(call.flags, 0u);
    EXPECT_EQ(StatusLine(), Loaded(path));
    EXPECT_NE(HeightmapImage, nullptr);
    EXPECT_EQ(ImageLoadMode, Heightmap);
}

TEST_F(LoadImageFileTest, CancelledDialogLoadsNothing)
{
    ASSERT_NO_FATAL_FAILURE(LoadGoodHeightmap());
    Image* heightmap = HeightmapImage;
    SetControlText(Window(), StatusLineControl, "before");
    QueueFileDialogAnswer(nullptr);
    OnLoadHeightmap();
    QueueFileDialogAnswer(nullptr);
    OnLoadDecalTexture();
    EXPECT_EQ(HeadlessDialogCalls().size(), 2u);
    EXPECT_EQ(StatusLine(), "before");
    EXPECT_EQ(HeightmapImage, heightmap);
    EXPECT_EQ(ImageLoadMode, Heightmap);
}

TEST_F(LoadImageFileTest, TextureCommandsLoadTheirTexturesAndRestoreTheMode)
{
    ASSERT_NO_FATAL_FAILURE(LoadGoodHeightmap());
    TakeTextureNames();
    Image* heightmap = HeightmapImage;
    std::string decal = PutFile("decal.bmp", MakeBmp24(2, 2, 40, 0, 0));
    std::string normal = PutFile("normal.bmp", MakeBmp24(2, 2, 0, 80, 0));
    QueueFileDialogAnswer(decal.c_str());
    OnLoadDecalTexture();
    EXPECT_EQ(ImageLoadMode, Heightmap);
    EXPECT_EQ(StatusLine(), Loaded(decal));
    QueueFileDialogAnswer(normal.c_str());
    OnLoadNormalTexture();
    EXPECT_EQ(ImageLoadMode, Heightmap);
    EXPECT_EQ(StatusLine(), Loaded(normal));
    for (const HeadlessDialogCall& call : HeadlessDialogCalls()) {
        EXPECT_EQ(call.filter, "Bitmap files (*.bmp)|*.bmp||");
        EXPECT_EQ(call.owner, Window());
    }
    int width, height;
    EXPECT_EQ(ReadTexture(DecalTextureId, &width, &height)[0], 40);
    EXPECT_EQ(ReadTexture(NormalTextureId, &width, &height)[1], 80);
    EXPECT_EQ(HeightmapImage, heightmap);
    // A texture command that fails still gives the mode back, so the next drop is a heightmap.
    QueueFileDialogAnswer("nowhere/missing.bmp");
    OnLoadNormalTexture();
    EXPECT_EQ(StatusLine(), "Could not open 'nowhere/missing.bmp'.");
    EXPECT_EQ(ImageLoadMode, Heightmap);
}

class NoMainWindowTest : public MainWindowTest {};

TEST_F(NoMainWindowTest, CommandsDoNothingWithoutTheMainWindow)
{
    QueueFileDialogAnswer("/tmp/x.bmp");
    OnLoadHeightmap();
    OnLoadDecalTexture();
    OnLoadNormalTexture();
    EXPECT_TRUE(HeadlessDialogCalls().empty());
    EXPECT_EQ(HeightmapImage, nullptr);
    // The message of a read with no file has nowhere to go, and nothing breaks.
    EXPECT_EQ(GetBMPFromBuffer(), nullptr);
}
