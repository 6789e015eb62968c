// The block after the 2,084-byte record: what is written reads back, what a newer
// program wrote survives a save, and damaged bytes never give unusable values.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "settings/settings_block.h"
#include "tests/support/test_files.h"

static std::unique_ptr<SettingsBlockRecord> NewBlock()
{
    std::unique_ptr<SettingsBlockRecord> block(new SettingsBlockRecord);
    SetDefaultSettingsBlock(block.get());
    return block;
}

static std::vector<uint8_t> Format(const SettingsBlockRecord& block)
{
    std::vector<uint8_t> bytes(SettingsBlockCapacity());
    bytes.resize(FormatSettingsBlock(&block, bytes.data(), bytes.size()));
    return bytes;
}

static std::vector<uint8_t> Header()
{
    std::vector<uint8_t> bytes = {'O', 'R', 'V', 'X'};
    PutLE16(&bytes, 1);
    return bytes;
}

static void PutField(std::vector<uint8_t>* bytes, uint16_t id, const std::vector<uint8_t>& value)
{
    PutLE16(bytes, id);
    PutLE32(bytes, uint32_t(value.size()));
    bytes->insert(bytes->end(), value.begin(), value.end());
}

TEST(SettingsBlockTest, WhatIsWrittenReadsBackAndUnknownFieldsSurviveASave)
{
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        auto block = NewBlock();
        block->meshMode = int32_t(random() % 2);
        block->maxFaces = int32_t(random() % 100000);
        block->maxErrorLevels = float(random() % 25600) / 100.0f;
        block->splitObjects = int32_t(random() % 2);
        block->solid = int32_t(random() % 2);
        block->solidBase = 0.5f + float(random() % 1000);
        block->wireframe = int32_t(random() % 2);
        block->lightAzimuth = float(int(random() % 720) - 360);
        block->lightElevation = float(int(random() % 181) - 90);
        const int recent = int(random() % (RecentHeightmapCount + 1));
        for (int i = 0; i < recent; ++i)
            snprintf(block->recentHeightmaps[i], SettingsPathSize, "/maps/%d/%s.png", i,
                     std::string(random() % 3000, 'x').c_str());
        strcpy(block->openFolder, round % 3 ? "/home/someone/maps" : "");
        strcpy(block->saveFolder, round % 2 ? "/tmp/out" : "");

        std::vector<uint8_t> bytes = Format(*block);
        ASSERT_FALSE(bytes.empty());
        PutField(&bytes, 999, {1, 2, 3});  // a newer program's field
        auto read = NewBlock();
        ASSERT_TRUE(ParseSettingsBlock(bytes.data(), bytes.size(), read.get()));
        ASSERT_EQ(read->keptFieldsSize, 9u);
        read->keptFieldsSize = 0;
        EXPECT_EQ(memcmp(block.get(), read.get(), offsetof(SettingsBlockRecord, keptFields)), 0) << round;

        // the unknown field is written again after the known ones
        ASSERT_TRUE(ParseSettingsBlock(bytes.data(), bytes.size(), read.get()));
        EXPECT_EQ(Format(*read), bytes);
    }
}

