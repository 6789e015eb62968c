// Scene drawing: the frame's lists, the transforms, the per-pixel light passes,
// the vertex-colour fallback and the heightmap overlay.
//
// Sections: globals; transforms; per-pixel light passes; surfaces; overlay;
// lists and frame.
#include "render/scene.h"

#include <cstdlib>

#include "image/image_load.h"
#include "image/picture_texture.h"
#include "model/lighting_data.h"
#include "platform/gl_library.h"
#include "render/fallback_lighting.h"
#include "render/gl_setup.h"
#include "render/lighting_textures.h"

// ---------------------------------------------------------------------------
// Globals

SceneEntity* EntityList = nullptr;
SceneLight* LightList = nullptr;
const SceneCamera Camera = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}};

// Side in pixels of the heightmap overlay, whatever the picture's own size.
static const float OverlaySize = 128.0f;
// Dark edges show on a lit surface whatever its texture.
static const float WireframeColor[4] = {0.1f, 0.1f, 0.1f, 1.0f};

// ---------------------------------------------------------------------------
// Transforms

// The entity's placement in the world: position, then its three turns.
static void ApplyEntityTransform(const SceneEntity& entity)
{
    glTranslatef(entity.position.x, entity.position.y, entity.position.z);
    glRotatef(entity.angles[1], 0.0f, 0.0f, 1.0f);
    glRotatef(entity.angles[2], 0.0f, 1.0f, 0.0f);
    glRotatef(-entity.angles[0], 1.0f, 0.0f, 0.0f);
}

void ApplyCameraTransform()
{
    glRotatef(Camera.angles[0] - 90.0f, -1.0f, 0.0f, 0.0f);
    glRotatef(Camera.angles[2], 0.0f, -1.0f, 0.0f);
    glRotatef(Camera.angles[1] - 90.0f, 0.0f, 0.0f, -1.0f);
    glTranslatef(-Camera.position.x, -Camera.position.y, -Camera.position.z);
}

void EntityWorldToObject(const SceneEntity& entity, float worldToObject[12])
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    ApplyEntityTransform(entity);
    GLfloat m[16];  // column-major: element (row, column) at [column * 4 + row]
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glPopMatrix();
    const float objectToWorld[12] = {
        m[0],  m[4],  m[8],   // first row
        m[1],  m[5],  m[9],   // second row
        m[2],  m[6],  m[10],  // third row
        m[12], m[13], m[14],
    };
    InvertRigidTransform(objectToWorld, worldToObject);
}

// ---------------------------------------------------------------------------
// Per-pixel light passes

// Makes `unit` (0 .. 3) the active and the client-active texture unit.
static void SelectTextureUnit(int unit)
{
    GLExtensions.activeTexture(GL_TEXTURE0_ARB + unit);
    GLExtensions.clientActiveTexture(GL_TEXTURE0_ARB + unit);
}

// Set-up and tear-down of one per-pixel light pass. The first three do nothing
// without fragment programs.
static void BeginLightPass(const SceneEntity& entity, const SceneLight& light)
{
    if (!FragmentProgramAvailable)
        return;
    GLExtensions.bindProgram(GL_FRAGMENT_PROGRAM_ARB, StdLightProgramId);

    // object position p -> 0.5 + 0.5 (p - q) / radius: the volume spans two radii around q
    GLExtensions.activeTexture(GL_TEXTURE1_ARB);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(0.5f, 0.5f, 0.5f);
    glScalef(0.5f, 0.5f, 0.5f);
    float inverseRadius = 1.0f / light.radius;
    glScalef(inverseRadius, inverseRadius, inverseRadius);
    const Vec3 origin = {0.0f, 0.0f, 0.0f};
    const Vec3 changes = {-entity.angles[2], 90.0f - entity.angles[1], -entity.angles[0]};
    Vec3 offset;
    VecSubtract(entity.position, light.position, offset);
    Vec3 q;
    RotateAboutOrigin(origin, nullptr, changes, offset, q);
    glTranslatef(-q.x, -q.y, -q.z);

    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_FRAGMENT_PROGRAM_ARB);
}

