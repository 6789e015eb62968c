// A main window in a folder of its own, with the settings as at program
// start, plus helpers for the configuration file's bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "tests/support/main_window_fixture.h"

typedef std::vector<unsigned char> Bytes;

const GenerationParamsRecord InitialParams = {1.0f, 1, 1.0f, 24.0f, 1};

class SettingsTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        memset(&GenerationSettings, 0, sizeof GenerationSettings);
        GenerationParams = InitialParams;
        StartMainWindow();
    }

    std::string ConfigPath() const
    {
        return exeDir + "/orvanel.cfg";
    }

    void WriteConfig(const Bytes& bytes) const
    {
        std::ofstream file(ConfigPath(), std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(file.good());
    }

    // The file's bytes; `exists` false when it cannot be opened.
    Bytes ReadConfig(bool* exists = nullptr) const
    {
        std::ifstream file(ConfigPath(), std::ios::binary);
        if (exists)
            *exists = file.is_open();
        return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
};

// Little-endian fields, written byte by byte so that the expectations do not
// lean on the record's own layout.
inline void PutUint32(Bytes& bytes, size_t offset, uint32_t value)
{
    if (bytes.size() < offset + 4)
        bytes.resize(offset + 4);
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

inline uint32_t GetUint32(const Bytes& bytes, size_t offset)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(bytes.at(offset + i)) << (8 * i);
    return value;
}

inline uint32_t FloatBits(float value)
{
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Bit-for-bit equality of floats (so -0.0 differs from 0.0, and NaN is caught).
#define EXPECT_FLOAT_BITS(expected, actual) EXPECT_EQ(FloatBits(expected), FloatBits(actual))
