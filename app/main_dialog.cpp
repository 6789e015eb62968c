// The main window's handlers.
#include "app/main_dialog.h"

#include <cstring>

#include "resources/resources.h"

MainDialog::MainDialog()
    : PlatformDialog(MainDialogTemplate),
      propertiesWindow(nullptr),
      icon(MainIcon),
      previewFrameBound(false),
      generateButtonBound(false)
{
}

void MainDialog::DoDataExchange()
{
    previewFrameBound = HasControl(Window(), PreviewFrameControl);
    generateButtonBound = HasControl(Window(), GenerateButtonControl);
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

bool MainDialog::OnInitDialog()
{
    FindExeDirectory();
    const char* about = LoadResourceString(AboutMenuString);
    if (about[0] != '\0')
        AppendSystemMenuItem(Window(), AboutSystemCommand, about);
    SetWindowIcon(Window(), icon);
    return true;
}

void MainDialog::OnSysCommand(unsigned command, intptr_t parameter)
{
    PlatformDialog::OnSysCommand(command, parameter);
}

void MainDialog::OnPaint() {}

int MainDialog::OnQueryDragIcon()
{
    return icon;
}

void MainDialog::OnSize(unsigned kind, int width, int height)
{
    PlatformDialog::OnSize(kind, width, height);
}

void MainDialog::OnClose()
{
    PlatformDialog::OnClose();
}

void MainDialog::OnDropFiles(DropHandle drop)
{
    PlatformDialog::OnDropFiles(drop);
}

void MainDialog::OnMouseMove(unsigned flags, int x, int y)
{
    PlatformDialog::OnMouseMove(flags, x, y);
}

void MainDialog::OnCommand(unsigned id)
{
    PlatformDialog::OnCommand(id);
}

void MainDialog::OnOK()
{
    PlatformDialog::OnOK();
}

void MainDialog::OnCancel()
{
    PlatformDialog::OnCancel();
}

void MainDialog::TogglePropertiesWindow() {}
