// Shared pieces of the mesh suite: a fixture that starts the main window with a properties
// window, heightmaps built in memory, the generation settings as trackbar positions, an
// independent decoding of the written file, and assimp's reading of it.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "model/model3ds.h"
#include "tests/support/main_window_fixture.h"

inline bool operator==(const MeshFace& left, const MeshFace& right)
{
    return left.a == right.a && left.b == right.b && left.c == right.c && left.flags == right.flags;
}

inline void PrintTo(const MeshFace& face, std::ostream* out)
{
    *out << "(" << face.a << ", " << face.b << ", " << face.c << ", flags " << face.flags << ")";
}

// Trackbar positions and the checkbox of the properties window.
struct MeshSettings {
    int stretch = 128;  // textureScale = stretch / 128
    int fuzz = 1;       // gridStep = 2^(fuzz - 1)
    int height = 256;   // heightScale = height / 256
    int scale = 24;     // overallScale
    int eliminate = 0;  // drop flat faces
};

// A .3ds file decoded by the test, field by field, with its structure checked on the way.
struct WrittenMesh {
    bool valid = false;               // the layout matched the writer's exactly
    std::vector<uint32_t> lengths;    // the eight chunk lengths in file order
    std::vector<uint32_t> positions;  // float32 bits, 3 per vertex
    std::vector<uint32_t> texCoords;  // float32 bits, 2 per vertex
    std::vector<MeshFace> faces;      // as stored
    int vertexCount() const
    {
        return static_cast<int>(positions.size() / 3);
    }
    int faceCount() const
    {
        return static_cast<int>(faces.size());
    }
};

// The mesh the written file must hold, computed here with plain float arithmetic.
struct ExpectedMesh {
    std::vector<uint32_t> positions;  // float32 bits
    std::vector<uint32_t> texCoords;  // float32 bits
    std::vector<MeshFace> faces;      // all faces of the grid, flags 0
};

typedef std::function<uint8_t(int x, int y)> RedFunction;

uint32_t FloatBits(float value);
std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
WrittenMesh DecodeWrittenMesh(const std::vector<uint8_t>& bytes);
ExpectedMesh ComputeExpectedMesh(int width, int height, const RedFunction& red, const MeshSettings& settings);

// Reads path with assimp and checks one mesh with the expected faces, corner by corner at
// the expected positions, and (joined by position) the number of vertices the faces use.
void ExpectAssimpReadsMesh(const std::string& path, const std::vector<uint32_t>& positions,
                           const std::vector<MeshFace>& faces);

class MeshTest : public MainWindowTest {
protected:
    WindowHandle properties = nullptr;

    void SetUp() override;
    void TearDown() override;

    // The main window with its properties window (made here when the shell has none); every
    // test starts with it.
    void StartWindow();
    // Replaces HeightmapImage with a width x height picture whose red is red(x, y); green
    // and blue carry noise that must not matter.
    void SetHeightmap(int width, int height, const RedFunction& red);
    void ApplySettings(const MeshSettings& settings);
    std::string PathInExeDir(const std::string& name) const
    {
        return exeDir + "/" + name;
    }
    // Answers the Save As dialog with path and presses Generate.
    void GenerateTo(const std::string& path);
    // Save As dialogs shown so far.
    int SaveDialogCount() const;
    // Generates into path and checks the file against the expected mesh, byte for byte
    // in its floats, and against assimp; returns the decoded file.
    WrittenMesh GenerateAndCheck(const std::string& path, int width, int height, const RedFunction& red,
                                 const MeshSettings& settings);
};
