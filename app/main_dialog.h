// The main window: the Generate button, the status line, the preview frame,
// the menu, and the handlers that decide start-up, drops, drags, resizing
// and shut-down. It publishes the shell values of platform/shell.h while it
// exists.
#pragma once

#include <cstddef>

#include "platform/platform.h"

const size_t CommandLinePathSize = 4096;

class MainDialog : public PlatformDialog {
public:
    MainDialog();
    ~MainDialog() override;

    bool previewFrameBound;  // DoDataExchange has bound the preview frame control
    // The window draws its preview. Batch mode without a preview image clears
    // it before Create: then no GL is set up and no default texture is loaded.
    bool drawsPreview;
    // The preview shows the mesh Generate would write, live. Batch mode clears it.
    bool showsLivePreview;
    // The user steers the preview: each shown mesh is framed to fit. Batch mode
    // clears it before Create and keeps the standard view.
    bool steersView;

    void DoDataExchange() override;
    bool OnInitDialog() override;
    void OnSysCommand(unsigned command, intptr_t parameter) override;
    void OnPaint() override;
    void OnSize(unsigned kind, int width, int height) override;
    void OnClose() override;
    void OnDropFiles(DropHandle drop) override;
    void OnMouseMove(unsigned flags, int x, int y) override;
    void OnMouseWheel(int delta, int x, int y) override;
    void OnCommand(unsigned id) override;
    void OnOK() override;
    void OnCancel() override;

private:
    // Releases the preview, the models and the heightmap and saves the
    // settings; every way out of the window runs it once.
    void ShutDown();
    bool shutDown;  // ShutDown has run
    bool IsInPreview(int x, int y);
    bool dragging;     // a button went down over the preview and is still down
    bool dragIgnored;  // a button went down elsewhere and is still down
    int lastX;         // where that move was, in client pixels
    int lastY;
};

// The room the window keeps around the preview frame, in the window's pixels:
// `right` across, `bottom` down (the client size is the frame's plus these).
PlatformRect PreviewFrameMargins(WindowHandle window);

// The Generate button: builds the mesh of HeightmapImage, saves it where the user
// says and makes the saved file the preview's model. True when a file was saved;
// nothing happens without a heightmap.
bool OnGenerate();

// The heightmap path named on the command line.
extern char CommandLinePath[CommandLinePathSize + 1];
