// The file buffer: opening reads the whole file; closing in any state.
#include <fcntl.h>
#include <unistd.h>

#include "image/file_buffer.h"
#include "tests/image/bmp_files.h"

using namespace bmptest;

class FileBufferTest : public ::testing::Test {
protected:
    TempFolder folder;

    void SetUp() override
    {
        ASSERT_FALSE(folder.path.empty());
    }
    void TearDown() override
    {
        CloseFileBuffer();
    }

    std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::string path = folder.File(name);
        EXPECT_TRUE(WriteWholeFile(path, bytes));
        return path;
    }
};

TEST_F(FileBufferTest, MissingFileAndFolderDoNotOpen)
{
    std::string missing = folder.File("missing.bmp");
    EXPECT_FALSE(OpenFileBuffer(missing.c_str()));
    EXPECT_EQ(TheFileBuffer.bytes, nullptr);
    EXPECT_FALSE(OpenFileBuffer(folder.path.c_str()));
    EXPECT_EQ(TheFileBuffer.bytes, nullptr);
    EXPECT_FALSE(OpenFileBuffer(nullptr));
    EXPECT_EQ(TheFileBuffer.bytes, nullptr);
}

TEST_F(FileBufferTest, ReadsWholeFileAndKeepsBytesUntilClosed)
{
    std::vector<uint8_t> bytes = MakeBmp24(2, 2, 0x30, 0x20, 0x10);
    std::string path = WriteFile("a.bmp", bytes);
    ASSERT_TRUE(OpenFileBuffer(path.c_str()));
    ASSERT_EQ(TheFileBuffer.length, static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(0, memcmp(TheFileBuffer.bytes, bytes.data(), bytes.size()));
    // the bytes are the file as it was opened, whatever happens to it afterwards
    ASSERT_EQ(0, truncate(path.c_str(), 10));
    Image* image = GetBMPFromBuffer();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 2);
    EXPECT_EQ(image->pixels[0], 0x30);
    EXPECT_EQ(image->pixels[2], 0x10);
    CloseFileBuffer();
    EXPECT_EQ(TheFileBuffer.bytes, nullptr);
    // The Image lives on without the buffer.
    EXPECT_EQ(image->pixels[15], 255);
    FreeImage(image);
    ASSERT_TRUE(OpenFileBuffer(path.c_str()));
    EXPECT_EQ(GetBMPFromBuffer(), nullptr) << "the rows are gone";
}

TEST_F(FileBufferTest, CloseTwiceAndReopen)
{
    std::string path = WriteFile("a.bmp", MakeBmp24(1, 1, 1, 1, 1));
    CloseFileBuffer();
    ASSERT_TRUE(OpenFileBuffer(path.c_str()));
    ASSERT_TRUE(OpenFileBuffer(path.c_str())) << "a second open replaces the first file's bytes";
    CloseFileBuffer();
    CloseFileBuffer();
    EXPECT_EQ(TheFileBuffer.bytes, nullptr);
    ASSERT_TRUE(OpenFileBuffer(path.c_str()));
    Image* image = GetBMPFromBuffer();
    EXPECT_NE(image, nullptr);
    FreeImage(image);
}
