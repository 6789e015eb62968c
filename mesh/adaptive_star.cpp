// The removal of a vertex from the adaptive mesh's triangulation: the star of triangles around
// it, the polygon left without it cut into triangles, and the star replaced by that cut.
//
// Contents: stars and holes; removal.
#include <cstring>

#include "mesh/adaptive_triangulation.h"
#include "mesh/adaptive_triangulation_internal.h"

// ---------------------------------------------------------------------------
// Stars and holes

static int CornerOf(const MeshTriangle* triangle, int32_t v)
{
    return triangle->corners[0] == v ? 0 : (triangle->corners[1] == v ? 1 : 2);
}

bool CollectStar(const Triangulation* mesh, int32_t vertex, Star* star)
{
    int32_t t = mesh->vertices[vertex].triangle;
    int k = CornerOf(&mesh->triangles[t], vertex);
    // turn clockwise to the border, if the vertex lies on it: the star starts there
    const int32_t start = t;
    for (int steps = 0;; ++steps) {
        const int32_t link = mesh->triangles[t].across[k];
        if (link < 0)
            break;
        if (steps == MaxStar)
            return false;
        t = link / 3;
        k = CornerOf(&mesh->triangles[t], vertex);
        if (t == start)
            break;
    }
    star->border = mesh->triangles[t].across[k] < 0;
    star->triangleCount = 0;
    star->ringCount = 0;
    const int32_t first = t;
    star->ring[star->ringCount++] = mesh->triangles[t].corners[(k + 1) % 3];
    for (;;) {
        if (star->triangleCount == MaxStar)
            return false;
        const MeshTriangle* triangle = &mesh->triangles[t];
        star->triangles[star->triangleCount] = t;
        star->outside[star->triangleCount] = triangle->across[(k + 1) % 3];
        ++star->triangleCount;
        const int32_t next = triangle->corners[(k + 2) % 3];
        const int32_t link = triangle->across[(k + 2) % 3];
        if (link < 0) {
            star->ring[star->ringCount++] = next;
            star->outside[star->triangleCount] = -1;
            return true;
        }
        t = link / 3;
        k = CornerOf(&mesh->triangles[t], vertex);
        if (t == first)
            return true;
        star->ring[star->ringCount++] = next;
    }
}

// An ear (a, b, c) is convex and holds no other corner of the polygon; the first pass also
// wants no other corner inside its circle, which makes the cut Delaunay within the polygon.
static bool IsEar(const Triangulation* mesh, const int32_t* polygon, int n, int i, bool delaunay)
{
    const int32_t a = polygon[(i + n - 1) % n], b = polygon[i], c = polygon[(i + 1) % n];
    if (OrientationOf(mesh, a, b, c) <= 0)
        return false;
    for (int j = 0; j < n; ++j) {
        const int32_t d = polygon[j];
        if (d == a || d == b || d == c)
            continue;
        if (delaunay ? InCircle(mesh, a, b, c, d) > 0
                     : OrientationOf(mesh, a, b, d) >= 0 && OrientationOf(mesh, b, c, d) >= 0 &&
                    OrientationOf(mesh, c, a, d) >= 0)
            return false;
    }
    return true;
}

bool TriangulateHole(const Triangulation* mesh, const Star* star, Hole* hole)
{
    int32_t polygon[MaxStar + 1];
    int n = star->ringCount;
    std::memcpy(polygon, star->ring, sizeof(int32_t) * n);
    hole->count = 0;
    while (n >= 3) {
        int ear = -1;
        for (int pass = 0; pass < 2 && ear < 0; ++pass)
            for (int i = 0; i < n && ear < 0; ++i)
                if (IsEar(mesh, polygon, n, i, pass == 0))
                    ear = i;
        if (ear < 0)
            return false;
        int32_t* corners = hole->corners[hole->count++];
        corners[0] = polygon[(ear + n - 1) % n];
        corners[1] = polygon[ear];
        corners[2] = polygon[(ear + 1) % n];
        std::memmove(polygon + ear, polygon + ear + 1, sizeof(int32_t) * (n - ear - 1));
        --n;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Removal

// The link past edge a -> b of hole triangle i: the star's outside link along the ring, or
// the hole triangle on the other side of a cut.
static int32_t HoleLink(const Star* star, const Hole* hole, int32_t a, int32_t b)
{
    for (int k = 0; k < star->ringCount; ++k)
        if (star->ring[k] == a && star->ring[(k + 1) % star->ringCount] == b)
            return star->outside[k];
    for (int j = 0; j < hole->count; ++j)
        for (int f = 0; f < 3; ++f)
            if (hole->corners[j][f] == b && hole->corners[j][(f + 1) % 3] == a)
                return 3 * star->triangles[j] + f;
    return -1;
}

void RemoveVertex(Triangulation* mesh, int32_t vertex, const Star* star, const Hole* hole)
{
    int32_t across[MaxStar][3];
    for (int i = 0; i < hole->count; ++i)
        for (int e = 0; e < 3; ++e)
            across[i][e] = HoleLink(star, hole, hole->corners[i][e], hole->corners[i][(e + 1) % 3]);
    for (int i = hole->count; i < star->triangleCount; ++i)
        FreeTriangle(mesh, star->triangles[i]);
    for (int i = 0; i < hole->count; ++i)
        SetTriangle(mesh, star->triangles[i], hole->corners[i], across[i]);
    if (!AppendIndex(&mesh->removedVertices, vertex) || !AppendIndex(&mesh->removedVertices, mesh->vertices[vertex].x))
        mesh->failed = true;
    mesh->vertices[vertex].x = -1;
    --mesh->vertexCount;
    if (star->border)
        --mesh->borderVertexCount;
}
