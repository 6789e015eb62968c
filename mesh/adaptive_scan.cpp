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
    int64_t area2;  // D > 0
    int64_t slopeX;
    int64_t slopeY;
    int64_t originBase;  // D x the plane's height at pixel (0, 0)
};

static Plane PlaneThrough(const HeightField* field, const int32_t* x, const int32_t* y)
{
    int64_t z[3];
    for (int i = 0; i < 3; ++i)
        z[i] = field->samples[static_cast<int64_t>(y[i]) * field->width + x[i]];
    const int64_t dx1 = x[1] - x[0], dy1 = y[1] - y[0], dz1 = z[1] - z[0];
    const int64_t dx2 = x[2] - x[0], dy2 = y[2] - y[0], dz2 = z[2] - z[0];
    Plane plane;
    plane.area2 = dx1 * dy2 - dy1 * dx2;
    plane.slopeX = dz1 * dy2 - dy1 * dz2;
    plane.slopeY = dx1 * dz2 - dz1 * dx2;
    plane.originBase = plane.area2 * z[0] - plane.slopeX * x[0] - plane.slopeY * y[0];
    return plane;
}

// D x the plane's height at (0, row): the height at (x, row) adds slopeX x.
static int64_t RowBase(const Plane* plane, int64_t row)
{
    return plane->originBase + plane->slopeY * row;
}

// ---------------------------------------------------------------------------
// The rows of a triangle

// The edge from (ax, ay) down to (bx, by) crosses row y at x = ax + (bx - ax)(y - ay) / (by - ay).
// A row's pixels run from the ceiling of its crossing with the left edge to the floor of its
// crossing with the right edge. Row by row a crossing moves by a fixed fraction, kept as
// quotient and remainder so that it stays exact; all values stay below 2^28.
struct EdgeWalk {
    int32_t quotient;  // ax + floor(n / denominator)
    int32_t remainder;
    int32_t stepQuotient;
    int32_t stepRemainder;
    int32_t denominator;
};

static int32_t FloorDiv(int32_t n, int32_t d)
{
    int32_t q = n / d;
    if (q * d > n)
        --q;
    return q;
}

// The walk of edge a -> b, a above b, from the given row.
static EdgeWalk WalkFrom(int32_t ax, int32_t ay, int32_t bx, int32_t by, int32_t row)
{
    const int32_t step = bx - ax;
    EdgeWalk walk;
    walk.denominator = by - ay;
    walk.stepQuotient = FloorDiv(step, walk.denominator);
    walk.stepRemainder = step - walk.stepQuotient * walk.denominator;
    const int32_t n = step * (row - ay);
    const int32_t q = FloorDiv(n, walk.denominator);
    walk.remainder = n - q * walk.denominator;
    walk.quotient = ax + q;
    return walk;
}

static inline int32_t LeftBound(const EdgeWalk& walk)
{
    return walk.quotient + (walk.remainder != 0);
}

static inline void StepWalk(EdgeWalk* walk)
{
    walk->remainder += walk->stepRemainder;
    const int32_t carry = walk->remainder >= walk->denominator;
    walk->quotient += walk->stepQuotient + carry;
    walk->remainder -= carry ? walk->denominator : 0;
}

// Rows first..last, each bounded by one edge on either side.
struct RowRange {
    int32_t first;
    int32_t last;
    EdgeWalk left;
    EdgeWalk right;
};

