#include "AnimRead/SceneFileRead/Imported.h"

#include <assimp/cimport.h>
#include <assimp/config.h>
#include <assimp/scene.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <mutex>

#include "AnimRead/ErrObj.h"
#include "AnimRead/SceneFileRead/ColladaFile.h"
#include "AnimRead/SceneFileRead/FbxFile.h"
#include "AnimRead/SceneFileRead/Printable.h"
#include "AnimRead/SceneFileRead/SceneFileRead.h"
#include "base/SharedLibrary.h"

namespace tavrel::scenefile {

// The importer's functions.
#define TAVREL_ASSIMP_FUNCTIONS(X)          \
    X(aiImportFileExWithProperties)         \
    X(aiImportFileFromMemoryWithProperties) \
    X(aiReleaseImport)                      \
    X(aiGetErrorString)                     \
    X(aiCreatePropertyStore)                \
    X(aiReleasePropertyStore)               \
    X(aiSetImportPropertyInteger)

struct ASSIMPLIBRARY {
#define TAVREL_DECLARE_FUNCTION(name) decltype(&::name) name = nullptr;
    TAVREL_ASSIMP_FUNCTIONS(TAVREL_DECLARE_FUNCTION)
#undef TAVREL_DECLARE_FUNCTION
};

namespace {

const ASSIMPLIBRARY* Assimp() {
    static const std::unique_ptr<ASSIMPLIBRARY> library = SharedLibrary::Load<ASSIMPLIBRARY>(
        {"libassimp.so.5"}, [](SharedLibrary& files, ASSIMPLIBRARY& table) {
            bool found = true;
            TAVREL_ASSIMP_FUNCTIONS(TAVREL_FIND_FUNCTION)
            return found;
        });
    return library.get();
}

// The file's extension in lower case, without its dot.
std::string ExtensionOf(const char* path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!extension.empty()) extension.erase(0, 1);
    return extension;
}

// Refuses what is no file, too large a file, and the files the importer would stop the
// program on.
void CheckFile(const char* path, const std::string& extension) {
    namespace fs = std::filesystem;
    std::error_code error;
    const auto size = static_cast<int64_t>(fs::file_size(path, error));
    if (error) THROW_ERROBJ(ERR_FILE_NOT_FOUND);
    if (size > SCENEFILEREAD::kMaxFileSize) {
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "%lld MB: scene files of more than %lld MB are not read",
                     static_cast<long long>(size >> 20),
                     static_cast<long long>(SCENEFILEREAD::kMaxFileSize >> 20));
    }
    if (extension == "dae" && !ColladaAccessorsFit(path))
        THROW_ERROBJ(ERR_CORRUPTED,
                     "the importer cannot read it: an accessor reads past its array");
    if (extension == "fbx" && !FbxTextIsWhole(path))
        THROW_ERROBJ(ERR_CORRUPTED, "the importer cannot read it: a block is not closed");
}

}  // namespace

IMPORTED::IMPORTED(const char* path) : library_(Assimp()) {
    std::error_code error;
    if (!path || !std::filesystem::is_regular_file(path, error)) THROW_ERROBJ(ERR_FILE_NOT_FOUND);
    extension_ = ExtensionOf(path);
    CheckFile(path, extension_);
    Import([&](aiPropertyStore* properties) {
        return library_->aiImportFileExWithProperties(path, 0, nullptr, properties);
    });
}

IMPORTED::IMPORTED(const std::string& collada) : library_(Assimp()), extension_("dae") {
    Import([&](aiPropertyStore* properties) {
        return library_->aiImportFileFromMemoryWithProperties(
            collada.data(), static_cast<unsigned>(collada.size()), 0, "dae", properties);
    });
}

IMPORTED::~IMPORTED() {
    library_->aiReleaseImport(scene_);
}

template <class Read>
void IMPORTED::Import(const Read& read) {
    if (!library_)
        THROW_ERROBJ(ERR_NOT_SUPPORTED, "the scene importer (libassimp.so.5) is not installed");
    // The importer keeps its last error in one string for all threads (the gallery's
    // pictures are made on a thread of their own): one import at a time.
    static std::mutex importing;
    const std::lock_guard<std::mutex> lock(importing);
    aiPropertyStore* properties = library_->aiCreatePropertyStore();
    // Pivots and pre-rotations folded into one node each where the importer can.
    library_->aiSetImportPropertyInteger(properties, AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, 0);
    scene_ = read(properties);
    library_->aiReleasePropertyStore(properties);
    if (!scene_) {
        const char* why = library_->aiGetErrorString();
        THROW_ERROBJ(ERR_CORRUPTED, "the importer cannot read it: %s",
                     Printable(why ? why : "", 200).c_str());
    }
}

}  // namespace tavrel::scenefile
