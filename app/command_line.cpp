#include "app/command_line.h"

#include <cstring>

bool TakeQuotedCommandLinePath(const char* commandLine, char* path, size_t size)
{
    if (!commandLine || commandLine[0] != '"' || size == 0)
        return false;
    size_t count = 0;
    for (const char* c = commandLine + 1; *c != '\0' && *c != '"' && count + 1 < size; ++c)
        path[count++] = *c;
    path[count] = '\0';
    return true;
}

bool TakeArgumentPath(int argc, char** argv, char* path, size_t size)
{
    if (argc < 2 || !argv[1] || argv[1][0] == '\0' || size == 0)
        return false;
    size_t length = strlen(argv[1]);
    if (length + 1 > size)
        return false;
    memcpy(path, argv[1], length + 1);
    return true;
}
