// The desktop's steerable view of the preview: a drag turns the mesh, the wheel
// zooms, a pan drag moves it across, a new mesh is framed to fit and a reset
// goes back to that. The values live in the shell (platform/shell.h) where the
// frame loop reads them; batch mode never calls these and keeps the standard view.
#pragma once

#include "model/model3ds.h"

const float ViewDegreesPerPixel = 0.45f;  // a 100-pixel drag turns 45 degrees
const float ViewZoomPerWheelNotch = 1.125f;
const int ViewWheelNotch = 120;  // wheel delta of one notch
const float ViewMinimumZoom = 0.25f;
const float ViewMaximumZoom = 64.0f;
// How much of the preview's shorter side a framed mesh spans, at most.
const float ViewFitFraction = 0.9f;

// Turns by a pointer movement in pixels: across spins, down tilts.
void TurnView(int dx, int dy);
// Moves the mesh with the pointer by a movement in pixels.
void PanView(int dx, int dy);
// `wheelDelta` in the desktop's units (ViewWheelNotch a notch); forward comes nearer.
void ZoomView(int wheelDelta);
// Turns the preview's light (the settings block's direction) by a pointer
// movement: across changes the azimuth, up raises it, from 0 to 90 degrees.
void TurnLight(int dx, int dy);
// Zooms so that the model's bounding sphere about its origin fits the preview
// whichever way it is turned, and clears the pan; the standard zoom without a model.
void FitViewToModel(const Model* model);
// Angles back to 0, then FitViewToModel.
void ResetView(const Model* model);
