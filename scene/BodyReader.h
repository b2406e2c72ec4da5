#pragma once
// The avatar's body: every material of every geometry chunk of the body file becomes one
// visual (a shape), kept by name; PasteBody hangs each shape under the skeleton node of the
// same name, moved into that segment's own frame, so that the body follows every pose.
#include <map>
#include <string>
#include <vector>

#include "AnimRead/GltfWriter.h"
#include "ZU2/rkObject.h"
#include "motion/Chtr.h"
#include "scene/ScnScene.h"
#include "scene/srModelSet.h"

namespace tavrel {

class CBodyReader {
public:
    // Loads the body file and builds its shapes; textures are searched beside it. Never
    // fails outwardly: a reader that could not load stays not loaded.
    explicit CBodyReader(const std::string& path);
    ~CBodyReader();
    CBodyReader(const CBodyReader&) = delete;
    CBodyReader& operator=(const CBodyReader&) = delete;

    // Attaches the shapes to the skeleton's segment nodes. 1 on success, 0 when not loaded
    // or no skeleton is given. The shapes are moved in place: paste once, on one skeleton.
    int PasteBody(CHTR* skeleton);

    // The shapes as parts of a body for the skeleton's segments of the same name, each in its
    // segment's own frame with only the vertices its triangles use (shapes of no segment are
    // left out, as PasteBody leaves them), with their pictures in pictures. Call before
    // PasteBody, which moves the shapes.
    std::vector<GltfWriter::BodyPart> Parts(const ANIMFILE& skeleton,
                                            std::vector<GltfWriter::Picture>* pictures) const;

    bool IsLoaded() const { return loaded_; }
    const std::map<std::string, rkVisual*>& Shapes() const { return shapes_; }
    // File names held by the texture pool, in pool order.
    const std::vector<std::string>& TextureNames() const { return textureNames_; }
    const srModelSet* ModelSet() const { return modelSet_; }

private:
    bool Load(const std::string& path);
    void AddShape(const std::string& chunkName, int model, int subMesh, const rkMesh& mesh);

    bool loaded_ = false;
    std::string name_;
    std::map<std::string, rkVisual*> shapes_;
    std::map<std::string, const srTextureImage*> pictures_;  // of the shapes that have one
    srModelSet* modelSet_ = nullptr;
    std::vector<std::string> textureNames_;
};

}  // namespace tavrel
