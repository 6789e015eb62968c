// The preview's frame loop: a window timer of the main window builds each
// frame's scene (the current model as one entity, one white point light at the
// eye or where the settings block's light direction puts it), has it drawn and
// presents it. The eye stays put; the mouse drag sums ViewTilt and ViewSpin turn
// the model, ViewZoom and the pan move it.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "render/scene.h"
#include "resources/resource_ids.h"

// The frame timer of the main window is FrameTimerId (resources/resource_ids.h);
// interval 0 asks for the platform's minimum.
const unsigned FrameTimerIntervalMs = 0;
// Each tick sleeps this long, which yields the processor and bounds the frame rate.
const unsigned FrameSleepMs = 5;

// The scene of every frame that has a model. The model's origin lies 4096 units
// in front of the eye and 64 below the line of sight.
const Vec3 FrameEntityPosition = {-4096.0f, 0.0f, 64.0f};
const float FrameTiltOffset = 90.0f;                 // angles[0] = ViewTilt + this
const float FrameSpinOffset = -90.0f;                // angles[1] = ViewSpin + this
const Vec3 FrameLightPosition = {0.0f, 0.0f, 0.0f};  // the eye
const float FrameLightColor[3] = {1.0f, 1.0f, 1.0f};
const float FrameLightRadius = 163840.0f;

// While nothing changes the timer ticks this slowly and draws nothing.
const unsigned FrameIdleIntervalMs = 30;

// The timer callback (its arguments are not used): while the main window
// exists and the picture would differ from the last one presented (PreviewOutOfDate,
// another model, view, viewport, background or texture), BuildFrame, a buffer
// swap of PreviewGLContext and a 5 ms sleep. A failed swap is ignored. Without a
// change it draws nothing and slows the timer to FrameIdleIntervalMs until the next one.
void FrameTimerProc(WindowHandle window, unsigned message, uintptr_t timerId, uint32_t time);

// Puts the current model (if any) and the light into the lists, then RenderFrame.
void BuildFrame();

// Append a heap copy of the record (its next cleared) to the end of EntityList /
// LightList; the caller's record is not kept. A failed allocation adds nothing.
void AddEntity(const SceneEntity* entity);
void AddLight(const SceneLight* light);
