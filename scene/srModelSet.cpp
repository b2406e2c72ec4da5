#include "scene/srModelSet.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "ZU2/rkImage.h"
#include "base/DebugOutput.h"

using tavrel::DebugPrintf;
namespace fs = std::filesystem;

namespace {

srImageReader gReader = rkReadBMP;
srImageFree gRelease = rkFreeImage;

std::string ExecutableDirectory() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : exe.parent_path().string();
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool SameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// One value of an INI file as the profile functions give it: section and key compared
// without regard to case, the value trimmed, unquoted and cut to 255 characters; empty when
// the file, section or key is missing.
std::string ProfileString(const fs::path& file, const std::string& section,
                          const std::string& key) {
    std::ifstream in(file);
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[') {
            const auto end = line.find(']');
            inSection =
                end != std::string::npos && SameText(Trim(line.substr(1, end - 1)), section);
            continue;
        }
        const auto equals = line.find('=');
        if (!inSection || equals == std::string::npos ||
            !SameText(Trim(line.substr(0, equals)), key)) {
            continue;
        }
        std::string value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return value.substr(0, 255);
    }
    return {};
}

void AddPath(srModelSet* set, const std::string& path) {
    if (set->pathCount >= kSrMaxPaths) return;
    const size_t n = std::min(path.size(), static_cast<size_t>(kSrPathSize - 1));
    std::memcpy(set->paths[set->pathCount], path.data(), n);
    set->paths[set->pathCount][n] = '\0';
    ++set->pathCount;
}

void SetSearchPaths(srModelSet* set, const char* programDir) {
    const std::string home = programDir ? programDir : ExecutableDirectory();
    AddPath(set, home);
    for (int i = 1; i <= 9; ++i) {
        const std::string value =
            ProfileString(fs::path(home) / "ScnRead.ini", "Texture", "Path" + std::to_string(i));
        if (!value.empty()) AddPath(set, value);
    }
}

void FreeImage(srTextureImage* image) {
    if (!image) return;
    if (gRelease) gRelease(image->pixels);
    std::free(image);
}

void FreeModel(srModel* model) {
    if (model->meshes) {
        for (int m = 0; m < model->subMeshCount; ++m) rkFreeMeshArrays(&model->meshes[m]);
    }
    std::free(model->meshes);
    std::free(model->textures);
    std::free(model->materials);
    scnFreeGeomChunk(&model->chunk);
    *model = {};
}

// Only the last part of a file name counts, whichever separator the scene's author used.
// The name comes from a fixed-width field that need not end in a zero: look no further than
// size bytes.
size_t BaseNameAt(const char* path, size_t size) {
    size_t base = 0;
    for (size_t i = 0; i < size && path[i]; ++i) {
        if (path[i] == '\\' || path[i] == '/') base = i + 1;
    }
    return base;
}

// "dir\name.tga" becomes "dir\name.bmp" in place: every texture is looked for as a BMP file.
// The field is searched within its width only.
bool RewriteAsBmp(char* fileName, size_t size) {
    const size_t length = strnlen(fileName, size);
    size_t stem = length;
    for (size_t i = BaseNameAt(fileName, size); i < length; ++i) {
        if (fileName[i] == '.') stem = i;
    }
    if (stem + 5 > size) return false;
    std::memcpy(fileName + stem, ".bmp", 5);
    return true;
}

// Whether path, links followed, lies inside folder. A scene names only a file, but a link in a
// texture folder could still lead a scene from anywhere to any file on the machine.
bool LiesInside(const fs::path& path, const fs::path& folder) {
    std::error_code error;
    const fs::path base = fs::canonical(folder, error);
    const fs::path real = error ? fs::path() : fs::canonical(path, error);
    const fs::path inside = real.lexically_relative(base);
    return !error && !inside.empty() && *inside.begin() != "..";
}

std::string FindInPaths(const srModelSet* set, const char* name) {
    const std::string_view base(name);
    if (base.empty() || base == "." || base == "..") return {};
    for (int i = 0; i < set->pathCount; ++i) {
        const fs::path candidate = fs::path(set->paths[i]) / name;
        std::error_code error;
        if (fs::is_regular_file(candidate, error) && LiesInside(candidate, set->paths[i])) {
            return candidate.string();
        }
    }
    return {};
}

