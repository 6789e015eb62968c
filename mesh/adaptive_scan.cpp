// Exact plane errors over the pixels of a triangle.
//
// Contents: the plane; the rows of a triangle; the portable scan; the AVX2 scan;
// FindWorstPixel; PlaneErrorAt.
#include "mesh/adaptive_scan.h"

#include <algorithm>
#include <cmath>

bool AdaptiveScanPortableOnly = false;

// ---------------------------------------------------------------------------
// The plane

// Twice the triangle's area (D) times the plane's height at pixel (x, y) is
// D z0 + slopeX (x - x0) + slopeY (y - y0), an integer below 2^47 for sides up to 16384
// and samples up to 65535; so are D x sample and every sum below, all exact in a double.
struct Plane {
    int64_t x0, y0, z0;
    int64_t area2;  // D > 0
    int64_t slopeX;
    int64_t slopeY;
};

static Plane PlaneThrough(const HeightField* field, const int32_t* x, const int32_t* y)
{
    int64_t z[3];
    for (int i = 0; i < 3; ++i)
        z[i] = field->samples[static_cast<int64_t>(y[i]) * field->width + x[i]];
    const int64_t dx1 = x[1] - x[0], dy1 = y[1] - y[0], dz1 = z[1] - z[0];
    const int64_t dx2 = x[2] - x[0], dy2 = y[2] - y[0], dz2 = z[2] - z[0];
    Plane plane;
    plane.x0 = x[0];
    plane.y0 = y[0];
    plane.z0 = z[0];
    plane.area2 = dx1 * dy2 - dy1 * dx2;
    plane.slopeX = dz1 * dy2 - dy1 * dz2;
    plane.slopeY = dx1 * dz2 - dz1 * dx2;
    return plane;
}

// D x the plane's height at (0, row): the height at (x, row) adds slopeX x.
static int64_t RowBase(const Plane* plane, int64_t row)
{
    return plane->area2 * plane->z0 + plane->slopeY * (row - plane->y0) - plane->slopeX * plane->x0;
}

static int64_t FloorDiv(int64_t n, int64_t d)
{
    int64_t q = n / d;
    if (q * d > n)
        --q;
    return q;
}

// ---------------------------------------------------------------------------
// The rows of a triangle

// A pixel lies in the triangle when it lies on the inner side of each edge a -> b:
// (bx - ax)(y - ay) - (by - ay)(x - ax) >= 0. An edge going up (by < ay) bounds rows from the
// left, one going down from the right; the bound moves by a fixed fraction per row, kept as
// quotient and remainder so that it stays exact.
struct EdgeWalk {
    int64_t quotient;
    int64_t remainder;
    int64_t stepQuotient;
    int64_t stepRemainder;
    int64_t denominator;
    int64_t origin;
    int64_t originRow;
    int64_t step;
};

// Returns -1 for an edge bounding rows from the left, 1 from the right, 0 for a level edge.
static int StartWalk(EdgeWalk* walk, int64_t ax, int64_t ay, int64_t bx, int64_t by)
{
    const int64_t dx = bx - ax, dy = by - ay;
    if (dy == 0)
        return 0;
    walk->step = dy < 0 ? -dx : dx;
    walk->denominator = dy < 0 ? -dy : dy;
    walk->origin = ax;
    walk->originRow = ay;
    walk->stepQuotient = FloorDiv(walk->step, walk->denominator);
    walk->stepRemainder = walk->step - walk->stepQuotient * walk->denominator;
    return dy < 0 ? -1 : 1;
}

static void WalkTo(EdgeWalk* walk, int64_t row)
{
    const int64_t n = walk->step * (row - walk->originRow);
    walk->quotient = FloorDiv(n, walk->denominator);
    walk->remainder = n - walk->quotient * walk->denominator;
}

static inline int64_t LeftBound(const EdgeWalk& walk)
{
    return walk.origin + walk.quotient + (walk.remainder != 0);
}

static inline int64_t RightBound(const EdgeWalk& walk)
{
    return walk.origin + walk.quotient;
}

static inline void StepWalk(EdgeWalk* walk)
{
    walk->remainder += walk->stepRemainder;
    const int64_t carry = walk->remainder >= walk->denominator;
    walk->quotient += walk->stepQuotient + carry;
    walk->remainder -= carry ? walk->denominator : 0;
}

// Rows first..last, each bounded by one edge on either side.
struct RowRange {
    int64_t first;
    int64_t last;
    EdgeWalk left;
    EdgeWalk right;
};

