// The adaptive mesh against an independent evaluation: every face rasterised over the pixel
// grid in double, over random sizes, budgets, bounds and height fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "mesh/adaptive_mesh.h"
#include "mesh/adaptive_scan.h"

namespace {

struct Evaluation {
    double maxError = 0;  // levels
    double area = 0;      // summed over the faces, in pixels
    int uncovered = 0;    // pixels inside no face
    int badFaces = 0;     // degenerate, or not counter-clockwise seen from above in the world
};

// World X = x - width / 2, Y = -(y - height / 2): a face is counter-clockwise from above when
// its world cross product is positive.
Evaluation Evaluate(const HeightField& field, const AdaptiveMesh& mesh)
{
    Evaluation result;
    std::vector<double> error(static_cast<size_t>(field.width) * field.height, -1);
    for (int f = 0; f < mesh.faceCount; ++f) {
        double x[3], y[3], z[3];
        for (int k = 0; k < 3; ++k) {
            const int v = mesh.faceCorners[3 * f + k];
            x[k] = mesh.vertexPixels[2 * v];
            y[k] = mesh.vertexPixels[2 * v + 1];
            z[k] = field.samples[static_cast<size_t>(y[k]) * field.width + static_cast<size_t>(x[k])] / 257.0;
        }
        const double worldCross = (x[1] - x[0]) * (y[0] - y[2]) - (y[0] - y[1]) * (x[2] - x[0]);
        if (!(worldCross > 0)) {
            ++result.badFaces;
            continue;
        }
        result.area += worldCross / 2;
        const int x0 = static_cast<int>(*std::min_element(x, x + 3)),
                  x1 = static_cast<int>(*std::max_element(x, x + 3));
        const int y0 = static_cast<int>(*std::min_element(y, y + 3)),
                  y1 = static_cast<int>(*std::max_element(y, y + 3));
        for (int py = y0; py <= y1; ++py)
            for (int px = x0; px <= x1; ++px) {
                double weight[3];
                for (int k = 0; k < 3; ++k) {
                    const int a = (k + 1) % 3, b = (k + 2) % 3;
                    weight[k] = ((x[a] - px) * (py - y[b]) - (py - y[a]) * (x[b] - px)) / worldCross;
                }
                if (weight[0] < -1e-12 || weight[1] < -1e-12 || weight[2] < -1e-12)
                    continue;
                const double surface = weight[0] * z[0] + weight[1] * z[1] + weight[2] * z[2];
                double& e = error[static_cast<size_t>(py) * field.width + px];
                e = std::max(e, std::fabs(field.samples[static_cast<size_t>(py) * field.width + px] / 257.0 - surface));
            }
    }
    for (double e : error) {
        result.uncovered += e < 0;
        result.maxError = std::max(result.maxError, e);
    }
    return result;
}

int BorderVertices(const HeightField& field, const AdaptiveMesh& mesh)
{
    int count = 0;
    for (int v = 0; v < mesh.vertexCount; ++v) {
        const int x = mesh.vertexPixels[2 * v], y = mesh.vertexPixels[2 * v + 1];
        count += x == 0 || y == 0 || x == field.width - 1 || y == field.height - 1;
    }
    return count;
}

enum class Shape { Noise, Waves, Terraces, Plane, Constant, Spike };

std::vector<uint16_t> MakeField(Shape shape, int width, int height, std::mt19937* random)
{
    std::vector<uint16_t> samples(static_cast<size_t>(width) * height);
    std::uniform_int_distribution<int> any(0, 65535);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int v = 0;
            switch (shape) {
            case Shape::Noise:
                v = any(*random);
                break;
            case Shape::Waves:
                v = static_cast<int>(32768 + 30000 * std::sin(x * 0.3) * std::cos(y * 0.21 + x * 0.05));
                break;
            case Shape::Terraces:
                v = ((x * 7 + y * 3) / 5 & 255) * 257;
                break;
            case Shape::Plane:
                v = 40 * x + 25 * y;
                break;
            case Shape::Constant:
                v = 1234;
                break;
            case Shape::Spike:
                v = x == width / 2 && y == height / 3 ? 60000 : 3 * x;
                break;
            }
            samples[static_cast<size_t>(y) * width + x] = static_cast<uint16_t>(v);
        }
    return samples;
}

