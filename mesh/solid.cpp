// Closing a heightfield surface: finding its border loop, the walls, the bottom.
//
// Contents: the border (which vertices lie on which side, the edges used once, the loop);
// the counts; CloseSolid with its walls and bottom.
#include "mesh/solid.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

// Sides of the rectangle, as bits: a corner vertex lies on two.
static const uint8_t SideLeft = 1;    // X lowest
static const uint8_t SideRight = 2;   // X highest
static const uint8_t SideBottom = 4;  // Y lowest
static const uint8_t SideTop = 8;     // Y highest
static const uint8_t UsedByFace = 16;

// The corners in the order the loop meets them, counter-clockwise seen from above.
static const uint8_t CornerSides[4] = {SideLeft | SideBottom, SideRight | SideBottom, SideRight | SideTop,
                                       SideLeft | SideTop};
// The side running from each corner to the next.
static const uint8_t SideAfterCorner[4] = {SideBottom, SideRight, SideTop, SideLeft};

struct SurfaceBorder {
    std::vector<uint32_t> ring;  // border vertices in loop order, from the corner at the lowest X and Y
    size_t corners[4];           // ring positions of the corners, in CornerSides order
    float lowestZ;               // lowest Z of the faces' corners
};

struct DirectedEdge {
    uint64_t key;  // both ends, lower index in the high half: the same for both directions
    uint32_t from, to;
};

// ---------------------------------------------------------------------------
// The border

// One flag byte per vertex: UsedByFace and the sides of the rectangle it lies on. The
// rectangle is the bounds of the vertices the faces use. Null when memory is short.
static uint8_t* MarkSides(const TriangleMesh& surface, float* lowestZ)
{
    uint8_t* flags = static_cast<uint8_t*>(std::calloc(size_t(surface.vertexCount) + 1, 1));
    if (!flags)
        return nullptr;
    float low[3] = {INFINITY, INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    for (int64_t i = 0; i < 3 * surface.faceCount; ++i) {
        const uint32_t v = surface.faces[i];
        flags[v] = UsedByFace;
        const float* p = surface.positions + 3 * size_t(v);
        for (int axis = 0; axis < 3; ++axis)
            low[axis] = std::min(low[axis], p[axis]);
        high[0] = std::max(high[0], p[0]);
        high[1] = std::max(high[1], p[1]);
    }
    *lowestZ = low[2];
    for (int64_t v = 0; v < surface.vertexCount; ++v) {
        if (!flags[v])
            continue;
        const float* p = surface.positions + 3 * v;
        flags[v] |= (p[0] == low[0] ? SideLeft : 0) | (p[0] == high[0] ? SideRight : 0) |
            (p[1] == low[1] ? SideBottom : 0) | (p[1] == high[1] ? SideTop : 0);
    }
    return flags;
}

// The face edges whose ends lie on a common side: only they can be border edges. Each
// appears once per face using it, in that face's direction.
static std::vector<DirectedEdge> EdgesAlongSides(const TriangleMesh& surface, const uint8_t* flags)
{
    std::vector<DirectedEdge> edges;
    for (int64_t f = 0; f < surface.faceCount; ++f)
        for (int k = 0; k < 3; ++k) {
            const uint32_t from = surface.faces[3 * f + k], to = surface.faces[3 * f + (k + 1) % 3];
            if (flags[from] & flags[to] & (SideLeft | SideRight | SideBottom | SideTop)) {
                const uint64_t low = std::min(from, to), high = std::max(from, to);
                edges.push_back(DirectedEdge{low << 32 | high, from, to});
            }
        }
    return edges;
}

// Twice the signed area the ring encloses in X, Y: above 0 when it runs counter-clockwise.
static double RingArea(const TriangleMesh& surface, const std::vector<uint32_t>& ring)
{
    double area = 0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const float* a = surface.positions + 3 * size_t(ring[i]);
        const float* b = surface.positions + 3 * size_t(ring[(i + 1) % ring.size()]);
        area += double(a[0]) * b[1] - double(b[0]) * a[1];
    }
    return area;
}

