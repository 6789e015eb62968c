// What many suites need of files and processes: a temporary folder, whole files,
// little-endian fields, 24-bit BMPs made by hand, and shell commands.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A folder of its own under /tmp, removed with everything in it.
struct TempFolder {
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string File(const std::string& name) const
    {
        return path + "/" + name;
    }
    std::string path;  // empty when the folder could not be made
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);  // empty when unreadable
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteFileText(const std::string& path, const std::string& text);

void PutLE16(std::vector<uint8_t>* bytes, uint32_t value);
void PutLE32(std::vector<uint8_t>* bytes, uint32_t value);
void PutFloat(std::vector<uint8_t>* bytes, float value);
uint16_t GetLE16(const uint8_t* bytes);
uint32_t GetLE32(const uint8_t* bytes);
float GetFloat(const uint8_t* bytes);

// An uncompressed 24-bit BMP with the 40-byte header, rows bottom-up and padded to
// 4 bytes; color(x, y) gives 0xRRGGBB of the pixel y rows from the top.
std::vector<uint8_t> Bmp24Bytes(int width, int height, const std::function<uint32_t(int x, int y)>& color);

// Runs a shell command; its exit status (-1 when it did not exit), and what it
// printed on both streams when output is given.
int RunCommand(const std::string& command, std::string* output = nullptr);
