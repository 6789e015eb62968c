// The main window's handlers: start-up order, menu commands, dropped files,
// mouse drags, resizing and shut-down.
#include "app/main_dialog.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/about_dialog.h"
#include "app/live_preview.h"
#include "image/image_load.h"
#include "image/picture_texture.h"
#include "image/report_message.h"
#include "mesh/height_mesh.h"
#include "mesh/mesh_output.h"
#include "mesh/write3ds.h"
#include "model/model_store.h"
#include "platform/shell.h"
#include "render/frame.h"
#include "render/gl_setup.h"
#include "render/lighting_textures.h"
#include "render/view.h"
#include "resources/resources.h"
#include "settings/properties_window.h"
#include "settings/settings.h"
#include "settings/settings_block.h"

// The preview frame keeps the template's margins: its left offset plus right
// margin, and its top offset plus bottom margin, in dialog units (21 and 54
// pixels at the standard dialog font).
static const int PreviewHorizontalMarginUnits = 14;
static const int PreviewVerticalMarginUnits = 33;
// The status line keeps the template's room to its right (the window is 348
// units wide, the line ends at 260), so that it grows with the window.
static const int StatusLineRightMarginUnits = 88;
// The smallest client area the user may size the window to, in dialog units:
// the whole status line beside the Generate button, and a small preview.
static const int MinimumClientWidthUnits = 267;
static const int MinimumClientHeightUnits = 80;
// The key shown beside the About item, which the menu then answers.
static const char AboutShortcut[] = "\tF1";

char CommandLinePath[CommandLinePathSize + 1];

// The main window's steersView while it exists.
static bool ViewSteered = false;

static void ShowWireframeMark(WindowHandle window)
{
    SetMenuItemState(window, WireframeCommand, SettingsBlock.wireframe ? MenuItemChecked : 0);
}

// "terrain.png — Orvanel" while a heightmap is loaded, else the template's title.
static void ShowHeightmapInTitle(WindowHandle window)
{
    const char* program = FindDialogTemplate(MainDialogTemplate)->title;
    const char* name = strrchr(LoadedHeightmapPath, '/');
    name = name ? name + 1 : LoadedHeightmapPath;
    char title[sizeof LoadedHeightmapPath + 64];
    if (HeightmapImage && name[0] != '\0')
        snprintf(title, sizeof title, "%s \xE2\x80\x94 %s", name, program);
    else
        snprintf(title, sizeof title, "%s", program);
    SetWindowTitle(window, title);
}

static void FitStatusLine(WindowHandle window, int clientWidth)
{
    PlatformRect status, room = {0, 0, StatusLineRightMarginUnits, 0};
    if (!GetControlRect(window, StatusLineControl, &status) || !MapDialogRect(window, &room))
        return;
    SetControlSize(window, StatusLineControl, clientWidth - room.right - status.left, status.bottom - status.top);
}

static void SetMainWindowMinimumSize(WindowHandle window)
{
    PlatformRect minimum = {0, 0, MinimumClientWidthUnits, MinimumClientHeightUnits};
    if (MapDialogRect(window, &minimum))
        SetMinimumClientSize(window, minimum.right, minimum.bottom);
}

static Model* ShownModel()
{
    return CurrentModelInstance ? GetInstanceModel(CurrentModelInstance) : nullptr;
}

MainDialog::MainDialog()
    : PlatformDialog(MainDialogTemplate), previewFrameBound(false), drawsPreview(true), showsLivePreview(true),
      steersView(true), shutDown(false), dragging(false), dragIgnored(false), lastX(0), lastY(0)
{
}

// The window is destroyed by the base; nothing may reach it through the shell from now on.
MainDialog::~MainDialog()
{
    if (showsLivePreview)
        StopLivePreview();  // a window destroyed without a way out still ends the worker
    if (Window() && MainWindow == Window()) {
        MainWindow = nullptr;
        PropertiesWindow = nullptr;
    }
}