TEST(AdaptiveMeshTest, MeshesStayWithinBudgetCoverThePictureAndReportTheirTrueError)
{
    std::mt19937 random(15);
    for (int round = 0; round < 160; ++round) {
        SCOPED_TRACE(round);
        const int width = round % 9 == 0 ? 2 : 2 + static_cast<int>(random() % 60);
        const int height = round % 7 == 0 ? 2 : 2 + static_cast<int>(random() % 45);
        const Shape shape = static_cast<Shape>(round % 6);
        const std::vector<uint16_t> samples = MakeField(shape, width, height, &random);
        const HeightField field = {width, height, samples.data()};
        AdaptiveMeshLimits limits = {};
        limits.reserveForSolid = round % 4 == 1;
        const int minimumFaces = limits.reserveForSolid ? 12 : 2;
        limits.maxFaces = round % 5 == 0 ? 0 : minimumFaces + static_cast<int>(random() % 600);
        limits.maxVertices = round % 3 == 0 ? 0 : (limits.reserveForSolid ? 8 : 4) + static_cast<int>(random() % 300);
        const double bounds[] = {0, 0, 0.5, 3, 40};
        limits.maxErrorLevels = bounds[random() % 5];
        if (round % 15 == 0)
            limits = AdaptiveMeshLimits{0, 0, 0, false};
        AdaptiveMesh mesh = {}, portable = {};
        ASSERT_TRUE(BuildAdaptiveMesh(&field, &limits, &mesh));
        // the wide scan and the portable one find the same pixels, so they build the same mesh
        AdaptiveScanPortableOnly = true;
        ASSERT_TRUE(BuildAdaptiveMesh(&field, &limits, &portable));
        AdaptiveScanPortableOnly = false;
        ASSERT_EQ(portable.faceCount, mesh.faceCount);
        EXPECT_TRUE(std::equal(mesh.faceCorners, mesh.faceCorners + 3 * mesh.faceCount, portable.faceCorners));
        FreeAdaptiveMesh(&portable);
        const int border = limits.reserveForSolid ? BorderVertices(field, mesh) : 0;
        const int maxFaces = limits.maxFaces > 0 ? limits.maxFaces : INT32_MAX;
        const int maxVertices = limits.maxVertices > 0 ? limits.maxVertices : INT32_MAX;
        EXPECT_LE(mesh.faceCount + (limits.reserveForSolid ? 3 * border - 2 : 0), maxFaces);
        EXPECT_LE(mesh.vertexCount + border, maxVertices);
        const Evaluation evaluation = Evaluate(field, mesh);
        EXPECT_EQ(evaluation.badFaces, 0);
        EXPECT_EQ(evaluation.uncovered, 0);
        EXPECT_DOUBLE_EQ(evaluation.area, static_cast<double>(width - 1) * (height - 1));
        EXPECT_NEAR(mesh.maxErrorLevels, evaluation.maxError, 1e-9);
        EXPECT_LE(mesh.faceCount, 2 * (width - 1) * (height - 1));
        if (shape == Shape::Plane || shape == Shape::Constant) {
            EXPECT_EQ(mesh.faceCount, 2);
        }
        std::set<std::pair<int, int>> pixels;
        for (int v = 0; v < mesh.vertexCount; ++v)
            pixels.emplace(mesh.vertexPixels[2 * v], mesh.vertexPixels[2 * v + 1]);
        EXPECT_EQ(static_cast<int>(pixels.size()), mesh.vertexCount);
        EXPECT_TRUE(pixels.begin()->first >= 0 && pixels.begin()->second >= 0);
        EXPECT_TRUE(pixels.rbegin()->first < width && pixels.rbegin()->second < height);
        if (limits.maxFaces <= 0 && limits.maxVertices <= 0) {
            EXPECT_LE(mesh.maxErrorLevels, limits.maxErrorLevels);
            EXPECT_LE(evaluation.maxError, limits.maxErrorLevels + 1e-9);
        }
        FreeAdaptiveMesh(&mesh);
    }
}

