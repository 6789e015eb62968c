#include "image/report_message.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "resources/resource_ids.h"

static const size_t MessageBufferSize = 4096;

// A cut text may end inside a UTF-8 sequence, which a desktop toolkit would
// refuse to show at all; drop the incomplete tail.
static void TrimIncompleteUtf8(char* text, size_t length)
{
    size_t start = length;
    while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80 && length - start < 3)
        --start;
    if (start == 0)
        return;
    unsigned char lead = static_cast<unsigned char>(text[start - 1]);
    size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (lead >= 0xC0 && length - (start - 1) < needed)
        text[start - 1] = '\0';
}

void ReportMessage(WindowHandle window, const char* format, ...)
{
    char text[MessageBufferSize];
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (length < 0)
        text[0] = '\0';
    else if (static_cast<size_t>(length) >= sizeof text)
        TrimIncompleteUtf8(text, sizeof text - 1);
    if (window)
        SetControlText(window, StatusLineControl, text);
}
