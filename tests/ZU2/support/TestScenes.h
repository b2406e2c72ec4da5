#pragma once
// Small builders for the GL and image tests: meshes, materials, views and image files.
#include <cstdint>
#include <string>
#include <vector>

#include "ZU2/rkDevice.h"

namespace tavrel::test {

rkVertex Vertex(float x, float y, float z, uint32_t colour = 0xFFFFFFFF, float u = 0,
                float v = 0);
// A sphere as an indexed triangle list of vertex format 1, front faces outside.
void FillSphere(rkMesh* mesh, float radius, int slices, int stacks);
// A quad facing -y (towards the front camera) from x0..x1, z0..z1 at depth y, with texture
// coordinates (0, 0) at its top-left corner; two triangles of a list.
void AddQuad(rkMesh* mesh, float x0, float z0, float x1, float z1, float y, uint32_t colour);
rkMaterial WhiteMaterial(float power = 20.0f);
// Looking from -y at the origin with +z up, as the front camera does.
rkView FrontView(float distance, float aspect = 1.0f);
rkLightData Light(int type, float r, float g, float b);

// Image files written the way common tools write them.
// pixels: red, green, blue (and alpha) per pixel, top row first; 8 bits: indices with a
// palette of red, green, blue, unused.
std::vector<uint8_t> BmpBytes(int width, int height, int bits, const std::vector<uint8_t>& pixels,
                              bool topDown = false, const std::vector<uint8_t>& palette = {});
std::vector<uint8_t> TgaBytes(int width, int height, int bits, const std::vector<uint8_t>& pixels,
                              bool topFirst = false);
std::string WriteTempFile(const std::string& name, const std::vector<uint8_t>& bytes);

}  // namespace tavrel::test
