// The about box: the icon, the release line and an OK button.
#pragma once

#include "platform/platform.h"
#include "resources/resource_ids.h"

class AboutDialog : public PlatformDialog {
public:
    explicit AboutDialog(WindowHandle owner) : PlatformDialog(AboutDialogTemplate, owner) {}
};
