// The model store: file table, model slots, instances.
//
// Sections: the module's globals; the file table; slots and instances; release.
#include "model/model_store.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "model/lighting_data.h"
#include "platform/file_io.h"

FileEntry FileTable[FileTableSize];
ModelSlot ModelSlots[ModelSlotCount];
ModelInstance ModelInstances[ModelSlotCount];
ModelInstance* CurrentModelInstance = nullptr;

// Paths name the same cached file when the file system would take them as one name.
static bool SamePath(const char* a, const char* b)
{
#ifdef _WIN32
    return _stricmp(a, b) == 0;
#else
    return std::strcmp(a, b) == 0;
#endif
}

static char* CopyString(const char* text)
{
    size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (copy)
        std::memcpy(copy, text, size);
    return copy;
}

// Builds a fresh model for slot i from path; null when the file is not available.
static Model* BuildSlotModel(int i, const char* path)
{
    ModelSlot& slot = ModelSlots[i];
    slot.model = static_cast<Model*>(std::calloc(1, sizeof(Model)));
    int k = OpenModelFile(path);
    if (!slot.model || k < 0) {
        std::free(slot.model);
        slot.model = nullptr;
        return nullptr;
    }
    slot.model->bytes = FileTable[k].bytes;
    slot.model->length = FileTable[k].size;
    if (!ReadModelChunks(slot.model)) {
        FreeModel(slot.model);
        std::free(slot.model);
        slot.model = nullptr;
        return nullptr;
    }
    slot.name = CopyString(path);
    slot.used = 1;
    return slot.model;
}

static void FreeSlot(ModelSlot& slot)
{
    FreeModel(slot.model);
    std::free(slot.model);
    std::free(slot.name);
    slot.model = nullptr;
    slot.name = nullptr;
    slot.used = 0;
}

static void FreeSurface(Surface* surface)
{
    std::free(surface->positions);
    std::free(surface->triangleIndices);
    std::free(surface->tangentFrames);
    if (!surface->normalsFromFile)
        std::free(const_cast<uint8_t*>(surface->normals));
    std::free(surface->deformedNormals);
    std::free(surface->lightVectors);
    std::free(surface->vertexColors);
    if (!surface->borrowedJoints)
        std::free(surface->joints);
    std::free(surface);
}

int OpenModelFile(const char* path)
{
    if (!path)
        return -1;
    for (int i = 0; i < FileTableSize; ++i) {
        if (FileTable[i].used && FileTable[i].name && SamePath(FileTable[i].name, path))
            return i;
    }
    for (int i = 0; i < FileTableSize; ++i) {
        FileEntry& entry = FileTable[i];
        if (entry.used)
            continue;
        FileContents file;
        if (!ReadWholeFile(path, INT32_MAX, &file))
            return -1;
        entry.name = CopyString(path);
        entry.bytes = file.bytes;
        entry.size = static_cast<int32_t>(file.size);
        entry.used = 1;
        return i;
    }
    return -1;
}

bool AddModelFileBytes(const char* name, uint8_t* bytes, size_t size)
{
    for (int i = 0; name && bytes && size <= INT32_MAX && i < FileTableSize; ++i) {
        FileEntry& entry = FileTable[i];
        if (entry.used)
            continue;
        entry.name = CopyString(name);
        if (!entry.name)
            break;
        entry.bytes = bytes;
        entry.size = static_cast<int32_t>(size);
        entry.used = 1;
        return true;
    }
    free(bytes);
    return false;
}

ModelInstance* LoadModelInstance(const char* path)
{
    // a path that does not fit the instance is refused, never cut
    if (!path || std::strlen(path) >= static_cast<size_t>(ModelPathSize))
        return nullptr;
    int i = 0;
    while (i < ModelSlotCount && ModelSlots[i].used)
        ++i;
    if (i == ModelSlotCount)
        return nullptr;
    if (!BuildSlotModel(i, path))
        return nullptr;
    ModelInstance& instance = ModelInstances[i];
    instance.slot = i;
    instance.loaded = 1;
    std::strcpy(instance.path, path);
    instance.model = ModelSlots[i].model;
    return &instance;
}

Model* GetInstanceModel(ModelInstance* instance)
{
    if (!instance)
        return nullptr;
    if (instance->loaded)
        return instance->model;
    int i = instance->slot;
    if (i < 0 || i >= ModelSlotCount)
        return nullptr;
    // a slot that still holds another build is released first rather than leaked
    if (ModelSlots[i].used)
        UnloadModelSlot(i);
    if (!BuildSlotModel(i, instance->path))
        return nullptr;
    instance->loaded = 1;
    instance->model = ModelSlots[i].model;
    return instance->model;
}

void UnloadModelSlot(int slot)
{
    if (slot < 0 || slot >= ModelSlotCount || !ModelSlots[slot].used)
        return;
    FreeSlot(ModelSlots[slot]);
    ModelInstances[slot].loaded = 0;
    ModelInstances[slot].model = nullptr;
}

void ReleaseAllModels()
{
    // every model goes before any file: surfaces point into the files' bytes.
    // An instance is loaded only while its slot is used, so only those are
    // touched: the instances fill half a megabyte that a short run never uses.
    for (int i = 0; i < ModelSlotCount; ++i)
        UnloadModelSlot(i);
    for (FileEntry& entry : FileTable) {
        if (!entry.used)
            continue;
        std::free(entry.bytes);
        std::free(entry.name);
        entry = FileEntry{};
    }
}

void FreeModel(Model* model)
{
    if (!model)
        return;
    Surface* surface = model->firstSurface;
    while (surface) {
        Surface* next = surface->next;
        FreeSurface(surface);
        surface = next;
    }
    model->firstSurface = nullptr;
}
