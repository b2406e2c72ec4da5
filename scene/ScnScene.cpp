#include "scene/ScnScene.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/DebugOutput.h"

using tavrel::DebugOutput;
using tavrel::DebugPrintf;

namespace {

constexpr uint32_t kTypeGeom = 1, kType3 = 3, kType4 = 4, kTypeSimple = 5, kTypeArrayFirst = 20;
constexpr size_t kArrayRecord[kScnArrayTypes] = {12, 44, 44, 44, 44};
constexpr size_t kArrayItem[kScnArrayTypes] = {132, 64, 100, 80, 1536};
constexpr size_t kArrayCountAt[kScnArrayTypes] = {8, 40, 40, 40, 40};

bool IsArrayType(uint32_t type) {
    return type >= kTypeArrayFirst && type < kTypeArrayFirst + 5;
}
bool IsKnownType(uint32_t type) {
    return type == kTypeGeom || type == kType3 || type == kType4 || type == kTypeSimple ||
           IsArrayType(type);
}

// The system's text for the last failure; a read that ran into the end of the file sets none.
const char* SystemError() {
    return errno != 0 ? std::strerror(errno) : "unexpected end of file";
}

// A file read with bounds: every array is checked against what is left of the file before
// it is allocated, so a damaged count can neither overflow nor ask for absurd memory.
class ScnFile {
public:
    ~ScnFile() {
        if (file_) std::fclose(file_);
    }
    bool Open(const std::string& path) {
        errno = 0;
        file_ = std::fopen(path.c_str(), "rb");
        if (!file_ || std::fseek(file_, 0, SEEK_END) != 0) return false;
        size_ = std::ftell(file_);
        return size_ >= 0 && std::fseek(file_, 0, SEEK_SET) == 0;
    }
    int64_t Size() const { return size_; }
    bool Seek(int64_t offset) {
        return std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0;
    }
    bool Read(void* to, size_t bytes) {
        errno = 0;
        return bytes == 0 || std::fread(to, 1, bytes, file_) == bytes;
    }
    // Whether count items of size bytes still fit between here and the end of the file.
    bool Holds(int64_t count, size_t size) const {
        const long at = std::ftell(file_);
        return count >= 0 && at >= 0 && count <= (size_ - at) / static_cast<int64_t>(size);
    }

private:
    std::FILE* file_ = nullptr;
    int64_t size_ = 0;
};

// Reads count items into a new zero-filled array (none for a count of 0).
bool ReadArray(ScnFile& file, int64_t count, size_t size, void** out, const char* what) {
    *out = nullptr;
    if (!file.Holds(count, size)) {
        DebugPrintf("%s: %lld items of %zu bytes do not fit in the file\n", what,
                    static_cast<long long>(count), size);
        return false;
    }
    if (count == 0) return true;
    *out = std::calloc(static_cast<size_t>(count), size);
    if (!*out || !file.Read(*out, static_cast<size_t>(count) * size)) {
        DebugPrintf("%s: %s\n", what, *out ? SystemError() : std::strerror(ENOMEM));
        std::free(*out);
        *out = nullptr;
        return false;
    }
    return true;
}

template <typename T>
bool ReadItems(ScnFile& file, int64_t count, T** out, const char* what) {
    void* data = nullptr;
    const bool ok = ReadArray(file, count, sizeof(T), &data, what);
    *out = static_cast<T*>(data);
    return ok;
}

ScnMaterial* DefaultMaterial() {
    auto* m = static_cast<ScnMaterial*>(std::calloc(1, sizeof(ScnMaterial)));
    if (!m) return nullptr;
    std::strcpy(m->name, "default_mat");
    for (int i = 0; i < 3; ++i) {
        m->ambient[i] = 0.2f;
        m->diffuse[i] = 0.8f;
        m->specular[i] = 0.8f;
    }
    m->power = 30.0f;
    return m;
}

bool LoadGroups(ScnFile& file, ScnGeomChunk* chunk) {
    const ScnGeomRecord& r = chunk->record;
    DebugPrintf("_scnLoadGeomChunk: total %d named group\n", r.groupCount);
    if (r.groupCount == 0) return true;
    if (!file.Holds(r.groupCount, sizeof(ScnGroupHead))) {
        DebugPrintf("_scnLoadGeomChunk: %d groups do not fit in the file\n", r.groupCount);
        return false;
    }
    chunk->groups = static_cast<ScnGroup*>(std::calloc(r.groupCount, sizeof(ScnGroup)));
    if (!chunk->groups) return false;
    for (int g = 0; g < r.groupCount; ++g) {
        ScnGroup& group = chunk->groups[g];
        if (!file.Read(&group.head, sizeof(group.head))) {
            DebugPrintf("_scnLoadGeomChunk: %s\n", SystemError());
            return false;
        }
        DebugPrintf("group (%d), name = %.32s\n", g + 1, group.head.name);
        for (uint32_t*& entries : group.entries) {
            if (!ReadItems(file, group.head.count, &entries, "_scnLoadGeomChunk")) return false;
        }
    }
    return true;
}

// The payload of a geometry chunk: materials, vertices, faces, named groups.
int _scnLoadGeomChunk(ScnFile& file, ScnGeomChunk* chunk) {
    ScnGeomRecord& r = chunk->record;
    if (r.materialCount > 0) {
        if (!ReadItems(file, r.materialCount, &chunk->materials, "_scnLoadGeomChunk")) return 0;
    } else {
        chunk->materials = DefaultMaterial();
        if (!chunk->materials) return 0;
        r.materialCount = 1;
    }
    if (!ReadItems(file, r.vertexCount, &chunk->vertices, "_scnLoadGeomChunk")) return 0;
    DebugPrintf("_scnLoadGeomChunk: Chunk %.32s start\n", r.name);
    DebugPrintf("_scnLoadGeomChunk: Total %d vertices read\n", r.vertexCount);
    if (!ReadItems(file, r.faceCount, &chunk->faces, "_scnLoadGeomChunk")) return 0;
    DebugPrintf("_scnLoadGeomChunk: Total %d faces read\n", r.faceCount);
    return LoadGroups(file, chunk) ? 1 : 0;
}

int _scnLoadSimpGeomChunk(ScnFile& file, ScnSimpleGeomChunk* chunk) {
    const ScnSimpleGeomRecord& r = chunk->record;
    void* faces = nullptr;
    void* vertices = nullptr;
    const bool ok = ReadArray(file, r.faceCount, 12, &faces, "_scnLoadSimpGeomChunk") &&
                    ReadArray(file, r.vertexCount, 12, &vertices, "_scnLoadSimpGeomChunk");
    chunk->faces = static_cast<uint32_t*>(faces);
    chunk->vertices = static_cast<float*>(vertices);
    if (!ok) return 0;
    DebugPrintf("_scnLoadSimpGeomChunk: Total %d vertices read\n", r.vertexCount);
    DebugPrintf("_scnLoadSimpGeomChunk: Total %d faces read\n", r.faceCount);
    return 1;
}

int _scnLoadArrayChunk(ScnFile& file, ScnArrayChunk* chunk, int kind) {
    int32_t count;
    std::memcpy(&count, chunk->record + kArrayCountAt[kind], sizeof(count));
    void* items = nullptr;
    if (!ReadArray(file, count, kArrayItem[kind], &items, "_scnLoadArrayChunk")) return 0;
    chunk->count = count;
    chunk->items = static_cast<uint8_t*>(items);
    return 1;
}

void FreeSimpleChunk(ScnSimpleGeomChunk* chunk) {
    std::free(chunk->faces);
    std::free(chunk->vertices);
    chunk->faces = nullptr;
    chunk->vertices = nullptr;
}

struct ChunkAt {
    int64_t offset;
    uint32_t type;
};

// The counting pass: where each chunk starts. The header's count bounds the walk; so does
// the end of the file, and a chunk too small to hold its own head ends it (it would never
// move on).
bool WalkChunks(ScnFile& file, int32_t count, std::vector<ChunkAt>* chunks) {
    int64_t at = kScnFirstChunk;
    for (int32_t i = 0; i < count; ++i) {
        if (at >= file.Size()) {
            DebugPrintf("scnLoadScene: the file ends after %d of %d chunks\n", i, count);
            break;
        }
        ScnChunkHead head;
        if (!file.Seek(at) || !file.Read(&head, sizeof(head))) {
            DebugPrintf("scnLoadScene: %s\n", SystemError());
            return false;
        }
        if (head.size < sizeof(ScnChunkHead)) {
            DebugPrintf("scnLoadScene: chunk %d has a size of %u; no chunk after it is read\n", i,
                        head.size);
            break;
        }
        if (!IsKnownType(head.type)) DebugPrintf("Got unsupported chunk : %d\n", head.type);
        chunks->push_back({at, head.type});
        at += head.size;
    }
    return true;
}

template <typename T>
bool Allocate(T** array, size_t count) {
    if (count == 0) return true;
    *array = static_cast<T*>(std::calloc(count, sizeof(T)));
    return *array != nullptr;
}

bool AllocateArrays(ScnScene* s, const std::vector<ChunkAt>& chunks) {
    size_t geoms = 0, threes = 0, fours = 0, simples = 0, arrays[kScnArrayTypes] = {};
    for (const ChunkAt& c : chunks) {
        if (c.type == kTypeGeom) ++geoms;
        if (c.type == kType3) ++threes;
        if (c.type == kType4) ++fours;
        if (c.type == kTypeSimple) ++simples;
        if (IsArrayType(c.type)) ++arrays[c.type - kTypeArrayFirst];
    }
    bool ok = Allocate(&s->geoms, geoms) && Allocate(&s->records3, threes) &&
              Allocate(&s->records4, fours) && Allocate(&s->simples, simples);
    for (int k = 0; k < kScnArrayTypes; ++k) ok = ok && Allocate(&s->arrays[k], arrays[k]);
    return ok;
}

// Says which damaged geometry chunks were left out. With none left at all the scene has
// nothing to show, and calling it loaded would hide the damage: false then.
bool ReportDroppedGeometry(const ScnScene* s, const std::vector<std::string>& dropped) {
    if (dropped.empty()) return true;
    std::string names;
    for (const std::string& name : dropped) names += (names.empty() ? "" : ", ") + name;
    DebugPrintf("scnLoadScene: %zu damaged geometry chunks dropped: %s\n", dropped.size(),
                names.c_str());
    if (s->geomCount > 0) return true;
    DebugOutput("scnLoadScene: no geometry chunk could be read\n");
    return false;
}

// The loading pass over the chunks the counting pass found. A fixed record that cannot be
// read fails the whole load; a payload that cannot be read drops that chunk only.
bool LoadChunks(ScnFile& file, ScnScene* s, const std::vector<ChunkAt>& chunks) {
    std::vector<std::string> dropped;
    for (const ChunkAt& c : chunks) {
        if (!IsKnownType(c.type)) continue;
        if (!file.Seek(c.offset)) return false;
        bool read = false;
        if (c.type == kTypeGeom) {
            ScnGeomChunk* chunk = &s->geoms[s->geomCount];
            read = file.Read(&chunk->record, sizeof(chunk->record));
            if (read && _scnLoadGeomChunk(file, chunk)) {
                ++s->geomCount;
            } else {
                if (read) {
                    const char* name = chunk->record.name;
                    dropped.emplace_back(name, strnlen(name, sizeof(chunk->record.name)));
                }
                scnFreeGeomChunk(chunk);
                *chunk = {};
            }
        } else if (c.type == kType3) {
            read = file.Read(&s->records3[s->count3], sizeof(ScnRecord3));
            s->count3 += read;
        } else if (c.type == kType4) {
            read = file.Read(&s->records4[s->count4], sizeof(ScnRecord4));
            s->count4 += read;
        } else if (c.type == kTypeSimple) {
            ScnSimpleGeomChunk* chunk = &s->simples[s->simpleCount];
            read = file.Read(&chunk->record, sizeof(chunk->record));
            if (read && _scnLoadSimpGeomChunk(file, chunk)) {
                ++s->simpleCount;
            } else {
                FreeSimpleChunk(chunk);
                *chunk = {};
            }
        } else {
            const int k = static_cast<int>(c.type - kTypeArrayFirst);
            ScnArrayChunk* chunk = &s->arrays[k][s->arrayCount[k]];
            read = file.Read(chunk->record, kArrayRecord[k]);
            if (read && _scnLoadArrayChunk(file, chunk, k)) {
                ++s->arrayCount[k];
            } else {
                *chunk = {};
            }
        }
        if (!read) {
            DebugPrintf("scnLoadScene: %s\n", SystemError());
            return false;
        }
    }
    return ReportDroppedGeometry(s, dropped);
}

std::string FileNameFor(const char* name) {
    const char* base = name;
    for (const char* p = name; *p; ++p) {
        if (*p == '/' || *p == '\\') base = p + 1;
    }
    return std::strchr(base, '.') ? std::string(name) : std::string(name) + ".scn";
}

void CopyBaseName(const char* sourcePath, size_t size, char* out, size_t outSize) {
    const size_t length = strnlen(sourcePath, size);
    size_t start = 0;
    for (size_t i = 0; i < length; ++i) {
        if (sourcePath[i] == '\\' || sourcePath[i] == '/') start = i + 1;
    }
    const size_t n = std::min(length - start, outSize - 1);
    std::memcpy(out, sourcePath + start, n);
    out[n] = '\0';
}

}  // namespace

