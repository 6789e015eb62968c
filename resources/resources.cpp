// The program's dialog templates, menu, strings and icon.
#include "resources/resources.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#define ORVANEL_TEXT(value) #value
#define ORVANEL_NUMBER_TEXT(number) ORVANEL_TEXT(number)
const char ReleaseLine[] = "Orvanel, release " ORVANEL_NUMBER_TEXT(ORVANEL_RELEASE);

// ---------------------------------------------------------------------------
// Dialog templates

static const ControlTemplate AboutControls[] = {
    {AboutIconControl, ControlIcon, "", 11, 17, 20, 20, 0},
    {-1, ControlLabel, ReleaseLine, 40, 10, 119, 8, StyleNoPrefix},
    {-1, ControlLabel, "Heightmaps into textured 3DS meshes", 40, 29, 185, 8, 0},
    {1, ControlDefaultPushButton, "OK", 178, 7, 50, 16, 0},
};

static const ControlTemplate MainControls[] = {
    {PreviewFrameControl, ControlFrame, "", 7, 26, 334, 207, 0},
    {GenerateButtonControl, ControlDefaultPushButton, "&Generate", 7, 1, 48, 13, StyleDisabled},
    {-1, ControlLabel, "Preview:", 7, 17, 57, 8, 0},
    {StatusDetailControl, ControlLabel, "", 66, 17, 275, 8, StyleNoPrefix},
    {StatusLineControl, ControlEdit, "", 59, 1, 201, 12, StyleReadOnly | StyleBorder},
};

static const ControlTemplate PropertiesControls[] = {
    {-1, ControlLabel, "Texture stretching:", 7, 7, 117, 8, 0},
    {StretchTrackbarControl, ControlTrackbar, "", 7, 16, 151, 12, 0},
    {-1, ControlLabel, "Grid fuzz (more means less tesselation):", 7, 28, 144, 8, 0},
    {FuzzTrackbarControl, ControlTrackbar, "", 7, 38, 151, 12, 0},
    {-1, ControlLabel, "Height scaling:", 7, 51, 144, 8, 0},
    {HeightTrackbarControl, ControlTrackbar, "", 7, 61, 151, 12, 0},
    {-1, ControlLabel, "Overall scale:", 7, 74, 144, 8, 0},
    {ScaleTrackbarControl, ControlTrackbar, "", 7, 84, 151, 12, 0},
    {SetDefaultsButtonControl, ControlPushButton, "&Set defaults", 110, 108, 48, 17, 0},
    {BackgroundColorButtonControl, ControlPushButton, "&Background color", 7, 99, 65, 16, 0},
    {EliminateCheckboxControl, ControlCheckbox, "&Eliminate 0-height tris", 75, 99, 83, 8, 0},
    {AdaptiveCheckboxControl, ControlCheckbox, "&Adaptive mesh (any size)", 7, 130, 151, 8, 0},
    {-1, ControlLabel, "Max faces (0: the format's limit):", 7, 143, 110, 8, 0},
    {MaxFacesEditControl, ControlEdit, "", 118, 141, 40, 12, StyleBorder},
    {-1, ControlLabel, "Max error (levels):", 7, 157, 110, 8, 0},
    {MaxErrorEditControl, ControlEdit, "", 118, 155, 40, 12, StyleBorder},
    {SplitObjectsCheckboxControl, ControlCheckbox, "S&plit .3ds into several objects", 7, 171, 151, 8, 0},
    {SolidCheckboxControl, ControlCheckbox, "Close into a s&olid, base:", 7, 185, 110, 8, 0},
    {SolidBaseEditControl, ControlEdit, "", 118, 183, 40, 12, StyleBorder},
    {StretchValueControl, ControlLabel, "", 162, 18, 50, 8, StyleNoPrefix},
    {FuzzValueControl, ControlLabel, "", 162, 40, 50, 8, StyleNoPrefix},
    {HeightValueControl, ControlLabel, "", 162, 63, 50, 8, StyleNoPrefix},
    {ScaleValueControl, ControlLabel, "", 162, 86, 50, 8, StyleNoPrefix},
};

#define COUNT_OF(array) static_cast<int>(sizeof(array) / sizeof((array)[0]))

