// The main window: the Generate button, the status line, the preview frame,
// the menu, and the handlers that decide start-up, drops, drags, resizing
// and shut-down. Also the shell's globals that other modules read.
#pragma once

#include <cstddef>

#include "platform/platform.h"

const size_t ExeDirectorySize = 2048;
const size_t CommandLinePathSize = 4096;

class MainDialog : public PlatformDialog {
public:
    MainDialog();

    WindowHandle propertiesWindow;  // the modeless properties window, null until created
    int icon;                       // icon resource of the window
    bool previewFrameBound;         // DoDataExchange has bound the preview frame control
    bool generateButtonBound;       // ... and the Generate button

    void DoDataExchange() override;
    bool OnInitDialog() override;
    void OnSysCommand(unsigned command, intptr_t parameter) override;
    void OnPaint() override;
    int OnQueryDragIcon();
    void OnSize(unsigned kind, int width, int height) override;
    void OnClose() override;
    void OnDropFiles(DropHandle drop) override;
    void OnMouseMove(unsigned flags, int x, int y) override;
    void OnCommand(unsigned id) override;
    void OnOK() override;
    void OnCancel() override;
    void TogglePropertiesWindow();

private:
    // Releases the preview, the models and the heightmap and saves the
    // settings; every way out of the window runs it once.
    void ShutDown();
    bool shutDown;  // ShutDown has run
};

// The main window object; set before the window runs, never cleared.
extern MainDialog* TheMainDialog;
// The executable's directory without a trailing separator.
extern char ExeDirectory[ExeDirectorySize];
// The heightmap path named on the command line.
extern char CommandLinePath[CommandLinePathSize + 1];
// Accumulated drag angles in degrees: vertical drag tilts, horizontal drag spins.
extern float ViewTilt;
extern float ViewSpin;

// The main window's handle, or null before it exists.
WindowHandle MainWindowHandle();
