// Batch mode's checks of its outputs, made before any of them is replaced.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "app/batch_internal.h"
#include "mesh/write3ds.h"
#include "platform/file_io.h"

// An output that is also read, or written twice, would be destroyed before the run
// ends: each output must be a file of its own.
int RefuseSharedOutputs(const BatchOptions& options)
{
    struct NamedFile {
        const char* option;
        const char* path;
    };
    const NamedFile outputs[] = {{"--output", options.output}, {"--preview", options.preview}};
    const NamedFile others[] = {{"--generate", options.heightmap},
                                {"--decal", options.decal},
                                {"--normal-map", options.normalMap},
                                {"--settings", options.settingsFile},
                                {"--output", options.output}};
    for (const NamedFile& output : outputs)
        for (const NamedFile& other : others)
            if (output.path && other.path && strcmp(output.option, other.option) != 0 &&
                NameSameFile(output.path, other.path))
                return UsageError(std::string(output.option) + " names the same file as " + other.option);
    return 0;
}

// Absolute, so that the messages name the file wherever the caller runs; as given
// where the absolute form would be longer than the system takes (a deep working folder).
std::string OutputPath(const char* path)
{
    if (path[0] == '/')
        return path;
    char directory[PATH_MAX];
    if (!getcwd(directory, sizeof directory))
        return path;
    const std::string absolute = std::string(directory) + "/" + path;
    return absolute.size() < SavePathSize ? absolute : path;
}

// Every output is checked before anything is replaced: a preview that cannot be
// written must not cost the mesh file that was there.
bool OutputsCanBeWritten(const std::string& output, const char* preview)
{
    for (const char* path : {output.c_str(), preview})
        if (path && !CanReplaceFile(path)) {
            fprintf(stderr, "Could not save '%s'.\n", path);
            return false;
        }
    return true;
}