int scnLoadScene(const char* name, ScnScene* scene) {
    if (!name || !scene) return 0;
    *scene = {};
    ScnFile file;
    if (!file.Open(FileNameFor(name))) {
        DebugPrintf("scnLoadScene: %s: %s\n", FileNameFor(name).c_str(), SystemError());
        return 0;
    }
    unsigned char header[kScnHeaderRead];
    if (!file.Read(header, sizeof(header)) || std::memcmp(header, "SCN", 4) != 0) {
        DebugOutput("ERROR: Invalid SCN header\n");
        return 0;
    }
    uint32_t version;
    int32_t count;
    std::memcpy(&version, header + 4, 4);
    std::memcpy(&count, header + 8, 4);
    if (version != kScnVersion) {
        DebugOutput("ERROR: Ivalide SCN file version!\n");
        return 0;
    }
    std::vector<ChunkAt> chunks;
    if (!WalkChunks(file, count, &chunks)) return 0;
    std::memcpy(scene->headerWords, header + 12, sizeof(scene->headerWords));
    CopyBaseName(reinterpret_cast<const char*>(header + 36), 128, scene->name, sizeof(scene->name));
    if (!AllocateArrays(scene, chunks) || !LoadChunks(file, scene, chunks)) {
        scnFreeScene(scene);
        return 0;
    }
    return 1;
}

