#pragma once
// A glTF file read back with the writing library's own loader, and its nodes posed at one key of
// its first animation as any glTF reader poses them (translation, then rotation, parent first).
#include <tiny_gltf.h>

#include <array>
#include <string>
#include <vector>

namespace tavrel::testing {

// Column-major and acting on columns, as glTF's matrices are.
using GltfMatrix = std::array<double, 16>;

inline bool LoadGltf(const std::string& path, tinygltf::Model* model, std::string* error) {
    tinygltf::TinyGLTF loader;
    std::string warning;
    const bool binary = path.ends_with(".glb");
    const bool loaded = binary ? loader.LoadBinaryFromFile(model, error, &warning, path)
                               : loader.LoadASCIIFromFile(model, error, &warning, path);
    *error += warning;
    return loaded && warning.empty();
}

inline const float* GltfFloats(const tinygltf::Model& model, int accessor) {
    const tinygltf::Accessor& a = model.accessors[accessor];
    const tinygltf::BufferView& v = model.bufferViews[a.bufferView];
    return reinterpret_cast<const float*>(model.buffers[v.buffer].data.data() + v.byteOffset +
                                          a.byteOffset);
}

inline GltfMatrix GltfMultiply(const GltfMatrix& a, const GltfMatrix& b) {
    GltfMatrix c{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            for (int k = 0; k < 4; ++k) c[col * 4 + row] += a[k * 4 + row] * b[col * 4 + k];
        }
    }
    return c;
}

inline std::array<double, 3> GltfApply(const GltfMatrix& m, const std::array<double, 3>& p) {
    std::array<double, 3> out;
    for (int row = 0; row < 3; ++row)
        out[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row];
    return out;
}

// The world matrix of every node at the key (a parent's node listed before its children's).
inline std::vector<GltfMatrix> GltfPosedWorld(const tinygltf::Model& model, int key) {
    const size_t count = model.nodes.size();
    std::vector<std::array<double, 3>> t(count, {0, 0, 0});
    std::vector<std::array<double, 4>> q(count, {0, 0, 0, 1});  // x, y, z, w
    for (size_t n = 0; n < count; ++n) {
        const tinygltf::Node& node = model.nodes[n];
        if (node.translation.size() == 3) std::copy_n(node.translation.begin(), 3, t[n].begin());
        if (node.rotation.size() == 4) std::copy_n(node.rotation.begin(), 4, q[n].begin());
    }
    for (const tinygltf::AnimationChannel& c : model.animations.at(0).channels) {
        const float* out = GltfFloats(model, model.animations[0].samplers[c.sampler].output);
        if (c.target_path == "translation") std::copy_n(out + 3 * key, 3, t[c.target_node].begin());
        if (c.target_path == "rotation") std::copy_n(out + 4 * key, 4, q[c.target_node].begin());
    }
    std::vector<int> parent(count, -1);
    for (size_t n = 0; n < count; ++n) {
        for (int child : model.nodes[n].children) parent[child] = int(n);
    }
    // Parents first: the order our files list their nodes in.
    std::vector<GltfMatrix> world(count);
    for (size_t n = 0; n < count; ++n) {
        const auto [x, y, z, w] = q[n];
        // clang-format off
        const GltfMatrix local = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,
                                  2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,
                                  2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0,
                                  t[n][0], t[n][1], t[n][2], 1};
        // clang-format on
        world[n] = parent[n] < 0 ? local : GltfMultiply(world[parent[n]], local);
    }
    return world;
}

}  // namespace tavrel::testing
