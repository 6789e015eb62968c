// Draws the two default textures that lie beside the executable:
//   deftex.bmp  a decal of grass, earth and rock that tiles seamlessly;
//   defnrm.bmp  a tangent-space normal map of a fine bumpy ground, also
//               tiling; a flat texel is (128, 128, 255).
// Both are 256 x 256, 24-bit, uncompressed, with the 40-byte info header:
// the only kind of BMP the program reads.
//
// Usage: make_textures <output folder>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

static const int TextureSide = 256;

// ---------------------------------------------------------------------------
// Tileable value noise

static uint32_t HashLattice(int x, int y, uint32_t seed)
{
    uint32_t h = seed ^ (static_cast<uint32_t>(x) * 0x8DA6B343u) ^ (static_cast<uint32_t>(y) * 0xD8163841u);
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return h;
}

static float LatticeValue(int x, int y, int period, uint32_t seed)
{
    x = ((x % period) + period) % period;  // wrapping the lattice makes the noise tile
    y = ((y % period) + period) % period;
    return static_cast<float>(HashLattice(x, y, seed) & 0xFFFF) / 65535.0f;
}

static float SmoothStep(float t)
{
    return t * t * (3.0f - 2.0f * t);
}

// Noise with `period` lattice cells across the texture, in 0..1.
static float ValueNoise(float u, float v, int period, uint32_t seed)
{
    float x = u * static_cast<float>(period), y = v * static_cast<float>(period);
    int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    float fx = SmoothStep(x - static_cast<float>(x0)), fy = SmoothStep(y - static_cast<float>(y0));
    float top = LatticeValue(x0, y0, period, seed) * (1 - fx) + LatticeValue(x0 + 1, y0, period, seed) * fx;
    float bottom = LatticeValue(x0, y0 + 1, period, seed) * (1 - fx) + LatticeValue(x0 + 1, y0 + 1, period, seed) * fx;
    return top * (1 - fy) + bottom * fy;
}

// Octaves from `period` cells upward, each twice as fine and half as strong; 0..1.
static float FractalNoise(float u, float v, int period, int octaves, uint32_t seed)
{
    float sum = 0, weight = 1, total = 0;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += ValueNoise(u, v, period << octave, seed + static_cast<uint32_t>(octave) * 7919u) * weight;
        total += weight;
        weight *= 0.5f;
    }
    return sum / total;
}

// ---------------------------------------------------------------------------
// Pictures, as rows of RGB bytes, top row first

struct Picture {
    int width;                 // pixels per row
    int height;                // rows
    std::vector<uint8_t> rgb;  // 3 bytes per pixel, top row first
};

static uint8_t ToByte(float value)
{
    float scaled = std::round(value * 255.0f);
    return static_cast<uint8_t>(scaled < 0 ? 0 : scaled > 255 ? 255 : scaled);
}

static float Mix(float a, float b, float t)
{
    return a + (b - a) * t;
}

static float Clamp01(float value)
{
    return value < 0 ? 0 : value > 1 ? 1 : value;
}

// Grass in the hollows, earth on the slopes, rock on the high patches, all
// with a fine grain so that stretched texture coordinates still look like ground.
static Picture DrawDecal()
{
    Picture picture = {TextureSide, TextureSide, std::vector<uint8_t>(TextureSide * TextureSide * 3)};
    const float grass[3] = {0.30f, 0.45f, 0.16f};
    const float earth[3] = {0.45f, 0.36f, 0.22f};
    const float rock[3] = {0.52f, 0.50f, 0.47f};
    for (int y = 0; y < TextureSide; ++y)
        for (int x = 0; x < TextureSide; ++x) {
            float u = static_cast<float>(x) / TextureSide, v = static_cast<float>(y) / TextureSide;
            float ground = FractalNoise(u, v, 4, 5, 11u);
            float grain = FractalNoise(u, v, 64, 2, 23u);
            float earthShare = Clamp01((ground - 0.42f) * 6.0f);
            float rockShare = Clamp01((ground - 0.60f) * 8.0f);
            float shade = 0.8f + 0.4f * grain;
            uint8_t* pixel = &picture.rgb[(static_cast<size_t>(y) * TextureSide + x) * 3];
            for (int c = 0; c < 3; ++c)
                pixel[c] = ToByte(Mix(Mix(grass[c], earth[c], earthShare), rock[c], rockShare) * shade);
        }
    return picture;
}