// The triangle's rows as one range (when an edge is level) or two: above the middle corner's
// row, and from it down. The long edge, from the top corner to the bottom one, bounds both.
static int SplitRows(const int32_t* x, const int32_t* y, RowRange* ranges)
{
    const int top = y[0] <= y[1] ? (y[0] <= y[2] ? 0 : 2) : (y[1] <= y[2] ? 1 : 2);
    const int32_t topRow = y[top];
    int bottom = (top + 1) % 3, middle = (top + 2) % 3;
    if (y[middle] > y[bottom])
        std::swap(middle, bottom);
    const int32_t middleRow = y[middle], bottomRow = y[bottom];
    // in positive orientation (clockwise on screen) the middle corner lies right of the long
    // edge when it follows the top corner
    const bool middleRight = middle == (top + 1) % 3;
    const EdgeWalk longTop = WalkFrom(x[top], y[top], x[bottom], y[bottom], topRow);
    if (middleRow == topRow || middleRow == bottomRow) {
        const EdgeWalk shortWalk = middleRow == topRow ? WalkFrom(x[middle], y[middle], x[bottom], y[bottom], topRow)
                                                       : WalkFrom(x[top], y[top], x[middle], y[middle], topRow);
        ranges[0] = RowRange{topRow, bottomRow, middleRight ? longTop : shortWalk, middleRight ? shortWalk : longTop};
        return 1;
    }
    const EdgeWalk upper = WalkFrom(x[top], y[top], x[middle], y[middle], topRow);
    const EdgeWalk lower = WalkFrom(x[middle], y[middle], x[bottom], y[bottom], middleRow);
    const EdgeWalk longMiddle = WalkFrom(x[top], y[top], x[bottom], y[bottom], middleRow);
    ranges[0] = RowRange{topRow, middleRow - 1, middleRight ? longTop : upper, middleRight ? upper : longTop};
    ranges[1] = RowRange{middleRow, bottomRow, middleRight ? longMiddle : lower, middleRight ? lower : longMiddle};
    return 2;
}

// ---------------------------------------------------------------------------
// The portable scan

// The largest of D x |sample - plane| and the first pixel holding it, row by row.
struct ScanResult {
    double scaledError;
    int64_t row;
    int64_t column;
};

