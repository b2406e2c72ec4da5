#pragma once
// Geometry of a visual: vertices of one 44-byte layout, optional 16-bit indices,
// a material and two texture stages.
#include <cstdint>

#include "ZU2/rkMath.h"

struct rkTexture;

enum rkPrimitive : int32_t {
    RK_POINTLIST = 1,
    RK_LINELIST = 2,
    RK_LINESTRIP = 3,
    RK_TRIANGLELIST = 4,
    RK_TRIANGLESTRIP = 5,
    RK_TRIANGLEFAN = 6,
};

// Vertex formats: 1 lit (position, normal), 2 unlit (position, colour),
// 3 pre-transformed (screen x, y, depth, 1/w in normal.x, colour).
enum rkVertexFormat : int32_t { RK_VERTEX_LIT = 1, RK_VERTEX_UNLIT = 2, RK_VERTEX_SCREEN = 3 };

enum rkMeshFlags : uint32_t {
    RK_MESH_INDEXED = 1,
    RK_MESH_HEAP = 2,
    RK_MESH_OWNS_VERTICES = 4,
    RK_MESH_OWNS_INDICES = 8,
    RK_MESH_MATERIAL = 16,
    RK_MESH_STATE = 32,
};

struct rkVertex {
    rkVector position;
    rkVector normal;
    uint32_t colour;  // 0xAARRGGBB
    float u0, v0;
    float u1, v1;
};
static_assert(sizeof(rkVertex) == 44);

struct rkMaterial {
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float power;
};

struct rkMesh {
    int32_t primitive;
    int32_t format;
    uint32_t flags;
    rkVertex* vertices;
    int32_t vertexCount;
    int32_t vertexCapacity;
    uint16_t* indices;
    int32_t indexCount;
    int32_t indexCapacity;
    rkMaterial material;
    rkTexture* textures[2];
    void* user;
};

constexpr int kRkVertexGrowth = 16;
constexpr int kRkIndexGrowth = 128;

rkMesh* rkCreateMesh(int primitive, int format, bool indexed);
rkMesh* rkCloneMesh(const rkMesh* mesh);
int rkAddVertex(rkMesh* mesh, const rkVertex& vertex);
int rkAddIndex(rkMesh* mesh, uint16_t index);
void rkFreeMesh(rkMesh* mesh);
// Releases only the arrays the mesh owns; the record stays (for meshes embedded in a visual).
void rkFreeMeshArrays(rkMesh* mesh);
void rkTransformMesh(rkMesh* mesh, const rkMatrix& matrix);