srTextureImage* LoadImage(const std::string& path) {
    int width = 0, height = 0, bits = 0;
    uint8_t* pixels = gReader ? gReader(path.c_str(), &width, &height, &bits) : nullptr;
    if (!pixels) return nullptr;
    auto* image = static_cast<srTextureImage*>(std::calloc(1, sizeof(srTextureImage)));
    if (!image) {
        if (gRelease) gRelease(pixels);
        return nullptr;
    }
    // An 8-bit picture carries a palette and indices; calling it RGB would read past its end.
    *image = {width, height, bits, bits == 8 ? 1 : 2, pixels};
    return image;
}

rkVertex WorldVertex(const ScnVertex& v, const rkMatrix& transform, const rkMatrix& normals) {
    rkVertex out{};
    out.position = rkTransformPoint({v.position[0], v.position[1], v.position[2]}, transform);
    const rkVector n{v.normal[0], v.normal[1], v.normal[2]};
    out.normal = rkNormalize(rkTurned(n, normals));
    out.colour = (v.colour >> 8) | 0xFF000000u;
    out.u0 = out.u1 = v.u;
    out.v0 = out.v1 = -v.v;
    return out;
}

// Sub-mesh 0 owns the world-space vertices; the others use the same array.
bool FillVertices(srModel* model) {
    const ScnGeomChunk& chunk = model->chunk;
    const int count = std::max(chunk.record.vertexCount, 0);
    rkMesh& first = model->meshes[0];
    if (count > 0 && chunk.vertices) {
        first.vertices = static_cast<rkVertex*>(std::calloc(count, sizeof(rkVertex)));
        if (!first.vertices) return false;
        first.vertexCount = first.vertexCapacity = count;
        first.flags |= RK_MESH_OWNS_VERTICES;
        rkMatrix transform, normals;
        std::memcpy(transform.m, chunk.record.transform, sizeof(transform.m));
        rkNormalMatrix(&normals, transform);
        for (int i = 0; i < count; ++i)
            first.vertices[i] = WorldVertex(chunk.vertices[i], transform, normals);
    }
    for (int m = 1; m < model->subMeshCount; ++m) {
        model->meshes[m].vertices = first.vertices;
        model->meshes[m].vertexCount = first.vertexCount;
        model->meshes[m].vertexCapacity = first.vertexCapacity;
    }
    return true;
}

// Each sub-mesh takes the faces of its material, in file order. A face that names a vertex
// the chunk does not have is left out: drawing it would read past the vertex array.
bool FillIndices(srModel* model) {
    const ScnGeomChunk& chunk = model->chunk;
    const int vertices = model->meshes[0].vertexCount;
    int dropped = 0;
    for (int f = 0; f < chunk.record.faceCount && chunk.faces; ++f) {
        const ScnFace& face = chunk.faces[f];
        if (face.material < 0 || face.material >= model->subMeshCount) continue;
        uint16_t index[3];
        bool inside = true;
        for (int k = 0; k < 3; ++k) {
            index[k] = static_cast<uint16_t>(face.index[k] & 0xFFFF);
            inside = inside && index[k] < vertices;
        }
        if (!inside) {
            ++dropped;
            continue;
        }
        for (uint16_t i : index) {
            if (rkAddIndex(&model->meshes[face.material], i) < 0) return false;
        }
    }
    if (dropped > 0) {
        DebugPrintf("_srCreateModelFromChunk: %.32s: %d faces name missing vertices\n",
                    chunk.record.name, dropped);
    }
    return true;
}

void SetMaterial(rkMaterial* out, const ScnMaterial& m) {
    for (int i = 0; i < 3; ++i) {
        out->ambient[i] = m.ambient[i];
        out->diffuse[i] = m.diffuse[i];
        out->specular[i] = m.specular[i];
    }
    out->ambient[3] = out->diffuse[3] = out->specular[3] = 1.0f;
    out->power = m.power;
}

