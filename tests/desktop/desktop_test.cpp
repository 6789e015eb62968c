// The real executable on a real X server: a copy of build/bin/orvanel runs
// under an Xvfb of the test's own and is driven from outside, as a user and
// a window manager would drive it: xdotool for keys and clicks, ImageMagick
// for screenshots, a small Xlib client for the close request and for reading
// the status line through the PRIMARY selection.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/desktop/program_copy.h"
#include "tests/desktop/x11_client.h"
#include "tests/support/xvfb_display.h"

namespace {

// Start-up under Xvfb with Mesa's software GL takes a second or two; these
// limits only bound a hang.
const int WindowTimeoutSeconds = 20;
const int ExitTimeoutMs = 15000;
const int SelectionTimeoutMs = 3000;
const int PollTimeoutMs = 10000;
// GTK counts clicks closer together than its double-click time (400 ms) as
// one series, and a fourth click in a series selects nothing: triple clicks
// are kept further apart than that.
const int ClickSeriesPauseMs = 600;

// The main window's template, in dialog units: the preview frame starts at
// (7, 26) and keeps a 7-unit margin right and below; the status line and
// the Generate button sit in the first row.
const int FrameLeftUnits = 7;
const int FrameTopUnits = 26;
const int FrameBottomMarginUnits = 7;
const int StatusLineCentreXUnits = 59 + 201 / 2;
const int StatusLineCentreYUnits = 1 + 12 / 2;

// The heightmap overlay's side in pixels, whatever the picture's size.
const int OverlaySide = 128;

// orvanel.cfg: the settings record's raw bytes: background colour, fragment program
// path, slider positions.
const long long ConfigurationSize = 2084;
const size_t FragmentProgramPathSize = 2048;

// ---------------------------------------------------------------------------
// Files

void PutLittleEndian(std::string* bytes, uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A 128 x 128 24-bit BMP, left half pure red (height 255), right half pure
// green (height 0): unmistakable in a screenshot, and the overlay shows it
// as it is, left stays left.
bool WriteRedGreenHeightmap(const std::string& path)
{
    const uint32_t side = 128, rowBytes = side * 3, pixelBytes = rowBytes * side;
    std::string bytes = "BM";
    // file size, reserved, pixel offset; info header size, width, height (bottom-up),
    // planes and bits per pixel, no compression, pixel bytes, 72 dpi twice, no palette
    for (uint32_t field :
         {54 + pixelBytes, 0u, 54u, 40u, side, side, 1u | (24u << 16), 0u, pixelBytes, 2835u, 2835u, 0u, 0u})
        PutLittleEndian(&bytes, field, 4);
    for (uint32_t y = 0; y < side; ++y)
        for (uint32_t x = 0; x < side; ++x)
            bytes += x < side / 2 ? std::string("\x00\x00\xFF", 3) : std::string("\x00\xFF\x00", 3);  // B, G, R
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// What orvanel.cfg must hold for the given slider positions, the default
// (black, opaque) background and the copy's own fragment program.
std::string ExpectedConfiguration(const std::string& exeDir, const std::vector<uint32_t>& positions)
{
    std::string bytes;
    const float color[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    for (float component : color) {
        uint32_t bits = 0;
        memcpy(&bits, &component, sizeof bits);
        PutLittleEndian(&bytes, bits, 4);
    }
    std::string path = exeDir + "/fp/light_std.fp";
    path.resize(FragmentProgramPathSize, '\0');
    bytes += path;
    for (uint32_t position : positions)
        PutLittleEndian(&bytes, position, 4);
    return bytes;
}

// ---------------------------------------------------------------------------
// The screen

struct Screenshot {
    int width = 0, height = 0;  // pixels
    std::string rgb;            // width x height x (R, G, B), top row first
};

bool TakeScreenshot(Screenshot* shot)
{
    std::string bytes;
    if (RunCommand("import -window root -depth 8 ppm:-", &bytes) != 0)
        return false;
    int maximum = 0, consumed = 0;
    if (sscanf(bytes.c_str(), "P6 %d %d %d%n", &shot->width, &shot->height, &maximum, &consumed) != 3 ||
        maximum != 255 || shot->width <= 0 || shot->height <= 0)
        return false;
    size_t start = static_cast<size_t>(consumed) + 1;  // one whitespace byte ends the header
    size_t need = static_cast<size_t>(shot->width) * static_cast<size_t>(shot->height) * 3;
    if (start > bytes.size() || need > bytes.size() - start)
        return false;
    shot->rgb = bytes.substr(start, need);
    return true;
}

// Counts the pixels of a rectangle that have exactly the colour.
int CountColor(const Screenshot& shot, const ScreenRect& area, uint8_t r, uint8_t g, uint8_t b)
{
    int count = 0;
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x) {
            if (x < 0 || y < 0 || x >= shot.width || y >= shot.height)
                continue;
            const char* p = shot.rgb.data() + 3 * (static_cast<size_t>(y) * shot.width + x);
            count +=
                static_cast<uint8_t>(p[0]) == r && static_cast<uint8_t>(p[1]) == g && static_cast<uint8_t>(p[2]) == b;
        }
    return count;
}

// Takes screenshots until `done(shot)` holds or the time is up; false when ImageMagick fails.
template <typename Done>
bool ScreenshotWhen(Screenshot* shot, Done done)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(PollTimeoutMs);
    do {
        if (!TakeScreenshot(shot))
            return false;
    } while (!done(*shot) && std::chrono::steady_clock::now() < deadline);
    return true;
}

// xdotool's window ids for a visible window whose whole title is `title`;
// 0 when none appears in time.
unsigned long FindVisibleWindow(const std::string& title)
{
    std::string output;
    RunCommand("timeout " + std::to_string(WindowTimeoutSeconds) + " xdotool search --sync --onlyvisible --name '^" +
                   title + "$' 2>/dev/null",
               &output);
    return strtoul(output.c_str(), nullptr, 10);
}

bool Xdotool(const std::string& arguments)
{
    return RunCommand("xdotool " + arguments) == 0;
}

// Where the main window's controls are on the screen, worked out from the
// preview canvas (the window's only child of any size) and the template's
// margins: one dialog unit is frame left / 7 pixels across and bottom
// margin / 7 pixels down, and the menu bar sits above the template.
struct MainWindowLayout {
    ScreenRect window;  // the main window's client area with the menu bar
    ScreenRect canvas;  // the GL canvas of the preview frame
    double unitX;       // pixels per horizontal dialog unit
    double unitY;       // pixels per vertical dialog unit
    int templateTop;    // screen y of dialog unit 0, below the menu bar
};

bool MeasureMainWindow(unsigned long window, MainWindowLayout* layout)
{
    if (!GetWindowRect(window, &layout->window) || !GetLargestChildRect(window, &layout->canvas))
        return false;
    const int left = layout->canvas.x - layout->window.x;
    const int bottomMargin = (layout->window.y + layout->window.height) - (layout->canvas.y + layout->canvas.height);
    layout->unitX = static_cast<double>(left) / FrameLeftUnits;
    layout->unitY = static_cast<double>(bottomMargin) / FrameBottomMarginUnits;
    layout->templateTop = layout->canvas.y - static_cast<int>(FrameTopUnits * layout->unitY + 0.5);
    return layout->unitX > 0 && layout->unitY > 0;
}

void ScreenPoint(const MainWindowLayout& layout, int unitsX, int unitsY, int* x, int* y)
{
    *x = layout.window.x + static_cast<int>(unitsX * layout.unitX + 0.5);
    *y = layout.templateTop + static_cast<int>(unitsY * layout.unitY + 0.5);
}

// The status line's text, as the user would copy it: a triple click selects
// the whole line, which makes it the PRIMARY selection.
std::string ReadStatusLine(const MainWindowLayout& layout)
{
    int x = 0, y = 0;
    ScreenPoint(layout, StatusLineCentreXUnits, StatusLineCentreYUnits, &x, &y);
    // no --sync: xdotool would wait for a move that never comes when the
    // pointer already rests there
    if (!Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click --repeat 3 --delay 60 1"))
        return "(xdotool failed)";
    std::string text;
    if (!ReadPrimarySelection(&text, SelectionTimeoutMs))
        return "(nothing selected)";
    return text;
}

// Polls the status line until it reads `expected` or the time is up; the
// last text read.
std::string WaitForStatusLine(const MainWindowLayout& layout, const std::string& expected)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(PollTimeoutMs);
    std::string text = ReadStatusLine(layout);
    while (text != expected && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ClickSeriesPauseMs));
        text = ReadStatusLine(layout);
    }
    return text;
}

