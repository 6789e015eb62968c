#include "app/app.h"

#include "app/main_dialog.h"

bool App::InitInstance()
{
    MainDialog dialog;
    TheMainDialog = &dialog;
    dialog.DoModal();
    TheMainDialog = nullptr;  // the window has ended; nothing may reach it now
    // false: the application ends when the main window has ended
    return false;
}
