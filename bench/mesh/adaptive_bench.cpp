// The adaptive mesh on two 16-bit terrains, each to at most 65,535 faces and vertices (the
// 3DS format's limits): fbm1024.png from the shared terrain folder (the nearest
// shared/terrain above the executable, or the file named on the command line) and a
// 4096 x 4096 fractal terrain generated here. Prints faces, vertices, the largest error in
// levels, the CPU seconds of BuildAdaptiveMesh (fastest and median of the runs) and the peak
// resident memory of the process that loaded the terrain and meshed it.
//
// Usage: adaptive_bench [--runs N] [--size N] [FBM1024.png]
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mesh/adaptive_mesh.h"

// ---------------------------------------------------------------------------
// Terrains

// Greyscale (or the red channel), 8 or 16 bits; 8-bit samples r become r x 257.
static bool ReadPng(const char* path, std::vector<uint16_t>* samples, int* width, int* height)
{
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    const int depth = png_get_bit_depth(png, info);
    png_set_expand(png);
    png_set_strip_alpha(png);
    if (depth == 16)
        png_set_swap(png);
    png_read_update_info(png, info);
    *width = static_cast<int>(png_get_image_width(png, info));
    *height = static_cast<int>(png_get_image_height(png, info));
    const int channels = png_get_channels(png, info);
    std::vector<uint8_t> row(png_get_rowbytes(png, info));
    samples->resize(static_cast<size_t>(*width) * *height);
    for (int y = 0; y < *height; ++y) {
        png_read_row(png, row.data(), nullptr);
        for (int x = 0; x < *width; ++x) {
            uint16_t v = static_cast<uint16_t>(row[channels * x] * 257);
            if (depth == 16)
                std::memcpy(&v, &row[2 * channels * x], 2);
            (*samples)[static_cast<size_t>(y) * *width + x] = v;
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return true;
}

// Looks in shared/terrain beside each folder above the executable.
static std::string FindSharedTerrain()
{
    char exe[4096];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0)
        return "";
    std::string folder(exe, static_cast<size_t>(length));
    for (int up = 0; up < 8; ++up) {
        const size_t slash = folder.find_last_of('/');
        if (slash == std::string::npos)
            break;
        folder.erase(slash);
        const std::string path = folder + "/shared/terrain/fbm1024.png";
        if (FILE* file = std::fopen(path.c_str(), "rb")) {
            std::fclose(file);
            return path;
        }
    }
    return "";
}

static uint32_t Hash(uint32_t x, uint32_t y, uint32_t seed)
{
    uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x85ebca6bu;
    h ^= h >> 16;
    return h;
}

// Gradient noise with one of 256 directions per lattice point.
static double Noise(double x, double y, uint32_t seed)
{
    static double directions[256][2];
    if (directions[1][0] == 0)
        for (int i = 0; i < 256; ++i) {
            directions[i][0] = std::cos(i * (2 * M_PI / 256));
            directions[i][1] = std::sin(i * (2 * M_PI / 256));
        }
    const double fx = std::floor(x), fy = std::floor(y);
    const double rx = x - fx, ry = y - fy;
    const uint32_t ix = static_cast<uint32_t>(static_cast<int64_t>(fx)),
                   iy = static_cast<uint32_t>(static_cast<int64_t>(fy));
    double corner[4];
    for (int k = 0; k < 4; ++k) {
        const double* d = directions[Hash(ix + (k & 1), iy + (k >> 1), seed) & 255];
        corner[k] = d[0] * (rx - (k & 1)) + d[1] * (ry - (k >> 1));
    }
    const double u = rx * rx * rx * (rx * (rx * 6 - 15) + 10), v = ry * ry * ry * (ry * (ry * 6 - 15) + 10);
    return (corner[0] * (1 - u) + corner[1] * u) * (1 - v) + (corner[2] * (1 - u) + corner[3] * u) * v;
}

// Ten octaves of gradient noise from a 1024-pixel wavelength down, halving in amplitude,
// straight into 16-bit samples (no larger temporary picture).
static void MakeTerrain(std::vector<uint16_t>* samples, int size)
{
    samples->resize(static_cast<size_t>(size) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double sum = 0, amplitude = 1, frequency = 1.0 / 1024;
            for (int octave = 0; octave < 10; ++octave) {
                sum += amplitude * Noise(x * frequency, y * frequency, 17 + octave);
                amplitude *= 0.5;
                frequency *= 2;
            }
            const double v = std::min(1.0, std::max(0.0, 0.5 + 0.6 * sum));
            (*samples)[static_cast<size_t>(y) * size + x] = static_cast<uint16_t>(std::lround(v * 65535));
        }
}

// ---------------------------------------------------------------------------
// Measuring

static double CpuSeconds()
{
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// In a child process, so that the peak memory is this terrain's alone.
static void MeshTerrain(const char* name, const char* path, int size, int runs)
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        std::vector<uint16_t> samples;
        int width = size, height = size;
        if (path && !ReadPng(path, &samples, &width, &height)) {
            std::printf("%-22s cannot be read\n", path);
            std::_Exit(1);
        }
        if (!path)
            MakeTerrain(&samples, size);
        const HeightField field = {width, height, samples.data()};
        const AdaptiveMeshLimits limits = {65535, 65535, 0, false};
        std::vector<double> seconds;
        AdaptiveMesh mesh = {};
        for (int run = 0; run < runs; ++run) {
            FreeAdaptiveMesh(&mesh);
            const double start = CpuSeconds();
            if (!BuildAdaptiveMesh(&field, &limits, &mesh)) {
                std::printf("%-22s failed\n", name);
                std::_Exit(1);
            }
            seconds.push_back(CpuSeconds() - start);
        }
        std::sort(seconds.begin(), seconds.end());
        std::printf("%-22s %8d %9d %10.4f %9.3f %9.3f", name, mesh.faceCount, mesh.vertexCount, mesh.maxErrorLevels,
                    seconds.front(), seconds[seconds.size() / 2]);
        std::fflush(stdout);
        FreeAdaptiveMesh(&mesh);
        std::_Exit(0);
    }
    int status = 0;
    rusage usage = {};
    if (child < 0 || wait4(child, &status, 0, &usage) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::printf("\n");
        return;
    }
    std::printf(" %10.1f\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
}

int main(int argc, char** argv)
{
    int runs = 5, size = 4096;
    std::string terrain;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc)
            size = std::min(16384, std::max(2, std::atoi(argv[++i])));
        else
            terrain = argv[i];
    }
    if (terrain.empty())
        terrain = FindSharedTerrain();
    std::printf("%-22s %8s %9s %10s %9s %9s %10s\n", "terrain (65535 max)", "faces", "vertices", "max error", "cpu min",
                "cpu med", "peak MiB");
    if (terrain.empty())
        std::printf("%-22s not found\n", "fbm1024.png");
    else
        MeshTerrain("fbm1024.png", terrain.c_str(), 0, runs);
    const std::string name = "generated " + std::to_string(size) + "^2";
    MeshTerrain(name.c_str(), nullptr, size, runs);
    return 0;
}
