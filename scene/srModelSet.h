#pragma once
// Renderable models made from the geometry chunks of a loaded SCN scene: one ZU2 mesh per
// material with world-space vertices, and the material textures from a shared pool.
#include <cstdint>

#include "ZU2/rkMesh.h"
#include "scene/ScnScene.h"

// A texture picture as the BMP reader gives it: top row first; kind 2 for 24-bit RGB,
// 1 for 8-bit with its palette in front.
struct srTextureImage {
    int32_t width;
    int32_t height;
    int32_t bits;
    int32_t kind;
    uint8_t* pixels;
};

struct srTexturePoolEntry {
    ScnTextureDesc desc;    // the descriptor that loaded the image (with its rewritten name)
    srTextureImage* image;  // none: the entry is free
};

struct srModel {
    int32_t valid;
    int32_t subMeshCount;       // the chunk's material count, at least 1
    ScnGeomChunk chunk;         // a deep copy of the chunk
    rkMesh* meshes;             // one per material; only meshes[0] owns the vertices
    srTextureImage** textures;  // per sub-mesh, none when untextured
    rkMaterial* materials;
};

constexpr int kSrPoolSize = 128;
constexpr int kSrMaxPaths = 10;
constexpr int kSrPathSize = 256;

struct srModelSet {
    int32_t modelCount;
    srModel* models;  // one slot per geometry chunk
    int32_t pathCount;
    srTexturePoolEntry pool[kSrPoolSize];
    char paths[kSrMaxPaths][kSrPathSize];
};

// Builds a model per geometry chunk. Textures are searched in programDir (the folder of the
// program's own files; none: the executable's folder) and in the folders that ScnRead.ini
// there names under [Texture] Path1 to Path9. None on failure.
srModelSet* srCreateModelSet(const ScnScene* scene, const char* programDir = nullptr);
void srDestroyModelSet(srModelSet* set);

// Builds the set's next model from one geometry chunk. 1 on success, 0 on failure.
int _srCreateModelFromChunk(const ScnGeomChunk* chunk, srModelSet* set);
// The picture for a texture descriptor, from the pool or loaded now; none if not found.
// Rewrites the descriptor's file name to end in ".bmp", as the file is looked for.
srTextureImage* _srGetTexture(srModelSet* set, ScnTextureDesc* desc);

// Reads a picture file; how the pool loads textures. The kit's BMP reader unless another is
// installed (none restores it).
using srImageReader = uint8_t* (*)(const char* path, int* width, int* height, int* bits);
using srImageFree = void (*)(uint8_t* pixels);
void srSetImageReader(srImageReader reader, srImageFree release);
