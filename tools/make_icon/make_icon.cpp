// Writes the program's icon (the same 32 x 32 picture the window shows) as a
// PNG file for Linux desktops, which find application icons by file.
//
// Usage: make_icon <output.png>
#include <cstdio>

#include "image/png_write.h"
#include "resources/resources.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_icon OUTPUT.png\n");
        return 2;
    }
    const IconImage* icon = FindIconImage(MainIcon);
    if (!icon) {
        fprintf(stderr, "make_icon: the program has no icon resource\n");
        return 1;
    }
    if (!WritePNG(argv[1], icon->rgba, icon->width, icon->height)) {
        fprintf(stderr, "make_icon: cannot write '%s'\n", argv[1]);
        return 1;
    }
    return 0;
}
