#pragma once
// A human figure with takes, built as an Assimp scene and written with Assimp's exporters, so
// that scene files (FBX, glTF, COLLADA) can be made by tests and benchmarks. The figure also
// evaluates itself: every joint turns about its own axis, its angle keyed at a steady rate and
// straight in between, so the world position of any joint at any time is known without Assimp.
#include <assimp/cexport.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace tavrel::testing {

class SceneFigure {
public:
    struct Joint {
        std::string name;
        int parent;          // index, -1 for the root
        aiVector3D offset;   // from the parent, in the figure's Y-up axes (left is +x)
        aiVector3D axis;     // it turns about this axis of its own frame
        float amplitude;     // radians
        float phase;
        bool preRotated = false;  // put under a pivot node that turns its frame
        float bias = 0;           // radians its swing leans by (the take only, not the rest)
    };
    struct Take {
        std::string name;
        double seconds;
        double keysPerSecond = 30;
        float pace = 1.0f;  // how fast the joints swing
        bool steps = false;  // each key held until the next (the file must say so)
        bool spline = false;  // the keys lie on the joints' own smooth swing (so must the file)
        bool bezier = false;  // between keys the angle follows the Bezier curve of BezierHandles
    };

    // Names by prefix + the common capture scheme (Hips, LeftUpLeg, LeftArm, ...).
    explicit SceneFigure(const std::string& prefix = "", float unit = 100.0f) {
        auto add = [&](const char* name, int parent, aiVector3D offset, aiVector3D axis,
                       float amplitude) {
            const int index = static_cast<int>(joints.size());
            joints.push_back({prefix + name, parent, offset * unit, axis.Normalize(), amplitude,
                              0.7f * index});
            return index;
        };
        const int hips = add("Hips", -1, {0, 0.95f, 0}, {0, 1, 0}, 0.3f);
        const int spine = add("Spine", hips, {0, 0.1f, 0}, {1, 0, 0}, 0.2f);
        const int chest = add("Spine2", spine, {0, 0.12f, 0}, {0, 0, 1}, 0.15f);
        const int neck = add("Neck", chest, {0, 0.15f, 0}, {1, 0, 0}, 0.2f);
        add("Head", neck, {0, 0.1f, 0}, {0, 1, 0}, 0.4f);
        for (float side : {1.0f, -1.0f}) {
            const std::string s = side > 0 ? "Left" : "Right";
            const int collar = add((s + "Shoulder").c_str(), chest, {side * 0.05f, 0.1f, 0},
                                   {0, 0, 1}, 0.1f);
            const int arm = add((s + "Arm").c_str(), collar, {side * 0.12f, 0, 0},
                                {0.3f, 0.2f, 1}, 0.9f);
            const int fore = add((s + "ForeArm").c_str(), arm, {side * 0.28f, 0, 0},
                                 {0, 1, 0.2f}, 1.0f);
            add((s + "Hand").c_str(), fore, {side * 0.26f, 0, 0}, {1, 0, 0}, 0.5f);
            const int thigh = add((s + "UpLeg").c_str(), hips, {side * 0.09f, -0.05f, 0},
                                  {1, 0.1f, 0.2f}, 0.8f);
            const int leg = add((s + "Leg").c_str(), thigh, {0, -0.42f, 0}, {1, 0, 0}, 0.9f);
            const int foot = add((s + "Foot").c_str(), leg, {0, -0.42f, 0}, {1, 0, 0.3f}, 0.4f);
            add((s + "ToeBase").c_str(), foot, {0, -0.06f, 0.12f}, {1, 0, 0}, 0.3f);
        }
        joints[FindJoint(prefix + "LeftUpLeg")].preRotated = true;
        takes.push_back({"Walk", 2.0});
    }

    // A joint put between `below` and its parent, taking `share` of its offset (spines of more
    // joints); returns its index.
    int Splice(const std::string& name, const std::string& below, float share, aiVector3D axis,
               float amplitude) {
        const int at = FindJoint(below);
        Joint joint{name,
                    joints[at].parent,
                    joints[at].offset * share,
                    axis.Normalize(),
                    amplitude,
                    0.7f * static_cast<float>(joints.size())};
        joints[at].offset *= 1 - share;
        for (Joint& j : joints) j.parent += j.parent >= at ? 1 : 0;
        joints.insert(joints.begin() + at, joint);
        joints[at + 1].parent = at;
        return at;
    }

