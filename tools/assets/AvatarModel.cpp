#include "tools/assets/AvatarModel.h"

#include "tools/assets/FaceTexture.h"
#include "tools/assets/PoseBuilder.h"
#include "tools/assets/Rotation.h"
#include "tools/assets/ShapeBuilder.h"

namespace tavrel::assets {
namespace {

// Millimetres, as the skeleton's lengths are; places are taken from its joints.
constexpr float kHeelY = 65.4f;  // behind the ankle (+y is the back)
constexpr float kToeY = -81.0f;  // ahead of it
constexpr float kHeelRadius = 38.9f;
constexpr float kToeRadius = 34.3f;
constexpr float kFootFlatten = 0.85f;  // shoes are lower than they are wide

rkVector Joint(int segment) {
    return rkOrigin(Rest().world[segment]);
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
    mesh.Append(Limb(ankle, 31.2f, rkLerp(heel, toe, 0.3f), 34.3f));
    return mesh;
}

ShapeMesh HandShape(int hand) {
    const rkVector wrist = Joint(hand);
    const rkVector along = rkNormalize(Tip(hand) - wrist);
    // Flat across the back of the hand (the rest pose holds the palms down), wide to the front.
    const CrossSection flat{{0, 0, 1}, 0.6f, 1.3f};
    const rkVector knuckles = wrist + along * 68.5f;
    ShapeMesh mesh = Limb(wrist, 24.9f, knuckles, 23.4f, flat);
    mesh.Append(Limb(knuckles, 21.8f, wrist + along * 124.6f, 17.1f, flat));
    const rkVector thumbBase = wrist + along * 18.7f + rkVector{0, -21.8f, -3.1f};
    mesh.Append(Limb(thumbBase, 12.5f, thumbBase + along * 40.5f + rkVector{0, -28.0f, 0}, 10.9f));
    return mesh;
}

ShapeMesh Shape(int segment) {
    const bool left = kStandardSkeleton[segment].name[0] == 'L';
    switch (segment) {
        case kHead:
            // Round the joint at the top of the neck, the crown about 1.75 m up.
            return Ellipsoid(Joint(kHead) + rkVector{0, -12.5f, 115.0f}, {93.5f, 105.9f, 127.7f});
        case kNeck:
            return Limb(Joint(kNeck), 46.7f, Joint(kHead) + rkVector{0, -6.2f, 37.4f}, 42.1f);
        case kUpperTorso:
            return Limb(Joint(kUpperTorso) + rkVector{0, 16.2f, 36.8f}, 84.1f,
                        Joint(kUpperTorso) + rkVector{0, 25.5f, 155.1f}, 90.3f,
                        {{1, 0, 0}, 1.6f, 0.85f});
        case kLowerTorso:
            return Limb(Joint(kLowerTorso) + rkVector{0, 5.6f, 23.6f}, 84.1f,
                        Joint(kLowerTorso) + rkVector{0, 2.5f, 160.7f}, 79.4f,
                        {{1, 0, 0}, 1.5f, 0.9f});
        case kLPelvis:
        case kRPelvis: {
            const rkVector hip = Tip(segment);
            const rkVector seat = Joint(kLowerTorso) + rkVector{hip.x * 0.12f, 11.8f, -51.1f};
            return Limb(seat, 65.4f, hip, 70.1f);
        }
        case kLThigh:
        case kRThigh:
            return Limb(Joint(segment), 68.5f, Tip(segment), 48.3f);
        case kLLowLeg:
        case kRLowLeg:
            return Limb(Joint(segment), 48.3f, Tip(segment), 31.2f);
        case kLFoot:
        case kRFoot:
            return FootShape(segment);
        case kLCollar:
        case kRCollar:
            return Limb(Joint(segment) + rkVector{left ? 12.5f : -12.5f, 0, -6.2f}, 37.4f,
                        Tip(segment), 42.1f);
        case kLUpArm:
        case kRUpArm:
            return Limb(Joint(segment), 43.6f, Tip(segment), 35.8f);
        case kLLowArm:
        case kRLowArm:
            return Limb(Joint(segment), 34.3f, Tip(segment), 24.9f);
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