static void BindLightPassTextures(uint32_t normalTexture, uint32_t decalTexture)
{
    if (!FragmentProgramAvailable)
        return;
    GLExtensions.activeTexture(GL_TEXTURE3_ARB);
    glEnable(GL_TEXTURE_CUBE_MAP_ARB);
    glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, static_cast<GLuint>(NormalizationCubeMapId));
    GLExtensions.activeTexture(GL_TEXTURE2_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, decalTexture);
    // the attenuation volume has been bound on unit 1 since start-up
    GLExtensions.activeTexture(GL_TEXTURE1_ARB);
    glEnable(GL_TEXTURE_3D);
    GLExtensions.activeTexture(GL_TEXTURE0_ARB);
    glBindTexture(GL_TEXTURE_2D, normalTexture);
}

// Object-linear generation of all four coordinates: (x, y, z, 1) of the vertex.
static void GenerateObjectPositionCoordinates()
{
    static const GLenum coordinates[4] = {GL_S, GL_T, GL_R, GL_Q};
    static const GLenum enables[4] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q};
    for (int k = 0; k < 4; ++k) {
        GLfloat plane[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        plane[k] = 1.0f;
        glTexGeni(coordinates[k], GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
        glTexGenfv(coordinates[k], GL_OBJECT_PLANE, plane);
        glEnable(enables[k]);
    }
}

static void DisableGeneratedCoordinates()
{
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_GEN_Q);
}

// Texture coordinates of the active client unit from `pairs`; a surface
// without coordinates leaves the array off rather than reading from nowhere.
static void SetTexCoordArray(int components, const void* coordinates)
{
    if (!coordinates) {
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        return;
    }
    glTexCoordPointer(components, GL_FLOAT, components * static_cast<GLsizei>(sizeof(float)), coordinates);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
}

static void SetLightPassArrays(const SceneLight& light, const Vec3* lightVectors, const uint8_t* texCoords)
{
    (void)light;  // every light uses the same arrays
    if (!FragmentProgramAvailable)
        return;
    SelectTextureUnit(3);
    SetTexCoordArray(3, lightVectors);
    SelectTextureUnit(1);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    GenerateObjectPositionCoordinates();
    SelectTextureUnit(0);
    SetTexCoordArray(2, texCoords);
    SelectTextureUnit(2);
    SetTexCoordArray(2, texCoords);
}

static void EndLightPass(uint32_t unit0Texture)
{
    if (!GLExtensions.activeTexture || !GLExtensions.clientActiveTexture)
        return;  // no pass can have begun
    SelectTextureUnit(3);
    glDisable(GL_TEXTURE_CUBE_MAP_ARB);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    SelectTextureUnit(2);
    glDisable(GL_TEXTURE_2D);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    SelectTextureUnit(1);
    glDisable(GL_TEXTURE_3D);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    SelectTextureUnit(0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glBindTexture(GL_TEXTURE_2D, unit0Texture);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_FRAGMENT_PROGRAM_ARB);
}

// Undoes what BeginLightPass and SetLightPassArrays left on unit 1.
static void ResetAttenuationUnit()
{
    GLExtensions.activeTexture(GL_TEXTURE1_ARB);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    DisableGeneratedCoordinates();
    SelectTextureUnit(0);
}

// ---------------------------------------------------------------------------
// Surfaces

static void DrawTriangles(const Surface* surface)
{
    if (surface->triangleIndices && surface->triangleCount > 0)
        glDrawElements(GL_TRIANGLES, 3 * surface->triangleCount, GL_UNSIGNED_INT, surface->triangleIndices);
}

static void DrawLightPasses(Surface* surface, const SceneEntity& entity)
{
    float worldToObject[12];
    EntityWorldToObject(entity, worldToObject);
    const uint8_t* texCoords = SurfaceTexCoordPairs(surface);
    glVertexPointer(3, GL_FLOAT, sizeof(Vec3), surface->positions);
    glEnableClientState(GL_VERTEX_ARRAY);
    for (const SceneLight* light = LightList; light; light = light->next) {
        Vec3 lightObject;
        TransformPoint(worldToObject, light->position, lightObject);
        ComputeTangentLightVectors(surface->vertexCount, surface->positions, surface->faceCount, surface->faces,
                                   surface->tangentFrames, surface->normals, surface->lightVectors, lightObject,
                                   texCoords, surface);
        glColor4f(light->color[0], light->color[1], light->color[2], 1.0f);
        BeginLightPass(entity, *light);
        BindLightPassTextures(entity.normalTexture, entity.decalTexture);
        SetLightPassArrays(*light, surface->lightVectors, texCoords);
        DrawTriangles(surface);
        ResetAttenuationUnit();
        EndLightPass(0);
        // the first light replaces what is behind; every further light adds at equal depth
        glBlendFunc(GL_ONE, GL_ONE);
        glEnable(GL_BLEND);
    }
    glDisableClientState(GL_VERTEX_ARRAY);
}

