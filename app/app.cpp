#include "app/app.h"

#include "app/main_dialog.h"

bool App::InitInstance()
{
    MainDialog dialog;
    dialog.DoModal();
    // false: the application ends when the main window has ended
    return false;
}