void MainDialog::DoDataExchange()
{
    previewFrameBound = HasControl(Window(), PreviewFrameControl);
}

// The directory is the module path cut at its last separator at index 1 or
// later; without one the whole path stays.
static void FindExeDirectory()
{
    if (!GetExecutablePath(ExeDirectory, ExeDirectorySize)) {
        ExeDirectory[0] = '\0';
        return;
    }
    for (size_t i = strlen(ExeDirectory); i > 1; --i)
        if (ExeDirectory[i - 1] == '\\' || ExeDirectory[i - 1] == '/') {
            ExeDirectory[i - 1] = '\0';
            return;
        }
}

// The grid needs power-of-two sides; the adaptive mesh takes any.
// The folder part of path ("." for a bare name), into folder.
static void CopyFolderOf(const char* path, char* folder, size_t size)
{
    const char* slash = strrchr(path, '/');
    if (!slash)
        snprintf(folder, size, ".");
    else
        snprintf(folder, size, "%.*s", static_cast<int>(slash == path ? 1 : slash - path), path);
}

// File > the recent heightmaps, newest first: "&1 terrain.png"; the rest grayed.
static void ShowRecentHeightmaps(WindowHandle window)
{
    for (int i = 0; i < RecentHeightmapCount; ++i) {
        const char* path = SettingsBlock.recentHeightmaps[i];
        const char* slash = strrchr(path, '/');
        char text[SettingsPathSize + 8];
        snprintf(text, sizeof text, "&%d %s", i + 1, slash ? slash + 1 : path);
        SetMenuItemText(window, RecentHeightmapCommand + i, path[0] ? text : "(no recent heightmap)");
        SetMenuItemState(window, RecentHeightmapCommand + i, path[0] ? 0 : MenuItemGrayed);
    }
}

// After a heightmap loaded: it heads the recent list, the Open dialog starts in its folder
// next time, and the title names it.
static void NoteLoadedHeightmap(WindowHandle window, uint32_t loadsBefore)
{
    ShowHeightmapInTitle(window);
    if (HeightmapLoadCount == loadsBefore)
        return;
    char whole[PATH_MAX];
    const char* path = realpath(LoadedHeightmapPath, whole) ? whole : LoadedHeightmapPath;
    RememberRecentHeightmap(&SettingsBlock, path);
    CopyFolderOf(path, SettingsBlock.openFolder, sizeof SettingsBlock.openFolder);
    ShowRecentHeightmaps(window);
}

// Loads path, or what the Open dialog gives when path is null.
static void LoadHeightmapFollowingMeshMode(WindowHandle window, const char* path)
{
    const uint32_t loadsBefore = HeightmapLoadCount;
    HeightmapAnySize = SettingsBlock.meshMode == AdaptiveMeshMode;
    if (path)
        LoadImageFile(window, path);
    else
        OnLoadHeightmap();
    NoteLoadedHeightmap(window, loadsBefore);
}

bool MainDialog::OnInitDialog()
{
    MainWindow = Window();
    PropertiesWindow = nullptr;
    ViewSteered = steersView;
    FindExeDirectory();
    const char* about = LoadResourceString(AboutMenuString);
    if (about[0] != '\0')
        AppendSystemMenuItem(Window(), AboutSystemCommand, (std::string(about) + AboutShortcut).c_str());
    SetWindowIcon(Window(), MainIcon);
    SetMainWindowMinimumSize(Window());
    LoadSettings();
    OpenDialogFolder = SettingsBlock.openFolder;
    ShowRecentHeightmaps(Window());
    ShowWireframeMark(Window());
    if (drawsPreview) {
        SetupPreviewGL(Window());  // the start-up goes on without a preview when it fails
        if (FragmentProgramAvailable)
            CreateLightingTextures();
    }
    if (DecalTextureId == 0)
        DecalTextureId = TakeTextureId();
    if (NormalTextureId == 0)
        NormalTextureId = TakeTextureId();
    if (drawsPreview)
        LoadDefaultTextures();
    if (CommandLinePath[0] != '\0')
        LoadHeightmapFollowingMeshMode(Window(), CommandLinePath);
    ShowHeightmapInTitle(Window());
    SetWindowTimer(Window(), FrameTimerId, 0, FrameTimerProc);
    PropertiesWindow = CreatePropertiesWindow(Window());
    if (showsLivePreview)
        StartLivePreview(Window());
    return true;
}

