// .3ds bytes made by hand for the tests and benchmarks: chunks from their parts, and the file
// the mesh writer makes of a heightmap sampled on a grid, worked out here on its own in plain
// float arithmetic, as the reference the writer is held to bit for bit.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/test_files.h"

using Bytes = std::vector<uint8_t>;

inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

inline Bytes U16s(const std::vector<uint16_t>& values)
{
    Bytes out;
    for (uint16_t value : values)
        PutLE16(&out, value);
    return out;
}

inline Bytes U32s(const std::vector<uint32_t>& values)
{
    Bytes out;
    for (uint32_t value : values)
        PutLE32(&out, value);
    return out;
}

inline Bytes Floats(const std::vector<float>& values)
{
    Bytes out;
    for (float value : values)
        PutFloat(&out, value);
    return out;
}

// A name with its NUL.
inline Bytes Name(const std::string& name)
{
    return Bytes(name.c_str(), name.c_str() + name.size() + 1);
}

// A chunk: its id, the length of the whole chunk (header included), then the payload.
inline Bytes Chunk(uint16_t id, const Bytes& payload = {})
{
    return Cat({U16s({id}), U32s({static_cast<uint32_t>(payload.size() + 6)}), payload});
}

// A list as the 3DS format stores it: a 16-bit count, then the records.
inline Bytes Counted(size_t count, const Bytes& records)
{
    return Cat({U16s({static_cast<uint16_t>(count)}), records});
}

struct HeightmeshShape {
    int width = 64;                                                     // heightmap pixels per row
    int height = 64;                                                    // heightmap rows
    int gridStep = 1;                                                   // pixels between samples
    float overallScale = 24.0f;                                         // world units per pixel
    float heightScale = 1.0f;                                           // world units per unit of red
    float textureScale = 1.0f;                                          // multiplier of the texture coordinates
    bool eliminateZeroHeight = false;                                   // leave out faces lying at height 0
    std::function<int(int x, int y)> red = [](int, int) { return 0; };  // red byte of pixel (x, y)
};

struct HeightmeshData {
    std::vector<float> positions;  // x, y, z per vertex
    std::vector<float> texCoords;  // u, v per vertex
    std::vector<uint16_t> faces;   // a, b, c, flags per face
};

// Vertex i at column i mod cols and row i div cols of the grid, centred on the picture with
// its top towards +Y; two faces per cell, counter-clockwise seen from above, in cell order.
inline HeightmeshData SampleHeightmesh(const HeightmeshShape& shape)
{
    HeightmeshData mesh;
    const int cols = shape.width / shape.gridStep, rows = shape.height / shape.gridStep;
    for (int i = 0; i < rows * cols; ++i) {
        const int x = i % cols * shape.gridStep, y = i / cols * shape.gridStep;
        mesh.positions.insert(mesh.positions.end(),
                              {float(x - shape.width / 2) * shape.overallScale,
                               -(float(y - shape.height / 2) * shape.overallScale),
                               float(shape.red(x, y)) * shape.heightScale});
        mesh.texCoords.push_back(float(x) / float(shape.width) * shape.textureScale);
        mesh.texCoords.push_back(float(y) / float(shape.height) * shape.textureScale);
    }
    auto raised = [&](int v) { return mesh.positions[3 * v + 2] != 0; };
    for (int v = 0; v + cols < rows * cols; ++v) {
        const int cell[2][3] = {{v + 1, v, v + cols}, {v + cols + 1, v + 1, v + cols}};
        for (const auto& f : cell) {
            if (v % cols == cols - 1 || (shape.eliminateZeroHeight && !raised(f[0]) && !raised(f[1]) && !raised(f[2])))
                continue;
            mesh.faces.insert(mesh.faces.end(), {uint16_t(f[0]), uint16_t(f[1]), uint16_t(f[2]), 0});
        }
    }
    return mesh;
}

// The writer's chunk tree: Main > Version 3, Editor > Object "heightmesh" > TriMesh > vertex
// list, texture coordinate list (unless left out), face list. extraFaces (a, b, c and flags
// each) follow the mesh's faces.
inline Bytes HeightmeshFileBytes(const HeightmeshData& mesh, const std::vector<uint16_t>& extraFaces = {},
                                 bool withTexCoords = true)
{
    const size_t n = mesh.positions.size() / 3, f = (mesh.faces.size() + extraFaces.size()) / 4;
    const Bytes texCoords = withTexCoords ? Chunk(0x4140, Counted(n, Floats(mesh.texCoords))) : Bytes();
    const Bytes triMesh = Chunk(0x4100,
                                Cat({Chunk(0x4110, Counted(n, Floats(mesh.positions))), texCoords,
                                     Chunk(0x4120, Counted(f, Cat({U16s(mesh.faces), U16s(extraFaces)})))}));
    return Chunk(0x4D4D,
                 Cat({Chunk(0x0002, U16s({3})), Chunk(0x3D3D, Chunk(0x4000, Cat({Name("heightmesh"), triMesh})))}));
}

inline bool WriteBytesToFile(const std::string& path, const Bytes& bytes)
{
    return WriteFileBytes(path, bytes);
}
