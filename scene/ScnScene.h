#pragma once
// SCN scene files: a 256-byte header, then typed chunks one after another. Geometry chunks
// (type 1) carry the avatar's shapes; the other known types are kept but not interpreted.
// All records below are laid out byte for byte as the file stores them (little-endian).
#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "SCN records are read as stored");

constexpr uint32_t kScnVersion = 0x00010000;
constexpr int kScnHeaderRead = 164;
constexpr int kScnFirstChunk = 256;

struct ScnChunkHead {
    uint32_t type;
    uint32_t size;  // from the start of this chunk to the start of the next
};

struct ScnTextureDesc {
    uint8_t reserved[20];
    char name[32];  // empty: no texture
    char fileName[128];
};

struct ScnMaterial {
    char name[32];
    float ambient[3];
    float diffuse[3];
    float specular[3];
    float power;
    uint8_t reserved[32];
    ScnTextureDesc texture;
    ScnTextureDesc texture2;  // never read
};

struct ScnVertex {
    float position[3];
    float normal[3];
    float u, v;
    uint32_t colour;  // 0xRRGGBBAA
};

struct ScnFace {
    uint32_t index[3];  // only the low 16 bits count
    int32_t material;
};

struct ScnGroupHead {
    char name[32];
    int32_t count;
    uint8_t reserved[12];
};

struct ScnGeomRecord {
    ScnChunkHead head;
    char name[32];
    float transform[16];  // chunk-local to world, row-vector convention
    uint8_t reserved[32];
    int32_t materialCount;
    int32_t vertexCount;
    int32_t faceCount;
    int32_t groupCount;
};

struct ScnSimpleGeomRecord {
    ScnChunkHead head;
    uint8_t reserved[96];
    int32_t vertexCount;
    int32_t faceCount;
};

static_assert(sizeof(ScnTextureDesc) == 180 && sizeof(ScnMaterial) == 464);
static_assert(sizeof(ScnVertex) == 36 && sizeof(ScnFace) == 16 && sizeof(ScnGroupHead) == 48);
static_assert(sizeof(ScnGeomRecord) == 152 && sizeof(ScnSimpleGeomRecord) == 112);

// In memory: the fixed records with references to the arrays that followed them.

struct ScnGroup {
    ScnGroupHead head;
    uint32_t* entries[2];  // two arrays of head.count entries each
};

struct ScnGeomChunk {
    ScnGeomRecord record;
    ScnMaterial* materials;
    ScnVertex* vertices;
    ScnFace* faces;
    ScnGroup* groups;
};

struct ScnSimpleGeomChunk {
    ScnSimpleGeomRecord record;
    uint32_t* faces;  // three indices per face
    float* vertices;  // x, y, z per vertex
};

// Chunks of types 3 and 4: fixed records without payload.
struct ScnRecord3 {
    uint8_t bytes[140];
};
struct ScnRecord4 {
    uint8_t bytes[120];
};

// Chunks of types 20 to 24: a fixed record with a count, then count fixed-size items.
constexpr int kScnArrayTypes = 5;  // 20, 21, 22, 23, 24
struct ScnArrayChunk {
    uint8_t record[44];  // type 20 uses the first 12 bytes
    int32_t count;
    uint8_t* items;
};

struct ScnScene {
    uint32_t headerWords[6];
    char name[128];  // base name of the source path in the header
    int32_t geomCount;
    ScnGeomChunk* geoms;
    int32_t count3;
    ScnRecord3* records3;
    int32_t count4;
    ScnRecord4* records4;
    int32_t simpleCount;
    ScnSimpleGeomChunk* simples;
    int32_t arrayCount[kScnArrayTypes];
    ScnArrayChunk* arrays[kScnArrayTypes];
};

// Reads an SCN file into a cleared scene record. A name without a dot in its file part gets
// ".scn". 1 on success, 0 on failure (with a debug line); a failure leaves nothing allocated.
// Damaged geometry chunks are dropped and named in a debug line; when every geometry chunk
// was dropped the load fails.
int scnLoadScene(const char* name, ScnScene* scene);
// Releases every array of the record and clears it.
void scnFreeScene(ScnScene* scene);
// Releases the arrays of one geometry chunk (loaded or copied) and clears them.
void scnFreeGeomChunk(ScnGeomChunk* chunk);
// A deep copy of a geometry chunk with all its arrays; false when memory runs out.
bool scnCopyGeomChunk(const ScnGeomChunk& from, ScnGeomChunk* to);
