// The shell's globals, read by every module.
#include "app/main_dialog.h"

MainDialog* TheMainDialog = nullptr;
char ExeDirectory[ExeDirectorySize];
char CommandLinePath[CommandLinePathSize + 1];
float ViewTilt = 0.0f;
float ViewSpin = 0.0f;

WindowHandle MainWindowHandle()
{
    return TheMainDialog ? TheMainDialog->Window() : nullptr;
}
