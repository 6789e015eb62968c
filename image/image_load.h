// Turning paths into the program's three pictures (heightmap, decal texture,
// normal-map texture): the Load menu commands and the default textures.
#pragma once

#include <cstdint>

#include "image/bmp.h"
#include "platform/platform.h"

enum ImageLoadModes { Heightmap = 0, Decal = 1, NormalMap = 2 };

// What LoadImageFile makes of the next file; Heightmap except while a texture command runs.
extern int ImageLoadMode;
// The current heightmap, owned here; null when none. A 16-bit PNG keeps its samples.
extern Image* HeightmapImage;
// The path HeightmapImage was loaded from; "" without one.
extern char LoadedHeightmapPath[4096];
// False (the default): a heightmap's sides must be powers of two, as the regular grid needs.
// True: any side the decoders take (the adaptive mesh); the overlay shows a resampled copy.
extern bool HeightmapAnySize;
// Where the Open dialog starts (the folder last opened from, which the program keeps in its
// settings), or null or "" for the dialog's own choice.
extern const char* OpenDialogFolder;
// Counts the heightmaps loaded, so that a new one is told from the old at the same address.
extern uint32_t HeightmapLoadCount;

// Loads `path` (.bmp or .png, by its extension) as the picture ImageLoadMode names and tells the outcome on the
// window's status line. True when the picture was loaded.
bool LoadImageFile(WindowHandle window, const char* path);
// The three Load menu commands of the main window.
void OnLoadHeightmap();
void OnLoadDecalTexture();
void OnLoadNormalTexture();

// Fills the decal and normal-map textures from assets/ beside the executable. A file
// that cannot be read or decoded gives a plain stand-in (white, or a flat normal map:
// the mesh is drawn lit and untextured) and a status-line message on the main window.
void LoadDefaultTextures();