// Follows the border edges from the corner at the lowest X and Y into border->ring. False
// unless they make one loop that meets the four corners in order, each stretch between two
// corners on its side.
static bool WalkBorderLoop(const std::vector<DirectedEdge>& border, const uint8_t* flags, SurfaceBorder* out)
{
    std::unordered_map<uint32_t, uint32_t> next;
    uint32_t start = 0;
    bool hasStart = false;
    for (const DirectedEdge& edge : border) {
        if (!next.emplace(edge.from, edge.to).second)
            return false;
        if ((flags[edge.from] & CornerSides[0]) == CornerSides[0]) {
            start = edge.from;
            hasStart = true;
        }
    }
    if (!hasStart)
        return false;
    int corner = 0;
    uint32_t v = start;
    do {
        if (out->ring.size() >= border.size())
            return false;
        const uint8_t sides = flags[v];
        if (corner < 4 && (sides & CornerSides[corner]) == CornerSides[corner])
            out->corners[corner++] = out->ring.size();
        else if (!(sides & SideAfterCorner[corner - 1]))
            return false;
        out->ring.push_back(v);
        const auto found = next.find(v);
        if (found == next.end())
            return false;
        v = found->second;
    } while (v != start);
    return corner == 4 && out->ring.size() == border.size();
}

// Finds the border loop of the surface; false when the surface is not a heightfield sheet
// whose border runs along its rectangle (see solid.h).
static bool FindSurfaceBorder(const TriangleMesh& surface, SurfaceBorder* out)
{
    if (!IsValidTriangleMesh(surface) || surface.faceCount < 1)
        return false;
    uint8_t* flags = MarkSides(surface, &out->lowestZ);
    if (!flags)
        return false;
    std::vector<DirectedEdge> edges = EdgesAlongSides(surface, flags);
    std::sort(edges.begin(), edges.end(), [](const DirectedEdge& a, const DirectedEdge& b) { return a.key < b.key; });
    // an edge used by one face only is a border edge
    std::vector<DirectedEdge> border;
    for (size_t i = 0; i < edges.size();) {
        size_t j = i;
        while (j < edges.size() && edges[j].key == edges[i].key)
            ++j;
        if (j - i == 1)
            border.push_back(edges[i]);
        i = j;
    }
    int64_t usedVertices = 0;
    for (int64_t v = 0; v < surface.vertexCount; ++v)
        usedVertices += flags[v] ? 1 : 0;
    const bool walked = WalkBorderLoop(border, flags, out);
    std::free(flags);
    if (!walked || RingArea(surface, out->ring) <= 0)
        return false;
    // a sheet with one border loop is a disc: V - E + F = 1, with E = (3F + B) / 2. A hole
    // inside (whose edges are not along the sides, so not counted in B) breaks the count.
    const int64_t corners = 3 * surface.faceCount + int64_t(out->ring.size());
    return corners % 2 == 0 && usedVertices - corners / 2 + surface.faceCount == 1;
}

// ---------------------------------------------------------------------------
// The counts

SolidAdditions CountGridSolidAdditions(int64_t cols, int64_t rows)
{
    if (cols < 2 || rows < 2)
        return SolidAdditions{0, 0};
    const int64_t border = 2 * (cols - 1) + 2 * (rows - 1);
    return SolidAdditions{border, 3 * border - 2};
}

bool CountSolidAdditions(const TriangleMesh& surface, SolidAdditions* additions)
{
    SurfaceBorder border;
    if (!FindSurfaceBorder(surface, &border))
        return false;
    const int64_t count = int64_t(border.ring.size());
    *additions = SolidAdditions{count, 3 * count - 2};
    return true;
}

// ---------------------------------------------------------------------------
// CloseSolid

// Appends the face, turned if need be so that it winds clockwise seen from above: the
// bottom faces outwards, down.
static void AppendBottomFace(TriangleMesh* solid, int64_t* face, uint32_t a, uint32_t b, uint32_t c)
{
    const float* p = solid->positions;
    const double cross =
        (double(p[3 * size_t(b)]) - p[3 * size_t(a)]) * (double(p[3 * size_t(c) + 1]) - p[3 * size_t(a) + 1]) -
        (double(p[3 * size_t(b) + 1]) - p[3 * size_t(a) + 1]) * (double(p[3 * size_t(c)]) - p[3 * size_t(a)]);
    uint32_t* out = solid->faces + 3 * (*face)++;
    out[0] = a;
    out[1] = cross > 0 ? c : b;
    out[2] = cross > 0 ? b : c;
}

