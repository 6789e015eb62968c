// --info: the surfaces of a .3ds file, listed on standard output.
#include <cstdio>
#include <string>

#include "app/batch_internal.h"
#include "model/model3ds.h"
#include "model/model_store.h"

// The length of the printable character at `c`: 0 for a control character (C0, DEL
// and the C1 range, which some terminals obey), a backslash, or a byte that begins no
// whole UTF-8 sequence.
static size_t PrintableLength(const unsigned char* c)
{
    if (*c >= 0x20 && *c < 0x7F)
        return *c == '\\' ? 0 : 1;
    const size_t length = *c >= 0xC2 && *c <= 0xDF ? 2
        : *c >= 0xE0 && *c <= 0xEF                 ? 3
        : *c >= 0xF0 && *c <= 0xF4                 ? 4
                                                   : 0;
    for (size_t i = 1; i < length; ++i)
        if ((c[i] & 0xC0) != 0x80)
            return 0;
    return length == 2 && c[0] == 0xC2 && c[1] < 0xA0 ? 0 : length;
}

// Names come from the file: what is not printable is shown as \xNN, so that a name can
// neither drive the terminal nor forge a line of the listing.
static std::string SurfaceName(const Surface* surface)
{
    if (!surface->name || surface->name[0] == '\0')
        return "(unnamed)";
    std::string shown;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(surface->name); *c != '\0';) {
        const size_t length = PrintableLength(c);
        if (length == 0) {
            char escaped[5];
            snprintf(escaped, sizeof escaped, "\\x%02X", *c++);
            shown += escaped;
            continue;
        }
        shown.append(reinterpret_cast<const char*>(c), length);
        c += length;
    }
    return shown;
}

static void PrintSurface(const Surface* surface)
{
    if (!surface->vertices) {
        printf("  %s: no vertex list\n", SurfaceName(surface).c_str());
        return;
    }
    printf("  %s: %d vertices, %d faces, %s, normals %s, %d joints\n", SurfaceName(surface).c_str(),
           static_cast<int>(surface->vertexCount), static_cast<int>(surface->faceCount),
           surface->texCoords ? "texture coordinates" : "no texture coordinates",
           surface->normalsFromFile ? "from the file" : "computed", static_cast<int>(surface->jointCount));
}

int PrintModelInfo(const char* path)
{
    ModelInstance* instance = LoadModelInstance(path);
    Model* model = instance ? GetInstanceModel(instance) : nullptr;
    if (!model) {
        fprintf(stderr, "Could not open '%s'.\n", path);
        ReleaseAllModels();
        return 1;
    }
    if (!BeginsWithMainChunk(model->bytes, model->length < 0 ? 0 : static_cast<size_t>(model->length))) {
        fprintf(stderr, "'%s' is not a 3DS file.\n", path);
        ReleaseAllModels();
        return 1;
    }
    int count = 0;
    for (const Surface* surface = model->firstSurface; surface; surface = surface->next)
        ++count;
    printf("%s: %d surface%s\n", path, count, count == 1 ? "" : "s");
    for (const Surface* surface = model->firstSurface; surface; surface = surface->next)
        PrintSurface(surface);
    ReleaseAllModels();
    return 0;
}
