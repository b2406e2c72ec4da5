#include "tools/assets/AvatarModel.h"

#include "tools/assets/FaceTexture.h"
#include "tools/assets/PoseBuilder.h"
#include "tools/assets/Rotation.h"
#include "tools/assets/ShapeBuilder.h"

namespace tavrel::assets {
namespace {

constexpr float kHeelY = 21.0f;  // behind the ankle (+y is the back)
constexpr float kToeY = -26.0f;  // ahead of it
constexpr float kHeelRadius = 12.5f;
constexpr float kToeRadius = 11.0f;
constexpr float kFootFlatten = 0.85f;  // shoes are lower than they are wide

rkVector Joint(int segment) {
    return Translation(Rest().world[segment]);
}

rkVector Tip(int segment) {
    return rkTransformPoint({0, kStandardSkeleton[segment].length, 0}, Rest().world[segment]);
}

ScnMaterialDesc Material(const std::string& name, Colour c, float specular, float power) {
    ScnMaterialDesc m;
    m.name = name;
    m.ambient = {c.r, c.g, c.b};
    m.diffuse = {c.r, c.g, c.b};
    m.specular = {specular, specular, specular};
    m.power = power;
    return m;
}

ScnMaterialDesc Skin() {
    return Material("Skin", kSkin, 0.15f, 20.0f);
}
ScnMaterialDesc Shirt() {
    return Material("Shirt", {0.22f, 0.42f, 0.78f}, 0.1f, 10.0f);
}
ScnMaterialDesc Trousers() {
    return Material("Trousers", {0.28f, 0.28f, 0.34f}, 0.1f, 10.0f);
}
ScnMaterialDesc Shoes() {
    return Material("Shoes", {0.16f, 0.11f, 0.08f}, 0.5f, 40.0f);
}
ScnMaterialDesc Face() {
    // White, so that the picture shows its own colours under the light.
    ScnMaterialDesc m = Material("Face", {1.0f, 1.0f, 1.0f}, 0.15f, 20.0f);
    m.textureName = "AvatarFace";
    // Written the way a modelling tool on another machine would store it; the reader keeps
    // only the file's base name.
    m.textureFile = std::string("maps\\") + kFaceTextureFile;
    return m;
}

float FloorOffset(float radius) {
    return kGroundZ + kSoleClearance + radius * kFootFlatten;
}

ShapeMesh FootShape(int foot) {
    const rkVector ankle = Joint(foot);
    const rkVector heel{ankle.x, kHeelY, FloorOffset(kHeelRadius)};
    const rkVector toe{ankle.x, kToeY, FloorOffset(kToeRadius)};
    const CrossSection flat{{1, 0, 0}, 1.05f, kFootFlatten};
    ShapeMesh mesh = Limb(heel, kHeelRadius, toe, kToeRadius, flat);
    mesh.Append(Limb(ankle, 10.0f, Lerp(heel, toe, 0.3f), 11.0f));
    return mesh;
}

ShapeMesh HandShape(int hand) {
    const rkVector wrist = Joint(hand);
    const rkVector along = rkNormalize(Tip(hand) - wrist);
    // Flat across the back of the hand (the rest pose holds the palms down), wide to the front.
    const CrossSection flat{{0, 0, 1}, 0.6f, 1.3f};
    const rkVector knuckles = wrist + along * 22.0f;
    ShapeMesh mesh = Limb(wrist, 8.0f, knuckles, 7.5f, flat);
    mesh.Append(Limb(knuckles, 7.0f, wrist + along * 40.0f, 5.5f, flat));
    const rkVector thumbBase = wrist + along * 6.0f + rkVector{0, -7.0f, -1.0f};
    mesh.Append(Limb(thumbBase, 4.0f, thumbBase + along * 13.0f + rkVector{0, -9.0f, 0}, 3.5f));
    return mesh;
}

ShapeMesh Shape(int segment) {
    const bool left = kStandardSkeleton[segment].name[0] == 'L';
    switch (segment) {
        case kHead:
            return Ellipsoid(Joint(kHead) + rkVector{0, -4.0f, 45.0f}, {30, 34, 41});
        case kNeck:
            return Limb(Joint(kNeck), 15.0f, Joint(kHead) + rkVector{0, -2.0f, 12.0f}, 13.5f);
        case kUpperTorso:
            return Limb({0, -1, 968}, 27.0f, {0, 2, 1006}, 29.0f, {{1, 0, 0}, 1.6f, 0.85f});
        case kLowerTorso:
            return Limb({0, -3, 908}, 27.0f, {0, -4, 952}, 25.5f, {{1, 0, 0}, 1.5f, 0.9f});
        case kLPelvis:
        case kRPelvis: {
            const rkVector hip = Tip(segment);
            return Limb({hip.x * 0.12f, -1.0f, 884.0f}, 21.0f, hip, 22.5f);
        }
        case kLThigh:
        case kRThigh:
            return Limb(Joint(segment), 22.0f, Tip(segment), 15.5f);
        case kLLowLeg:
        case kRLowLeg:
            return Limb(Joint(segment), 15.5f, Tip(segment), 10.0f);
        case kLFoot:
        case kRFoot:
            return FootShape(segment);
        case kLCollar:
        case kRCollar:
            return Limb(Joint(segment) + rkVector{left ? 4.0f : -4.0f, 0, -2.0f}, 12.0f,
                        Tip(segment), 13.5f);
        case kLUpArm:
        case kRUpArm:
            return Limb(Joint(segment), 14.0f, Tip(segment), 11.5f);
        case kLLowArm:
        case kRLowArm:
            return Limb(Joint(segment), 11.0f, Tip(segment), 8.0f);
        default:
            return HandShape(segment);
    }
}

ScnMaterialDesc MaterialOf(int segment) {
    switch (segment) {
        case kHead:
            return Face();
        case kNeck:
        case kLLowArm:
        case kRLowArm:
        case kLHand:
        case kRHand:
            return Skin();
        case kUpperTorso:
        case kLowerTorso:
        case kLCollar:
        case kRCollar:
        case kLUpArm:
        case kRUpArm:
            return Shirt();
        case kLFoot:
        case kRFoot:
            return Shoes();
        default:
            return Trousers();
    }
}

// The chunk keeps its vertices relative to the segment's joint and places them with its
// transform, as modelling tools store them.
ScnChunkDesc Chunk(int segment) {
    ScnChunkDesc chunk;
    chunk.name = kStandardSkeleton[segment].name;
    const rkVector joint = Joint(segment);
    rkIdentity(&chunk.transform);
    SetTranslation(&chunk.transform, joint);
    chunk.materials.push_back(MaterialOf(segment));
    const ShapeMesh mesh = Shape(segment);
    for (const ShapeVertex& v : mesh.vertices) {
        chunk.vertices.push_back({v.position - joint, v.normal, v.u, v.v, 0xFFFFFFFF});
    }
    ScnGroupDesc group{chunk.materials[0].name, {}, {}};
    for (size_t i = 0; i + 2 < mesh.indices.size(); i += 3) {
        chunk.faces.push_back({{mesh.indices[i], mesh.indices[i + 1], mesh.indices[i + 2]}, 0});
        group.first.push_back(static_cast<uint32_t>(i / 3));
        group.second.push_back(1);
    }
    chunk.groups.push_back(std::move(group));
    return chunk;
}

}  // namespace

rkVector HeelPoint(bool left) {
    return {Joint(left ? kLFoot : kRFoot).x, kHeelY, kGroundZ + kSoleClearance};
}

rkVector ToePoint(bool left) {
    return {Joint(left ? kLFoot : kRFoot).x, kToeY, kGroundZ + kSoleClearance};
}

ScnWriter AvatarScene() {
    ScnWriter writer("C:\\Tavrel\\Models\\avatar.scn");
    for (int segment = 0; segment < kStandardSegmentCount; ++segment) writer.Add(Chunk(segment));
    return writer;
}

}  // namespace tavrel::assets
