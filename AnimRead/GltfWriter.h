#pragma once
// Writes a motion record as glTF 2.0 for other 3D tools: binary (.glb) or text with its data
// inside (.gltf). The segments become the joints of a skin, optionally wearing a body whose
// parts each follow one segment rigidly, and one animation moves the roots and turns every
// joint, one key per frame at the motion's frame rate.
//
// The file is in glTF's own terms: Y up, metres, the figure facing +Z with its left at +X, the
// ground our world stands on at y = 0. Our Z-up world is turned a quarter about x, so another
// tool that turns glTF back to Z up shows every joint where ours stands.
#include <cstdint>
#include <string>
#include <vector>

#include "ZU2/rkMath.h"

namespace tavrel {

class ANIMFILE;

class GltfWriter {
public:
    // A picture a body part is painted with: rows top first, red, green and blue bytes a pixel.
    struct Picture {
        std::string name;
        int32_t width = 0;
        int32_t height = 0;
        std::vector<uint8_t> rgb;
    };

    // A piece of the body that one segment carries: triangles in that segment's own frame.
    struct BodyPart {
        int32_t segment = -1;
        std::vector<rkVector> positions;
        std::vector<rkVector> normals;  // one per position
        std::vector<uint32_t> indices;  // three per triangle
        float colour[4] = {1, 1, 1, 1};
        int32_t picture = -1;    // index into the content's pictures, or none
        std::vector<float> uvs;  // with a picture: u, v per position (v down its rows, repeating)
    };

    struct Content {
        // The pose the joints stand in when not animated, and in which the body is bound to
        // them: one local matrix per segment. Empty: the motion's first frame.
        std::vector<rkMatrix> rest;
        std::vector<BodyPart> body;  // empty: the bare skeleton
        std::vector<Picture> pictures;
        float metresPerUnit = 1.0f;
        float groundHeight = 0.0f;  // our world's z that becomes the file's y = 0
        std::string animationName = "motion";
    };

    // Whether the path names a glTF file (.glb or .gltf, in any case).
    static bool Handles(const std::string& path);

    // Writes the motion (its frames must be in memory) crash-safely: the target keeps its old
    // content unless the whole file was written. False when the file cannot be created; raises
    // code 3 when the write fails and code 2 for a motion that has no segment or whose values
    // are not finite (nothing is written then).
    static bool Write(const ANIMFILE& motion, const std::string& path, const Content& content);
};

}  // namespace tavrel