// The triangle's rows in one range (with a level edge) or two: above the middle corner's row
// and from it down.
static int SplitRows(const int32_t* x, const int32_t* y, RowRange* ranges)
{
    const int64_t top = std::min({y[0], y[1], y[2]}), bottom = std::max({y[0], y[1], y[2]});
    EdgeWalk walks[3];
    int sides[3];
    for (int i = 0; i < 3; ++i)
        sides[i] = StartWalk(&walks[i], x[i], y[i], x[(i + 1) % 3], y[(i + 1) % 3]);
    for (int i = 0; i < 3; ++i)
        if (sides[i] == 0) {
            const EdgeWalk& a = walks[(i + 1) % 3];
            const EdgeWalk& b = walks[(i + 2) % 3];
            const bool aLeft = sides[(i + 1) % 3] < 0;
            ranges[0] = RowRange{top, bottom, aLeft ? a : b, aLeft ? b : a};
            WalkTo(&ranges[0].left, top);
            WalkTo(&ranges[0].right, top);
            return 1;
        }
    // the long edge joins the top and bottom corners; edge i runs from corner i to corner i + 1
    int longEdge = 0;
    for (int i = 0; i < 3; ++i) {
        const int64_t low = std::min(y[i], y[(i + 1) % 3]), high = std::max(y[i], y[(i + 1) % 3]);
        if (low == top && high == bottom)
            longEdge = i;
    }
    const int a = (longEdge + 1) % 3, b = (longEdge + 2) % 3;  // the two short edges, a then b
    const int upper = std::min(y[a], y[(a + 1) % 3]) == top ? a : b;
    const int lower = upper == a ? b : a;
    const int64_t middle = y[(upper + 1) % 3] == top ? y[upper] : y[(upper + 1) % 3];
    const bool longLeft = sides[longEdge] < 0;
    EdgeWalk longWalk = walks[longEdge];
    WalkTo(&longWalk, top);
    WalkTo(&walks[upper], top);
    ranges[0] = RowRange{top, middle - 1, longLeft ? longWalk : walks[upper], longLeft ? walks[upper] : longWalk};
    WalkTo(&longWalk, middle);
    WalkTo(&walks[lower], middle);
    ranges[1] = RowRange{middle, bottom, longLeft ? longWalk : walks[lower], longLeft ? walks[lower] : longWalk};
    return 2;
}

// The span of one row, found directly.
static void RowSpan(const int32_t* x, const int32_t* y, int64_t row, int64_t* xl, int64_t* xr)
{
    *xl = INT64_MIN;
    *xr = INT64_MAX;
    for (int i = 0; i < 3; ++i) {
        const int64_t ax = x[i], ay = y[i], bx = x[(i + 1) % 3], by = y[(i + 1) % 3];
        if (by < ay)
            *xl = std::max(*xl, ax - FloorDiv((bx - ax) * (row - ay), ay - by));
        else if (by > ay)
            *xr = std::min(*xr, ax + FloorDiv((bx - ax) * (row - ay), by - ay));
    }
}

// ---------------------------------------------------------------------------
// The portable scan

// The largest of D x |sample - plane| and the first row holding it (-1: all exact).
struct ScanResult {
    double scaledError;
    int64_t row;
};

