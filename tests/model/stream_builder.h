// Little helpers that assemble 3DS chunk streams byte by byte for the model tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "model/geometry.h"

using Bytes = std::vector<uint8_t>;

inline void PutU16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void PutU32(Bytes& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

inline void PutF32(Bytes& out, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  PutU32(out, bits);
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// A chunk: id, length of the whole chunk, then the payload.
inline Bytes Chunk(uint16_t id, const Bytes& payload = {}) {
  Bytes out;
  PutU16(out, id);
  PutU32(out, static_cast<uint32_t>(payload.size() + 6));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

inline Bytes Name(const std::string& name) {
  Bytes out(name.begin(), name.end());
  out.push_back(0);
  return out;
}

inline Bytes VertexData(const std::vector<Vec3>& vertices) {
  Bytes out;
  PutU16(out, static_cast<uint16_t>(vertices.size()));
  for (const Vec3& v : vertices) {
    PutF32(out, v.x);
    PutF32(out, v.y);
    PutF32(out, v.z);
  }
  return out;
}

inline Bytes Vec3Data(const std::vector<Vec3>& vectors) {
  Bytes out;
  for (const Vec3& v : vectors) {
    PutF32(out, v.x);
    PutF32(out, v.y);
    PutF32(out, v.z);
  }
  return out;
}

struct TestFace {
  uint16_t a, b, c;
};

inline Bytes FaceData(const std::vector<TestFace>& faces) {
  Bytes out;
  PutU16(out, static_cast<uint16_t>(faces.size()));
  for (const TestFace& f : faces) {
    PutU16(out, f.a);
    PutU16(out, f.b);
    PutU16(out, f.c);
    PutU16(out, 0);
  }
  return out;
}

inline Bytes TexCoordData(const std::vector<std::pair<float, float>>& pairs) {
  Bytes out;
  PutU16(out, static_cast<uint16_t>(pairs.size()));
  for (const auto& pair : pairs) {
    PutF32(out, pair.first);
    PutF32(out, pair.second);
  }
  return out;
}

inline Bytes U32Data(std::initializer_list<uint32_t> values) {
  Bytes out;
  for (uint32_t value : values) PutU32(out, value);
  return out;
}

// The 116-byte payload of a joint record.
inline Bytes JointRecordData(uint32_t index, const std::string& name, const std::string& parent) {
  Bytes out;
  PutU32(out, index);
  Bytes nameBytes(80, 0), parentBytes(32, 0);
  std::memcpy(nameBytes.data(), name.data(), name.size());
  std::memcpy(parentBytes.data(), parent.data(), parent.size());
  return Cat({out, nameBytes, parentBytes});
}

// Weights chunk payload: count, then (unused, joint, weight, 12 unused bytes) records.
inline Bytes WeightData(const std::vector<std::pair<uint32_t, float>>& weights) {
  Bytes out;
  PutU32(out, static_cast<uint32_t>(weights.size()));
  for (const auto& w : weights) {
    PutU32(out, 0);
    PutU32(out, w.first);
    PutF32(out, w.second);
    out.insert(out.end(), 12, 0);
  }
  return out;
}

inline Bytes RangeData(const std::vector<std::pair<uint32_t, int32_t>>& ranges) {
  Bytes out;
  for (const auto& r : ranges) {
    PutU32(out, r.first);
    PutU32(out, static_cast<uint32_t>(r.second));
  }
  return out;
}

inline Bytes ExtendedMark() {
  Bytes out;
  PutU16(out, 0x1337);
  return out;
}

// The file the heightmesh writer produces for n vertices and f faces of a cols-wide grid.
inline Bytes WriterLayoutStream(const std::vector<Vec3>& vertices,
                                const std::vector<std::pair<float, float>>& uvs,
                                const std::vector<TestFace>& faces) {
  Bytes version;
  PutU16(version, 3);
  Bytes triMesh = Chunk(0x4100, Cat({Chunk(0x4110, VertexData(vertices)),
                                     Chunk(0x4140, TexCoordData(uvs)),
                                     Chunk(0x4120, FaceData(faces))}));
  return Chunk(0x4D4D, Cat({Chunk(0x0002, version),
                            Chunk(0x3D3D, Chunk(0x4000, Cat({Name("heightmesh"), triMesh})))}));
}