void scnFreeGeomChunk(ScnGeomChunk* chunk) {
    if (!chunk) return;
    if (chunk->groups) {
        for (int g = 0; g < chunk->record.groupCount; ++g) {
            std::free(chunk->groups[g].entries[0]);
            std::free(chunk->groups[g].entries[1]);
        }
    }
    std::free(chunk->materials);
    std::free(chunk->vertices);
    std::free(chunk->faces);
    std::free(chunk->groups);
    chunk->materials = nullptr;
    chunk->vertices = nullptr;
    chunk->faces = nullptr;
    chunk->groups = nullptr;
}

void scnFreeScene(ScnScene* scene) {
    if (!scene) return;
    for (int i = 0; i < scene->geomCount; ++i) scnFreeGeomChunk(&scene->geoms[i]);
    for (int i = 0; i < scene->simpleCount; ++i) FreeSimpleChunk(&scene->simples[i]);
    for (int k = 0; k < kScnArrayTypes; ++k) {
        for (int i = 0; i < scene->arrayCount[k]; ++i) std::free(scene->arrays[k][i].items);
        std::free(scene->arrays[k]);
    }
    std::free(scene->geoms);
    std::free(scene->records3);
    std::free(scene->records4);
    std::free(scene->simples);
    *scene = {};
}

