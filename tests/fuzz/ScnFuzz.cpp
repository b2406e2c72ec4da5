// SCN scenes: read, then the model set built from them (meshes and textures), then freed.
#include <cstring>
#include <filesystem>

#include "scene/ScnScene.h"
#include "scene/srModelSet.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tools/assets/AvatarModel.h"
#include "tools/assets/FaceTexture.h"

namespace tavrel::fuzz {
namespace {

// The folder textures are looked for in, with the avatar's own picture in it.
const std::string& TextureFolder() {
    static const std::string folder = [] {
        const std::string path = Scratch() + "/textures";
        std::filesystem::create_directories(path);
        assets::WriteBmp(path + "/" + assets::kFaceTextureFile, assets::FaceTexture(16, 8));
        return path;
    }();
    return folder;
}

}  // namespace

std::vector<std::string> Seeds() {
    const std::vector<uint8_t> bytes = assets::AvatarScene().Bytes();
    return {std::string(bytes.begin(), bytes.end())};
}

}  // namespace tavrel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace tavrel::fuzz;
    const std::string& textures = TextureFolder();
    const std::string path = WriteInput(data, size, "in.scn");
    ScnScene scene;
    std::memset(&scene, 0, sizeof scene);
    if (!scnLoadScene(path.c_str(), &scene)) return 0;
    srModelSet* set = srCreateModelSet(&scene, textures.c_str());
    if (set) srDestroyModelSet(set);
    scnFreeScene(&scene);
    return 0;
}
