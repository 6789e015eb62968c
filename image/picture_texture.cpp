#include "image/picture_texture.h"

#include <dlfcn.h>

#include "platform/gl_library.h"
#include "platform/platform.h"
#include "platform/shell.h"

// Texture names are the program's own, never asked of the GL; none is deleted.
uint32_t HeightmapTextureId = 0;
uint32_t DecalTextureId = 0;
uint32_t NormalTextureId = 0;
uint32_t NextTextureId = 1;

uint32_t TakeTextureId()
{
    return NextTextureId++;
}

// Sides of 1, 2, 4, ... pass. An empty side passes the doubling test but gives
// no texture at all, so it is refused like any other unusable side.
static bool IsPowerOfTwoSide(int32_t side)
{
    if (side <= 0)
        return false;
    int64_t p = 1;
    while (p < side)
        p *= 2;
    return p == side;
}

typedef GLint (*Build2DMipmapsFunction)(GLenum target, GLint components, GLsizei width, GLsizei height, GLenum format,
                                        GLenum type, const void* pixels);

// GLU's gluBuild2DMipmaps, whose box filter makes the preview's mipmaps. Its
// library is loaded at the first upload, so that a run which draws nothing
// loads no GL library. Null when it cannot be loaded.
static Build2DMipmapsFunction FindBuild2DMipmaps()
{
    static Build2DMipmapsFunction build = nullptr;
    if (!build) {
        void* library = dlopen("libGLU.so.1", RTLD_NOW | RTLD_LOCAL);
        if (library)
            build = reinterpret_cast<Build2DMipmapsFunction>(dlsym(library, "gluBuild2DMipmaps"));
    }
    return build;
}

uint32_t UploadTexture(const Image* image, uint32_t name)
{
    if (!image || !IsPowerOfTwoSide(image->width) || !IsPowerOfTwoSide(image->height))
        return 0;
    if (name == 0)
        return 0;  // the GL's default texture is nobody's picture
    if (!CurrentGLContext())
        return name;
    Build2DMipmapsFunction build = FindBuild2DMipmaps();
    if (!build)
        return 0;
    glBindTexture(GL_TEXTURE_2D, name);
    // Rows go in as they lie in the Image, so its top row becomes texture row 0.
    if (build(GL_TEXTURE_2D, 4, image->width, image->height, GL_RGBA, GL_UNSIGNED_BYTE, image->pixels) != 0)
        return 0;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    PreviewOutOfDate = true;
    return name;
}