// A sloped plane is exact with the picture's two triangles; one raised pixel is its only error.
TEST(AdaptiveMeshTest, StopsOnceTheErrorIsWithinTheBound)
{
    std::mt19937 random(1);
    const std::vector<uint16_t> samples = MakeField(Shape::Spike, 31, 20, &random);
    const HeightField field = {31, 20, samples.data()};
    const double spike = (60000 - 3 * 15) / 257.0;
    for (const double bound : {spike + 1, spike, spike - 0.01, 0.0}) {
        const AdaptiveMeshLimits limits = {65535, 65535, bound, false};
        AdaptiveMesh mesh = {};
        ASSERT_TRUE(BuildAdaptiveMesh(&field, &limits, &mesh));
        if (bound >= spike) {
            EXPECT_EQ(mesh.faceCount, 2);
            EXPECT_DOUBLE_EQ(mesh.maxErrorLevels, spike);
        } else {
            EXPECT_GT(mesh.faceCount, 2);
            EXPECT_LE(mesh.maxErrorLevels, bound);
        }
        FreeAdaptiveMesh(&mesh);
    }
    // the raised pixel, inside the picture, brings two faces and a vertex: budgets of 4 faces
    // or 5 vertices hold them, 3 faces or 4 vertices do not
    const AdaptiveMeshLimits budgets[] = {{4, 0, 0, false}, {0, 5, 0, false}, {3, 0, 0, false}, {0, 4, 0, false}};
    for (const AdaptiveMeshLimits& limits : budgets) {
        AdaptiveMesh mesh = {};
        ASSERT_TRUE(BuildAdaptiveMesh(&field, &limits, &mesh));
        EXPECT_EQ(mesh.faceCount, limits.maxFaces == 4 || limits.maxVertices == 5 ? 4 : 2);
        FreeAdaptiveMesh(&mesh);
    }
}

// Greedy insertion alone reaches 12.9 levels here, with data-dependent flips 11.7.
TEST(AdaptiveMeshTest, FlipsAndExchangesLowerTheErrorOfASmoothField)
{
    std::mt19937 random(1);
    const std::vector<uint16_t> samples = MakeField(Shape::Waves, 64, 48, &random);
    const HeightField field = {64, 48, samples.data()};
    const AdaptiveMeshLimits limits = {600, 0, 0, false};
    AdaptiveMesh mesh = {};
    ASSERT_TRUE(BuildAdaptiveMesh(&field, &limits, &mesh));
    EXPECT_LT(mesh.maxErrorLevels, 11.0);
    FreeAdaptiveMesh(&mesh);
}