void MainDialog::OnSysCommand(unsigned command, intptr_t parameter)
{
    if ((command & 0xFFF0u) == AboutSystemCommand) {
        AboutDialog about(Window());
        about.DoModal();
        return;
    }
    PlatformDialog::OnSysCommand(command, parameter);
}

// The desktop draws the window's icon (set at start-up) while it is minimised;
// an exposed preview is drawn again by the next frame tick.
void MainDialog::OnPaint()
{
    PreviewOutOfDate = true;
}

PlatformRect PreviewFrameMargins(WindowHandle window)
{
    PlatformRect margins = {0, 0, PreviewHorizontalMarginUnits, PreviewVerticalMarginUnits};
    MapDialogRect(window, &margins);
    return margins;
}

void MainDialog::OnSize(unsigned kind, int width, int height)
{
    PlatformDialog::OnSize(kind, width, height);
    if (!previewFrameBound || kind == SizeMinimized)
        return;
    const PlatformRect margins = PreviewFrameMargins(Window());
    // a window smaller than the margins gives an empty frame, never a negative one
    int frameWidth = width > margins.right ? width - margins.right : 0;
    int frameHeight = height > margins.bottom ? height - margins.bottom : 0;
    SetControlSize(Window(), PreviewFrameControl, frameWidth, frameHeight);
    FitStatusLine(Window(), width);
    if (drawsPreview)
        SetupPreviewGL(Window());
    PreviewOutOfDate = true;
}

// Every way out runs this once: the GL context, the models and the heightmap
// are released and the settings saved, whichever command ended the window.
void MainDialog::ShutDown()
{
    if (shutDown)
        return;
    shutDown = true;
    StopLivePreview();
    ReleasePreviewGL();
    ReleaseAllModels();
    CurrentModelInstance = nullptr;
    if (HeightmapImage) {
        FreeImage(HeightmapImage);
        HeightmapImage = nullptr;
    }
    if (PropertiesWindow)
        ReadPropertiesWindow(PropertiesWindow);
}

void MainDialog::OnClose()
{
    ShutDown();
    PlatformDialog::OnClose();
}

void MainDialog::OnOK()
{
    ShutDown();
    PlatformDialog::OnOK();
}

void MainDialog::OnCancel()
{
    ShutDown();
    PlatformDialog::OnCancel();
}

void MainDialog::OnDropFiles(DropHandle drop)
{
    // the whole path of the first file: a cut path would name another file
    const char* path = GetDroppedFilePath(drop, 0);
    if (path && path[0] != '\0')
        LoadHeightmapFollowingMeshMode(Window(), path);
    ShowHeightmapInTitle(Window());
    PlatformDialog::OnDropFiles(drop);
}

bool MainDialog::IsInPreview(int x, int y)
{
    PlatformRect frame;
    return previewFrameBound && GetControlRect(Window(), PreviewFrameControl, &frame) && x >= frame.left &&
        x < frame.right && y >= frame.top && y < frame.bottom;
}

// A drag steers the preview only when it starts there (selecting text in the
// status line turns nothing): the left button turns, with Shift it turns the
// light, the right or middle button pans.
void MainDialog::OnMouseMove(unsigned flags, int x, int y)
{
    PlatformDialog::OnMouseMove(flags, x, y);
    if (!(flags & (MouseLeftButton | MouseRightButton | MouseMiddleButton))) {
        dragging = dragIgnored = false;
        return;
    }
    if (!dragging && !dragIgnored) {
        dragging = IsInPreview(x, y);
        dragIgnored = !dragging;
    } else if (dragging && (flags & MouseLeftButton) && (flags & MouseShiftKey)) {
        TurnLight(x - lastX, y - lastY);
    } else if (dragging && (flags & MouseLeftButton)) {
        TurnView(x - lastX, y - lastY);
    } else if (dragging) {
        PanView(x - lastX, y - lastY);
    }
    lastX = x;
    lastY = y;
}

