#include "RKWindow/GhostMesh.h"

#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tavrel {

namespace {

struct Cluster {
    rkVector position{0, 0, 0};
    rkVector normal{0, 0, 0};
    rkVector firstNormal{0, 0, 1};
    int count = 0;
};

int64_t CellOf(const rkVector& p, float cell) {
    const auto axis = [cell](float v) { return int64_t(std::floor(v / cell)) & 0x1FFFFF; };
    return axis(p.x) << 42 | axis(p.y) << 21 | axis(p.z);
}

}  // namespace

rkMesh* rkCreateGhostMesh(const rkMesh& body, float cell) {
    if (body.primitive != RK_TRIANGLELIST || body.vertexCount <= 0 || !body.vertices || !(cell > 0))
        return nullptr;
    const bool indexed = (body.flags & RK_MESH_INDEXED) != 0;
    if (indexed && !body.indices) return nullptr;
    std::unordered_map<int64_t, int> clusterOfCell;
    std::vector<Cluster> clusters;
    std::vector<int> clusterOf(size_t(body.vertexCount));
    for (int i = 0; i < body.vertexCount; ++i) {
        const rkVertex& v = body.vertices[i];
        const auto [at, added] =
            clusterOfCell.try_emplace(CellOf(v.position, cell), int(clusters.size()));
        if (added) clusters.push_back({{0, 0, 0}, {0, 0, 0}, v.normal, 0});
        Cluster& c = clusters[size_t(at->second)];
        c.position = c.position + v.position;
        c.normal = c.normal + v.normal;
        ++c.count;
        clusterOf[size_t(i)] = at->second;
    }
    if (clusters.size() > 0xFFFF) return nullptr;
    rkMesh* mesh = rkCreateMesh(RK_TRIANGLELIST, RK_VERTEX_LIT, true);
    if (!mesh) return nullptr;
    mesh->material = body.material;
    mesh->flags |= body.flags & RK_MESH_MATERIAL;
    for (const Cluster& c : clusters) {
        rkVertex v{};
        v.colour = 0xFFFFFFFF;
        v.position = c.position * (1.0f / float(c.count));
        // Both sides of a thin part may fall into one cell: its normal then is any of them.
        v.normal = rkLength(c.normal) > 1e-4f ? rkNormalize(c.normal) : c.firstNormal;
        rkAddVertex(mesh, v);
    }
    const int corners = indexed ? body.indexCount : body.vertexCount;
    for (int t = 0; t + 2 < corners; t += 3) {
        int k[3];
        for (int j = 0; j < 3; ++j) {
            const int index = indexed ? body.indices[t + j] : t + j;
            if (index >= body.vertexCount) return mesh;  // a damaged list ends here
            k[j] = clusterOf[size_t(index)];
        }
        if (k[0] == k[1] || k[1] == k[2] || k[0] == k[2]) continue;
        for (int j : k) rkAddIndex(mesh, uint16_t(j));
    }
    return mesh;
}

}  // namespace tavrel