static void ScanRangePortable(const HeightField* field, const Plane* plane, RowRange range, ScanResult* result)
{
    const double scale = static_cast<double>(plane->area2);
    const double slope = static_cast<double>(plane->slopeX);
    int64_t base = RowBase(plane, range.first);
    for (int64_t row = range.first; row <= range.last; ++row, base += plane->slopeY) {
        const int64_t xl = LeftBound(range.left), xr = range.right.quotient;
        StepWalk(&range.left);
        StepWalk(&range.right);
        const uint16_t* samples = field->samples + row * field->width;
        const double rowBase = static_cast<double>(base);
        for (int64_t x = xl; x <= xr; ++x) {
            const double error = std::fabs(scale * samples[x] - (rowBase + slope * static_cast<double>(x)));
            if (error > result->scaledError) {
                result->scaledError = error;
                result->row = row;
                result->column = x;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// The AVX2 scan

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

// Per lane: the largest scaled error so far and where it was first seen.
struct LaneBest {
    __m256d error;
    __m256d row;
    __m256d column;
};

// One step: the errors of four pixels against the surface there, lanes outside the mask set
// to 0, kept where they beat the lane's best.
__attribute__((target("avx2"))) static inline void ScanChunk(const uint16_t* samples, __m256d xs, __m256d surface,
                                                             __m256d inside, __m256d scale, __m256d rowIndex,
                                                             LaneBest* best)
{
    const __m128i packed = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(samples));
    const __m256d heights = _mm256_cvtepi32_pd(_mm_cvtepu16_epi32(packed));
    const __m256d error = _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_sub_pd(_mm256_mul_pd(heights, scale), surface));
    const __m256d masked = _mm256_and_pd(error, inside);
    const __m256d better = _mm256_cmp_pd(masked, best->error, _CMP_GT_OQ);
    best->error = _mm256_max_pd(best->error, masked);
    best->row = _mm256_blendv_pd(best->row, rowIndex, better);
    best->column = _mm256_blendv_pd(best->column, xs, better);
}

// Four pixels at a time from xl, lanes past xr masked off. Near the picture's right side the
// last read is moved back to end at the row's last sample (so no read leaves the picture),
// and lanes before xl are masked off too.
__attribute__((target("avx2"))) static void ScanRangeAvx2(const HeightField* field, const Plane* plane, RowRange range,
                                                          LaneBest* best)
{
    const __m256d ramp = _mm256_set_pd(3, 2, 1, 0);
    const __m256d four = _mm256_set1_pd(4);
    const __m256d scale = _mm256_set1_pd(static_cast<double>(plane->area2));
    const __m256d slope = _mm256_set1_pd(static_cast<double>(plane->slopeX));
    const __m256d slopeFour = _mm256_set1_pd(4 * static_cast<double>(plane->slopeX));
    const int64_t lastStart = field->width - 4;
    const int64_t slopeY = plane->slopeY;
    LaneBest lanes = *best;
    int64_t base = RowBase(plane, range.first);
    for (int64_t row = range.first; row <= range.last; ++row, base += slopeY) {
        const int64_t xl = LeftBound(range.left), xr = range.right.quotient;
        StepWalk(&range.left);
        StepWalk(&range.right);
        const uint16_t* samples = field->samples + row * field->width;
        const __m256d rowBase = _mm256_set1_pd(static_cast<double>(base));
        const __m256d last = _mm256_set1_pd(static_cast<double>(xr));
        const __m256d rowIndex = _mm256_set1_pd(static_cast<double>(row));
        __m256d xs = _mm256_add_pd(_mm256_set1_pd(static_cast<double>(xl)), ramp);
        __m256d surface = _mm256_add_pd(rowBase, _mm256_mul_pd(slope, xs));
        int64_t x = xl;
        for (; x <= xr && x <= lastStart; x += 4) {
            ScanChunk(samples + x, xs, surface, _mm256_cmp_pd(xs, last, _CMP_LE_OQ), scale, rowIndex, &lanes);
            xs = _mm256_add_pd(xs, four);
            surface = _mm256_add_pd(surface, slopeFour);
        }
        if (x <= xr) {
            const __m256d first = _mm256_set1_pd(static_cast<double>(x));
            xs = _mm256_add_pd(_mm256_set1_pd(static_cast<double>(lastStart)), ramp);
            surface = _mm256_add_pd(rowBase, _mm256_mul_pd(slope, xs));
            const __m256d inside =
                _mm256_and_pd(_mm256_cmp_pd(xs, first, _CMP_GE_OQ), _mm256_cmp_pd(xs, last, _CMP_LE_OQ));
            ScanChunk(samples + lastStart, xs, surface, inside, scale, rowIndex, &lanes);
        }
    }
    *best = lanes;
}

// Of equal errors, the lane's pixel first row by row wins, as in the portable scan.
__attribute__((target("avx2"))) static ScanResult ScanAvx2(const HeightField* field, const Plane* plane,
                                                           const RowRange* ranges, int rangeCount)
{
    LaneBest best = {_mm256_setzero_pd(), _mm256_setzero_pd(), _mm256_setzero_pd()};
    for (int i = 0; i < rangeCount; ++i)
        ScanRangeAvx2(field, plane, ranges[i], &best);
    double errors[4], rows[4], columns[4];
    _mm256_storeu_pd(errors, best.error);
    _mm256_storeu_pd(rows, best.row);
    _mm256_storeu_pd(columns, best.column);
    ScanResult result = {0, -1, -1};
    for (int i = 0; i < 4; ++i) {
        const int64_t row = static_cast<int64_t>(rows[i]), column = static_cast<int64_t>(columns[i]);
        const bool earlier = row < result.row || (row == result.row && column < result.column);
        if (errors[i] > result.scaledError || (errors[i] > 0 && errors[i] == result.scaledError && earlier))
            result = ScanResult{errors[i], row, column};
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
    ScanResult result = {0, -1, -1};
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    if (UseAvx2(field))
        result = ScanAvx2(field, &plane, ranges, rangeCount);
    else
#endif
        for (int i = 0; i < rangeCount; ++i)
            ScanRangePortable(field, &plane, ranges[i], &result);
    if (result.row < 0)
        return WorstPixel{0, -1};
    const double levels = result.scaledError / static_cast<double>(plane.area2) / 257.0;
    return WorstPixel{levels, static_cast<int32_t>(result.row * field->width + result.column)};
}

// ---------------------------------------------------------------------------
// PlaneErrorAt

double PlaneErrorAt(const HeightField* field, const int32_t* x, const int32_t* y, int32_t pixel)
{
    const Plane plane = PlaneThrough(field, x, y);
    const int64_t px = pixel % field->width, py = pixel / field->width;
    const int64_t error = plane.area2 * field->samples[pixel] - (RowBase(&plane, py) + plane.slopeX * px);
    return static_cast<double>(error < 0 ? -error : error) / static_cast<double>(plane.area2) / 257.0;
}
