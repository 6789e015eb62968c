// Little-endian fields of the file formats (BMP, 3DS): reads that check that the
// field lies inside the bytes before touching them, and stores for the writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The formats store arrays of float32 and 16-bit words that the program writes
// and views as they lie in memory; every host it is built for is little-endian.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the file formats are used in the host's byte order");

// True when `count` bytes from `offset` lie inside `size` bytes; no sum can overflow.
inline bool HasBytesAt(size_t size, size_t offset, size_t count)
{
    return offset <= size && count <= size - offset;
}

// Each read stores nothing and returns false when the field does not lie inside the bytes.
template <typename Field>
inline bool ReadLittleField(const uint8_t* bytes, size_t size, size_t offset, Field* value)
{
    if (!HasBytesAt(size, offset, sizeof(Field)))
        return false;
    memcpy(value, bytes + offset, sizeof(Field));
    return true;
}

inline bool ReadLittleU16(const uint8_t* bytes, size_t size, size_t offset, uint16_t* value)
{
    return ReadLittleField(bytes, size, offset, value);
}

inline bool ReadLittleU32(const uint8_t* bytes, size_t size, size_t offset, uint32_t* value)
{
    return ReadLittleField(bytes, size, offset, value);
}

// Two's complement, as the files store it.
inline bool ReadLittleI32(const uint8_t* bytes, size_t size, size_t offset, int32_t* value)
{
    return ReadLittleField(bytes, size, offset, value);
}

inline void StoreLittleU16(uint8_t* out, uint16_t value)
{
    memcpy(out, &value, sizeof value);
}

inline void StoreLittleU32(uint8_t* out, uint32_t value)
{
    memcpy(out, &value, sizeof value);
}
