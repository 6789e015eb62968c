// The dialog templates, the menu, the strings and the icon, as data that both
// platform back ends instantiate. Positions and sizes are in dialog units:
// a horizontal unit is a quarter of the dialog font's average character
// width, a vertical unit an eighth of its height.
#pragma once

#include <cstdint>

#include "resources/resource_ids.h"

enum ControlKind {
    ControlLabel,              // static text
    ControlFrame,              // static black frame (the preview is drawn into it)
    ControlIcon,               // static icon
    ControlPushButton,         // push button
    ControlDefaultPushButton,  // the default push button (Enter presses it)
    ControlEdit,               // edit box
    ControlTrackbar,           // horizontal trackbar
    ControlCheckbox,           // automatic check box
};

// Control style bits that the back ends honour.
const unsigned StyleDisabled = 0x0001;  // disabled at creation
const unsigned StyleReadOnly = 0x0002;  // edit box the user cannot change
const unsigned StyleBorder = 0x0004;    // with a border
const unsigned StyleNoPrefix = 0x0020;  // '&' is shown, not a mnemonic

struct ControlTemplate {
    int id;             // control id, or -1 for none
    ControlKind kind;   // what the control is
    const char* text;   // caption, "" for none
    int x, y;           // top-left corner, dialog units
    int width, height;  // size, dialog units
    unsigned style;     // Style* bits
};

// Window style bits of a dialog template.
const unsigned WindowVisible = 0x0001;      // shown when created
const unsigned WindowCaption = 0x0002;      // title bar
const unsigned WindowSystemMenu = 0x0004;   // system menu and close box
const unsigned WindowSizing = 0x0008;       // sizing border
const unsigned WindowMinMaxBoxes = 0x0010;  // minimise and maximise boxes
const unsigned WindowToolWindow = 0x0040;   // small caption, no taskbar entry, opens beside its owner
const unsigned WindowAcceptFiles = 0x0080;  // accepts dropped files

struct DialogTemplate {
    int id;                           // template id
    const char* title;                // window title
    int x, y;                         // position, dialog units
    int width, height;                // client size, dialog units
    unsigned style;                   // Window* bits
    int menuId;                       // menu resource, or 0
    const ControlTemplate* controls;  // in template order
    int controlCount;                 // number of controls
};

struct MenuItemTemplate {
    const char* text;    // item text with its '&' mnemonic
    unsigned commandId;  // command sent when chosen
    unsigned state;      // initial state bits (3 grayed, 8 checked)
};

struct MenuPopupTemplate {
    const char* text;               // popup title
    const MenuItemTemplate* items;  // its items in order
    int itemCount;                  // number of items
};

struct MenuTemplate {
    int id;                           // menu resource id
    const MenuPopupTemplate* popups;  // in order
    int popupCount;                   // number of popups
};

struct IconImage {
    int width, height;    // pixels
    const uint8_t* rgba;  // width * height * 4 bytes, top row first
};

// "Orvanel, release N", N the project's major version: the about box and --version.
extern const char ReleaseLine[];

// Null when there is no such resource.
const DialogTemplate* FindDialogTemplate(int id);
const MenuTemplate* FindMenuTemplate(int id);
// "" when there is no such string (as the desktop's string loader returns nothing).
const char* LoadResourceString(int id);
// The icon resource's picture, or null.
const IconImage* FindIconImage(int id);

// Dialog units to pixels for a font whose average character is
// baseWidth × baseHeight pixels, rounded as the desktop rounds them.
int DialogUnitsToPixelsX(int units, int baseWidth);
int DialogUnitsToPixelsY(int units, int baseHeight);
