// LoadImageFile and the Load menu commands on the real main window: the
// message table, the texture items and Generate button after each outcome,
// texture names, the huge-image warning and the Open dialogs.
#include "tests/image/image_window_fixture.h"

using namespace bmptest;

static const char* const HugeWarning =
    "WARNING! This image is huge. This may be very slow, and the mesh may be extremely tesselated.";

class LoadImageFileTest : public ImageWindowTest {
protected:
    // Loads a good 4 x 4 heightmap; the state every "leaves things as they were" test starts from.
    void LoadGoodHeightmap()
    {
        std::string path = PutFile("good.bmp", MakeBmp24(4, 4, 50, 60, 70));
        LoadImageFile(Window(), path.c_str());
        ASSERT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
        ASSERT_NE(HeightmapImage, nullptr);
        ASSERT_TRUE(TextureItemsEnabled());
        ASSERT_TRUE(GenerateEnabled());
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

// ---------------------------------------------------------------------------
// The message table

TEST_F(LoadImageFileTest, ExtensionIsAfterTheLastDotEvenInAFolderName)
{
    LoadImageFile(Window(), "C:\\maps.old\\terrain");
    EXPECT_EQ(StatusLine(), "Extension 'old\\terrain' is unknown.");
    ExpectBufferClosed();
}

TEST_F(LoadImageFileTest, PathWithoutDotHasNoExtension)
{
    LoadImageFile(Window(), "terrain");
    EXPECT_EQ(StatusLine(), "Couldn't determine extension for 'terrain'.");
    LoadImageFile(Window(), "/maps/terrain");
    EXPECT_EQ(StatusLine(), "Couldn't determine extension for '/maps/terrain'.");
}

TEST_F(LoadImageFileTest, OnlyTheLastExtensionCounts)
{
    LoadImageFile(Window(), "terrain.bmp.txt");
    EXPECT_EQ(StatusLine(), "Extension 'txt' is unknown.");
    LoadImageFile(Window(), "terrain.");
    EXPECT_EQ(StatusLine(), "Extension '' is unknown.");
    LoadImageFile(Window(), "terrain.bmpx");
    EXPECT_EQ(StatusLine(), "Extension 'bmpx' is unknown.");
}

TEST_F(LoadImageFileTest, ExtensionIgnoresCase)
{
    for (const char* name : {"upper.BMP", "mixed.Bmp", "lower.bmp"}) {
        SCOPED_TRACE(name);
        std::string path = PutFile(name, MakeBmp24(2, 2, 1, 2, 3));
        LoadImageFile(Window(), path.c_str());
        EXPECT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
        ExpectBufferClosed();
    }
}

TEST_F(LoadImageFileTest, MissingFileCannotBeOpened)
{
    std::string path = exeDir + "/missing.bmp";
    LoadImageFile(Window(), path.c_str());
    EXPECT_EQ(StatusLine(), "Could not open '" + path + "'.");
    ExpectBufferClosed();
}

TEST_F(LoadImageFileTest, UnsupportedModeIsNamed)
{
    std::vector<uint8_t> bytes = MakeBmp24(2, 2, 1, 2, 3);
    PutU16(bytes, 28, 8);
    std::string path = PutFile("eight.bmp", bytes);
    LoadImageFile(Window(), path.c_str());
    EXPECT_EQ(StatusLine(), "'" + path + "' is in an unsupported bitmap mode.");
    ExpectBufferClosed();
}

TEST_F(LoadImageFileTest, TruncatedFileIsAnUnsupportedMode)
{
    std::vector<uint8_t> bytes = MakeBmp24(4, 4, 1, 2, 3);
    bytes.pop_back();
    std::string path = PutFile("short.bmp", bytes);
    LoadImageFile(Window(), path.c_str());
    EXPECT_EQ(StatusLine(), "'" + path + "' is in an unsupported bitmap mode.");
    EXPECT_EQ(HeightmapImage, nullptr);
    ExpectBufferClosed();
}

TEST_F(LoadImageFileTest, NoFileBufferIsReportedOnTheMainWindow)
{
    Image* image = GetBMPFromBuffer(0, 0);
    EXPECT_EQ(image, nullptr);
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
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
    ASSERT_NE(HeightmapImage, nullptr);
    ASSERT_EQ(HeightmapImage->width, 8);
    ASSERT_EQ(HeightmapImage->height, 4);
    for (size_t i = 0; i < 8 * 4; ++i) {
        EXPECT_EQ(HeightmapImage->pixels[i * 4 + 0], rgb[i * 3 + 0]);
        EXPECT_EQ(HeightmapImage->pixels[i * 4 + 1], rgb[i * 3 + 1]);
        EXPECT_EQ(HeightmapImage->pixels[i * 4 + 2], rgb[i * 3 + 2]);
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
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
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

TEST_F(LoadImageFileTest, NonPowerOfTwoHeightmapLeavesNone)
{
    ASSERT_NO_FATAL_FAILURE(LoadGoodHeightmap());
    std::string path = PutFile("odd.bmp", MakeBmp24(300, 200, 1, 2, 3));
    LoadImageFile(Window(), path.c_str());
    EXPECT_EQ(StatusLine(), "The image must be in powers of 2.");
    EXPECT_EQ(HeightmapImage, nullptr);
    EXPECT_TRUE(TextureItemsGrayed());
    EXPECT_FALSE(GenerateEnabled());
    ExpectBufferClosed();
}

TEST_F(LoadImageFileTest, UnsupportedHeightmapLeavesNone)
{
    ASSERT_NO_FATAL_FAILURE(LoadGoodHeightmap());
    std::vector<uint8_t> bytes = MakeBmp24(4, 4, 1, 2, 3);
    PutU32(bytes, 30, 1);
    std::string path = PutFile("rle.bmp", bytes);
    LoadImageFile(Window(), path.c_str());
    EXPECT_EQ(StatusLine(), "'" + path + "' is in an unsupported bitmap mode.");
    EXPECT_EQ(HeightmapImage, nullptr);
    EXPECT_TRUE(TextureItemsGrayed());
    EXPECT_FALSE(GenerateEnabled());
    ExpectBufferClosed();
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

// ---------------------------------------------------------------------------
// The huge-image warning

TEST_F(LoadImageFileTest, WideHugeHeightmapWarnsAndLoads)
{
    std::string path = PutFile("huge.bmp", MakeBmp24(2048, 1024, 10, 20, 30));
    LoadImageFile(Window(), path.c_str());
    ASSERT_EQ(MessageBoxCount(), 1);
    const HeadlessDialogCall& call = HeadlessDialogCalls().back();
    EXPECT_EQ(call.kind, HeadlessMessageBox);
    EXPECT_EQ(call.owner, Window());
    EXPECT_EQ(call.text, HugeWarning);
    EXPECT_EQ(call.caption, "Warning!");
    EXPECT_EQ(call.flags, MessageBoxOkButton);
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
    ASSERT_NE(HeightmapImage, nullptr);
    EXPECT_EQ(HeightmapImage->width, 2048);
    EXPECT_TRUE(GenerateEnabled());
}

TEST_F(LoadImageFileTest, TallHugeHeightmapWarns)
{
    std::string path = PutFile("tall.bmp", MakeBmp24(16, 2048, 10, 20, 30));
    LoadImageFile(Window(), path.c_str());
    EXPECT_EQ(MessageBoxCount(), 1);
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
}

TEST_F(LoadImageFileTest, SidesOf1024GiveNoWarning)
{
    std::string path = PutFile("big.bmp", MakeBmp24(1024, 1024, 10, 20, 30));
    LoadImageFile(Window(), path.c_str());
    EXPECT_EQ(MessageBoxCount(), 0);
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
}

TEST_F(LoadImageFileTest, HugeTextureGivesNoWarning)
{
    std::string path = PutFile("hugedecal.bmp", MakeBmp24(2048, 16, 10, 20, 30));
    ImageLoadMode = Decal;
    LoadImageFile(Window(), path.c_str());
    ImageLoadMode = Heightmap;
    EXPECT_EQ(MessageBoxCount(), 0);
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
}

// ---------------------------------------------------------------------------
// Textures touch nothing but their texture

TEST_F(LoadImageFileTest, DecalChangesOnlyTheDecalTexture)
{
    ASSERT_NO_FATAL_FAILURE(LoadGoodHeightmap());
    DecalTextureId = TakeTextureId();
    NormalTextureId = TakeTextureId();
    Image* heightmap = HeightmapImage;
    std::string path = PutFile("decal.bmp", MakeBmp24(4, 2, 200, 100, 50));
    ImageLoadMode = Decal;
    LoadImageFile(Window(), path.c_str());
    ImageLoadMode = Heightmap;
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
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
    ReadTexture(NormalTextureId, &width, &height);
    EXPECT_EQ(width, 0) << "the normal map was touched";
    ExpectTextureEquals(HeightmapTextureId, HeightmapImage);
    ExpectBufferClosed();
}

TEST_F(LoadImageFileTest, NormalMapGoesToTheNormalTexture)
{
    DecalTextureId = TakeTextureId();
    NormalTextureId = TakeTextureId();
    std::string path = PutFile("normal.bmp", MakeBmp24(2, 2, 128, 128, 255));
    ImageLoadMode = NormalMap;
    LoadImageFile(Window(), path.c_str());
    ImageLoadMode = Heightmap;
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
    int width, height;
    std::vector<uint8_t> rgba = ReadTexture(NormalTextureId, &width, &height);
    ASSERT_EQ(width, 2);
    EXPECT_EQ(rgba[2], 255);
    ReadTexture(DecalTextureId, &width, &height);
    EXPECT_EQ(width, 0) << "the decal was touched";
    // A texture load never enables the heightmap's controls.
    EXPECT_TRUE(TextureItemsGrayed());
    EXPECT_FALSE(GenerateEnabled());
    EXPECT_EQ(HeightmapImage, nullptr);
}

TEST_F(LoadImageFileTest, NonPowerOfTwoDecalKeepsThePreviousDecal)
{
    ASSERT_NO_FATAL_FAILURE(LoadGoodHeightmap());
    DecalTextureId = TakeTextureId();
    Image* heightmap = HeightmapImage;
    ImageLoadMode = Decal;
    std::string first = PutFile("first.bmp", MakeBmp24(2, 2, 11, 22, 33));
    LoadImageFile(Window(), first.c_str());
    std::string odd = PutFile("odd.bmp", MakeBmp24(100, 64, 1, 2, 3));
    LoadImageFile(Window(), odd.c_str());
    ImageLoadMode = Heightmap;
    EXPECT_EQ(StatusLine(), "The image must be in powers of 2.");
    int width, height;
    std::vector<uint8_t> rgba = ReadTexture(DecalTextureId, &width, &height);
    ASSERT_EQ(width, 2);
    EXPECT_EQ(rgba[0], 11);
    EXPECT_EQ(HeightmapImage, heightmap);
    EXPECT_TRUE(GenerateEnabled());
    ExpectBufferClosed();
}

TEST_F(LoadImageFileTest, UnsupportedTextureChangesNothing)
{
    ASSERT_NO_FATAL_FAILURE(LoadGoodHeightmap());
    Image* heightmap = HeightmapImage;
    std::vector<uint8_t> bytes = MakeBmp24(2, 2, 1, 2, 3);
    PutU32(bytes, 14, 108);
    std::string path = PutFile("v4.bmp", bytes);
    ImageLoadMode = NormalMap;
    LoadImageFile(Window(), path.c_str());
    ImageLoadMode = Heightmap;
    EXPECT_EQ(StatusLine(), "'" + path + "' is in an unsupported bitmap mode.");
    EXPECT_EQ(HeightmapImage, heightmap);
    EXPECT_TRUE(TextureItemsEnabled());
    EXPECT_TRUE(GenerateEnabled());
    ExpectBufferClosed();
}

// Without names from start-up, a texture load takes one instead of writing
// into the GL's default texture and calling that a failure.
TEST_F(LoadImageFileTest, TextureWithoutNameTakesOne)
{
    std::string path = PutFile("decal.bmp", MakeBmp24(2, 2, 1, 2, 3));
    ImageLoadMode = Decal;
    LoadImageFile(Window(), path.c_str());
    ImageLoadMode = Heightmap;
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
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
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + path + "'.");
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
    DecalTextureId = TakeTextureId();
    NormalTextureId = TakeTextureId();
    Image* heightmap = HeightmapImage;
    std::string decal = PutFile("decal.bmp", MakeBmp24(2, 2, 40, 0, 0));
    std::string normal = PutFile("normal.bmp", MakeBmp24(2, 2, 0, 80, 0));
    QueueFileDialogAnswer(decal.c_str());
    OnLoadDecalTexture();
    EXPECT_EQ(ImageLoadMode, Heightmap);
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + decal + "'.");
    QueueFileDialogAnswer(normal.c_str());
    OnLoadNormalTexture();
    EXPECT_EQ(ImageLoadMode, Heightmap);
    EXPECT_EQ(StatusLine(), "Successfully loaded '" + normal + "'.");
    for (const HeadlessDialogCall& call : HeadlessDialogCalls()) {
        EXPECT_EQ(call.filter, "Bitmap files (*.bmp)|*.bmp||");
        EXPECT_EQ(call.owner, Window());
    }
    int width, height;
    EXPECT_EQ(ReadTexture(DecalTextureId, &width, &height)[0], 40);
    EXPECT_EQ(ReadTexture(NormalTextureId, &width, &height)[1], 80);
    EXPECT_EQ(HeightmapImage, heightmap);
}

// A decal command that fails still gives the mode back, so the next drop is a heightmap.
TEST_F(LoadImageFileTest, FailedTextureCommandRestoresTheMode)
{
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
    EXPECT_EQ(GetBMPFromBuffer(0, 0), nullptr);
}
