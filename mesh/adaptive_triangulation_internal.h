// What the triangulation's two files share: its exact predicates and the setting and freeing
// of triangles, which keep the links, the touched list and the best state up to date.
#pragma once

#include <cstdint>

#include "mesh/adaptive_triangulation.h"

// > 0 when a, b, c have positive orientation, 0 when they lie on one line.
int64_t OrientationOf(const Triangulation* mesh, int32_t a, int32_t b, int32_t c);

// > 0 when d lies strictly inside the circle through a, b, c (positive orientation).
int64_t InCircle(const Triangulation* mesh, int32_t a, int32_t b, int32_t c, int32_t d);

// Sets t's corners and links, and the links back from its neighbours.
void SetTriangle(Triangulation* mesh, int32_t t, const int32_t* corners, const int32_t* across);

void FreeTriangle(Triangulation* mesh, int32_t t);