static const DialogTemplate DialogTemplates[] = {
    {AboutDialogTemplate, "About Orvanel", 0, 0, 235, 55, WindowCaption | WindowSystemMenu, 0, AboutControls,
     COUNT_OF(AboutControls)},
    {MainDialogTemplate, "Orvanel", 0, 0, 348, 240,
     WindowVisible | WindowCaption | WindowSystemMenu | WindowSizing | WindowMinMaxBoxes | WindowAcceptFiles,
     MainMenuResource, MainControls, COUNT_OF(MainControls)},
    {PropertiesDialogTemplate, "Generation Properties", 0, 0, 216, 202, WindowCaption | WindowToolWindow, 0,
     PropertiesControls, COUNT_OF(PropertiesControls)},
};

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const DialogTemplate& dialog : DialogTemplates)
        if (dialog.id == id)
            return &dialog;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Menu

static const MenuItemTemplate FileItems[] = {
    {"Load &heightmap...\tCtrl+O", LoadHeightmapCommand, 0},
    {"&Generate...\tCtrl+G", static_cast<unsigned>(GenerateButtonControl), 0},
    {"Load &decal texture...", LoadDecalTextureCommand, 3u},
    {"Load &normal texture...", LoadNormalTextureCommand, 3u},
    {"(no recent heightmap)", RecentHeightmapCommand, 3u},
    {"(no recent heightmap)", RecentHeightmapCommand + 1, 3u},
    {"(no recent heightmap)", RecentHeightmapCommand + 2, 3u},
    {"(no recent heightmap)", RecentHeightmapCommand + 3, 3u},
    {"(no recent heightmap)", RecentHeightmapCommand + 4, 3u},
    {"E&xit\tCtrl+Q", ExitCommand, 0},
};

static const MenuItemTemplate ViewItems[] = {
    {"&Generation Properties", GenerationPropertiesCommand, 8u},
    {"&Wireframe", WireframeCommand, 8u},  // checkable; its mark follows the settings
    {"&Reset view\tHome", ResetViewCommand, 0},
};

static const MenuPopupTemplate MainMenuPopups[] = {
    {"&File", FileItems, COUNT_OF(FileItems)},
    {"&View", ViewItems, COUNT_OF(ViewItems)},
};

static const MenuTemplate MainMenu = {MainMenuResource, MainMenuPopups, COUNT_OF(MainMenuPopups)};

const MenuTemplate* FindMenuTemplate(int id)
{
    return id == MainMenu.id ? &MainMenu : nullptr;
}

// ---------------------------------------------------------------------------
// Strings

const char* LoadResourceString(int id)
{
    if (id == AboutMenuString)
        return "&About Orvanel...";
    return "";
}

// ---------------------------------------------------------------------------
// Icon: a small terrain of three ridges under a sky, drawn once on first use.

static const int IconSize = 32;
static uint8_t IconPixels[IconSize * IconSize * 4];
static const IconImage MainIconImage = {IconSize, IconSize, IconPixels};

static void PaintIconPixel(int x, int y)
{
    double ridge = 20.0 - 6.0 * std::sin(x * 0.35) - 3.0 * std::sin(x * 0.9 + 1.0);
    uint8_t* pixel = IconPixels + 4 * (y * IconSize + x);
    bool ground = y >= ridge;
    double depth = ground ? (y - ridge) / (IconSize - ridge + 1.0) : y / ridge;
    pixel[0] = static_cast<uint8_t>(ground ? 90 + 80 * (1.0 - depth) : 70 + 60 * depth);
    pixel[1] = static_cast<uint8_t>(ground ? 140 + 70 * (1.0 - depth) : 120 + 70 * depth);
    pixel[2] = static_cast<uint8_t>(ground ? 60 : 200 + 40 * depth);
    pixel[3] = 255;
}

const IconImage* FindIconImage(int id)
{
    if (id != MainIcon)
        return nullptr;
    if (IconPixels[3] == 0)
        for (int y = 0; y < IconSize; ++y)
            for (int x = 0; x < IconSize; ++x)
                PaintIconPixel(x, y);
    return &MainIconImage;
}

// ---------------------------------------------------------------------------
// Dialog units

static int MultiplyDivideRounded(int value, int multiplier, int divisor)
{
    long long product = static_cast<long long>(value) * multiplier;
    long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor : (product - half) / divisor);
}

int DialogUnitsToPixelsX(int units, int baseWidth)
{
    return MultiplyDivideRounded(units, baseWidth, 4);
}

int DialogUnitsToPixelsY(int units, int baseHeight)
{
    return MultiplyDivideRounded(units, baseHeight, 8);
}
