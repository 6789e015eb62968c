// Image loading: the three Load menu commands, LoadImageFile, which every
// picture the user names goes through, and the default textures.
//
// Contents: the module's globals; the texture items and Generate button;
// LoadImageFile and its two branches; the menu commands; the defaults.
#include "image/image_load.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/file_buffer.h"
#include "image/picture_texture.h"
#include "image/png_read.h"
#include "image/report_message.h"
#include "platform/shell.h"
#include "resources/resource_ids.h"

int ImageLoadMode = Heightmap;
// Owned here; read by mesh generation and the preview's overlay, freed at shut-down.
Image* HeightmapImage = nullptr;
char LoadedHeightmapPath[4096];

static const size_t PathBufferSize = 4096;
// The paths last chosen in each command's Open dialog.
static char HeightmapPath[PathBufferSize];
static char DecalPath[PathBufferSize];
static char NormalPath[PathBufferSize];

bool HeightmapAnySize = false;
const char* OpenDialogFolder = nullptr;
uint32_t HeightmapLoadCount = 0;

static const int HugeImageSide = 1024;
// The overlay texture of a heightmap that cannot be uploaded as it is: at most this many
// pixels on a side.
static const int32_t OverlayLargestSide = 2048;
static const char* const BitmapFilter =
    "Pictures (*.bmp;*.png)|*.bmp;*.png|Bitmap files (*.bmp)|*.bmp|PNG files (*.png)|*.png||";

// ---------------------------------------------------------------------------
// The texture items and the Generate button, usable only with a heightmap

static void SetMenuItemGrayed(WindowHandle window, unsigned commandId, bool grayed)
{
    int state = GetMenuItemState(window, commandId);
    if (state < 0)
        return;
    unsigned bits = static_cast<unsigned>(state);
    SetMenuItemState(window, commandId, grayed ? bits | MenuItemGrayed : bits & ~MenuItemGrayed);
}

static void EnableHeightmapControls(WindowHandle window, bool enable)
{
    if (WindowHasMenu(window)) {
        SetMenuItemGrayed(window, LoadDecalTextureCommand, !enable);
        SetMenuItemGrayed(window, LoadNormalTextureCommand, !enable);
    }
    EnableControl(window, GenerateButtonControl, enable);
}

// A texture name of 0 would upload into the GL's default texture and then read
// as a refusal; a name not yet taken is taken now.
static uint32_t EnsureTextureId(uint32_t* name)
{
    if (*name == 0)
        *name = TakeTextureId();
    return *name;
}

// ---------------------------------------------------------------------------
// LoadImageFile

// The text after the last '.' anywhere in the path, or null without one.
static const char* FindExtension(const char* path)
{
    const char* dot = strrchr(path, '.');
    return dot ? dot + 1 : nullptr;
}

static bool IsPowerOfTwo(int32_t side)
{
    return side > 0 && (side & (side - 1)) == 0;
}

static int32_t PowerOfTwoAtMost(int32_t side)
{
    int32_t power = 1;
    while (power <= side / 2)
        power *= 2;
    return power;
}

// The buffer's picture, by the path's extension. A heightmap keeps 16-bit samples.
static Image* DecodeBuffer(bool png, bool heightmap)
{
    if (!png)
        return GetBMPFromBuffer();
    return DecodePNG(TheFileBuffer.bytes, static_cast<size_t>(TheFileBuffer.length), heightmap);
}

// An RGBA picture with power-of-two sides for the overlay: reduced to the overlay's size,
// then each pixel taken from the nearest one of the reduced picture.
static Image* OverlayPicture(const Image* image)
{
    Image* reduced = ImageToDisplayPixels(image, OverlayLargestSide);
    if (!reduced || (IsPowerOfTwo(reduced->width) && IsPowerOfTwo(reduced->height)))
        return reduced;
    const int32_t width = PowerOfTwoAtMost(reduced->width), height = PowerOfTwoAtMost(reduced->height);
    Image* overlay = static_cast<Image*>(malloc(sizeof(Image) + 4 * static_cast<size_t>(width) * height));
    if (overlay) {
        *overlay = Image{width, height, nullptr};
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const size_t from = static_cast<size_t>(y) * reduced->height / height * reduced->width +
                    static_cast<size_t>(x) * reduced->width / width;
                memcpy(overlay->pixels + 4 * (static_cast<size_t>(y) * width + x), reduced->pixels + 4 * from, 4);
            }
    }
    FreeImage(reduced);
    return overlay;
}

// The heightmap's overlay texture; false when the grid's power-of-two rule refuses it.
static bool UploadOverlay(const Image* image)
{
    const bool powerOfTwo = IsPowerOfTwo(image->width) && IsPowerOfTwo(image->height);
    if (!powerOfTwo && !HeightmapAnySize)
        return false;
    if (powerOfTwo && !image->samples)
        return UploadTexture(image, EnsureTextureId(&HeightmapTextureId)) != 0;
    Image* overlay = OverlayPicture(image);
    const bool uploaded = overlay && UploadTexture(overlay, EnsureTextureId(&HeightmapTextureId)) != 0;
    FreeImage(overlay);
    return uploaded;
}

