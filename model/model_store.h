// The model store: fixed tables of cached .3ds files, models built from them (slots) and
// the instances through which the rest of the program names a loaded model.
//
// Models point into their file's bytes, so every operation here frees models before, or
// together with, the files they were read from.
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/model3ds.h"

constexpr int FileTableSize = 128;   // cached files
constexpr int ModelSlotCount = 512;  // models, one per instance
constexpr int ModelPathSize = 4096;  // bytes of an instance path, NUL included (the system's own limit)

struct FileEntry {
    char* name;      // owned copy of the path the file was read under
    uint8_t* bytes;  // owned: the file's whole contents
    int32_t size;    // number of bytes in bytes
    uint8_t used;    // 1 while the entry holds a file
};

struct ModelSlot {
    Model* model;  // owned while used: the model built for this slot
    char* name;    // owned while used: copy of the path the model was built from
    uint8_t used;  // 1 while the slot holds a model
};

struct ModelInstance {
    Model* model;              // the slot's model, valid while loaded is 1; not owned
    char path[ModelPathSize];  // path of the .3ds file, NUL-terminated
    int32_t slot;              // index of the ModelSlot holding the model (instance i uses slot i)
    uint8_t loaded;            // 1 while the slot holds the model built for this instance
};

extern FileEntry FileTable[FileTableSize];            // owned here; read-only elsewhere
extern ModelSlot ModelSlots[ModelSlotCount];          // owned here; read-only elsewhere
extern ModelInstance ModelInstances[ModelSlotCount];  // owned here; read-only elsewhere
// The instance the preview shows, or null. Set by the mesh writer, read by the frame loop.
extern ModelInstance* CurrentModelInstance;

// Index of the file entry holding path (read from disk on first use), or -1 when the file
// cannot be opened or all entries are used. Paths compare as the file system does: exactly
// on Linux and macOS, without regard to case on Windows.
int OpenModelFile(const char* path);

// Puts bytes (malloc'd; owned here from now on, freed on failure too) into a free file
// entry under name, so that LoadModelInstance(name) builds its model from them without
// reading the disk: a mesh shown before, or instead of, a file. The entry goes with the
// others in ReleaseAllModels. False when no entry is free or size passes 32 bits. The name
// must not be cached already.
bool AddModelFileBytes(const char* name, uint8_t* bytes, size_t size);

// Builds a model from path into the first free slot and returns that slot's instance, or
// null (no free slot, no free file entry, unreadable file, path of 4096 bytes or more).
ModelInstance* LoadModelInstance(const char* path);

// The instance's model, rebuilt from the file table or disk when it was unloaded; null
// when that fails (the next call tries again) or instance is null.
Model* GetInstanceModel(ModelInstance* instance);

// Frees the model in slot i and marks instance i not loaded; the file entry stays.
// An unused or out-of-range slot is left alone.
void UnloadModelSlot(int slot);

// Frees every model, then every cached file; instances keep their paths.
void ReleaseAllModels();

// Frees the surfaces of model and everything they own (never the views, the Model record
// or the file's bytes); the model is left without surfaces.
void FreeModel(Model* model);
