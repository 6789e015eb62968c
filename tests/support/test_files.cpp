#include "tests/support/test_files.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

TempFolder::TempFolder()
{
    char pattern[] = "/tmp/orvanel-test-XXXXXX";
    if (mkdtemp(pattern))
        path = pattern;
}

TempFolder::~TempFolder()
{
    if (!path.empty())
        RunCommand("rm -rf '" + path + "'");
}

std::vector<uint8_t> ReadFileBytes(const std::string& path)
{
    std::vector<uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    uint8_t chunk[65536];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + count);
    std::fclose(file);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, file) == 1;
    return std::fclose(file) == 0 && written;
}

bool WriteFileText(const std::string& path, const std::string& text)
{
    return WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

void PutLE16(std::vector<uint8_t>* bytes, uint32_t value)
{
    bytes->push_back(uint8_t(value));
    bytes->push_back(uint8_t(value >> 8));
}

void PutLE32(std::vector<uint8_t>* bytes, uint32_t value)
{
    PutLE16(bytes, value & 0xFFFF);
    PutLE16(bytes, value >> 16);
}

void PutFloat(std::vector<uint8_t>* bytes, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutLE32(bytes, bits);
}

uint16_t GetLE16(const uint8_t* bytes)
{
    return uint16_t(bytes[0] | bytes[1] << 8);
}

uint32_t GetLE32(const uint8_t* bytes)
{
    return GetLE16(bytes) | uint32_t(GetLE16(bytes + 2)) << 16;
}

float GetFloat(const uint8_t* bytes)
{
    uint32_t bits = GetLE32(bytes);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

std::vector<uint8_t> Bmp24Bytes(int width, int height, const std::function<uint32_t(int x, int y)>& color)
{
    const uint32_t rowBytes = (3 * uint32_t(width) + 3) & ~3u;
    const uint32_t pixelBytes = rowBytes * uint32_t(height);
    std::vector<uint8_t> bytes = {'B', 'M'};
    for (uint32_t field : {54 + pixelBytes, 0u, 54u, 40u, uint32_t(width), uint32_t(height)})
        PutLE32(&bytes, field);
    PutLE16(&bytes, 1);
    PutLE16(&bytes, 24);
    for (uint32_t field : {0u, pixelBytes, 2835u, 2835u, 0u, 0u})
        PutLE32(&bytes, field);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t rgb = color(x, y);
            bytes.insert(bytes.end(), {uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16)});
        }
        bytes.resize(bytes.size() + rowBytes - 3 * uint32_t(width));
    }
    return bytes;
}

int RunCommand(const std::string& command, std::string* output)
{
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return -1;
    char chunk[4096];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        if (output)
            output->append(chunk, count);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
