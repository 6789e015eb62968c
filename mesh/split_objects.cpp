// Tiling a grid into 3DS-sized objects, cutting a grid mesh along the tiles, and the bytes
// of a .3ds file with several objects.
//
// Contents: the tiling; SplitGridMesh; AssembleObjects3DS.
#include "mesh/split_objects.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mesh/export_internal.h"

// ---------------------------------------------------------------------------
// The tiling

// The most rows of cells a tile cols cells wide may have, or 0 when none fits.
static int64_t TallestTile(int64_t width)
{
    const int64_t byFaces = MaxObjectFaces / (2 * width);
    const int64_t byVertices = MaxObjectVertices / (width + 1) - 1;
    return byFaces < byVertices ? byFaces : byVertices;
}

// Tiles across and down for cells x cellRows cells: the fewest in all.
static void ChooseTileCounts(int64_t cells, int64_t cellRows, int64_t* across, int64_t* down)
{
    *across = 0;
    int64_t best = INT64_MAX;
    for (int64_t columns = 1; columns <= cells; ++columns) {
        const int64_t width = (cells + columns - 1) / columns;
        const int64_t height = TallestTile(width);
        if (height < 1)
            continue;
        const int64_t rowsOfTiles = (cellRows + height - 1) / height;
        if (columns * rowsOfTiles < best) {
            best = columns * rowsOfTiles;
            *across = columns;
            *down = rowsOfTiles;
        }
    }
}

// The first cell of tile i of count along cells: the cells are shared out evenly.
static int64_t TileStart(int64_t i, int64_t count, int64_t cells)
{
    return i * cells / count;
}

int64_t PlanGridTiles(int64_t cols, int64_t rows, GridTile* tiles, int64_t maxTiles)
{
    if (cols < 2 || rows < 2)
        return -1;
    int64_t across, down;
    ChooseTileCounts(cols - 1, rows - 1, &across, &down);
    int64_t count = 0;
    for (int64_t j = 0; j < down; ++j)
        for (int64_t i = 0; i < across; ++i, ++count)
            if (tiles && count < maxTiles)
                tiles[count] = GridTile{TileStart(i, across, cols - 1), TileStart(j, down, rows - 1),
                                        TileStart(i + 1, across, cols - 1), TileStart(j + 1, down, rows - 1)};
    return count;
}

// ---------------------------------------------------------------------------
// SplitGridMesh

// The tile of each face, or -1 when a face spans more than one cell.
static bool AssignFacesToTiles(const TriangleMesh& grid, int64_t cols, int64_t rows, int64_t across, int64_t down,
                               int32_t* tileOfFace)
{
    for (int64_t f = 0; f < grid.faceCount; ++f) {
        int64_t low[2] = {INT64_MAX, INT64_MAX}, high[2] = {-1, -1};
        for (int k = 0; k < 3; ++k) {
            const int64_t v = grid.faces[3 * f + k], point[2] = {v % cols, v / cols};
            for (int axis = 0; axis < 2; ++axis) {
                low[axis] = point[axis] < low[axis] ? point[axis] : low[axis];
                high[axis] = point[axis] > high[axis] ? point[axis] : high[axis];
            }
        }
        if (high[0] - low[0] > 1 || high[1] - low[1] > 1)
            return false;
        // the cell's tile: the last whose first cell is at or before it
        int64_t i = low[0] * across / (cols - 1), j = low[1] * down / (rows - 1);
        while (i + 1 < across && TileStart(i + 1, across, cols - 1) <= low[0])
            ++i;
        while (i > 0 && TileStart(i, across, cols - 1) > low[0])
            --i;
        while (j + 1 < down && TileStart(j + 1, down, rows - 1) <= low[1])
            ++j;
        while (j > 0 && TileStart(j, down, rows - 1) > low[1])
            --j;
        tileOfFace[f] = int32_t(j * across + i);
    }
    return true;
}

