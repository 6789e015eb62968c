// Draws the sample heightmap that lies beside the executable: a 256 x 256
// terrain of hills and ridges, cut by a river valley and a lake whose floor
// is at height 0 (red 0), so that eliminating zero-height triangles shows.
// 24-bit, uncompressed, with the 40-byte info header; the red channel is the
// height, green and blue carry a tint for people who open the picture.
//
// Usage: make_sample <output file>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

static const int Side = 256;

struct Hill {
    float x, y;    // centre, pixels
    float radius;  // spread, pixels
    float height;  // peak, 0..1
};

static const Hill Hills[] = {
    {60, 50, 38, 0.85f},  {170, 40, 45, 0.7f},  {215, 150, 40, 0.95f}, {90, 190, 50, 0.6f},
    {150, 120, 30, 0.5f}, {30, 140, 28, 0.45f}, {200, 230, 30, 0.55f},
};

// Height of the land before the water is cut in, 0..1.
static float LandHeight(float x, float y)
{
    float height = 0.18f;
    for (const Hill& hill : Hills) {
        float dx = (x - hill.x) / hill.radius;
        float dy = (y - hill.y) / hill.radius;
        height += hill.height * std::exp(-(dx * dx + dy * dy));
    }
    // ridges: folded sines give sharp crests
    height += 0.08f * (1.0f - std::fabs(std::sin(x * 0.07f + std::sin(y * 0.05f) * 1.7f)));
    height += 0.04f * (1.0f - std::fabs(std::sin(y * 0.11f + x * 0.03f)));
    return height;
}

// Distance from the river's course, which meanders from top to bottom.
static float RiverDistance(float x, float y)
{
    float course = 118.0f + 28.0f * std::sin(y * 0.035f) + 10.0f * std::sin(y * 0.11f);
    return std::fabs(x - course);
}

static uint8_t Height(int x, int y)
{
    float height = LandHeight(static_cast<float>(x), static_cast<float>(y));
    float river = RiverDistance(static_cast<float>(x), static_cast<float>(y));
    float lakeX = (x - 60.0f) / 34.0f, lakeY = (y - 215.0f) / 22.0f;
    float lake = std::sqrt(lakeX * lakeX + lakeY * lakeY);
    // banks slope down into the water, whose floor is exactly 0
    float bank = std::min(std::clamp((river - 5.0f) / 14.0f, 0.0f, 1.0f), std::clamp((lake - 1.0f) * 2.5f, 0.0f, 1.0f));
    float value = height * bank * 200.0f;
    return static_cast<uint8_t>(std::clamp(value, 0.0f, 255.0f));
}

static void PutLittleEndian(std::vector<uint8_t>& bytes, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_sample <output file>\n");
        return 2;
    }
    const uint32_t rowBytes = Side * 3;  // a multiple of 4: no padding
    const uint32_t pixelBytes = rowBytes * Side;
    std::vector<uint8_t> bytes;
    bytes.push_back('B');
    bytes.push_back('M');
    PutLittleEndian(bytes, 54 + pixelBytes, 4);  // file size
    PutLittleEndian(bytes, 0, 4);                // reserved
    PutLittleEndian(bytes, 54, 4);               // pixel data offset
    PutLittleEndian(bytes, 40, 4);               // info header size
    PutLittleEndian(bytes, Side, 4);             // width
    PutLittleEndian(bytes, Side, 4);             // height: rows stored bottom first
    PutLittleEndian(bytes, 1, 2);                // planes
    PutLittleEndian(bytes, 24, 2);               // bits per pixel
    PutLittleEndian(bytes, 0, 4);                // no compression
    PutLittleEndian(bytes, pixelBytes, 4);       // image size
    PutLittleEndian(bytes, 2835, 4);             // 72 dpi, horizontally
    PutLittleEndian(bytes, 2835, 4);             // and vertically
    PutLittleEndian(bytes, 0, 4);                // colours used
    PutLittleEndian(bytes, 0, 4);                // important colours
    for (int row = Side - 1; row >= 0; --row)
        for (int x = 0; x < Side; ++x) {
            uint8_t red = Height(x, row);
            bytes.push_back(red == 0 ? 160 : static_cast<uint8_t>(red / 3));  // blue: water is blue
            bytes.push_back(red == 0 ? 60 : static_cast<uint8_t>(60 + red / 2));
            bytes.push_back(red);
        }
    FILE* file = fopen(argv[1], "wb");
    if (!file || fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || fclose(file) != 0) {
        fprintf(stderr, "make_sample: could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
