// Orvanel's entry: the desktop program, or batch mode when the command line
// carries options.
#include <cstdio>
#include <string>

#include "app/app.h"
#include "app/batch.h"
#include "app/command_line.h"
#include "app/main_dialog.h"
#include "platform/desktop_module.h"

#ifdef _WIN32
#include <windows.h>

// The process's command line without the program's own name, as the desktop
// framework hands it over.
static const char* RawCommandLineArguments()
{
    const char* c = GetCommandLineA();
    bool quoted = false;
    while (*c != '\0' && (quoted || (*c != ' ' && *c != '\t'))) {
        if (*c == '"')
            quoted = !quoted;
        ++c;
    }
    while (*c == ' ' || *c == '\t')
        ++c;
    return c;
}
#endif

int main(int argc, char** argv)
{
    if (IsBatchCommandLine(argc, argv))
        return RunBatch(argc, argv);
#ifdef ORVANEL_HAVE_DESKTOP
    std::string reason;
    if (!LoadDesktopModule(&reason)) {
        fprintf(stderr, "orvanel: the desktop part of Orvanel could not be loaded: %s\n", reason.c_str());
        return 1;
    }
#endif
    if (!SelectPlatform(PlatformDesktop)) {
        fprintf(stderr,
                "orvanel: cannot open a display for the desktop program.\n"
                "Batch mode needs none: orvanel --generate HEIGHTMAP.bmp --output MESH.3ds (see --help).\n");
        return 1;
    }
#ifdef _WIN32
    TakeQuotedCommandLinePath(RawCommandLineArguments(), CommandLinePath, sizeof CommandLinePath);
#else
    TakeArgumentPath(argc, argv, CommandLinePath, sizeof CommandLinePath);
#endif
    App app;
    return RunPlatformApp(app, argc, argv);
}
