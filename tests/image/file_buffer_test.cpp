// The file buffer: opening, reading whole files, offsets and lengths, short
// reads and closing in any state.
#include <fcntl.h>
#include <unistd.h>

#include "image/bmp.h"
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

static void ExpectClosed()
{
    EXPECT_EQ(TheFileBuffer.fileHandle, -1);
    EXPECT_EQ(TheFileBuffer.bytes, nullptr);
}

TEST_F(FileBufferTest, OpenTakesLengthAndReadsNothing)
{
    ExpectClosed();
    std::vector<uint8_t> bytes = MakeBmp24(4, 4, 9, 8, 7);
    std::string path = WriteFile("a.bmp", bytes);
    ASSERT_TRUE(OpenFileBuffer(path.c_str()));
    EXPECT_NE(TheFileBuffer.fileHandle, -1);
    EXPECT_EQ(TheFileBuffer.length, static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(TheFileBuffer.bytes, nullptr);
}

TEST_F(FileBufferTest, MissingFileAndFolderDoNotOpen)
{
    std::string missing = folder.File("missing.bmp");
    EXPECT_FALSE(OpenFileBuffer(missing.c_str()));
    ExpectClosed();
    EXPECT_FALSE(OpenFileBuffer(folder.path.c_str()));
    ExpectClosed();
    EXPECT_FALSE(OpenFileBuffer(nullptr));
    ExpectClosed();
}

TEST_F(FileBufferTest, ReadsWholeFileAndKeepsBytesUntilClosed)
{
    std::vector<uint8_t> bytes = MakeBmp24(2, 2, 0x30, 0x20, 0x10);
    std::string path = WriteFile("a.bmp", bytes);
    ASSERT_TRUE(OpenFileBuffer(path.c_str()));
    Image* image = GetBMPFromBuffer(0, 0);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 2);
    EXPECT_EQ(image->pixels[0], 0x30);
    EXPECT_EQ(image->pixels[2], 0x10);
    ASSERT_NE(TheFileBuffer.bytes, nullptr);
    EXPECT_EQ(TheFileBuffer.used, static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(0, memcmp(TheFileBuffer.bytes, bytes.data(), bytes.size()));
    CloseFileBuffer();
    ExpectClosed();
    // The Image lives on without the buffer.
    EXPECT_EQ(image->pixels[15], 255);
    FreeImage(image);
}

TEST_F(FileBufferTest, LengthOutsideTheFileMeansTheWholeFile)
{
    std::vector<uint8_t> bytes = MakeBmp24(2, 2, 1, 2, 3);
    std::string path = WriteFile("a.bmp", bytes);
    ASSERT_TRUE(OpenFileBuffer(path.c_str()));
    for (int32_t length : {0, -5, static_cast<int32_t>(bytes.size()) + 1, INT32_MAX}) {
        SCOPED_TRACE(length);
        Image* image = GetBMPFromBuffer(0, length);
        EXPECT_NE(image, nullptr);
        EXPECT_EQ(TheFileBuffer.used, static_cast<int32_t>(bytes.size()));
        FreeImage(image);
    }
    // A length inside the file reads only that much: here too little for the rows.
    Image* image = GetBMPFromBuffer(0, static_cast<int32_t>(bytes.size()) - 1);
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(TheFileBuffer.used, static_cast<int32_t>(bytes.size()) - 1);
    FreeImage(image);
}

TEST_F(FileBufferTest, ReadsFromTheOffset)
{
    std::vector<uint8_t> picture = MakeBmp24(2, 2, 5, 6, 7);
    std::vector<uint8_t> bytes(10 + picture.size(), 0xEE);
    memcpy(bytes.data() + 10, picture.data(), picture.size());
    std::string path = WriteFile("embedded.bmp", bytes);
    ASSERT_TRUE(OpenFileBuffer(path.c_str()));
    Image* image = GetBMPFromBuffer(0, 0);
    EXPECT_EQ(image, nullptr);  // the junk comes first
    FreeImage(image);
    image = GetBMPFromBuffer(10, static_cast<int32_t>(picture.size()));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixels[0], 5);
    FreeImage(image);
    image = GetBMPFromBuffer(-1, 0);
    EXPECT_EQ(image, nullptr);
    FreeImage(image);
}

// The file shrinks between opening and reading: the read returns fewer bytes
// than the length taken at opening, and only those are decoded.
TEST_F(FileBufferTest, ShortReadIsRefused)
{
    std::vector<uint8_t> bytes = MakeBmp24(4, 4, 1, 2, 3);
    std::string path = WriteFile("shrinking.bmp", bytes);
    ASSERT_TRUE(OpenFileBuffer(path.c_str()));
    ASSERT_EQ(0, truncate(path.c_str(), static_cast<off_t>(bytes.size() - 1)));
    Image* image = GetBMPFromBuffer(0, 0);
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(TheFileBuffer.used, static_cast<int32_t>(bytes.size() - 1));
    FreeImage(image);
    ASSERT_EQ(0, truncate(path.c_str(), 0));
    ASSERT_TRUE(OpenFileBuffer(path.c_str()));
    EXPECT_EQ(TheFileBuffer.length, 0);
    image = GetBMPFromBuffer(0, 0);
    EXPECT_EQ(image, nullptr);
    FreeImage(image);
}

TEST_F(FileBufferTest, CloseTwiceAndReopen)
{
    std::string path = WriteFile("a.bmp", MakeBmp24(1, 1, 1, 1, 1));
    CloseFileBuffer();
    ExpectClosed();
    ASSERT_TRUE(OpenFileBuffer(path.c_str()));
    Image* image = GetBMPFromBuffer(0, 0);
    FreeImage(image);
    CloseFileBuffer();
    ExpectClosed();
    CloseFileBuffer();
    ExpectClosed();
    ASSERT_TRUE(OpenFileBuffer(path.c_str()));
    image = GetBMPFromBuffer(0, 0);
    EXPECT_NE(image, nullptr);
    FreeImage(image);
}

// A second open closes the first file instead of leaking its descriptor.
TEST_F(FileBufferTest, SecondOpenReleasesTheFirstDescriptor)
{
    std::string first = WriteFile("a.bmp", MakeBmp24(1, 1, 1, 1, 1));
    std::string second = WriteFile("b.bmp", MakeBmp24(2, 2, 1, 1, 1));
    ASSERT_TRUE(OpenFileBuffer(first.c_str()));
    int firstHandle = TheFileBuffer.fileHandle;
    Image* image = GetBMPFromBuffer(0, 0);
    FreeImage(image);
    ASSERT_TRUE(OpenFileBuffer(second.c_str()));
    EXPECT_EQ(TheFileBuffer.bytes, nullptr);
    EXPECT_EQ(TheFileBuffer.length, static_cast<int32_t>(54 + 2 * 8));
    if (TheFileBuffer.fileHandle != firstHandle) {
        EXPECT_EQ(fcntl(firstHandle, F_GETFD), -1) << "the first descriptor is still open";
    }
}