static void ScanRangePortable(const HeightField* field, const Plane* plane, RowRange range, ScanResult* result)
{
    const double scale = static_cast<double>(plane->area2);
    const double slope = static_cast<double>(plane->slopeX);
    int64_t base = RowBase(plane, range.first);
    for (int64_t row = range.first; row <= range.last; ++row, base += plane->slopeY) {
        const int64_t xl = LeftBound(range.left), xr = RightBound(range.right);
        StepWalk(&range.left);
        StepWalk(&range.right);
        const uint16_t* samples = field->samples + row * field->width;
        const double rowBase = static_cast<double>(base);
        for (int64_t x = xl; x <= xr; ++x) {
            const double error = std::fabs(scale * samples[x] - (rowBase + slope * static_cast<double>(x)));
            if (error > result->scaledError) {
                result->scaledError = error;
                result->row = row;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// The AVX2 scan

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

// Per lane: the largest scaled error so far and its row.
struct LaneBest {
    __m256d error;
    __m256d row;
};

// Four pixels at a time from xl, lanes outside xl..xr masked off. A read that would run past
// the end of a row is moved back to end there, so no read leaves the picture.
__attribute__((target("avx2"))) static void ScanRangeAvx2(const HeightField* field, const Plane* plane, RowRange range,
                                                          LaneBest* best)
{
    const __m256d ramp = _mm256_set_pd(3, 2, 1, 0);
    const __m256d scale = _mm256_set1_pd(static_cast<double>(plane->area2));
    const __m256d slope = _mm256_set1_pd(static_cast<double>(plane->slopeX));
    const __m256d signBit = _mm256_set1_pd(-0.0);
    const int64_t lastStart = field->width - 4;
    const int64_t slopeY = plane->slopeY;
    __m256d bestError = best->error, bestRow = best->row;
    int64_t base = RowBase(plane, range.first);
    for (int64_t row = range.first; row <= range.last; ++row, base += slopeY) {
        const int64_t xl = LeftBound(range.left), xr = RightBound(range.right);
        StepWalk(&range.left);
        StepWalk(&range.right);
        const uint16_t* samples = field->samples + row * field->width;
        const __m256d rowBase = _mm256_set1_pd(static_cast<double>(base));
        const __m256d first = _mm256_set1_pd(static_cast<double>(xl));
        const __m256d last = _mm256_set1_pd(static_cast<double>(xr));
        const __m256d rowIndex = _mm256_set1_pd(static_cast<double>(row));
        for (int64_t x = xl; x <= xr; x += 4) {
            const int64_t start = std::min(x, lastStart);
            const __m128i packed = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples + start));
            const __m256d heights = _mm256_cvtepi32_pd(_mm_cvtepu16_epi32(packed));
            const __m256d xs = _mm256_add_pd(_mm256_set1_pd(static_cast<double>(start)), ramp);
            const __m256d surface = _mm256_add_pd(rowBase, _mm256_mul_pd(slope, xs));
            const __m256d error = _mm256_andnot_pd(signBit, _mm256_sub_pd(_mm256_mul_pd(heights, scale), surface));
            const __m256d inside =
                _mm256_and_pd(_mm256_cmp_pd(xs, first, _CMP_GE_OQ), _mm256_cmp_pd(xs, last, _CMP_LE_OQ));
            const __m256d masked = _mm256_and_pd(error, inside);
            const __m256d better = _mm256_cmp_pd(masked, bestError, _CMP_GT_OQ);
            bestError = _mm256_max_pd(bestError, masked);
            bestRow = _mm256_blendv_pd(bestRow, rowIndex, better);
        }
    }
    best->error = bestError;
    best->row = bestRow;
}

__attribute__((target("avx2"))) static ScanResult ScanAvx2(const HeightField* field, const Plane* plane,
                                                           const RowRange* ranges, int rangeCount)
{
    LaneBest best = {_mm256_setzero_pd(), _mm256_set1_pd(-1)};
    for (int i = 0; i < rangeCount; ++i)
        ScanRangeAvx2(field, plane, ranges[i], &best);
    double errors[4], rows[4];
    _mm256_storeu_pd(errors, best.error);
    _mm256_storeu_pd(rows, best.row);
    ScanResult result = {0, -1};
    for (int i = 0; i < 4; ++i) {
        const int64_t row = static_cast<int64_t>(rows[i]);
        if (errors[i] > result.scaledError || (errors[i] > 0 && errors[i] == result.scaledError && row < result.row)) {
            result.scaledError = errors[i];
            result.row = row;
        }
    }
    return result;
}

static bool UseAvx2(const HeightField* field)
{
    static const bool available = __builtin_cpu_supports("avx2");
    return available && field->width >= 4 && !AdaptiveScanPortableOnly;
}
#endif

// ---------------------------------------------------------------------------
// FindWorstPixel

WorstPixel FindWorstPixel(const HeightField* field, const int32_t* x, const int32_t* y)
{
    const Plane plane = PlaneThrough(field, x, y);
    RowRange ranges[2];
    const int rangeCount = SplitRows(x, y, ranges);
    const int64_t top = ranges[0].first, bottom = ranges[rangeCount - 1].last;
    // the rows of a small triangle lie far apart in memory: ask for them all at once
    if (bottom - top < 32) {
        const int64_t left = std::min({x[0], x[1], x[2]});
        for (int64_t row = top; row <= bottom; ++row)
            __builtin_prefetch(field->samples + row * field->width + left);
    }
    ScanResult result = {0, -1};
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (UseAvx2(field))
        result = ScanAvx2(field, &plane, ranges, rangeCount);
    else
#endif
        for (int i = 0; i < rangeCount; ++i)
            ScanRangePortable(field, &plane, ranges[i], &result);
    if (result.row < 0)
        return WorstPixel{0, -1};
    // the first pixel of that row with exactly that error
    int64_t xl, xr;
    RowSpan(x, y, result.row, &xl, &xr);
    const uint16_t* samples = field->samples + result.row * field->width;
    const double scale = static_cast<double>(plane.area2);
    const double base = static_cast<double>(RowBase(&plane, result.row));
    const double slope = static_cast<double>(plane.slopeX);
    int64_t column = xr;
    for (int64_t px = xl; px < xr; ++px)
        if (std::fabs(scale * samples[px] - (base + slope * static_cast<double>(px))) == result.scaledError) {
            column = px;
            break;
        }
    return WorstPixel{result.scaledError / scale / 257.0, static_cast<int32_t>(result.row * field->width + column)};
}

// ---------------------------------------------------------------------------
// PlaneErrorAt

double PlaneErrorAt(const HeightField* field, const int32_t* x, const int32_t* y, int32_t pixel)
{
    const Plane plane = PlaneThrough(field, x, y);
    const int64_t px = pixel % field->width, py = pixel / field->width;
    const int64_t surface = RowBase(&plane, py) + plane.slopeX * px;
    const int64_t error = plane.area2 * field->samples[pixel] - surface;
    return static_cast<double>(error < 0 ? -error : error) / static_cast<double>(plane.area2) / 257.0;
}
