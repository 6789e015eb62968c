// The modeless "Generation Properties" window: its dialog procedure, showing
// and hiding it from the View menu, and the background colour chooser.
//
// The trackbars and the checkbox are not acted on when they change; they are
// read back by ReadPropertiesWindow. Only the background colour takes effect
// at once: the preview clears with it from the next frame on.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The window's dialog procedure. A close request is refused (the window has no
// close box); OK and Cancel hide the window and clear the View menu's check
// mark; the two buttons restore the defaults and choose the background colour.
intptr_t PropertiesDialogProc(WindowHandle window, unsigned message, uintptr_t wParam, intptr_t lParam);

// Creates the window from its template, owned by `owner`, fills it from
// GenerationSettings and shows it. The handle, or null when creation failed.
WindowHandle CreatePropertiesWindow(WindowHandle owner);

// Shows or hides the window as the check mark of its View menu item on
// `mainWindow` says, and flips the mark. Nothing without a
// menu, the item or the window.
void TogglePropertiesWindow(WindowHandle mainWindow, WindowHandle propertiesWindow);

// The View menu command: toggles the main window's properties window.
void OnGenerationProperties();

// A colour component as the chooser's 8-bit channel: times 255, truncated
// toward zero, low 8 bits kept (0.5 gives 127). Not-a-number and infinities give 0.
uint8_t ColorChannelFromComponent(float component);
// backgroundColor's red, green and blue as a 0x00BBGGRR colour value.
uint32_t ColorValueFromBackground(const float backgroundColor[4]);
// Sets red, green and blue from a 0x00BBGGRR colour value (each byte times
// 0.003921569, so 255 gives exactly 1.0); alpha stays.
void SetBackgroundFromColorValue(float backgroundColor[4], uint32_t color);
