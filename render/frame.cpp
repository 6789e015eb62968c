// The frame loop.
#include "render/frame.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "image/image_load.h"
#include "image/picture_texture.h"
#include "model/model_store.h"
#include "platform/shell.h"
#include "render/gl_setup.h"
#include "settings/settings.h"
#include "settings/settings_block.h"

// Appends a heap copy of the record, its link cleared, to the end of the list.
template <typename Record>
static void AppendCopy(Record** list, const Record* record)
{
    Record** end = list;
    while (*end)
        end = &(*end)->next;
    Record* copy = static_cast<Record*>(malloc(sizeof(Record)));
    if (!copy)
        return;
    *copy = *record;
    copy->next = nullptr;
    *end = copy;
}

void AddEntity(const SceneEntity* entity)
{
    AppendCopy(&EntityList, entity);
}

void AddLight(const SceneLight* light)
{
    AppendCopy(&LightList, light);
}

// The model as the frame shows it, turned by the mouse drag sums; returns where it lies.
static Vec3 AddModelEntity(Model* model)
{
    SceneEntity entity;
    memset(&entity, 0, sizeof entity);
    // the eye sees world -y to its right and world +z downwards
    entity.position = {FrameEntityPosition.x / ViewZoom, FrameEntityPosition.y - ViewPanX,
                       FrameEntityPosition.z + ViewPanY};
    entity.angles[0] = ViewTilt + FrameTiltOffset;
    entity.angles[1] = ViewSpin + FrameSpinOffset;
    entity.angles[2] = 0.0f;
    entity.active = 1;
    entity.surfaces = model->firstSurface;
    entity.decalTexture = DecalTextureId;
    entity.normalTexture = NormalTextureId;
    entity.wireframe = SettingsBlock.wireframe != 0;
    AddEntity(&entity);
    return entity.position;
}

// The light keeps the eye's distance from the model's origin and leaves the eye
// by 90 degrees less the elevation, towards the azimuth's screen direction (0 up
// the screen, 90 to the right): at elevation 90 it is the eye itself.
static Vec3 LightPosition(const Vec3& model)
{
    const double away = (90.0 - SettingsBlock.lightElevation) * DegreesToRadians;
    const double azimuth = SettingsBlock.lightAzimuth * DegreesToRadians;
    const Vec3 eye = FrameLightPosition;
    const double toEye[3] = {eye.x - model.x, eye.y - model.y, eye.z - model.z};
    const double sideways = std::sqrt(toEye[0] * toEye[0] + toEye[1] * toEye[1] + toEye[2] * toEye[2]) * std::sin(away);
    const double back = std::cos(away) - 1.0;
    // the screen's right is world -y, its up world -z
    return {static_cast<float>(eye.x + back * toEye[0]),
            static_cast<float>(eye.y + back * toEye[1] - sideways * std::sin(azimuth)),
            static_cast<float>(eye.z + back * toEye[2] - sideways * std::cos(azimuth))};
}

static void AddModelLight(const Vec3& model)
{
    SceneLight light;
    memset(&light, 0, sizeof light);
    light.position = LightPosition(model);
    memcpy(light.color, FrameLightColor, sizeof light.color);
    light.radius = FrameLightRadius;
    AddLight(&light);
}

void BuildFrame()
{
    Model* model = CurrentModelInstance ? GetInstanceModel(CurrentModelInstance) : nullptr;
    if (model) {
        AddModelLight(AddModelEntity(model));
    }
    RenderFrame();
}

// Everything besides PreviewOutOfDate that decides the picture, as one
// comparable record (zeroed first, so that padding compares equal).
struct FrameInputs {
    const ModelInstance* instance;
    const Model* model;
    const Surface* surfaces;
    float tilt, spin, zoom, panX, panY;
    int32_t wireframe;
    float lightAzimuth, lightElevation;
    float background[4];
    uint32_t decalTexture, normalTexture;
    int32_t viewportWidth, viewportHeight;
    const Image* heightmap;
};

static FrameInputs CurrentFrameInputs()
{
    FrameInputs inputs;
    memset(&inputs, 0, sizeof inputs);
    inputs.instance = CurrentModelInstance;
    inputs.model = CurrentModelInstance ? GetInstanceModel(CurrentModelInstance) : nullptr;
    inputs.surfaces = inputs.model ? inputs.model->firstSurface : nullptr;
    inputs.tilt = ViewTilt;
    inputs.spin = ViewSpin;
    inputs.zoom = ViewZoom;
    inputs.wireframe = SettingsBlock.wireframe;
    inputs.lightAzimuth = SettingsBlock.lightAzimuth;
    inputs.lightElevation = SettingsBlock.lightElevation;
    inputs.panX = ViewPanX;
    inputs.panY = ViewPanY;
    memcpy(inputs.background, GenerationSettings.backgroundColor, sizeof inputs.background);
    inputs.decalTexture = DecalTextureId;
    inputs.normalTexture = NormalTextureId;
    inputs.viewportWidth = ViewportWidth;
    inputs.viewportHeight = ViewportHeight;
    inputs.heightmap = HeightmapImage;
    return inputs;
}

// True when the picture may differ from the last one presented; remembers the
// inputs of the frame about to be drawn.
static bool PreviewNeedsFrame()
{
    static FrameInputs presented;
    FrameInputs now = CurrentFrameInputs();
    bool changed = PreviewOutOfDate || memcmp(&now, &presented, sizeof now) != 0;
    memcpy(&presented, &now, sizeof now);  // padding too, which an assignment may skip
    PreviewOutOfDate = false;
    return changed;
}

// The timer runs at the platform's minimum while frames follow each other and
// slows down when the picture stands still.
static void SetFrameCadence(bool drawing)
{
    static WindowHandle slowed = nullptr;  // the window whose timer ticks at the idle interval
    if (!MainWindow || (slowed == MainWindow) == !drawing)
        return;
    slowed = drawing ? nullptr : MainWindow;
    SetWindowTimer(MainWindow, FrameTimerId, drawing ? FrameTimerIntervalMs : FrameIdleIntervalMs, FrameTimerProc);
}

void FrameTimerProc(WindowHandle window, unsigned message, uintptr_t timerId, uint32_t time)
{
    (void)window;
    (void)message;
    (void)timerId;
    (void)time;
    // no frame without a context: before a failed set-up or after shut-down
    bool drawing = MainWindow && PreviewGLContext && PreviewNeedsFrame();
    SetFrameCadence(drawing);
    if (!drawing)
        return;
    BuildFrame();
    SwapGLBuffers(PreviewGLContext);
    SleepMilliseconds(FrameSleepMs);
}