// Copies the tile's points, components floats each, row by row from the grid's array.
static void CopyTilePoints(const float* from, float* to, int components, const GridTile& tile, int64_t cols)
{
    const int64_t width = tile.x1 - tile.x0 + 1;
    for (int64_t y = tile.y0; y <= tile.y1; ++y)
        std::memcpy(to + components * (y - tile.y0) * width, from + components * (y * cols + tile.x0),
                    size_t(components * width) * sizeof(float));
}

static bool FillTileMesh(const TriangleMesh& grid, int64_t cols, const GridTile& tile, int64_t tileIndex,
                         int64_t faceCount, const int32_t* tileOfFace, TriangleMesh* object)
{
    const int64_t width = tile.x1 - tile.x0 + 1, height = tile.y1 - tile.y0 + 1;
    char name[MeshNameSize + 24];
    if (tileIndex == 0)
        std::snprintf(name, sizeof name, "%s", grid.name);
    else
        std::snprintf(name, sizeof name, "%s_%lld", grid.name, static_cast<long long>(tileIndex));
    if (faceCount > MaxObjectFaces ||
        !AllocateTriangleMesh(object, width * height, faceCount, grid.texCoords, grid.normals, name))
        return false;
    CopyTilePoints(grid.positions, object->positions, 3, tile, cols);
    if (grid.texCoords)
        CopyTilePoints(grid.texCoords, object->texCoords, 2, tile, cols);
    if (grid.normals)
        CopyTilePoints(grid.normals, object->normals, 3, tile, cols);
    int64_t face = 0;
    for (int64_t f = 0; f < grid.faceCount; ++f) {
        if (tileOfFace[f] != tileIndex)
            continue;
        for (int k = 0; k < 3; ++k) {
            const int64_t v = grid.faces[3 * f + k];
            object->faces[3 * face + k] = uint32_t((v % cols - tile.x0) + (v / cols - tile.y0) * width);
        }
        ++face;
    }
    return true;
}

void FreeSplitObjects(TriangleMesh* objects, int64_t objectCount)
{
    for (int64_t i = 0; objects && i < objectCount; ++i)
        FreeTriangleMesh(&objects[i]);
    std::free(objects);
}

bool SplitGridMesh(const TriangleMesh& grid, int64_t cols, int64_t rows, TriangleMesh** objects, int64_t* objectCount)
{
    *objects = nullptr;
    *objectCount = 0;
    if (cols < 2 || rows < 2 || grid.vertexCount != cols * rows || !IsValidTriangleMesh(grid))
        return false;
    int64_t across, down;
    ChooseTileCounts(cols - 1, rows - 1, &across, &down);
    const int64_t count = across * down;
    GridTile* tiles = static_cast<GridTile*>(std::malloc(size_t(count) * sizeof(GridTile)));
    int32_t* tileOfFace = static_cast<int32_t*>(std::malloc(size_t(grid.faceCount + 1) * sizeof(int32_t)));
    int64_t* facesOfTile = static_cast<int64_t*>(std::calloc(size_t(count), sizeof(int64_t)));
    TriangleMesh* made = static_cast<TriangleMesh*>(std::calloc(size_t(count), sizeof(TriangleMesh)));
    bool split = tiles && tileOfFace && facesOfTile && made && PlanGridTiles(cols, rows, tiles, count) == count &&
        AssignFacesToTiles(grid, cols, rows, across, down, tileOfFace);
    for (int64_t f = 0; split && f < grid.faceCount; ++f)
        ++facesOfTile[tileOfFace[f]];
    for (int64_t t = 0; split && t < count; ++t)
        split = FillTileMesh(grid, cols, tiles[t], t, facesOfTile[t], tileOfFace, &made[t]);
    std::free(tiles);
    std::free(tileOfFace);
    std::free(facesOfTile);
    if (!split) {
        FreeSplitObjects(made, made ? count : 0);
        return false;
    }
    *objects = made;
    *objectCount = count;
    return true;
}

