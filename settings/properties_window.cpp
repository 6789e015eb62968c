// The properties window's procedure and its commands.
//
// Sections: which window owns the menu; colour conversion; commands; the
// procedure; creating and toggling.
#include "settings/properties_window.h"

#include <cmath>

#include "platform/shell.h"
#include "resources/resource_ids.h"
#include "settings/settings.h"

// The last window CreatePropertiesWindow made and the owner it was given.
static WindowHandle CreatedPropertiesWindow = nullptr;
static WindowHandle CreatedPropertiesOwner = nullptr;

// ---------------------------------------------------------------------------
// Which window owns the menu

// The main window whose View menu carries the check mark for `window`: its
// owner when we created it, else the main window object's.
static WindowHandle MenuWindowOf(WindowHandle window)
{
    if (window && window == CreatedPropertiesWindow && CreatedPropertiesOwner)
        return CreatedPropertiesOwner;
    return MainWindow;
}

static void SetViewMenuCheck(WindowHandle mainWindow, bool checked)
{
    int state = GetMenuItemState(mainWindow, GenerationPropertiesCommand);
    if (state < 0)
        return;
    unsigned bits = static_cast<unsigned>(state);
    bits = checked ? (bits | MenuItemChecked) : (bits & ~MenuItemChecked);
    SetMenuItemState(mainWindow, GenerationPropertiesCommand, bits);
}

// ---------------------------------------------------------------------------
// Colour conversion

uint8_t ColorChannelFromComponent(float component)
{
    double scaled = component * 255.0;
    if (!std::isfinite(scaled))
        return 0;
    // the low 8 bits of the truncated integer, for any finite value without
    // an out-of-range conversion
    double lowBits = std::fmod(std::trunc(scaled), 256.0);
    if (lowBits < 0.0)
        lowBits += 256.0;
    return static_cast<uint8_t>(lowBits);
}

uint32_t ColorValueFromBackground(const float backgroundColor[4])
{
    uint32_t red = ColorChannelFromComponent(backgroundColor[0]);
    uint32_t green = ColorChannelFromComponent(backgroundColor[1]);
    uint32_t blue = ColorChannelFromComponent(backgroundColor[2]);
    return red | (green << 8) | (blue << 16);
}

void SetBackgroundFromColorValue(float backgroundColor[4], uint32_t color)
{
    const float byteToUnit = 0.003921569f;  // 1/255, rounded so that 255 gives exactly 1.0
    backgroundColor[0] = static_cast<float>(color & 0xFFu) * byteToUnit;
    backgroundColor[1] = static_cast<float>((color >> 8) & 0xFFu) * byteToUnit;
    backgroundColor[2] = static_cast<float>((color >> 16) & 0xFFu) * byteToUnit;
}

// ---------------------------------------------------------------------------
// Commands

static void ChooseBackgroundColor(WindowHandle window)
{
    uint32_t chosen = 0;
    // owned by the main window, as the framework's chooser without a parent is
    WindowHandle owner = MenuWindowOf(window);
    if (!ShowColorDialog(owner ? owner : window, ColorValueFromBackground(GenerationSettings.backgroundColor), &chosen))
        return;
    SetBackgroundFromColorValue(GenerationSettings.backgroundColor, chosen);
}

static void RestoreDefaults(WindowHandle window)
{
    SetDefaultSettings();
    FillPropertiesWindow(window);
}

// OK and Cancel (Enter and Escape) hide the window; the View menu's mark
// follows, so that the next choice of the item shows it again.
static void HidePropertiesWindow(WindowHandle window)
{
    EndModelessDialog(window, 1);
    SetViewMenuCheck(MenuWindowOf(window), false);
}

// ---------------------------------------------------------------------------
// The procedure

intptr_t PropertiesDialogProc(WindowHandle window, unsigned message, uintptr_t wParam, intptr_t)
{
    switch (message) {
    case DialogMessageInit:
        return 1;  // the creator fills the controls afterwards
    case DialogMessageClose:
        HidePropertiesWindow(window);  // the View menu shows it again
        return 1;
    case DialogMessageCommand:
        switch (wParam & 0xFFFFu) {  // the notification code in the high word does not matter
        case CommandOk:
        case CommandCancel:
            HidePropertiesWindow(window);
            break;
        case SetDefaultsButtonControl:
            RestoreDefaults(window);
            break;
        case BackgroundColorButtonControl:
            ChooseBackgroundColor(window);
            break;
        default:
            break;
        }
        return 0;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------
// Creating and toggling

WindowHandle CreatePropertiesWindow(WindowHandle owner)
{
    WindowHandle window = CreateModelessDialog(PropertiesDialogTemplate, owner, PropertiesDialogProc, 0);
    if (!window)
        return nullptr;
    CreatedPropertiesWindow = window;
    CreatedPropertiesOwner = owner;
    FillPropertiesWindow(window);
    ShowPlatformWindow(window, true);
    return window;
}

void TogglePropertiesWindow(WindowHandle mainWindow, WindowHandle propertiesWindow)
{
    if (!propertiesWindow || !WindowHasMenu(mainWindow))
        return;
    int state = GetMenuItemState(mainWindow, GenerationPropertiesCommand);
    if (state < 0)
        return;
    // the mark, kept in step with the window, decides
    bool shown = (static_cast<unsigned>(state) & MenuItemChecked) != 0;
    ShowPlatformWindow(propertiesWindow, !shown);
    SetViewMenuCheck(mainWindow, !shown);
}

void OnGenerationProperties()
{
    if (MainWindow)
        TogglePropertiesWindow(MainWindow, PropertiesWindow);
}