bool BuildModel(srModel* model, const ScnGeomChunk* chunk, srModelSet* set) {
    model->subMeshCount = std::max(chunk->record.materialCount, 1);
    const int n = model->subMeshCount;
    if (!scnCopyGeomChunk(*chunk, &model->chunk)) return false;
    model->meshes = static_cast<rkMesh*>(std::calloc(n, sizeof(rkMesh)));
    model->textures = static_cast<srTextureImage**>(std::calloc(n, sizeof(srTextureImage*)));
    model->materials = static_cast<rkMaterial*>(std::calloc(n, sizeof(rkMaterial)));
    if (!model->meshes || !model->textures || !model->materials) return false;
    const bool hasMaterials = model->chunk.materials && model->chunk.record.materialCount > 0;
    for (int m = 0; m < n; ++m) {
        rkMesh& mesh = model->meshes[m];
        mesh.primitive = RK_TRIANGLELIST;
        mesh.format = RK_VERTEX_LIT;
        mesh.flags = RK_MESH_INDEXED | RK_MESH_MATERIAL;
        if (!hasMaterials) continue;
        ScnMaterial& source = model->chunk.materials[m];
        mesh.user = &source;
        SetMaterial(&model->materials[m], source);
        mesh.material = model->materials[m];
        if (source.texture.name[0] != '\0')
            model->textures[m] = _srGetTexture(set, &source.texture);
    }
    return FillVertices(model) && FillIndices(model);
}

}  // namespace

void srSetImageReader(srImageReader reader, srImageFree release) {
    gReader = reader ? reader : rkReadBMP;
    gRelease = reader ? release : rkFreeImage;
}

int _srCreateModelFromChunk(const ScnGeomChunk* chunk, srModelSet* set) {
    if (!chunk || !set) return 0;
    srModel* model = &set->models[set->modelCount];
    if (!BuildModel(model, chunk, set)) {
        FreeModel(model);
        return 0;
    }
    return 1;
}

srTextureImage* _srGetTexture(srModelSet* set, ScnTextureDesc* desc) {
    if (!set || !desc) return nullptr;
    int free = -1;
    for (int i = 0; i < kSrPoolSize; ++i) {
        const srTexturePoolEntry& e = set->pool[i];
        if (!e.image) {
            if (free < 0) free = i;
            continue;
        }
        if (std::strncmp(e.desc.fileName, desc->fileName, sizeof(desc->fileName)) == 0)
            return e.image;
    }
    DebugPrintf("_srGetTexture: (%.32s), (%.128s)\n", desc->name, desc->fileName);
    if (free < 0) {
        DebugPrintf("Texture Pool full, cannot add any more\n");
        return nullptr;
    }
    if (!RewriteAsBmp(desc->fileName, sizeof(desc->fileName))) return nullptr;
    const std::string path =
        FindInPaths(set, desc->fileName + BaseNameAt(desc->fileName, sizeof(desc->fileName)));
    if (path.empty()) return nullptr;
    srTextureImage* image = LoadImage(path);
    if (!image) {
        DebugPrintf("Cannot load %s\n", path.c_str());
        return nullptr;
    }
    set->pool[free].desc = *desc;
    set->pool[free].image = image;
    return image;
}

srModelSet* srCreateModelSet(const ScnScene* scene, const char* programDir) {
    if (!scene) return nullptr;
    auto* set = static_cast<srModelSet*>(std::calloc(1, sizeof(srModelSet)));
    if (!set) return nullptr;
    if (scene->geomCount > 0) {
        set->models = static_cast<srModel*>(std::calloc(scene->geomCount, sizeof(srModel)));
        if (!set->models) {
            std::free(set);
            return nullptr;
        }
    }
    SetSearchPaths(set, programDir);
    for (int i = 0; i < scene->geomCount; ++i) {
        if (!_srCreateModelFromChunk(&scene->geoms[i], set)) {
            DebugPrintf("_srCreateModelFromChunk %d failed\n", i);
            srDestroyModelSet(set);
            return nullptr;
        }
        set->models[set->modelCount].valid = 1;
        ++set->modelCount;
    }
    return set;
}

void srDestroyModelSet(srModelSet* set) {
    if (!set) return;
    for (srTexturePoolEntry& e : set->pool) FreeImage(e.image);
    for (int i = 0; i < set->modelCount; ++i) FreeModel(&set->models[i]);
    std::free(set->models);
    std::free(set);
}