void MainDialog::OnMouseWheel(int delta, int x, int y)
{
    if (IsInPreview(x, y))
        ZoomView(delta);
}

// The written file becomes the preview's model; the cached files go first, so the load
// reads the bytes just written even when the same path was loaded before.
// What the preview now holds, beside the status line.
static void ShowWrittenCounts()
{
    Model* model = CurrentModelInstance ? GetInstanceModel(CurrentModelInstance) : nullptr;
    long long vertices = 0, faces = 0;
    for (const Surface* surface = model ? model->firstSurface : nullptr; surface; surface = surface->next) {
        vertices += surface->vertexCount;
        faces += surface->faceCount;
    }
    char text[128];
    snprintf(text, sizeof text, "Saved: %lld vertices, %lld faces", vertices, faces);
    SetControlText(MainWindow, StatusDetailControl, model ? text : "");
}

static void ShowWrittenFile(const char* path)
{
    if (CurrentModelInstance)
        UnloadModelSlot(CurrentModelInstance->slot);
    ReleaseAllModels();
    // a file the preview cannot read, or should not draw whole, comes as a .3ds copy
    uint8_t* bytes = nullptr;
    size_t size = 0;
    int64_t shownFaces = 0, writtenFaces = 0;
    if (TakeWrittenPreview(&bytes, &size, &shownFaces, &writtenFaces) && AddModelFileBytes(path, bytes, size) &&
        shownFaces < writtenFaces)
        ReportMessage(MainWindow,
                      "The preview shows a simplified copy (%lld of %lld faces); the file holds every face.",
                      static_cast<long long>(shownFaces), static_cast<long long>(writtenFaces));
    CurrentModelInstance = LoadModelInstance(path);
    PreviewOutOfDate = true;
    if (ViewSteered)
        FitViewToModel(ShownModel());
    KeepWrittenFileOnShow();
    ShowWrittenCounts();
}

bool OnGenerate()
{
    if (!HeightmapImage)
        return false;
    char path[SavePathSize];
    if (!BuildHeightMesh(MainWindow, HeightmapImage, path))
        return false;
    // Save As starts here next time
    CopyFolderOf(path, SettingsBlock.saveFolder, sizeof SettingsBlock.saveFolder);
    ShowWrittenFile(path);
    return true;
}

void MainDialog::OnCommand(unsigned id)
{
    switch (id) {
    case GenerateButtonControl:
        OnGenerate();
        break;
    case LoadHeightmapCommand:
        LoadHeightmapFollowingMeshMode(Window(), nullptr);
        break;
    case LoadDecalTextureCommand:
        OnLoadDecalTexture();
        break;
    case LoadNormalTextureCommand:
        OnLoadNormalTexture();
        break;
    case GenerationPropertiesCommand:
        OnGenerationProperties();
        break;
    case WireframeCommand:
        SettingsBlock.wireframe = !SettingsBlock.wireframe;
        ShowWireframeMark(Window());
        break;
    case ResetViewCommand:
        ResetView(ShownModel());
        break;
    case HelpCommand:
        break;  // the program has no help file
    default:
        if (id >= RecentHeightmapCommand && id < RecentHeightmapCommand + RecentHeightmapCount) {
            // a copy: loading it reorders the list
            char path[SettingsPathSize];
            snprintf(path, sizeof path, "%s", SettingsBlock.recentHeightmaps[id - RecentHeightmapCommand]);
            if (path[0] != '\0')
                LoadHeightmapFollowingMeshMode(Window(), path);
            break;
        }
        PlatformDialog::OnCommand(id);
        break;
    }
}