// Against every pixel of random triangles, compared in double.
TEST(AdaptiveMeshTest, WorstPixelOfATriangleIsTheWorstOfItsPixels)
{
    std::mt19937 random(7);
    const int width = 41, height = 29;
    const std::vector<uint16_t> samples = MakeField(Shape::Noise, width, height, &random);
    const HeightField field = {width, height, samples.data()};
    for (int round = 0; round < 400; ++round) {
        int32_t x[3], y[3];
        for (int i = 0; i < 3; ++i) {
            x[i] = static_cast<int32_t>(random() % width);
            y[i] = static_cast<int32_t>(random() % height);
        }
        int64_t orientation = int64_t{x[1] - x[0]} * (y[2] - y[0]) - int64_t{y[1] - y[0]} * (x[2] - x[0]);
        if (orientation == 0)
            continue;
        if (orientation < 0) {
            std::swap(x[1], x[2]);
            std::swap(y[1], y[2]);
            orientation = -orientation;
        }
        double worst = 0;
        for (int py = 0; py < height; ++py)
            for (int px = 0; px < width; ++px) {
                double weight[3];
                bool inside = true;
                for (int k = 0; k < 3; ++k) {
                    const int a = (k + 1) % 3, b = (k + 2) % 3;
                    const int64_t w = int64_t{x[b] - x[a]} * (py - y[a]) - int64_t{y[b] - y[a]} * (px - x[a]);
                    inside = inside && w >= 0;
                    weight[k] = static_cast<double>(w) / static_cast<double>(orientation);
                }
                if (!inside)
                    continue;
                double surface = 0;
                for (int k = 0; k < 3; ++k)
                    surface += weight[k] * samples[y[k] * width + x[k]] / 257.0;
                worst = std::max(worst, std::fabs(samples[py * width + px] / 257.0 - surface));
            }
        for (const bool portable : {false, true}) {
            AdaptiveScanPortableOnly = portable;
            const WorstPixel found = FindWorstPixel(&field, x, y);
            AdaptiveScanPortableOnly = false;
            EXPECT_NEAR(found.levels, worst, 1e-9) << round;
            if (found.pixel >= 0) {
                EXPECT_NEAR(PlaneErrorAt(&field, x, y, found.pixel), worst, 1e-9) << round;
            }
        }
    }
}

TEST(AdaptiveMeshTest, RefusesBadFieldsAndBudgetsTooSmallForThePictureCorners)
{
    const std::vector<uint16_t> samples(16, 0);
    const HeightField good = {4, 4, samples.data()};
    const HeightField bad[] = {
        {1, 16, samples.data()}, {16, 1, samples.data()}, {4, 4, nullptr}, {16385, 2, samples.data()}};
    const AdaptiveMeshLimits limits = {0, 0, 0, false};
    AdaptiveMesh mesh = {};
    for (const HeightField& field : bad)
        EXPECT_FALSE(BuildAdaptiveMesh(&field, &limits, &mesh));
    const AdaptiveMeshLimits badLimits[] = {{1, 0, 0, false}, {0, 3, 0, false},  {11, 0, 0, true},
                                            {0, 7, 0, true},  {0, 0, -1, false}, {0, 0, NAN, false}};
    for (const AdaptiveMeshLimits& l : badLimits)
        EXPECT_FALSE(BuildAdaptiveMesh(&good, &l, &mesh));
    EXPECT_FALSE(BuildAdaptiveMesh(&good, nullptr, &mesh));
    EXPECT_EQ(mesh.faceCount, 0);
    EXPECT_EQ(mesh.faceCorners, nullptr);
}

// Run under AddressSanitizer, this also shows that nothing leaks on any failure.
TEST(AdaptiveMeshTest, EachAllocationFailureIsReportedAndLeavesTheMeshEmpty)
{
    std::mt19937 random(3);
    const std::vector<uint16_t> samples = MakeField(Shape::Noise, 40, 30, &random);
    const HeightField field = {40, 30, samples.data()};
    const AdaptiveMeshLimits limits = {300, 0, 0, false};
    bool built = false;
    for (int failure = 0; !built && failure < 200; ++failure) {
        AdaptiveMeshAllocationsBeforeFailure = failure;
        AdaptiveMesh mesh = {};
        built = BuildAdaptiveMesh(&field, &limits, &mesh);
        AdaptiveMeshAllocationsBeforeFailure = -1;
        if (!built) {
            EXPECT_EQ(mesh.vertexPixels, nullptr);
        }
        FreeAdaptiveMesh(&mesh);
    }
    EXPECT_TRUE(built);
}

}  // namespace