// Normals of a bumpy height field, from central differences that wrap around
// the edges; x to the right, y up the picture, z out of the surface.
static Picture DrawNormalMap()
{
    Picture picture = {TextureSide, TextureSide, std::vector<uint8_t>(TextureSide * TextureSide * 3)};
    std::vector<float> height(TextureSide * TextureSide);
    for (int y = 0; y < TextureSide; ++y)
        for (int x = 0; x < TextureSide; ++x)
            height[static_cast<size_t>(y) * TextureSide + x] =
                FractalNoise(static_cast<float>(x) / TextureSide, static_cast<float>(y) / TextureSide, 16, 4, 37u);
    auto at = [&](int x, int y) {
        x = (x + TextureSide) % TextureSide;
        y = (y + TextureSide) % TextureSide;
        return height[static_cast<size_t>(y) * TextureSide + x];
    };
    const float bumpiness = 10.0f;
    for (int y = 0; y < TextureSide; ++y)
        for (int x = 0; x < TextureSide; ++x) {
            float dx = (at(x + 1, y) - at(x - 1, y)) * 0.5f * bumpiness;
            float dy = (at(x, y - 1) - at(x, y + 1)) * 0.5f * bumpiness;  // rows run down the picture
            float nx = -dx, ny = -dy, nz = 1.0f;
            float length = std::sqrt(nx * nx + ny * ny + nz * nz);
            uint8_t* pixel = &picture.rgb[(static_cast<size_t>(y) * TextureSide + x) * 3];
            // -1..1 maps to 1..255 with 0 at 128, so a flat texel is (128, 128, 255).
            const float n[3] = {nx / length, ny / length, nz / length};
            for (int c = 0; c < 3; ++c)
                pixel[c] = static_cast<uint8_t>(std::lround(128.0f + 127.0f * n[c]));
        }
    return picture;
}

// ---------------------------------------------------------------------------
// Writing a BMP: 54 header bytes, then the rows bottom first, BGR, padded to 4

static void PutU16(std::vector<uint8_t>& out, size_t offset, uint16_t value)
{
    out[offset] = static_cast<uint8_t>(value);
    out[offset + 1] = static_cast<uint8_t>(value >> 8);
}

static void PutU32(std::vector<uint8_t>& out, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

static bool WriteBmp(const std::string& path, const Picture& picture)
{
    size_t stride = (static_cast<size_t>(picture.width) * 3 + 3) / 4 * 4;
    size_t imageSize = stride * static_cast<size_t>(picture.height);
    std::vector<uint8_t> out(54 + imageSize, 0);
    out[0] = 'B';
    out[1] = 'M';
    PutU32(out, 2, static_cast<uint32_t>(out.size()));  // file size
    PutU32(out, 10, 54);                                // pixel-data offset
    PutU32(out, 14, 40);                                // info header size
    PutU32(out, 18, static_cast<uint32_t>(picture.width));
    PutU32(out, 22, static_cast<uint32_t>(picture.height));
    PutU16(out, 26, 1);   // planes
    PutU16(out, 28, 24);  // bits per pixel
    PutU32(out, 34, static_cast<uint32_t>(imageSize));
    PutU32(out, 38, 2835);  // 72 dots per inch, in pixels per metre
    PutU32(out, 42, 2835);
    for (int row = 0; row < picture.height; ++row) {
        const uint8_t* source = &picture.rgb[static_cast<size_t>(picture.height - 1 - row) * picture.width * 3];
        uint8_t* target = &out[54 + static_cast<size_t>(row) * stride];
        for (int x = 0; x < picture.width; ++x) {
            target[x * 3 + 0] = source[x * 3 + 2];
            target[x * 3 + 1] = source[x * 3 + 1];
            target[x * 3 + 2] = source[x * 3 + 0];
        }
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_textures <output folder>\n");
        return 2;
    }
    std::string folder = argv[1];
    if (!WriteBmp(folder + "/deftex.bmp", DrawDecal()) || !WriteBmp(folder + "/defnrm.bmp", DrawNormalMap())) {
        std::fprintf(stderr, "make_textures: cannot write into '%s'\n", folder.c_str());
        return 1;
    }
    return 0;
}