// ---------------------------------------------------------------------------
// AssembleObjects3DS

static const uint64_t ChunkHeader = 6;

static uint64_t TriMeshChunkSize(const TriangleMesh& mesh)
{
    const uint64_t n = uint64_t(mesh.vertexCount), f = uint64_t(mesh.faceCount);
    return ChunkHeader + (ChunkHeader + 2 + 12 * n) + (mesh.texCoords ? ChunkHeader + 2 + 8 * n : 0) +
        (ChunkHeader + 2 + 8 * f);
}

static uint64_t ObjectChunkSize(const TriangleMesh& mesh)
{
    return ChunkHeader + std::strlen(mesh.name) + 1 + TriMeshChunkSize(mesh);
}

static void AppendChunk(ExportBuffer* out, uint16_t id, uint64_t length)
{
    StoreLittle16(out->bytes + out->used, id);
    StoreLittle32(out->bytes + out->used + 2, uint32_t(length));
    out->used += ChunkHeader;
}

static void AppendCount(ExportBuffer* out, int64_t count)
{
    StoreLittle16(out->bytes + out->used, uint16_t(count));
    out->used += 2;
}

static void AppendObject(ExportBuffer* out, const TriangleMesh& mesh)
{
    const uint64_t n = uint64_t(mesh.vertexCount), f = uint64_t(mesh.faceCount);
    AppendChunk(out, 0x4000, ObjectChunkSize(mesh));
    AppendExportBytes(out, mesh.name, std::strlen(mesh.name) + 1);
    AppendChunk(out, 0x4100, TriMeshChunkSize(mesh));
    AppendChunk(out, 0x4110, ChunkHeader + 2 + 12 * n);
    AppendCount(out, mesh.vertexCount);
    AppendLittleFloats(out, mesh.positions, 3 * size_t(n));
    if (mesh.texCoords) {
        AppendChunk(out, 0x4140, ChunkHeader + 2 + 8 * n);
        AppendCount(out, mesh.vertexCount);
        AppendLittleFloats(out, mesh.texCoords, 2 * size_t(n));
    }
    AppendChunk(out, 0x4120, ChunkHeader + 2 + 8 * f);
    AppendCount(out, mesh.faceCount);
    for (uint64_t i = 0; i < 3 * f; i += 3) {
        uint8_t* record = out->bytes + out->used;
        for (int k = 0; k < 3; ++k)
            StoreLittle16(record + 2 * k, uint16_t(mesh.faces[i + k]));
        StoreLittle16(record + 6, 0);  // edge visibility flags: none
        out->used += 8;
    }
}

bool AssembleObjects3DS(const TriangleMesh* meshes, int64_t count, uint8_t** bytes, size_t* size)
{
    *bytes = nullptr;
    *size = 0;
    uint64_t editor = ChunkHeader;
    for (int64_t i = 0; i < count; ++i) {
        const TriangleMesh& mesh = meshes[i];
        if (mesh.vertexCount > MaxObjectVertices || mesh.faceCount > MaxObjectFaces || !IsValidTriangleMesh(mesh))
            return false;
        editor += ObjectChunkSize(mesh);
        if (editor > UINT32_MAX)
            return false;
    }
    const uint64_t whole = ChunkHeader + 8 + editor;
    ExportBuffer out = {nullptr, 0, 0};
    if (whole > UINT32_MAX || whole > AvailableMeshMemory() || !ReserveExportBuffer(&out, whole))
        return false;
    AppendChunk(&out, 0x4D4D, whole);
    AppendChunk(&out, 0x0002, 8);
    AppendCount(&out, 3);
    AppendChunk(&out, 0x3D3D, editor);
    for (int64_t i = 0; i < count; ++i)
        AppendObject(&out, meshes[i]);
    *bytes = out.bytes;
    *size = out.used;
    return true;
}