    int FindJoint(const std::string& name) const {
        for (size_t j = 0; j < joints.size(); ++j) {
            if (joints[j].name == name) return static_cast<int>(j);
        }
        return -1;
    }

    // The joint's angle: keyed at the take's rate, straight between keys (or along its swing for
    // a spline), held after the last.
    float AngleAt(int joint, const Take& take, double seconds) const {
        const double step = 1.0 / take.keysPerSecond;
        const double last = std::floor(take.seconds / step + 1e-9);
        const double at = std::min(std::max(seconds, 0.0) / step, last);
        const double k = std::min(std::floor(at), std::max(last - 1, 0.0));
        if (take.spline) return static_cast<float>(KeyAngle(joint, take, at));
        if (take.bezier && at > k) return static_cast<float>(BezierAngle(joint, take, k, at - k));
        const double a = KeyAngle(joint, take, k), b = KeyAngle(joint, take, k + 1);
        if (take.steps) return static_cast<float>(at - k >= 1.0 - 1e-9 ? b : a);
        return static_cast<float>(a + (b - a) * std::min(at - k, 1.0));
    }
    // A key's Bezier handles as (seconds, radians): the one after it (out) and before it (in),
    // lopsided in time, so that the time along the curve is not its parameter.
    struct Handles {
        double outTime, outAngle, inTime, inAngle;
    };
    Handles BezierHandles(int joint, const Take& take, double k) const {
        const Joint& j = joints[static_cast<size_t>(joint)];
        const double step = 1.0 / take.keysPerSecond, w = take.pace * 3.0;
        const double slope = j.amplitude * w * std::cos(w * k * step + j.phase);
        const double angle = KeyAngle(joint, take, k), t = k * step;
        return {t + 0.6 * step, angle + 0.8 * step * slope, t - 0.15 * step,
                angle - 0.3 * step * slope};
    }
    // A Bezier curve's value (y) where it passes a time (x), by de Casteljau's construction on
    // a fine grid of the curve's parameter.
    static double BezierByGrid(const double x[4], const double y[4], double time) {
        const auto point = [&](double u, double* px, double* py) {
            double xs[4], ys[4];
            std::copy(x, x + 4, xs), std::copy(y, y + 4, ys);
            for (int n = 3; n > 0; --n) {
                for (int i = 0; i < n; ++i) {
                    xs[i] += (xs[i + 1] - xs[i]) * u;
                    ys[i] += (ys[i + 1] - ys[i]) * u;
                }
            }
            *px = xs[0], *py = ys[0];
        };
        constexpr int kGrid = 4096;
        double x0, y0, x1 = x[0], y1 = y[0];
        for (int i = 1; i <= kGrid; ++i) {
            x0 = x1, y0 = y1;
            point(double(i) / kGrid, &x1, &y1);
            if (x1 >= time) return x1 > x0 ? y0 + (y1 - y0) * (time - x0) / (x1 - x0) : y1;
        }
        return y1;
    }
    aiVector3D RootAt(const Take& take, double seconds) const {
        const double s = std::min(seconds, take.seconds);
        return joints[0].offset + aiVector3D(0.1f, 0, 0.8f) * static_cast<float>(s) *
                                      (joints[1].offset.Length() / 0.1f);
    }

    // A joint's matrix in its parent's frame: its place, its pivot's turn, then its own turn.
    aiMatrix4x4 LocalAt(size_t j, const Take& take, double seconds) const {
        const aiVector3D at = j == 0 ? RootAt(take, seconds) : joints[j].offset;
        aiMatrix4x4 turn;
        aiMatrix4x4::Rotation(AngleAt(static_cast<int>(j), take, seconds), joints[j].axis, turn);
        return Translation(at) * Pre(j) * turn;
    }
    // The pivot's turn of a pre-rotated joint's frame.
    aiMatrix4x4 Pre(size_t j) const {
        aiMatrix4x4 m;
        if (joints[j].preRotated) aiMatrix4x4::Rotation(kPreAngle, PreAxis(), m);
        return m;
    }
    static constexpr float kPreAngle = 1.2f;
    static aiVector3D PreAxis() { return {0.6f, 0.0f, 0.8f}; }
    // How many keys a take's channels hold: one at each step of its rate, ends included.
    static unsigned KeyCount(const Take& take) {
        return static_cast<unsigned>(std::floor(take.seconds * take.keysPerSecond + 1e-9)) + 1;
    }
    // Turned from Y-up to Z-up and scaled to metres, as exporters of other tools leave it.
    static aiMatrix4x4 Armature() {
        aiMatrix4x4 turn, scale;
        return aiMatrix4x4::RotationX(1.5707964f, turn) *
               aiMatrix4x4::Scaling(aiVector3D(0.01f), scale);
    }

