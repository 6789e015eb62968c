// The frame loop.
#include "render/frame.h"

#include <cstdlib>
#include <cstring>

#include "image/picture_texture.h"
#include "model/model_store.h"
#include "platform/shell.h"
#include "render/gl_setup.h"

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

// The model as the frame shows it, turned by the mouse drag sums.
static void AddModelEntity(Model* model)
{
    SceneEntity entity;
    memset(&entity, 0, sizeof entity);
    entity.position = FrameEntityPosition;
    entity.angles[0] = ViewTilt + FrameTiltOffset;
    entity.angles[1] = ViewSpin + FrameSpinOffset;
    entity.angles[2] = 0.0f;
    entity.active = 1;
    entity.surfaces = model->firstSurface;
    entity.decalTexture = DecalTextureId;
    entity.normalTexture = NormalTextureId;
    AddEntity(&entity);
}

static void AddEyeLight()
{
    SceneLight light;
    memset(&light, 0, sizeof light);
    light.position = FrameLightPosition;
    memcpy(light.color, FrameLightColor, sizeof light.color);
    light.radius = FrameLightRadius;
    AddLight(&light);
}

void BuildFrame()
{
    Model* model = CurrentModelInstance ? GetInstanceModel(CurrentModelInstance) : nullptr;
    if (model) {
        AddModelEntity(model);
        AddEyeLight();
    }
    RenderFrame();
}

void FrameTimerProc(WindowHandle window, unsigned message, uintptr_t timerId, uint32_t time)
{
    (void)window;
    (void)message;
    (void)timerId;
    (void)time;
    // no frame without a context: before a failed set-up or after shut-down
    if (MainWindow && PreviewGLContext) {
        BuildFrame();
        SwapGLBuffers(PreviewGLContext);
    }
    SleepMilliseconds(FrameSleepMs);
}
