// The adaptive mesh against an independent evaluation: every face rasterised over the pixel
// grid in double, over random sizes, budgets, bounds and height fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <vector>

#include "mesh/adaptive_mesh.h"
#include "mesh/adaptive_scan.h"

namespace {

// The largest error of the face's plane over the pixels whose points lie in the closed face
// (x, y: its corners), each also raising worst[pixel]; -1 for a face with no area or not
// counter-clockwise seen from above in the world (Y = -y).
double RasteriseFace(const HeightField& field, const int32_t* x, const int32_t* y, std::vector<double>* worst)
{
    const double cross = double(x[1] - x[0]) * (y[0] - y[2]) - double(y[0] - y[1]) * (x[2] - x[0]);
    double largest = cross > 0 ? 0 : -1;
    auto level = [&](int px, int py) { return field.samples[py * field.width + px] / 257.0; };
    for (int py = *std::min_element(y, y + 3); cross > 0 && py <= *std::max_element(y, y + 3); ++py)
        for (int px = *std::min_element(x, x + 3); px <= *std::max_element(x, x + 3); ++px) {
            double surface = 0, smallest = 1;
            for (int k = 0; k < 3; ++k) {
                const int a = (k + 1) % 3, b = (k + 2) % 3;
                const double weight = (double(x[a] - px) * (py - y[b]) - double(py - y[a]) * (x[b] - px)) / cross;
                smallest = std::min(smallest, weight);
                surface += weight * level(x[k], y[k]);
            }
            const double error = smallest >= -1e-12 ? std::fabs(level(px, py) - surface) : -1;
            largest = std::max(largest, error);
            (*worst)[py * field.width + px] = std::max((*worst)[py * field.width + px], error);
        }
    return largest;
}

// Noise, waves, terraces, a plane, or a plane with one spike.
std::vector<uint16_t> MakeField(int shape, int width, int height, std::mt19937* random)
{
    std::vector<uint16_t> samples(width * height);
    for (int i = 0; i < width * height; ++i) {
        const int x = i % width, y = i / width;
        const int values[] = {
            int((*random)() % 65536), int(32768 + 30000 * std::sin(x * 0.3) * std::cos(y * 0.21 + x * 0.05)),
            ((x * 7 + y * 3) / 5 & 255) * 257, 40 * x + 25 * y, x == width / 2 && y == height / 3 ? 60000 : 3 * x};
        samples[i] = uint16_t(values[shape]);
    }
    return samples;
}

TEST(AdaptiveMeshTest, MeshesStayWithinBudgetCoverThePictureAndReportTheirTrueError)
{
    std::mt19937 random(15);
    for (int round = 0; round < 160; ++round) {
        SCOPED_TRACE(round);
        const int width = round % 9 == 0 ? 2 : 2 + random() % 60, height = round % 7 == 0 ? 2 : 2 + random() % 45;
        const std::vector<uint16_t> samples = MakeField(round % 5, width, height, &random);
        const HeightField field = {width, height, samples.data()};
        AdaptiveMeshLimits limits = {};
        limits.reserveForSolid = round % 4 == 1;
        limits.maxFaces = round % 5 == 0 ? 0 : (limits.reserveForSolid ? 12 : 2) + random() % 600;
        limits.maxVertices = round % 3 == 0 ? 0 : (limits.reserveForSolid ? 8 : 4) + random() % 300;
        limits.maxErrorLevels = std::vector<double>{0, 0, 0.5, 3, 40}[random() % 5];
        if (round % 15 == 0)
            limits = AdaptiveMeshLimits{0, 0, 0, false};
        AdaptiveMesh mesh = {}, portable = {};
        ASSERT_TRUE(BuildAdaptiveMesh(&field, &limits, &mesh));
        // the wide scan and the portable one find the same pixels, so they build the same mesh
        AdaptiveScanPortableOnly = true;
        ASSERT_TRUE(BuildAdaptiveMesh(&field, &limits, &portable));
        AdaptiveScanPortableOnly = false;
        EXPECT_TRUE(std::equal(mesh.faceCorners, mesh.faceCorners + 3 * mesh.faceCount, portable.faceCorners,
                               portable.faceCorners + 3 * portable.faceCount));
        FreeAdaptiveMesh(&portable);
        std::set<std::pair<int, int>> pixels;
        int border = 0;
        for (int v = 0; v < mesh.vertexCount; ++v) {
            const int x = mesh.vertexPixels[2 * v], y = mesh.vertexPixels[2 * v + 1];
            pixels.emplace(x, y);
            EXPECT_TRUE(x >= 0 && y >= 0 && x < width && y < height);
            border += limits.reserveForSolid && (x == 0 || y == 0 || x == width - 1 || y == height - 1);
        }
        EXPECT_EQ(int(pixels.size()), mesh.vertexCount);
        EXPECT_LE(mesh.faceCount + (border ? 3 * border - 2 : 0), limits.maxFaces > 0 ? limits.maxFaces : INT32_MAX);
        EXPECT_LE(mesh.vertexCount + border, limits.maxVertices > 0 ? limits.maxVertices : INT32_MAX);
        EXPECT_LE(mesh.faceCount, 2 * (width - 1) * (height - 1));
        // every pixel under exactly the area of the picture, with the error the mesh reports; the
        // scan finds each face's worst pixel (taking the corners the other way round)
        std::vector<double> worst(width * height, -1);
        double area = 0;
        for (int f = 0; f < mesh.faceCount; ++f) {
            int32_t x[3], y[3];
            for (int k = 0; k < 3; ++k) {
                x[k] = mesh.vertexPixels[2 * mesh.faceCorners[3 * f + k]];
                y[k] = mesh.vertexPixels[2 * mesh.faceCorners[3 * f + k] + 1];
            }
            const double largest = RasteriseFace(field, x, y, &worst);
            EXPECT_GE(largest, 0) << "face " << f;
            area += (double(x[1] - x[0]) * (y[0] - y[2]) - double(y[0] - y[1]) * (x[2] - x[0])) / 2;
            const int32_t scanX[3] = {x[0], x[2], x[1]}, scanY[3] = {y[0], y[2], y[1]};
            const WorstPixel found = FindWorstPixel(&field, scanX, scanY);
            EXPECT_NEAR(found.levels, largest, 1e-9) << "face " << f;
            EXPECT_NEAR(found.pixel < 0 ? 0 : PlaneErrorAt(&field, scanX, scanY, found.pixel), largest, 1e-9);
        }
        EXPECT_DOUBLE_EQ(area, double(width - 1) * (height - 1));
        EXPECT_GE(*std::min_element(worst.begin(), worst.end()), 0);
        EXPECT_NEAR(mesh.maxErrorLevels, *std::max_element(worst.begin(), worst.end()), 1e-9);
        EXPECT_TRUE(limits.maxFaces > 0 || limits.maxVertices > 0 || mesh.maxErrorLevels <= limits.maxErrorLevels);
        EXPECT_TRUE(round % 5 != 3 || mesh.faceCount == 2);  // a plane is exact with the picture's two faces
        FreeAdaptiveMesh(&mesh);
    }
}

// A sloped plane with one raised pixel, its only error: refinement stops at the bound; the
// pixel brings two faces and a vertex, which budgets of 4 faces or 5 vertices hold and 3 faces
// or 4 vertices do not. On a smooth field greedy insertion alone reaches 12.9 levels with 600
// faces, with data-dependent flips and exchanges less than 11.
TEST(AdaptiveMeshTest, StopsAtTheBoundOrTheBudget)
{
    std::mt19937 random(1);
    const std::vector<uint16_t> spiked = MakeField(4, 31, 20, &random), waves = MakeField(1, 64, 48, &random);
    const HeightField spike = {31, 20, spiked.data()}, smooth = {64, 48, waves.data()};
    const double error = (60000 - 3 * 15) / 257.0;
    const struct {
        const HeightField* field;
        AdaptiveMeshLimits limits;
        int faces;            // 0: more than 2
        double largestError;  // at most
    } cases[] = {{&spike, {65535, 65535, error + 1, false}, 2, error},
                 {&spike, {65535, 65535, error, false}, 2, error},
                 {&spike, {65535, 65535, error - 0.01, false}, 0, error - 0.01},
                 {&spike, {4, 0, 0, false}, 4, error},
                 {&spike, {0, 5, 0, false}, 4, error},
                 {&spike, {3, 0, 0, false}, 2, error},
                 {&spike, {0, 4, 0, false}, 2, error},
                 {&smooth, {600, 0, 0, false}, 0, 11}};
    for (const auto& c : cases) {
        AdaptiveMesh mesh = {};
        ASSERT_TRUE(BuildAdaptiveMesh(c.field, &c.limits, &mesh));
        EXPECT_TRUE(c.faces ? mesh.faceCount == c.faces : mesh.faceCount > 2) << c.limits.maxErrorLevels;
        EXPECT_LE(mesh.maxErrorLevels, c.largestError) << c.limits.maxErrorLevels;
        EXPECT_TRUE(c.faces != 2 || mesh.maxErrorLevels == error);
        FreeAdaptiveMesh(&mesh);
    }
}

TEST(AdaptiveMeshTest, RefusesBadFieldsAndLimitsAndLeavesNothingOnAnyAllocationFailure)
{
    std::mt19937 random(3);
    const std::vector<uint16_t> samples = MakeField(0, 40, 30, &random);
    const HeightField fields[] = {{40, 30, samples.data()},
                                  {1, 16, samples.data()},
                                  {16, 1, samples.data()},
                                  {4, 4, nullptr},
                                  {16385, 2, samples.data()}};
    const AdaptiveMeshLimits limits[] = {{300, 0, 0, false}, {1, 0, 0, false},  {0, 3, 0, false},  {11, 0, 0, true},
                                         {0, 7, 0, true},    {0, 0, -1, false}, {0, 0, NAN, false}};
    AdaptiveMesh mesh = {};
    for (int i = 1; i < 5; ++i)
        EXPECT_FALSE(BuildAdaptiveMesh(&fields[i], &limits[0], &mesh));
    for (int i = 1; i < 7; ++i)
        EXPECT_FALSE(BuildAdaptiveMesh(&fields[0], &limits[i], &mesh));
    EXPECT_FALSE(BuildAdaptiveMesh(&fields[0], nullptr, &mesh));
    EXPECT_TRUE(mesh.faceCount == 0 && !mesh.faceCorners);
    // under AddressSanitizer this also shows that nothing leaks
    bool built = false;
    for (int failure = 0; !built && failure < 200; ++failure) {
        AdaptiveMeshAllocationsBeforeFailure = failure;
        built = BuildAdaptiveMesh(&fields[0], &limits[0], &mesh);
        AdaptiveMeshAllocationsBeforeFailure = -1;
        EXPECT_TRUE(built || !mesh.vertexPixels);
        FreeAdaptiveMesh(&mesh);
    }
    EXPECT_TRUE(built);
}

}  // namespace