// Fans from apex over the bottom vertices of ring positions first..last (each pair of
// neighbours one face). Positions wrap around the ring.
static void FanBottom(TriangleMesh* solid, int64_t* face, uint32_t apex, uint32_t firstBottom, size_t first,
                      size_t last, size_t ringSize)
{
    for (size_t i = first; i != last; i = (i + 1) % ringSize)
        AppendBottomFace(solid, face, apex, firstBottom + uint32_t(i), firstBottom + uint32_t((i + 1) % ringSize));
}

// The bottom over the ring's B vertices in B - 2 faces, none of zero area: the diagonal from
// the corner at lowest X, highest Y (TL) to the one at highest X, lowest Y (BR) halves the
// rectangle into two triangles, each with its vertices on two sides. In the half over the left
// and bottom sides, BR fans over the left side down to the vertex just above BL, and that
// vertex fans over the bottom side; the other half likewise from TL over the right side and
// from the vertex just below TR over the top side. No apex lies on the side it fans over.
static void BuildBottom(TriangleMesh* solid, int64_t* face, const SurfaceBorder& border, uint32_t firstBottom)
{
    const size_t n = border.ring.size();
    const size_t bl = border.corners[0], br = border.corners[1], tr = border.corners[2], tl = border.corners[3];
    const size_t aboveBl = (bl + n - 1) % n;  // the left side runs from TL down to BL
    const size_t belowTr = (tr + n - 1) % n;  // the right side runs from BR up to TR
    FanBottom(solid, face, firstBottom + uint32_t(br), firstBottom, tl, aboveBl, n);
    FanBottom(solid, face, firstBottom + uint32_t(aboveBl), firstBottom, bl, br, n);
    FanBottom(solid, face, firstBottom + uint32_t(tl), firstBottom, br, belowTr, n);
    FanBottom(solid, face, firstBottom + uint32_t(belowTr), firstBottom, tr, tl, n);
}

// The walls: under the border edge a -> b (the surface's direction) the faces (b, a, a') and
// (b, a', b'), which use the edge the other way and wind outwards.
static void BuildWalls(TriangleMesh* solid, int64_t* face, const SurfaceBorder& border, uint32_t firstBottom)
{
    const size_t n = border.ring.size();
    for (size_t i = 0; i < n; ++i) {
        const uint32_t a = border.ring[i], b = border.ring[(i + 1) % n];
        const uint32_t aBottom = firstBottom + uint32_t(i), bBottom = firstBottom + uint32_t((i + 1) % n);
        const uint32_t wall[6] = {b, a, aBottom, b, aBottom, bBottom};
        std::memcpy(solid->faces + 3 * *face, wall, sizeof wall);
        *face += 2;
    }
}

bool CloseSolid(const TriangleMesh& surface, float base, TriangleMesh* solid)
{
    std::memset(solid, 0, sizeof *solid);
    SurfaceBorder border;
    if (!(base > 0) || !std::isfinite(base) || !FindSurfaceBorder(surface, &border))
        return false;
    const int64_t added = int64_t(border.ring.size());
    const int64_t vertices = surface.vertexCount + added, faces = surface.faceCount + 3 * added - 2;
    const float bottomZ = border.lowestZ - base;
    if (vertices > MaxMeshVertices || faces > MaxMeshFaces || !std::isfinite(bottomZ))
        return false;
    const bool texCoords = surface.texCoords != nullptr;
    if (!AllocateTriangleMesh(solid, vertices, faces, texCoords, false, surface.name))
        return false;
    const size_t v = size_t(surface.vertexCount);
    std::memcpy(solid->positions, surface.positions, 3 * v * sizeof(float));
    if (texCoords)
        std::memcpy(solid->texCoords, surface.texCoords, 2 * v * sizeof(float));
    std::memcpy(solid->faces, surface.faces, 3 * size_t(surface.faceCount) * sizeof(uint32_t));
    for (size_t i = 0; i < border.ring.size(); ++i) {
        const size_t top = border.ring[i], bottom = v + i;
        solid->positions[3 * bottom] = surface.positions[3 * top];
        solid->positions[3 * bottom + 1] = surface.positions[3 * top + 1];
        solid->positions[3 * bottom + 2] = bottomZ;
        if (texCoords) {
            solid->texCoords[2 * bottom] = surface.texCoords[2 * top];
            solid->texCoords[2 * bottom + 1] = surface.texCoords[2 * top + 1];
        }
    }
    int64_t face = surface.faceCount;
    BuildWalls(solid, &face, border, uint32_t(v));
    BuildBottom(solid, &face, border, uint32_t(v));
    return face == faces;
}
