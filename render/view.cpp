#include "render/view.h"

#include <algorithm>
#include <cmath>

#include "platform/shell.h"
#include "render/frame.h"
#include "render/gl_setup.h"
#include "settings/settings_block.h"

void TurnView(int dx, int dy)
{
    ViewSpin += static_cast<float>(dx) * ViewDegreesPerPixel;
    ViewTilt += static_cast<float>(dy) * ViewDegreesPerPixel;
}

// World units per pixel in the plane of the model's origin.
static double UnitsPerPixel()
{
    double distance = -FrameEntityPosition.x / ViewZoom;
    double visibleHeight = 2.0 * distance * std::tan(PreviewFieldOfViewY / 2.0 * DegreesToRadians);
    return visibleHeight / std::max(ViewportHeight, 1);
}

void PanView(int dx, int dy)
{
    const double units = UnitsPerPixel();
    ViewPanX += static_cast<float>(dx * units);
    ViewPanY += static_cast<float>(dy * units);
}

void TurnLight(int dx, int dy)
{
    SettingsBlock.lightAzimuth = std::fmod(SettingsBlock.lightAzimuth + dx * ViewDegreesPerPixel, 360.0f);
    SettingsBlock.lightElevation =
        std::min(std::max(SettingsBlock.lightElevation - dy * ViewDegreesPerPixel, 0.0f), 90.0f);
}

static float ClampZoom(double zoom)
{
    return static_cast<float>(std::min<double>(std::max<double>(zoom, ViewMinimumZoom), ViewMaximumZoom));
}

void ZoomView(int wheelDelta)
{
    ViewZoom = ClampZoom(ViewZoom * std::pow(ViewZoomPerWheelNotch, wheelDelta / double(ViewWheelNotch)));
}

static double BoundingRadius(const Model* model)
{
    double radius = 0.0;
    for (const Surface* surface = model ? model->firstSurface : nullptr; surface; surface = surface->next)
        for (int32_t i = 0; surface->positions && i < surface->vertexCount; ++i) {
            const Vec3& p = surface->positions[i];
            radius = std::max(radius, std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z));
        }
    return radius;
}

void FitViewToModel(const Model* model)
{
    ViewPanX = ViewPanY = 0.0f;
    ViewZoom = 1.0f;
    const double radius = BoundingRadius(model);
    if (radius <= 0.0)
        return;
    // the narrower of the two fields of view decides
    const double aspect = double(std::max(ViewportWidth, 1)) / std::max(ViewportHeight, 1);
    const double halfTan = std::tan(PreviewFieldOfViewY / 2.0 * DegreesToRadians) * std::min(aspect, 1.0);
    const double halfAngle = std::atan(halfTan * ViewFitFraction);
    const double distance = radius / std::sin(halfAngle);
    ViewZoom = ClampZoom(-FrameEntityPosition.x / distance);
}

void ResetView(const Model* model)
{
    ViewSpin = ViewTilt = 0.0f;
    FitViewToModel(model);
}