namespace {

template <typename T>
bool CopyArray(const T* from, int64_t count, T** to) {
    *to = nullptr;
    if (!from || count <= 0) return true;
    *to = static_cast<T*>(std::malloc(static_cast<size_t>(count) * sizeof(T)));
    if (!*to) return false;
    std::memcpy(*to, from, static_cast<size_t>(count) * sizeof(T));
    return true;
}

}  // namespace

bool scnCopyGeomChunk(const ScnGeomChunk& from, ScnGeomChunk* to) {
    *to = {};
    to->record = from.record;
    const ScnGeomRecord& r = from.record;
    bool ok = CopyArray(from.materials, r.materialCount, &to->materials) &&
              CopyArray(from.vertices, r.vertexCount, &to->vertices) &&
              CopyArray(from.faces, r.faceCount, &to->faces) &&
              CopyArray(from.groups, r.groupCount, &to->groups);
    if (ok && to->groups) {
        for (int g = 0; g < r.groupCount; ++g)
            to->groups[g].entries[0] = to->groups[g].entries[1] = nullptr;
        for (int g = 0; ok && g < r.groupCount; ++g) {
            for (int e = 0; ok && e < 2; ++e) {
                ok = CopyArray(from.groups[g].entries[e], from.groups[g].head.count,
                               &to->groups[g].entries[e]);
            }
        }
    }
    if (!ok) scnFreeGeomChunk(to);
    return ok;
}