    // World positions of every joint at a time, by the figure's own arithmetic.
    std::vector<aiVector3D> PositionsAt(const Take& take, double seconds) const {
        std::vector<aiMatrix4x4> world(joints.size());
        std::vector<aiVector3D> out(joints.size());
        for (size_t j = 0; j < joints.size(); ++j) {
            const aiMatrix4x4 local = LocalAt(j, take, seconds);
            world[j] = joints[j].parent < 0 ? local : world[joints[j].parent] * local;
            out[j] = aiVector3D(world[j].a4, world[j].b4, world[j].c4);
        }
        return out;
    }

    // The scene: a root holding an armature (turned and scaled as exporters do) over the
    // figure, helper pivots where asked, a skinned mesh when withMesh, and one animation a take.
    std::unique_ptr<aiScene> Scene(bool withMesh) const {
        auto scene = std::make_unique<aiScene>();
        scene->mRootNode = new aiNode("Scene");
        aiNode* armature = new aiNode("Armature");
        armature->mTransformation = Armature();
        Link(scene->mRootNode, armature);
        std::vector<aiNode*> nodes(joints.size());
        for (size_t j = 0; j < joints.size(); ++j) {
            nodes[j] = new aiNode(joints[j].name);
            aiNode* parent = joints[j].parent < 0 ? armature : nodes[joints[j].parent];
            if (joints[j].preRotated) {
                aiNode* pivot = new aiNode(joints[j].name + "_$AssimpFbx$_PreRotation");
                pivot->mTransformation = Translation(joints[j].offset) * Pre(j);
                Link(parent, pivot);
                Link(pivot, nodes[j]);
            } else {
                nodes[j]->mTransformation = Translation(joints[j].offset);
                Link(parent, nodes[j]);
            }
        }
        scene->mNumMaterials = 1;
        scene->mMaterials = new aiMaterial*[1]{new aiMaterial()};
        if (withMesh) AddMesh(*scene);
        scene->mNumAnimations = static_cast<unsigned>(takes.size());
        scene->mAnimations = new aiAnimation*[takes.size()];
        for (size_t t = 0; t < takes.size(); ++t) scene->mAnimations[t] = Animation(takes[t]);
        return scene;
    }

    // Writes the scene with an exporter ("fbx", "gltf2", "glb2", "collada"); true when written.
    bool Export(const std::string& path, const char* format, bool withMesh = false) const {
        const std::unique_ptr<aiScene> scene = Scene(withMesh);
        return aiExportScene(scene.get(), format, path.c_str(), 0) == aiReturn_SUCCESS;
    }

    std::vector<Joint> joints;
    std::vector<Take> takes;
    // Assimp's FBX exporter writes key times as seconds whatever the rate says.
    double ticksPerSecond = 1000;

private:
    // The angle a fraction of the way in time from key k to the next.
    double BezierAngle(int joint, const Take& take, double k, double fraction) const {
        const Handles a = BezierHandles(joint, take, k), b = BezierHandles(joint, take, k + 1);
        const double step = 1.0 / take.keysPerSecond;
        const double x[4] = {k * step, a.outTime, b.inTime, (k + 1) * step};
        const double y[4] = {KeyAngle(joint, take, k), a.outAngle, b.inAngle,
                             KeyAngle(joint, take, k + 1)};
        return BezierByGrid(x, y, x[0] + fraction * step);
    }

