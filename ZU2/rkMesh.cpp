#include "ZU2/rkMesh.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Grows a heap array by step elements, zero-filling the new part; false if the memory is not there.
template <typename T>
bool GrowArray(T** array, int32_t* capacity, int step) {
    const size_t newCapacity = static_cast<size_t>(*capacity) + step;
    if (newCapacity > INT32_MAX / sizeof(T)) return false;
    void* grown = std::realloc(*array, newCapacity * sizeof(T));
    if (!grown) return false;
    std::memset(static_cast<T*>(grown) + *capacity, 0, step * sizeof(T));
    *array = static_cast<T*>(grown);
    *capacity = static_cast<int32_t>(newCapacity);
    return true;
}

template <typename T>
T* CopyArray(const T* source, int32_t capacity) {
    if (!source || capacity <= 0) return nullptr;
    T* copy = static_cast<T*>(std::calloc(capacity, sizeof(T)));
    if (copy) std::memcpy(copy, source, capacity * sizeof(T));
    return copy;
}

}  // namespace

rkMesh* rkCreateMesh(int primitive, int format, bool indexed) {
    auto* mesh = static_cast<rkMesh*>(std::calloc(1, sizeof(rkMesh)));
    if (!mesh) return nullptr;
    mesh->primitive = primitive;
    mesh->format = format;
    mesh->flags = RK_MESH_HEAP | (indexed ? RK_MESH_INDEXED : 0u);
    return mesh;
}

rkMesh* rkCloneMesh(const rkMesh* source) {
    if (!source) return nullptr;
    auto* mesh = static_cast<rkMesh*>(std::calloc(1, sizeof(rkMesh)));
    if (!mesh) return nullptr;
    *mesh = *source;
    mesh->flags = source->flags | RK_MESH_HEAP;
    mesh->vertices = nullptr;
    mesh->indices = nullptr;
    mesh->flags &= ~(RK_MESH_OWNS_VERTICES | RK_MESH_OWNS_INDICES);
    if (source->vertices) {
        mesh->vertices = CopyArray(source->vertices, source->vertexCapacity);
        mesh->flags |= RK_MESH_OWNS_VERTICES;
    } else {
        mesh->vertexCapacity = mesh->vertexCount = 0;
    }
    if ((source->flags & RK_MESH_INDEXED) && source->indices && source->indexCount > 0) {
        mesh->indices = CopyArray(source->indices, source->indexCapacity);
        mesh->flags |= RK_MESH_OWNS_INDICES;
    } else {
        mesh->indexCapacity = mesh->indexCount = 0;
    }
    return mesh;
}

int rkAddVertex(rkMesh* mesh, const rkVertex& vertex) {
    if (!mesh) return -1;
    if (mesh->vertexCount >= mesh->vertexCapacity) {
        // An array lent by someone else cannot be resized here.
        if (mesh->vertices && !(mesh->flags & RK_MESH_OWNS_VERTICES)) return -1;
        if (!GrowArray(&mesh->vertices, &mesh->vertexCapacity, kRkVertexGrowth)) return -1;
        mesh->flags |= RK_MESH_OWNS_VERTICES;
    }
    mesh->vertices[mesh->vertexCount] = vertex;
    return mesh->vertexCount++;
}

int rkAddIndex(rkMesh* mesh, uint16_t index) {
    if (!mesh) return -1;
    if (mesh->indexCount >= mesh->indexCapacity) {
        if (mesh->indices && !(mesh->flags & RK_MESH_OWNS_INDICES)) return -1;
        if (!GrowArray(&mesh->indices, &mesh->indexCapacity, kRkIndexGrowth)) return -1;
        mesh->flags |= RK_MESH_OWNS_INDICES;
    }
    mesh->indices[mesh->indexCount] = index;
    return mesh->indexCount++;
}

void rkFreeMeshArrays(rkMesh* mesh) {
    if (!mesh) return;
    if (mesh->flags & RK_MESH_OWNS_VERTICES) std::free(mesh->vertices);
    if (mesh->flags & RK_MESH_OWNS_INDICES) std::free(mesh->indices);
    mesh->vertices = nullptr;
    mesh->indices = nullptr;
    mesh->vertexCount = mesh->vertexCapacity = 0;
    mesh->indexCount = mesh->indexCapacity = 0;
    mesh->flags &= ~(RK_MESH_OWNS_VERTICES | RK_MESH_OWNS_INDICES);
}

void rkFreeMesh(rkMesh* mesh) {
    if (!mesh) return;
    rkFreeMeshArrays(mesh);
    if (mesh->flags & RK_MESH_HEAP) std::free(mesh);
}

void rkTransformMesh(rkMesh* mesh, const rkMatrix& matrix) {
    if (!mesh) return;
    rkMatrix normalMatrix;
    rkNormalMatrix(&normalMatrix, matrix);
    for (int i = 0; i < mesh->vertexCount; ++i) {
        rkVertex& v = mesh->vertices[i];
        v.position = rkTransformPoint(v.position, matrix);
        if (mesh->format == RK_VERTEX_LIT) {
            v.normal = rkNormalize(rkTransformPoint(v.normal, normalMatrix));
        }
    }
}
