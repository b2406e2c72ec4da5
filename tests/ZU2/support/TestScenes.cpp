#include "TestScenes.h"

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>

namespace tavrel::test {

rkVertex Vertex(float x, float y, float z, uint32_t colour, float u, float v) {
    rkVertex vertex = {};
    vertex.position = {x, y, z};
    vertex.colour = colour;
    vertex.u0 = vertex.u1 = u;
    vertex.v0 = vertex.v1 = v;
    return vertex;
}

void FillSphere(rkMesh* mesh, float radius, int slices, int stacks) {
    mesh->flags |= RK_MESH_INDEXED;
    const float pi = std::numbers::pi_v<float>;
    for (int i = 0; i <= stacks; ++i) {
        const float theta = pi * float(i) / float(stacks);
        for (int j = 0; j <= slices; ++j) {
            const float phi = 2 * pi * float(j) / float(slices);
            const rkVector n = {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi),
                                std::cos(theta)};
            rkVertex v = Vertex(n.x * radius, n.y * radius, n.z * radius);
            v.normal = n;
            rkAddVertex(mesh, v);
        }
    }
    const auto at = [slices](int i, int j) { return uint16_t(i * (slices + 1) + j); };
    for (int i = 0; i < stacks; ++i) {
        for (int j = 0; j < slices; ++j) {
            // Counter-clockwise seen from outside: the kit culls clockwise triangles.
            for (uint16_t index : {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j),
                                   at(i + 1, j + 1), at(i, j + 1)}) {
                rkAddIndex(mesh, index);
            }
        }
    }
}

void AddQuad(rkMesh* mesh, float x0, float z0, float x1, float z1, float y, uint32_t colour) {
    const rkVertex topLeft = Vertex(x0, y, z1, colour, 0, 0);
    const rkVertex topRight = Vertex(x1, y, z1, colour, 1, 0);
    const rkVertex bottomLeft = Vertex(x0, y, z0, colour, 0, 1);
    const rkVertex bottomRight = Vertex(x1, y, z0, colour, 1, 1);
    for (const rkVertex& v : {topLeft, bottomLeft, bottomRight, topLeft, bottomRight, topRight}) {
        rkVertex lit = v;
        lit.normal = {0, -1, 0};
        rkAddVertex(mesh, lit);
    }
}

rkMaterial WhiteMaterial(float power) {
    return {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, power};
}

rkView FrontView(float distance, float aspect) {
    rkView view = {};
    view.eye = {0, -distance, 0};
    view.direction = {0, 1, 0};
    view.up = {0, 0, 1};
    view.nearPlane = 10.0f;
    view.farPlane = 10000.0f;
    view.fieldOfView = std::numbers::pi_v<float> / 4;
    view.aspect = aspect;
    return view;
}

rkLightData Light(int type, float r, float g, float b) {
    rkLightData light = {};
    light.type = type;
    light.diffuse[0] = r, light.diffuse[1] = g, light.diffuse[2] = b, light.diffuse[3] = 1;
    light.attenuation[0] = 1;
    return light;
}

namespace {

void Put16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(uint8_t(v));
    out->push_back(uint8_t(v >> 8));
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> BmpBytes(int width, int height, int bits, const std::vector<uint8_t>& pixels,
                              bool topDown, const std::vector<uint8_t>& palette) {
    const int bytesPerPixel = bits / 8;
    const int stride = (width * bytesPerPixel + 3) & ~3;
    const uint32_t paletteBytes = bits == 8 ? 1024 : 0;
    const uint32_t offset = 54 + paletteBytes;
    std::vector<uint8_t> out = {'B', 'M'};
    Put32(&out, offset + uint32_t(stride * height));
    Put32(&out, 0);
    Put32(&out, offset);
    Put32(&out, 40);
    Put32(&out, uint32_t(width));
    Put32(&out, uint32_t(topDown ? -height : height));
    Put16(&out, 1);
    Put16(&out, uint32_t(bits));
    for (int i = 0; i < 6; ++i) Put32(&out, 0);
    for (uint32_t i = 0; i < paletteBytes / 4; ++i) {
        const bool has = i * 4 + 2 < palette.size();
        out.insert(out.end(), {has ? palette[i * 4 + 2] : uint8_t(0),
                               has ? palette[i * 4 + 1] : uint8_t(0),
                               has ? palette[i * 4] : uint8_t(0), 0});
    }
    for (int r = 0; r < height; ++r) {
        const int row = topDown ? r : height - 1 - r;
        const uint8_t* p = &pixels[size_t(row) * width * bytesPerPixel];
        for (int x = 0; x < width; ++x) {
            if (bits == 8) out.push_back(p[x]);
            else out.insert(out.end(), {p[3 * x + 2], p[3 * x + 1], p[3 * x]});
        }
        for (int pad = width * bytesPerPixel; pad < stride; ++pad) out.push_back(0xEE);
    }
    return out;
}

std::vector<uint8_t> TgaBytes(int width, int height, int bits, const std::vector<uint8_t>& pixels,
                              bool topFirst) {
    const int bytesPerPixel = bits / 8;
    std::vector<uint8_t> out = {3, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(&out, uint32_t(width));
    Put16(&out, uint32_t(height));
    out.push_back(uint8_t(bits));
    out.push_back(uint8_t((bits == 32 ? 8 : 0) | (topFirst ? 0x20 : 0)));
    out.insert(out.end(), {'i', 'd', '!'});  // an identification field to skip
    for (int r = 0; r < height; ++r) {
        const int row = topFirst ? r : height - 1 - r;
        const uint8_t* p = &pixels[size_t(row) * width * bytesPerPixel];
        for (int x = 0; x < width; ++x) {
            const uint8_t* q = p + x * bytesPerPixel;
            out.insert(out.end(), {q[2], q[1], q[0]});
            if (bits == 32) out.push_back(q[3]);
        }
    }
    return out;
}

std::string WriteTempFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("tavrel-zu2-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / name).string();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

}  // namespace tavrel::test