    double KeyAngle(int joint, const Take& take, double k) const {
        const Joint& j = joints[static_cast<size_t>(joint)];
        return j.bias + j.amplitude * std::sin(take.pace * 3.0 * k / take.keysPerSecond + j.phase);
    }
    static aiMatrix4x4 Translation(const aiVector3D& v) {
        aiMatrix4x4 m;
        return aiMatrix4x4::Translation(v, m);
    }
    static void Link(aiNode* parent, aiNode* child) {
        aiNode** children = new aiNode*[parent->mNumChildren + 1];
        for (unsigned i = 0; i < parent->mNumChildren; ++i) children[i] = parent->mChildren[i];
        children[parent->mNumChildren++] = child;
        delete[] parent->mChildren;
        parent->mChildren = children;
        child->mParent = parent;
    }

    aiAnimation* Animation(const Take& take) const {
        auto* animation = new aiAnimation();
        animation->mName = take.name;
        animation->mTicksPerSecond = ticksPerSecond;
        animation->mDuration = take.seconds * ticksPerSecond;
        const unsigned keys = KeyCount(take);
        animation->mNumChannels = static_cast<unsigned>(joints.size());
        animation->mChannels = new aiNodeAnim*[joints.size()];
        for (size_t j = 0; j < joints.size(); ++j) {
            auto* channel = new aiNodeAnim();
            channel->mNodeName = joints[j].name;
            channel->mNumRotationKeys = channel->mNumPositionKeys = keys;
            channel->mRotationKeys = new aiQuatKey[keys];
            channel->mPositionKeys = new aiVectorKey[keys];
            channel->mNumScalingKeys = 1;
            channel->mScalingKeys = new aiVectorKey[1];
            channel->mScalingKeys[0] = aiVectorKey(0, aiVector3D(1, 1, 1));
            for (unsigned k = 0; k < keys; ++k) {
                const double seconds = k / take.keysPerSecond;
                const double time = seconds * ticksPerSecond;
                const float angle = AngleAt(static_cast<int>(j), take, seconds);
                channel->mRotationKeys[k] = aiQuatKey(time, aiQuaternion(joints[j].axis, angle));
                channel->mPositionKeys[k] =
                    aiVectorKey(time, j == 0 ? RootAt(take, seconds) : aiVector3D());
                // A pre-rotated joint sits at its pivot; the others at their offsets.
                if (j > 0 && !joints[j].preRotated) channel->mPositionKeys[k].mValue = joints[j].offset;
            }
            animation->mChannels[j] = channel;
        }
        return animation;
    }

    // One triangle per joint, held by that joint alone, its bone's offset the rest pose undone.
    void AddMesh(aiScene& scene) const {
        auto* mesh = new aiMesh();
        const auto n = static_cast<unsigned>(joints.size());
        mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
        mesh->mNumVertices = 3 * n;
        mesh->mVertices = new aiVector3D[3 * n];
        mesh->mNumFaces = n;
        mesh->mFaces = new aiFace[n];
        mesh->mNumBones = n;
        mesh->mBones = new aiBone*[n];
        std::vector<aiMatrix4x4> rest(n);
        for (unsigned j = 0; j < n; ++j) {
            const aiMatrix4x4 local = Translation(joints[j].offset) * Pre(j);
            rest[j] = (joints[j].parent < 0 ? Armature() : rest[joints[j].parent]) * local;
            const aiVector3D at(rest[j].a4, rest[j].b4, rest[j].c4);
            mesh->mVertices[3 * j] = at;
            mesh->mVertices[3 * j + 1] = at + aiVector3D(1, 0, 0);
            mesh->mVertices[3 * j + 2] = at + aiVector3D(0, 0, 1);
            mesh->mFaces[j].mNumIndices = 3;
            mesh->mFaces[j].mIndices = new unsigned[3]{3 * j, 3 * j + 1, 3 * j + 2};
            auto* bone = new aiBone();
            bone->mName = joints[j].name;
            bone->mOffsetMatrix = aiMatrix4x4(rest[j]).Inverse();
            bone->mNumWeights = 3;
            bone->mWeights = new aiVertexWeight[3]{{3 * j, 1.0f}, {3 * j + 1, 1.0f}, {3 * j + 2, 1.0f}};
            mesh->mBones[j] = bone;
        }
        scene.mNumMeshes = 1;
        scene.mMeshes = new aiMesh*[1]{mesh};
        aiNode* body = new aiNode("Body");
        body->mNumMeshes = 1;
        body->mMeshes = new unsigned[1]{0};
        Link(scene.mRootNode, body);
    }
};

}  // namespace tavrel::testing
