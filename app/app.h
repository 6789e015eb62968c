// The application object: runs the main window modally; the program ends with it.
#pragma once

#include "platform/platform.h"

class App : public PlatformApp {
public:
    bool InitInstance() override;
};