// One Xvfb for the test process, started by the first test that needs it
// and stopped when the process ends. A failure here fails the test: a
// fixture-wide or global set-up would only mark the tests skipped.
bool UsePrivateDisplay(std::string* error)
{
    // no accessibility or session bus under Xvfb: GTK would only wait for them
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    if (!StartXvfb(error))
        return false;
    if (!OpenX11Client()) {
        *error = "cannot connect to " + XvfbDisplayName();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// The fixture: a copy of the program per test, started on the test's display

class DesktopTest : public ::testing::Test {
protected:
    ProgramCopy program = {};
    std::string heightmap;  // the red and green heightmap, beside the copy
    unsigned long mainWindow = 0;
    MainWindowLayout layout = {};

    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(UsePrivateDisplay(&error)) << error;
        ASSERT_TRUE(MakeProgramCopy(&program, &error)) << error;
        heightmap = program.dir + "/hills.bmp";
        ASSERT_TRUE(WriteRedGreenHeightmap(heightmap));
    }

    void TearDown() override
    {
        RemoveProgramCopy(&program);
    }

    std::string Configuration() const
    {
        return ReadWholeFile(program.dir + "/orvanel.cfg");
    }

    // Starts the copy and waits for its main window; the properties window,
    // which opens on top of it without a window manager to place it, is
    // moved aside so that the preview can be seen.
    void StartAndFindWindows(const std::vector<std::string>& arguments)
    {
        ASSERT_TRUE(StartProgram(&program, arguments));
        mainWindow = FindVisibleWindow("Orvanel");
        ASSERT_NE(mainWindow, 0u) << "no main window appeared; the program said:\n" << ProgramOutput(program);
        unsigned long properties = FindVisibleWindow("Generation Properties");
        ASSERT_NE(properties, 0u) << "no properties window appeared";
        ASSERT_TRUE(Xdotool("windowmove --sync " + std::to_string(properties) + " 800 0"));
        ASSERT_TRUE(MeasureMainWindow(mainWindow, &layout));
    }

    // Polls the status line until it reads `expected`.
    void ExpectStatusLine(const std::string& expected)
    {
        EXPECT_EQ(WaitForStatusLine(layout, expected), expected);
    }

    // The close box, as a window manager reports it.
    void CloseFromWindowManager()
    {
        ASSERT_TRUE(SendDeleteWindow(mainWindow)) << "WM_DELETE_WINDOW not taken";
    }

    void ExpectCleanExit()
    {
        EXPECT_EQ(WaitForProgramExit(&program, ExitTimeoutMs), 0) << "the program said:\n" << ProgramOutput(program);
    }
};

TEST_F(DesktopTest, CommandLineHeightmapShowsAsOverlayAndOnStatusLine)
{
    StartAndFindWindows({heightmap});
    ExpectStatusLine("Successfully loaded '" + heightmap + "'.");

    // the frame timer draws the overlay into the canvas's top-left corner
    const ScreenRect left = {layout.canvas.x, layout.canvas.y, OverlaySide / 2, OverlaySide};
    const ScreenRect right = {layout.canvas.x + OverlaySide / 2, layout.canvas.y, OverlaySide / 2, OverlaySide};
    const ScreenRect beside = {layout.canvas.x + OverlaySide, layout.canvas.y, 8, OverlaySide};
    const ScreenRect below = {layout.canvas.x, layout.canvas.y + OverlaySide, OverlaySide, 8};
    const int half = OverlaySide / 2 * OverlaySide;
    Screenshot shot;
    ASSERT_TRUE(ScreenshotWhen(&shot, [&](const Screenshot& s) { return CountColor(s, left, 255, 0, 0) == half; }))
        << "ImageMagick's import failed or is missing";
    EXPECT_EQ(CountColor(shot, left, 255, 0, 0), half);
    EXPECT_EQ(CountColor(shot, right, 0, 255, 0), half);
    // exactly 128 pixels each way: the background (black by default) follows
    EXPECT_EQ(CountColor(shot, beside, 0, 0, 0), 8 * OverlaySide);
    EXPECT_EQ(CountColor(shot, below, 0, 0, 0), 8 * OverlaySide);

    CloseFromWindowManager();
    ExpectCleanExit();
}

TEST_F(DesktopTest, MissingCommandLineFileIsReportedOnStatusLine)
{
    const std::string missing = program.dir + "/no such hills.bmp";
    StartAndFindWindows({missing});
    ExpectStatusLine("Could not open '" + missing + "'.");
    CloseFromWindowManager();
    ExpectCleanExit();
}

// A first run closed untouched saves the defaults; a second one, with the first slider
// moved, saves that; a third shows it and, closed untouched, writes the same bytes again.
TEST_F(DesktopTest, WindowManagerCloseSavesSettingsThatComeBackAtTheNextStart)
{
    StartAndFindWindows({});
    ASSERT_EQ(FileSize(program.dir + "/orvanel.cfg"), -1) << "nothing is saved before the window closes";
    CloseFromWindowManager();
    ExpectCleanExit();
    EXPECT_EQ(Configuration(), ExpectedConfiguration(program.dir, {128, 2, 256, 24, 0}));

    StartAndFindWindows({});
    // the properties window opens with its first slider ("Texture stretching:") focused;
    // each Right key is one step
    ASSERT_TRUE(Xdotool("windowfocus --sync " + std::to_string(FindVisibleWindow("Generation Properties"))));
    ASSERT_TRUE(Xdotool("key --delay 50 Right Right Right"));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    CloseFromWindowManager();
    ExpectCleanExit();
    const std::string moved = Configuration();
    EXPECT_EQ(moved, ExpectedConfiguration(program.dir, {131, 2, 256, 24, 0}));

    StartAndFindWindows({});
    CloseFromWindowManager();
    ExpectCleanExit();
    EXPECT_EQ(Configuration(), moved);
}

TEST_F(DesktopTest, FileExitSavesSettingsToo)
{
    StartAndFindWindows({});
    ASSERT_TRUE(Xdotool("windowfocus --sync " + std::to_string(mainWindow)));
    ASSERT_TRUE(Xdotool("key --delay 100 alt+f x"));
    ExpectCleanExit();
    EXPECT_EQ(Configuration(), ExpectedConfiguration(program.dir, {128, 2, 256, 24, 0}));
}

TEST_F(DesktopTest, GenerateWritesTheMeshChosenInTheSaveAsDialogAndPreviewsIt)
{
    StartAndFindWindows({heightmap});
    ASSERT_EQ(WaitForStatusLine(layout, "Successfully loaded '" + heightmap + "'."),
              "Successfully loaded '" + heightmap + "'.");
    // a name no file in the folder starts with: the chooser's completion
    // never adds to what is typed
    const std::string mesh = program.dir + "/terrain.3ds";

    // Alt+G is the Generate button's mnemonic
    ASSERT_TRUE(Xdotool("windowfocus --sync " + std::to_string(mainWindow)));
    ASSERT_TRUE(Xdotool("key alt+g"));
    unsigned long saveAs = FindVisibleWindow("Save As");
    ASSERT_NE(saveAs, 0u) << "no Save As dialog appeared";
    // Generate saves the settings before it asks for the file
    EXPECT_EQ(FileSize(program.dir + "/orvanel.cfg"), ConfigurationSize);
    // the file name field has the focus and takes a whole path
    ASSERT_TRUE(Xdotool("windowfocus --sync " + std::to_string(saveAs)));
    ASSERT_TRUE(Xdotool("key ctrl+a"));
    ASSERT_TRUE(Xdotool("type --delay 20 '" + mesh + "'"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(Xdotool("key Return"));

    ExpectStatusLine("Successfully saved '" + mesh + "'.");
    // 128 x 128 pixels at grid step 2: 64 x 64 vertices, 2 x 63 x 63 faces
    const long long vertices = 64 * 64, faces = 2 * 63 * 63;
    EXPECT_EQ(FileSize(mesh), 67 + 20 * vertices + 8 * faces);

    // the file read back is drawn: the canvas beside the overlay is no
    // longer all background
    const ScreenRect scene = {layout.canvas.x + OverlaySide, layout.canvas.y, layout.canvas.width - OverlaySide,
                              layout.canvas.height};
    const int sceneArea = scene.width * scene.height;
    Screenshot shot;
    ASSERT_TRUE(ScreenshotWhen(&shot, [&](const Screenshot& s) {
        return CountColor(s, scene, 0, 0, 0) <= sceneArea * 9 / 10;
    })) << "ImageMagick's import failed or is missing";
    EXPECT_LT(CountColor(shot, scene, 0, 0, 0), sceneArea * 9 / 10) << "the mesh does not show in the preview";

    CloseFromWindowManager();
    ExpectCleanExit();
}

TEST(DesktopWithoutDisplay, RefusesWithAMessageAndStatusOne)
{
    ProgramCopy program = {};
    std::string error;
    ASSERT_TRUE(MakeProgramCopy(&program, &error)) << error;
    const char* display = getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    ASSERT_TRUE(StartProgram(&program, {}));
    int status = WaitForProgramExit(&program, ExitTimeoutMs);
    if (display)
        setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(status, 1);
    EXPECT_NE(ProgramOutput(program).find("orvanel: cannot open a display for the desktop program.\n"),
              std::string::npos)
        << ProgramOutput(program);
    EXPECT_EQ(FileSize(program.dir + "/orvanel.cfg"), -1);
    RemoveProgramCopy(&program);
}

}  // namespace