// Decal or normal map: only that texture changes.
static bool LoadTexturePicture(WindowHandle window, const char* path, bool png)
{
    Image* image = DecodeBuffer(png, false);
    if (!image) {
        ReportMessage(window, "'%s' is in an unsupported bitmap mode.", path);
        CloseFileBuffer();
        return false;
    }
    uint32_t* target = ImageLoadMode == NormalMap ? &NormalTextureId : &DecalTextureId;
    const bool uploaded = UploadTexture(image, EnsureTextureId(target)) != 0;
    if (!uploaded)
        ReportMessage(window, "The image must be in powers of 2.");
    else
        ReportMessage(window, "Successfully loaded '%s'.", path);
    FreeImage(image);
    CloseFileBuffer();
    return uploaded;
}

// The heightmap: the old one is dropped first, so any failure leaves none.
static bool LoadHeightmapPicture(WindowHandle window, const char* path, bool png)
{
    EnableHeightmapControls(window, false);
    LoadedHeightmapPath[0] = '\0';
    FreeImage(HeightmapImage);
    HeightmapImage = DecodeBuffer(png, true);
    if (!HeightmapImage) {
        ReportMessage(window, "'%s' is in an unsupported bitmap mode.", path);
        CloseFileBuffer();
        return false;
    }
    if (HeightmapImage->width > HugeImageSide || HeightmapImage->height > HugeImageSide)
        ShowMessageBox(window,
                       "WARNING! This image is huge. This may be very slow, and the mesh may be "
                       "extremely tesselated.",
                       "Warning!", MessageBoxOkButton);
    if (!UploadOverlay(HeightmapImage)) {
        FreeImage(HeightmapImage);
        HeightmapImage = nullptr;
        ReportMessage(window, "The image must be in powers of 2.");
        CloseFileBuffer();
        return false;
    }
    ReportMessage(window, "Successfully loaded '%s'.", path);
    ++HeightmapLoadCount;
    snprintf(LoadedHeightmapPath, sizeof LoadedHeightmapPath, "%s", path);
    EnableHeightmapControls(window, true);
    CloseFileBuffer();
    return true;
}

bool LoadImageFile(WindowHandle window, const char* path)
{
    if (!path)
        return false;
    const char* extension = FindExtension(path);
    if (!extension) {
        ReportMessage(window, "Couldn't determine extension for '%s'.", path);
        return false;
    }
    const bool png = strcasecmp(extension, "png") == 0;
    if (strcasecmp(extension, "bmp") != 0 && !png) {
        ReportMessage(window, "Extension '%s' is unknown.", extension);
        return false;
    }
    if (!OpenFileBuffer(path)) {
        ReportMessage(window, "Could not open '%s'.", path);
        return false;
    }
    if (ImageLoadMode != Heightmap)
        return LoadTexturePicture(window, path, png);
    return LoadHeightmapPicture(window, path, png);
}

// ---------------------------------------------------------------------------
// The Load menu commands

// Shows the Open dialog and loads the chosen file as `mode`; the mode is back
// at Heightmap afterwards, so drops and the command line always load heightmaps.
static void RunLoadCommand(char* pathBuffer, int mode)
{
    WindowHandle window = MainWindow;
    if (!window)
        return;
    FileDialogRequest request = {window, false, BitmapFilter, nullptr, 0, nullptr, nullptr};
    if (OpenDialogFolder && OpenDialogFolder[0] != '\0')
        request.initialFolder = OpenDialogFolder;
    if (!ShowFileDialog(request, pathBuffer, PathBufferSize))
        return;
    ImageLoadMode = mode;
    LoadImageFile(window, pathBuffer);
    ImageLoadMode = Heightmap;
}

void OnLoadHeightmap()
{
    RunLoadCommand(HeightmapPath, Heightmap);
}

void OnLoadDecalTexture()
{
    RunLoadCommand(DecalPath, Decal);
}

void OnLoadNormalTexture()
{
    RunLoadCommand(NormalPath, NormalMap);
}

// ---------------------------------------------------------------------------
// Default textures

// Stand-ins where a default texture cannot be read: a white decal and a flat normal
// map, so that the mesh is drawn lit and untextured rather than black.
static const uint8_t PlainDecalTexel[4] = {255, 255, 255, 255};
static const uint8_t FlatNormalTexel[4] = {128, 128, 255, 255};

static void UploadOneTexel(const uint8_t* texel, uint32_t* name)
{
    Image* image = static_cast<Image*>(calloc(1, sizeof(Image) + 4));
    if (!image)
        return;
    image->width = 1;
    image->height = 1;
    memcpy(image->pixels, texel, 4);
    UploadTexture(image, EnsureTextureId(name));
    FreeImage(image);
}

// False when the file cannot be read, is no accepted BMP or cannot be a texture (sides
// that are no powers of two); the stand-in texel is uploaded then.
static bool LoadDefaultTexture(const char* fileName, const uint8_t* standIn, uint32_t* name)
{
    char path[PathBufferSize];
    snprintf(path, sizeof path, "%s/assets/%s", ExeDirectory, fileName);
    Image* image = OpenFileBuffer(path) ? GetBMPFromBuffer() : nullptr;
    CloseFileBuffer();
    const bool uploaded = image && UploadTexture(image, EnsureTextureId(name)) != 0;
    FreeImage(image);
    if (!uploaded)
        UploadOneTexel(standIn, name);
    return uploaded;
}

void LoadDefaultTextures()
{
    const bool decal = LoadDefaultTexture("deftex.bmp", PlainDecalTexel, &DecalTextureId);
    const bool normalMap = LoadDefaultTexture("defnrm.bmp", FlatNormalTexel, &NormalTextureId);
    if (!decal || !normalMap)
        ReportMessage(MainWindow, "Could not load the default textures from '%s/assets'.", ExeDirectory);
}
