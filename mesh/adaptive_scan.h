// How far the samples beneath a triangle lie from the triangle's plane, computed exactly:
// with corners at pixels and heights in samples, twice the triangle's area times the plane's
// height at a pixel is an integer, so every error below is an exact quotient.
#pragma once

#include <cstdint>

#include "mesh/adaptive_mesh.h"

// The worst pixel of a triangle.
struct WorstPixel {
    double levels;  // |sample / 257 - plane| there, in levels; 0 when every pixel lies on the plane
    int32_t pixel;  // y x width + x of the first such pixel row by row, then left to right; -1 when levels is 0
};

// x, y: the three corners (pixels of the field) with a positive orientation,
// (x1 - x0)(y2 - y0) > (y1 - y0)(x2 - x0). Every pixel whose point lies in the closed
// triangle is looked at.
WorstPixel FindWorstPixel(const HeightField* field, const int32_t* x, const int32_t* y);

// The error at one pixel of the plane through the three corners.
double PlaneErrorAt(const HeightField* field, const int32_t* x, const int32_t* y, int32_t pixel);

// True makes FindWorstPixel use its portable loop even where the processor has wider
// instructions (both give the same answer). For tests.
extern bool AdaptiveScanPortableOnly;
