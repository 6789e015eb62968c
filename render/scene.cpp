// Scene drawing: the frame's lists, the transforms, the per-pixel light passes,
// the vertex-colour fallback and the heightmap overlay.
//
// Sections: globals; lists and frame; transforms; per-pixel light passes;
// fallback lighting; surfaces; overlay.
#include "render/scene.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdlib>

#include "image/image_load.h"
#include "image/picture_texture.h"
#include "model/lighting_data.h"
#include "render/gl_setup.h"
#include "render/lighting_textures.h"

// ---------------------------------------------------------------------------
// Globals

SceneEntity* EntityList = nullptr;
SceneLight* LightList = nullptr;
const SceneCamera Camera = {{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}};

// Side in pixels of the heightmap overlay, whatever the picture's own size.
static const float OverlaySize = 128.0f;

// ---------------------------------------------------------------------------
// Lists and frame

static void DrawOverlay();

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

void DrawEntity(const SceneEntity& entity)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    ApplyCameraTransform();
    ApplyEntityTransform(entity);
    if (entity.active && entity.surfaces)
        DrawModelSurfaces(entity.surfaces, entity);
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

void BeginLightPass(const SceneEntity& entity, const SceneLight& light)
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

void BindLightPassTextures(uint32_t normalTexture, uint32_t decalTexture)
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

void SetLightPassArrays(const SceneLight& light, const Vec3* lightVectors, const uint8_t* texCoords)
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

void EndLightPass(uint32_t unit0Texture)
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
// Fallback lighting

// The axes of the entity's angles, found once for all faces of a surface.
struct WorldFrame {
    Vec3 origin;   // world position of the object's origin
    Vec3 forward;  // world direction of the object's +x
    Vec3 right;    // world direction of the object's -y
    Vec3 up;       // world direction of the object's +z
};

static WorldFrame MakeWorldFrame(const Vec3& origin, const Vec3& angles)
{
    WorldFrame frame;
    frame.origin = origin;
    AnglesToAxes(angles, &frame.forward, &frame.right, &frame.up);
    return frame;
}

// The origin plus p read in the frame (forward, left, up), left being -right; in
// double precision and rounded once.
static Vec3 ObjectToWorld(const WorldFrame& frame, const Vec3& p)
{
    double x = p.x, y = p.y, z = p.z;
    Vec3 world;
    world.x = static_cast<float>(frame.origin.x + x * frame.forward.x - y * frame.right.x + z * frame.up.x);
    world.y = static_cast<float>(frame.origin.y + x * frame.forward.y - y * frame.right.y + z * frame.up.y);
    world.z = static_cast<float>(frame.origin.z + x * frame.forward.z - y * frame.right.z + z * frame.up.z);
    return world;
}

static void LightFaceCorners(Surface* surface, const WorldFrame& frame, uint32_t a, uint32_t b, uint32_t c)
{
    const uint32_t corners[3] = {a, b, c};
    Vec3 world[3];
    for (int k = 0; k < 3; ++k)
        world[k] = ObjectToWorld(frame, surface->positions[corners[k]]);
    Plane plane;
    PlaneFromPoints(world[0], world[1], world[2], plane);
    Vec3 normal = plane.normal;
    Normalize(normal);

    float* colours[3];
    for (int k = 0; k < 3; ++k) {
        colours[k] = surface->vertexColors + static_cast<size_t>(corners[k]) * 4;
        colours[k][0] = colours[k][1] = colours[k][2] = 0.0f;
    }
    for (const SceneLight* light = LightList; light; light = light->next) {
        Vec3 direction[3];
        float distance[3];
        for (int k = 0; k < 3; ++k) {
            VecSubtract(world[k], light->position, direction[k]);
            distance[k] = Normalize(direction[k]);
        }
        for (int k = 0; k < 3; ++k) {
            if (!(distance[k] < light->radius))
                continue;
            float dot = VecDot(normal, direction[k]);
            // a corner seen edge-on (dot 0) gets nothing, as the positive values tending to it do
            if (!(dot > 0.0f))
                continue;
            float amount = (light->radius - distance[k]) / light->radius * dot;
            for (int channel = 0; channel < 3; ++channel)
                colours[k][channel] += amount * light->colour[channel];
        }
    }
    for (int k = 0; k < 3; ++k) {
        for (int channel = 0; channel < 3; ++channel)
            if (colours[k][channel] > 1.0f)
                colours[k][channel] = 1.0f;
        colours[k][3] = 1.0f;
    }
}

void LightFaceVertices(Surface* surface, const Vec3& origin, const Vec3& angles, uint32_t a, uint32_t b, uint32_t c)
{
    uint32_t count = surface->vertexCount > 0 ? static_cast<uint32_t>(surface->vertexCount) : 0;
    if (!surface->positions || !surface->vertexColors || a >= count || b >= count || c >= count)
        return;
    LightFaceCorners(surface, MakeWorldFrame(origin, angles), a, b, c);
}

void ComputeFallbackColors(const SceneEntity& entity, Surface* surface)
{
    if (!surface->positions || surface->vertexCount <= 0)
        return;
    if (!surface->vertexColors) {
        surface->vertexColors =
            static_cast<float*>(malloc(static_cast<size_t>(surface->vertexCount) * 4 * sizeof(float)));
        if (!surface->vertexColors)
            return;
    }
    // the entity's turns read as (pitch, yaw, roll)
    const Vec3 angles = {entity.angles[2], entity.angles[1], entity.angles[0]};
    WorldFrame frame = MakeWorldFrame(entity.position, angles);
    // triangleIndices holds the faces in order, those with a corner past the
    // vertex list left out
    const uint32_t* corners = surface->triangleIndices;
    for (int32_t face = 0; corners && face < surface->triangleCount; ++face, corners += 3)
        LightFaceCorners(surface, frame, corners[0], corners[1], corners[2]);
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
        glColor4f(light->colour[0], light->colour[1], light->colour[2], 1.0f);
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

void DrawModelSurfaces(Surface* firstSurface, const SceneEntity& entity)
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
    }
}

// ---------------------------------------------------------------------------
// Overlay

void BeginOverlay2D()
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