static void DrawFallbackPass(Surface* surface, const SceneEntity& entity)
{
    ComputeFallbackColors(entity, surface);
    if (!surface->vertexColors)
        return;
    glColorPointer(4, GL_FLOAT, 4 * sizeof(float), surface->vertexColors);
    glEnableClientState(GL_COLOR_ARRAY);
    const uint8_t* texCoords = SurfaceTexCoordPairs(surface);
    if (entity.decalTexture != 0) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, entity.decalTexture);
        SetTexCoordArray(2, texCoords);
    }
    glVertexPointer(3, GL_FLOAT, sizeof(Vec3), surface->positions);
    glEnableClientState(GL_VERTEX_ARRAY);
    DrawTriangles(surface);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

// The surface's edges over what was drawn, pulled towards the eye so that the
// surface itself does not hide them.
static void DrawWireframe(const Surface* surface)
{
    glDisable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glEnable(GL_POLYGON_OFFSET_LINE);
    glPolygonOffset(-1.0f, -1.0f);
    glColor4f(WireframeColor[0], WireframeColor[1], WireframeColor[2], WireframeColor[3]);
    glVertexPointer(3, GL_FLOAT, sizeof(Vec3), surface->positions);
    glEnableClientState(GL_VERTEX_ARRAY);
    DrawTriangles(surface);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_POLYGON_OFFSET_LINE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glEnable(GL_TEXTURE_2D);
}

// Deforms and lights every surface of the list: one pass per light per surface
// (additive after the first), or the fallback pass.
static void DrawModelSurfaces(Surface* firstSurface, const SceneEntity& entity)
{
    for (Surface* surface = firstSurface; surface; surface = surface->next) {
        DeformSurface(surface);
        if (!surface->positions || surface->vertexCount <= 0)
            continue;  // nothing to place or light
        if (FragmentProgramAvailable)
            DrawLightPasses(surface, entity);
        glDisable(GL_BLEND);
        if (!FragmentProgramAvailable)
            DrawFallbackPass(surface, entity);
        if (entity.wireframe)
            DrawWireframe(surface);
    }
}

// Loads the entity's modelview matrix and draws its surfaces when it is active.
static void DrawEntity(const SceneEntity& entity)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    ApplyCameraTransform();
    ApplyEntityTransform(entity);
    if (entity.active && entity.surfaces)
        DrawModelSurfaces(entity.surfaces, entity);
}

// ---------------------------------------------------------------------------
// Overlay

// Pushes projection and modelview and sets up pixel coordinates, y downwards.
static void BeginOverlay2D()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, ViewportWidth, ViewportHeight, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

// The heightmap picture, upright in the top-left corner; the current colour
// modulates it and depth testing stays on.
static void DrawOverlay()
{
    BeginOverlay2D();
    if (GLExtensions.activeTexture)
        GLExtensions.activeTexture(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, HeightmapTextureId);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, 0.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, OverlaySize);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(OverlaySize, OverlaySize);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(OverlaySize, 0.0f);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
// ---------------------------------------------------------------------------
// Lists and frame

void DrawEntityList(SceneEntity* list, bool freeRecords, bool drawRecords)
{
    if (!list)
        return;
    DrawEntityList(list->next, freeRecords, drawRecords);
    if (drawRecords)
        DrawEntity(*list);
    if (freeRecords)
        free(list);
}

void FreeLightList(SceneLight* first)
{
    while (first) {
        SceneLight* next = first->next;
        free(first);
        first = next;
    }
}

void RenderFrame()
{
    ApplyBackgroundColor();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    if (EntityList) {
        // the last added is drawn first, the list head last
        DrawEntityList(EntityList->next, true, true);
        DrawEntity(*EntityList);
        free(EntityList);
        EntityList = nullptr;
    }
    FreeLightList(LightList);
    LightList = nullptr;
    if (HeightmapTextureId != 0 && HeightmapImage)
        DrawOverlay();
}
