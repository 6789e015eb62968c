// The model store: file table, model slots, instances.
//
// Sections: the module's globals; the file table; slots and instances; release.
#include "model/model_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#ifdef _WIN32
#include <io.h>
#endif

#include "model/lighting_data.h"

#ifndef O_BINARY
#define O_BINARY 0  // POSIX systems have no text mode
#endif

FileEntry FileTable[FileTableSize];
ModelSlot ModelSlots[ModelSlotCount];
ModelInstance ModelInstances[ModelSlotCount];
ModelInstance* CurrentModelInstance = nullptr;

namespace {

// Paths name the same cached file when the file system would take them as one name.
bool SamePath(const char* a, const char* b)
{
#ifdef _WIN32
    return _stricmp(a, b) == 0;
#else
    return std::strcmp(a, b) == 0;
#endif
}

char* CopyString(const char* text)
{
    size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(size));
    if (copy)
        std::memcpy(copy, text, size);
    return copy;
}

// Reads the whole file into a new block; false when it cannot be opened or is too big.
bool ReadWholeFile(const char* path, uint8_t** bytes, int32_t* size)
{
    int descriptor = open(path, O_RDONLY | O_BINARY);
    if (descriptor < 0)
        return false;
    struct stat info;
    if (fstat(descriptor, &info) != 0 || info.st_size < 0 || info.st_size > INT32_MAX) {
        close(descriptor);
        return false;
    }
    size_t length = static_cast<size_t>(info.st_size);
    uint8_t* block = static_cast<uint8_t*>(std::malloc(length > 0 ? length : 1));
    size_t done = 0;
    // a short read (the file shrank) keeps only the bytes that really arrived
    while (block && done < length) {
        ssize_t got = read(descriptor, block + done, length - done);
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    close(descriptor);
    if (!block)
        return false;
    *bytes = block;
    *size = static_cast<int32_t>(done);
    return true;
}

// Builds a fresh model for slot i from path; null when the file is not available.
Model* BuildSlotModel(int i, const char* path)
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

void FreeSlot(ModelSlot& slot)
{
    FreeModel(slot.model);
    std::free(slot.model);
    std::free(slot.name);
    slot.model = nullptr;
    slot.name = nullptr;
    slot.used = 0;
}

void FreeSurface(Surface* surface)
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

}  // namespace

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
        uint8_t* bytes;
        int32_t size;
        if (!ReadWholeFile(path, &bytes, &size))
            return -1;
        entry.name = CopyString(path);
        entry.bytes = bytes;
        entry.size = size;
        entry.used = 1;
        return i;
    }
    return -1;
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
    // every model goes before any file: surfaces point into the files' bytes
    for (int i = 0; i < ModelSlotCount; ++i) {
        ModelInstances[i].loaded = 0;
        ModelInstances[i].model = nullptr;
        if (ModelSlots[i].used)
            FreeSlot(ModelSlots[i]);
    }
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