TEST(SettingsBlockTest, DamagedBlocksKeepWhatCameBeforeTheDamageAndNeverUnusableValues)
{
    auto defaults = NewBlock();
    auto read = NewBlock();
    const std::vector<uint8_t> four = {0, 0, 0, 0};
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool accepted;
        int32_t meshMode, maxFaces;
        float maxError, base, elevation;
    };
    auto with = [&](std::initializer_list<std::pair<uint16_t, std::vector<uint8_t>>> fields) {
        std::vector<uint8_t> bytes = Header();
        for (const auto& field : fields)
            PutField(&bytes, field.first, field.second);
        return bytes;
    };
    auto f32 = [](float value) {
        std::vector<uint8_t> bytes;
        PutFloat(&bytes, value);
        return bytes;
    };
    auto i32 = [](int32_t value) {
        std::vector<uint8_t> bytes;
        PutLE32(&bytes, uint32_t(value));
        return bytes;
    };
    std::vector<uint8_t> cut = with({{1, i32(1)}, {2, i32(500)}});
    cut.resize(cut.size() - 1);
    std::vector<uint8_t> newer = Header();
    newer[4] = 2;
    const Case cases[] = {
        {"no block", {}, false, 0, 0, 0, 64, 90},
        {"another mark", {'O', 'R', 'V', 'Y', 1, 0}, false, 0, 0, 0, 64, 90},
        {"a newer version", newer, false, 0, 0, 0, 64, 90},
        {"a cut field", cut, true, 1, 0, 0, 64, 90},
        {"a wrong length", with({{2, {1, 2}}, {1, i32(1)}}), true, 1, 0, 0, 64, 90},
        {"a mode that does not exist", with({{1, i32(7)}}), true, 0, 0, 0, 64, 90},
        {"a negative budget", with({{2, i32(-5)}}), true, 0, 0, 0, 64, 90},
        {"a NaN bound and base", with({{3, f32(NAN)}, {6, f32(NAN)}}), true, 0, 0, 0, 64, 90},
        {"a bound past 255, a base below 0", with({{3, f32(300)}, {6, f32(-1)}}), true, 0, 0, 0, 64, 90},
        {"an elevation past the zenith", with({{9, f32(91)}}), true, 0, 0, 0, 64, 90},
        {"usable values", with({{2, i32(1000)}, {3, f32(2.5f)}, {6, f32(3)}, {9, f32(-90)}}), true, 0, 1000, 2.5f, 3,
         -90},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseSettingsBlock(c.bytes.data(), c.bytes.size(), read.get()), c.accepted) << c.what;
        EXPECT_EQ(read->meshMode, c.meshMode) << c.what;
        EXPECT_EQ(read->maxFaces, c.maxFaces) << c.what;
        EXPECT_EQ(read->maxErrorLevels, c.maxError) << c.what;
        EXPECT_EQ(read->solidBase, c.base) << c.what;
        EXPECT_EQ(read->lightElevation, c.elevation) << c.what;
    }
    // a path without room for its terminator is not taken, not cut
    const std::vector<uint8_t> longPath(SettingsPathSize, 'a');
    const std::vector<uint8_t> bytes = with({{10, longPath}, {10, {'/', 'a'}}, {11, {'/', 0, 'b'}}});
    ASSERT_TRUE(ParseSettingsBlock(bytes.data(), bytes.size(), read.get()));
    EXPECT_STREQ(read->recentHeightmaps[0], "/a");
    EXPECT_STREQ(read->openFolder, "");
    EXPECT_EQ(FormatSettingsBlock(defaults.get(), nullptr, 3), 0u);
}

TEST(SettingsBlockTest, RecentListKeepsTheNewestFiveWithoutRepeats)
{
    auto block = NewBlock();
    std::deque<std::string> reference;
    std::mt19937 random(3);
    for (int step = 0; step < 200; ++step) {
        const std::string path = "/maps/" + std::to_string(random() % 8) + ".png";
        RememberRecentHeightmap(block.get(), path.c_str());
        for (auto it = reference.begin(); it != reference.end(); ++it)
            if (*it == path) {
                reference.erase(it);
                break;
            }
        reference.push_front(path);
        if (reference.size() > size_t(RecentHeightmapCount))
            reference.pop_back();
        for (int i = 0; i < RecentHeightmapCount; ++i)
            ASSERT_EQ(block->recentHeightmaps[i], i < int(reference.size()) ? reference[i] : "") << step;
    }
    RememberRecentHeightmap(block.get(), std::string(SettingsPathSize, 'x').c_str());
    EXPECT_EQ(block->recentHeightmaps[0], reference[0]);
}
