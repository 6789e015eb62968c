// Little helpers that assemble 3DS chunk streams byte by byte, for the model tests and benchmarks.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "model/geometry.h"

using Bytes = std::vector<uint8_t>;

inline void PutU16(Bytes& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void PutU32(Bytes& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

inline void PutF32(Bytes& out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    PutU32(out, bits);
}

inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// A chunk: id, length of the whole chunk, then the payload.
inline Bytes Chunk(uint16_t id, const Bytes& payload = {})
{
    Bytes out;
    PutU16(out, id);
    PutU32(out, static_cast<uint32_t>(payload.size() + 6));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

inline Bytes Name(const std::string& name)
{
    Bytes out(name.begin(), name.end());
    out.push_back(0);
    return out;
}

inline Bytes Counted(size_t count, const Bytes& records)
{
    Bytes out;
    PutU16(out, static_cast<uint16_t>(count));
    return Cat({out, records});
}

// The records without their leading 16-bit count, as the model keeps them.
inline Bytes Uncounted(const Bytes& list)
{
    return Bytes(list.begin() + 2, list.end());
}

inline Bytes Vec3Data(const std::vector<Vec3>& vectors)
{
    Bytes out;
    for (const Vec3& v : vectors) {
        PutF32(out, v.x);
        PutF32(out, v.y);
        PutF32(out, v.z);
    }
    return out;
}

inline Bytes VertexData(const std::vector<Vec3>& vertices)
{
    return Counted(vertices.size(), Vec3Data(vertices));
}

struct TestFace {
    uint16_t a, b, c;
};

inline Bytes FaceData(const std::vector<TestFace>& faces)
{
    Bytes out;
    for (const TestFace& f : faces) {
        for (uint16_t value : {f.a, f.b, f.c, uint16_t(0)})
            PutU16(out, value);
    }
    return Counted(faces.size(), out);
}

inline Bytes TexCoordData(const std::vector<std::pair<float, float>>& pairs)
{
    Bytes out;
    for (const auto& pair : pairs) {
        PutF32(out, pair.first);
        PutF32(out, pair.second);
    }
    return Counted(pairs.size(), out);
}

inline Bytes U32Data(std::initializer_list<uint32_t> values)
{
    Bytes out;
    for (uint32_t value : values)
        PutU32(out, value);
    return out;
}

// The 116-byte payload of a joint record.
inline Bytes JointRecordData(uint32_t index, const std::string& name, const std::string& parent)
{
    Bytes nameBytes(80, 0), parentBytes(32, 0);
    std::memcpy(nameBytes.data(), name.data(), name.size());
    std::memcpy(parentBytes.data(), parent.data(), parent.size());
    return Cat({U32Data({index}), nameBytes, parentBytes});
}

// Weights chunk payload: count, then (unused, joint, weight, 12 unused bytes) records.
inline Bytes WeightData(const std::vector<std::pair<uint32_t, float>>& weights)
{
    Bytes out = U32Data({static_cast<uint32_t>(weights.size())});
    for (const auto& w : weights) {
        PutU32(out, 0);
        PutU32(out, w.first);
        PutF32(out, w.second);
        out.insert(out.end(), 12, 0);
    }
    return out;
}

inline Bytes RangeData(const std::vector<std::pair<uint32_t, int32_t>>& ranges)
{
    Bytes out;
    for (const auto& r : ranges) {
        PutU32(out, r.first);
        PutU32(out, static_cast<uint32_t>(r.second));
    }
    return out;
}

inline Bytes ExtendedMark()
{
    return Bytes{0x37, 0x13};
}

// Objects under Main and Editor of a standard stream, or under the mark, Main and Editor
// of an extended one.
inline Bytes Standard(const Bytes& objects)
{
    return Chunk(0x4D4D, Chunk(0x3D3D, objects));
}
inline Bytes Extended(const Bytes& objects)
{
    return Cat({ExtendedMark(), Chunk(0x1000, Chunk(0x0001, objects))});
}

// A standard object holding a triangle mesh with just a vertex list.
inline Bytes VertexObject(const std::string& name, const std::vector<Vec3>& vertices)
{
    return Chunk(0x4000, Cat({Name(name), Chunk(0x4100, Chunk(0x4110, VertexData(vertices)))}));
}

// The two faces of each cell of a cols x rows grid, as the writer orders them.
inline std::vector<TestFace> GridFaces(int cols, int rows)
{
    std::vector<TestFace> faces;
    for (int y = 0; y + 1 < rows; ++y) {
        for (int x = 0; x + 1 < cols; ++x) {
            uint16_t v = static_cast<uint16_t>(y * cols + x);
            faces.push_back(TestFace{v, static_cast<uint16_t>(v + 1), static_cast<uint16_t>(v + cols)});
            faces.push_back(TestFace{static_cast<uint16_t>(v + 1), static_cast<uint16_t>(v + cols + 1),
                                     static_cast<uint16_t>(v + cols)});
        }
    }
    return faces;
}

// The file the heightmesh writer produces for these vertices, pairs and faces.
inline Bytes WriterLayoutStream(const std::vector<Vec3>& vertices, const std::vector<std::pair<float, float>>& uvs,
                                const std::vector<TestFace>& faces)
{
    Bytes triMesh = Chunk(
        0x4100,
        Cat({Chunk(0x4110, VertexData(vertices)), Chunk(0x4140, TexCoordData(uvs)), Chunk(0x4120, FaceData(faces))}));
    return Chunk(0x4D4D,
                 Cat({Chunk(0x0002, Bytes{3, 0}), Chunk(0x3D3D, Chunk(0x4000, Cat({Name("heightmesh"), triMesh})))}));
}
