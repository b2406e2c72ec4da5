// Scene files (FBX, glTF, COLLADA) made with Assimp's exporters from a figure that evaluates
// itself: the imported motion must turn every limb as the figure does, frame for frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>

#include "AnimRead/SceneFileRead/ColladaFile.h"
#include "AnimRead/SceneFileRead/SceneFileRead.h"
#include "MotionFiles.h"
#include "motion/MotionImport.h"
#include "tests/support/ColladaWriter.h"
#include "tests/support/FbxBinary.h"
#include "tests/support/FbxText.h"
#include "tests/support/GltfReadBack.h"
#include "tests/support/SceneFigure.h"

namespace tavrel {
namespace {

using testing::ColladaWriter;
using testing::SceneFigure;

// Our segment and the figure's joint at each end of a limb.
struct Limb {
    const char *from, *to, *jointFrom, *jointTo;
};
constexpr Limb kLimbs[] = {
    {"LThigh", "LLowLeg", "LeftUpLeg", "LeftLeg"},   {"LLowLeg", "LFoot", "LeftLeg", "LeftFoot"},
    {"RThigh", "RLowLeg", "RightUpLeg", "RightLeg"}, {"RLowLeg", "RFoot", "RightLeg", "RightFoot"},
    {"LUpArm", "LLowArm", "LeftArm", "LeftForeArm"}, {"LLowArm", "LHand", "LeftForeArm", "LeftHand"},
    {"RUpArm", "RLowArm", "RightArm", "RightForeArm"},
    {"RLowArm", "RHand", "RightForeArm", "RightHand"},
    {"Neck", "Head", "Neck", "Head"},
};

aiVector3D WorldOf(ANIMFILE& motion, int frame, const char* name) {
    motion.GetFrame(frame);
    rkUpdateNode(motion.GetRoot());
    const rkMatrix& w = motion.GetSegment(motion.FindSegment(name))->node->world;
    return {w.m[12], w.m[13], w.m[14]};
}

// Rows of an orthonormal frame from two directions.
aiMatrix3x3 FrameOf(aiVector3D a, aiVector3D b) {
    a.Normalize();
    aiVector3D c = (a ^ b).Normalize();
    const aiVector3D d = c ^ a;
    return aiMatrix3x3(a.x, a.y, a.z, c.x, c.y, c.z, d.x, d.y, d.z);
}

// The largest angle, in degrees, between a limb of the imported motion and the same limb of
// the figure at the same moment, after the one turn that lines the two worlds up at frame 0.
float WorstLimbAngle(ANIMFILE& motion, const SceneFigure& figure, const SceneFigure::Take& take,
                     const std::string& prefix) {
    auto ours = [&](int f, const Limb& l) { return WorldOf(motion, f, l.to) - WorldOf(motion, f, l.from); };
    auto theirs = [&](const std::vector<aiVector3D>& at, const Limb& l) {
        return at[figure.FindJoint(prefix + l.jointTo)] - at[figure.FindJoint(prefix + l.jointFrom)];
    };
    const auto rest = figure.PositionsAt(take, 0);
    const Limb& neck = kLimbs[8];
    const Limb& arm = kLimbs[4];
    aiMatrix3x3 align = FrameOf(ours(0, neck), ours(0, arm));
    align.Transpose();
    align = align * FrameOf(theirs(rest, neck), theirs(rest, arm));  // theirs -> ours
    float worst = 0;
    for (int f = 0; f <= motion.GetEndFrame(); ++f) {
        const auto at = figure.PositionsAt(take, double(f) / motion.GetFrameRate());
        for (const Limb& limb : kLimbs) {
            const aiVector3D a = ours(f, limb).Normalize();
            const aiVector3D b = (align * theirs(at, limb)).Normalize();
            worst = std::max(worst, std::acos(std::clamp(a * b, -1.0f, 1.0f)) * 57.29578f);
        }
    }
    return worst;
}

std::vector<SCENEFILEREAD::TAKE> TakesOf(const std::string& path) {
    try {
        return SCENEFILEREAD::ListTakes(path.c_str());
    } catch (const ERROBJ& e) {
        ADD_FAILURE() << e.GetText() << ": " << e.detail;
    }
    return {};
}

struct FormatCase {
    const char* format;
    const char* file;
    bool mesh;
    const char* prefix;
    bool steps = false;   // the file's keys are made steps
    bool spline = false;  // the file's turns are made splines along the joints' swing
    bool bezier = false;  // the file's turns are Bezier curves, lopsided in time
};

// Turns every rotation channel of a glTF file into a cubic spline whose tangents follow each
// joint's swing (the exporter writes straight keys only); the keys keep their values.
void MakeSplines(const std::string& path, const SceneFigure& figure) {
    tinygltf::Model model;
    std::string error;
    ASSERT_TRUE(testing::LoadGltf(path, &model, &error)) << error;
    for (size_t a = 0; a < model.animations.size(); ++a) {
        const SceneFigure::Take& take = figure.takes[a];
        for (const tinygltf::AnimationChannel& channel : model.animations[a].channels) {
            const int j = figure.FindJoint(model.nodes[channel.target_node].name);
            if (channel.target_path != "rotation" || j < 0) continue;
            tinygltf::AnimationSampler& sampler = model.animations[a].samplers[channel.sampler];
            const size_t n = model.accessors[sampler.input].count;
            const float* times = testing::GltfFloats(model, sampler.input);
            const float* values = testing::GltfFloats(model, sampler.output);
            const SceneFigure::Joint& joint = figure.joints[size_t(j)];
            std::vector<float> keys;
            for (size_t k = 0; k < n; ++k) {
                const double w = 3.0 * take.pace, t = times[k];
                const double angle = joint.amplitude * std::sin(w * t + joint.phase);
                const double rate = joint.amplitude * w * std::cos(w * t + joint.phase) / 2;
                const float* q = values + 4 * k;  // x, y, z, w
                const double sign = q[3] * std::cos(angle / 2) +
                                            (q[0] * joint.axis.x + q[1] * joint.axis.y +
                                             q[2] * joint.axis.z) * std::sin(angle / 2) < 0 ? -1 : 1;
                const float c = float(sign * rate * std::cos(angle / 2));
                const float tangent[4] = {joint.axis.x * c, joint.axis.y * c, joint.axis.z * c,
                                          float(-sign * rate * std::sin(angle / 2))};
                keys.insert(keys.end(), tangent, tangent + 4);
                keys.insert(keys.end(), q, q + 4);
                keys.insert(keys.end(), tangent, tangent + 4);
            }
            tinygltf::Buffer buffer;
            buffer.data.resize(keys.size() * sizeof(float));
            std::memcpy(buffer.data.data(), keys.data(), buffer.data.size());
            tinygltf::BufferView view;
            view.buffer = int(model.buffers.size());
            view.byteLength = buffer.data.size();
            tinygltf::Accessor accessor;
            accessor.bufferView = int(model.bufferViews.size());
            accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
            accessor.type = TINYGLTF_TYPE_VEC4;
            accessor.count = 3 * n;
            model.buffers.push_back(std::move(buffer));
            model.bufferViews.push_back(view);
            sampler.output = int(model.accessors.size());
            sampler.interpolation = "CUBICSPLINE";
            model.accessors.push_back(accessor);
        }
    }
    ASSERT_TRUE(tinygltf::TinyGLTF().WriteGltfSceneToFile(&model, path, true, true, true, false));
}

TEST(SceneFileRead, EveryFormatsTakesAreListedChosenAndTurnTheLimbsAsTheFigureDoes) {
    const FormatCase cases[] = {
        // Assimp's COLLADA animations are not read back by its own importer, nor its binary
        // FBX until mended (FbxBinary).
        {"fbxa", "figure.fbx", true, "mixamorig:"},
        {"fbxa", "bare.fbx", false, ""},
        {"fbxa", "held-text.fbx", false, "mixamorig:", true},
        {"fbx", "binary.fbx", true, ""},
        {"fbx", "held.fbx", false, "mixamorig:", true},
        {"glb2", "figure.glb", true, ""},
        {"gltf2", "figure.gltf", false, "mixamorig:"},
        {"gltf2", "steps.gltf", true, "", true},
        {"gltf2", "spline.gltf", false, "", false, true},
        // COLLADA as other tools write it (its exporter's animations are not read back).
        {"dae", "figure.dae", true, "mixamorig:"},
        {"dae-angles", "angles.dae", false, ""},
        {"dae", "steps.dae", false, "", true},
        {"dae-clips", "clips.dae", true, "mixamorig:"},
        {"dae-ids", "ids.dae", true, ""},
        {"dae-angles", "bezier.dae", false, "", false, false, true},
        {"dae-clips-angles", "bezier-clips.dae", true, "mixamorig:", false, false, true},
    };
    testing::TempDir dir;
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.file);
        SceneFigure figure(c.prefix);
        if (std::string(c.format).starts_with("fbx")) {
            // Its FBX exporter writes key times as seconds, whole seconds of length, and drops
            // a pivot's offset.
            figure.ticksPerSecond = 1;
            for (auto& joint : figure.joints) joint.preRotated = false;
        }
        // A curve's few keys: straight lines between them would miss the swing by degrees.
        const bool curved = c.spline || c.bezier;
        const double rate = curved ? 4 : 30;
        figure.takes = {{"Walk", 2.0, rate, 1.0f, c.steps, c.spline, c.bezier},
                        {"Run", 1.0, curved ? 2 * rate : 24, 2.0f, c.steps, c.spline, c.bezier}};
        const std::string path = dir / c.file;
        if (std::string(c.format).starts_with("dae")) {
            const std::string format = c.format;
            ColladaWriter::Style style{!format.ends_with("angles"), c.mesh};
            style.clips = format.starts_with("dae-clips");
            if (c.format == std::string("dae-ids")) style.idPrefix = "", style.nodeNames = false;
            if (c.steps) style.interpolation = "STEP";
            if (c.bezier) style.interpolation = "BEZIER";
            ASSERT_TRUE(ColladaWriter::Write(figure, path, style));
        } else {
            ASSERT_TRUE(figure.Export(path, c.format, c.mesh));
        }
        if (c.steps && c.format == std::string("gltf2")) {  // the exporter writes straight keys only
            std::string text = testing::ReadBytes(path);
            for (size_t at; (at = text.find("\"LINEAR\"")) != std::string::npos;)
                text.replace(at, 8, "\"STEP\"");
            testing::WriteText(path, text);
        }
        if (c.spline) MakeSplines(path, figure);
        if (c.steps && c.format == std::string("fbxa")) {
            std::string text = testing::ReadBytes(path);
            ASSERT_GT(testing::SetFbxTextValues(text, "KeyAttrFlags", "2"), 0);
            testing::WriteText(path, text);
        }
        if (c.format == std::string("fbx")) {
            std::string bytes = testing::FbxBinary::Closed(testing::ReadBytes(path));
            if (c.steps) {
                ASSERT_GT(testing::FbxBinary::SetFlags(bytes, 0x2), 0);
            }
            testing::WriteText(path, bytes);
        }

        const auto takes = TakesOf(path);
        ASSERT_EQ(takes.size(), 2u);
        for (size_t t = 0; t < 2; ++t) {
            EXPECT_EQ(takes[t].name, figure.takes[t].name);
            EXPECT_NEAR(takes[t].seconds, figure.takes[t].seconds, 1e-3);
        }
        for (const std::string& name : {std::string(), std::string("Run")}) {
            const SceneFigure::Take& take = figure.takes[name.empty() ? 0 : 1];
            const CSkeletonMapper::Result r = CMotionImport::ImportFile(path, {}, 60, name);
            ASSERT_TRUE(r.motion) << r.message;
            EXPECT_EQ(r.message, "");  // one skeleton: nothing to say
            EXPECT_EQ(r.motion->GetEndFrame(), int(std::lround(take.seconds * 60)));
            EXPECT_LT(WorstLimbAngle(*r.motion, figure, take, c.prefix), 1.0f) << take.name;
        }
    }
}

// Cubic FBX keys follow the slopes stored with them: the spine, turning about its own X axis
// alone, must swing between keys as the Bezier curve of those slopes does.
// Where the importer moved part of a turn into the keys (a pre-rotation), the turns stay its own.
TEST(SceneFileRead, FbxCubicKeysFollowTheirStoredSlopes) {
    SceneFigure figure;
    figure.ticksPerSecond = 1;
    for (auto& joint : figure.joints) joint.preRotated = false;
    figure.takes = {{"Swing", 1.0, 4}};
    const SceneFigure::Take& take = figure.takes[0];
    testing::TempDir dir;
    const std::string exported = dir / "exported.fbx";
    ASSERT_TRUE(figure.Export(exported, "fbx"));
    const float right = 40, nextLeft = -25;  // degrees a second for the turns
    const auto write = [&](const std::string& name, int32_t flags, const float* preRotation) {
        std::string bytes = testing::FbxBinary::Closed(testing::ReadBytes(exported), preRotation);
        EXPECT_GT(testing::FbxBinary::SetFlags(bytes, flags), 0);
        EXPECT_GT(testing::FbxBinary::SetSlopes(bytes, right, nextLeft), 0);
        testing::WriteText(dir / name, bytes);
        return SCENEFILEREAD((dir / name).c_str(), "");
    };
    const float preRotation[3] = {0, 30, 0};
    SCENEFILEREAD turned = write("turned.fbx", 0x8, preRotation), straight = write("straight.fbx", 0x4, preRotation);
    for (int s = 0; s < turned.GetSegmentCount(); ++s) {
        const auto& a = turned.GetSegment(s)->frames;
        const auto& b = straight.GetSegment(s)->frames;
        ASSERT_EQ(a.size(), b.size());
        for (size_t f = 0; f < a.size(); ++f) {
            for (int e : {0, 1, 2, 4, 5, 6, 8, 9, 10})  // the turn (the positions follow the file)
                ASSERT_EQ(a[f].m[e], b[f].m[e]) << turned.GetSegment(s)->name << " frame " << f;
        }
    }

    // The text format's keys, their flags and slopes written as numbers, are followed alike.
    const std::string textPath = dir / "cubic-text.fbx";
    ASSERT_TRUE(figure.Export(textPath, "fbxa"));
    std::string text = testing::ReadBytes(textPath);
    EXPECT_GT(testing::SetFbxTextValues(text, "KeyAttrFlags", "8"), 0);
    EXPECT_GT(testing::SetFbxTextValues(text, "KeyAttrDataFloat", "40,-25,0,0"), 0);
    testing::WriteText(textPath, text);
    for (const SCENEFILEREAD& motion : {write("cubic.fbx", 0x8, nullptr), SCENEFILEREAD(textPath.c_str(), "")}) {
        SCOPED_TRACE(motion.GetPath());
        const ANIMSEG& spine = *motion.GetSegment(motion.FindSegment("Spine"));
        const int joint = figure.FindJoint("Spine");
        const auto angleOf = [&](int frame) {  // about X; its sign is the file's convention
            const rkMatrix& m = spine.frames[size_t(frame)];
            return std::atan2(m.m[6], m.m[5]) * 180 / M_PI;
        };
        const auto keyAngle = [&](double t) { return figure.AngleAt(joint, take, t) * 180 / M_PI; };
        const double sign = angleOf(0) * keyAngle(0) > 0 ? 1 : -1;
        const double span = 1 / take.keysPerSecond;
        for (int f = 0; f <= 60; ++f) {
            const double t = f / 60.0, t0 = std::floor(t / span + 1e-9) * span, u = (t - t0) / span;
            const double p0 = keyAngle(t0), p3 = keyAngle(t0 + span);
            const double p1 = p0 + right * span / 3, p2 = p3 - nextLeft * span / 3;
            const double bezier = (1 - u) * (1 - u) * (1 - u) * p0 + 3 * (1 - u) * (1 - u) * u * p1 +
                                  3 * (1 - u) * u * u * p2 + u * u * u * p3;
            EXPECT_NEAR(sign * angleOf(f), bezier, 0.05) << "frame " << f;
        }
    }
}

std::string Exported(const testing::TempDir& dir, const std::string& name, SceneFigure figure,
                     bool mesh = false) {
    const std::string path = dir / name;
    EXPECT_TRUE(figure.Export(path, "glb2", mesh)) << name;
    return path;
}

// What a file is: its bytes, or for a large one its size and time of change.
std::string Fingerprint(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) return "none";
    if (size < (1u << 20)) return testing::ReadBytes(path);
    return std::to_string(size) + " " +
           std::to_string(std::filesystem::last_write_time(path).time_since_epoch().count());
}

TEST(SceneFileRead, BadScenesAreRefusedWithTheirReasonAndLeftAsTheyWere) {
    testing::TempDir dir;
    struct Bad {
        const char* label;
        std::function<std::string()> make;
        const char* take;
        const char* reason;
    };
    const Bad cases[] = {
        {"no skeleton",
         [&] {
             SceneFigure figure;
             figure.joints.clear();
             figure.takes.clear();
             return Exported(dir, "mesh.glb", figure);
         },
         "", "no skeleton"},
        {"no animation",
         [&] {
             SceneFigure figure;
             figure.takes.clear();
             return Exported(dir, "still.glb", figure, true);
         },
         "", "no animation"},
        {"a take of no length",
         [&] {
             SceneFigure figure;
             figure.takes = {{"Pose", 0.0}};
             return Exported(dir, "pose.glb", figure);
         },
         "", "take Pose has no length"},
        {"a take not there", [&] { return Exported(dir, "walk.glb", SceneFigure()); }, "Jump",
         "no take named Jump"},
        {"a quadruped",
         [&] {
             SceneFigure figure;
             for (auto& joint : figure.joints) {
                 for (const char* limb : {"UpLeg", "Arm"}) {
                     const size_t at = joint.name.find(limb);
                     if (at != std::string::npos && joint.name.find("Fore") == std::string::npos)
                         joint.name = (limb[0] == 'A' ? "FrontLeg_" : "HindLeg_") + joint.name.substr(0, 1);
                 }
             }
             return Exported(dir, "dog.glb", figure);
         },
         "", "not a human figure"},
        {"a cut file",
         [&] {
             const std::string path = Exported(dir, "cut.glb", SceneFigure());
             std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
             return path;
         },
         "", "cannot read"},
        {"a cut binary FBX file",
         [&] {
             SceneFigure figure;
             const std::string path = dir / "cut.fbx";
             figure.Export(path, "fbx");
             const std::string bytes = testing::FbxBinary::Closed(testing::ReadBytes(path));
             testing::WriteText(path, bytes.substr(0, bytes.size() * 2 / 3));
             return path;
         },
         "", "cannot read"},
        {"a cut text FBX file",
         [&] {
             const std::string path = dir / "cut-text.fbx";
             SceneFigure().Export(path, "fbxa");
             const std::string text = testing::ReadBytes(path);
             testing::WriteText(path, text.substr(0, text.find("\tKeyAttrFlags")));
             return path;
         },
         "", "cannot read"},
        {"a cut COLLADA file",
         [&] {
             const std::string text = ColladaWriter::Text(SceneFigure(), {});
             testing::WriteText(dir / "cut.dae", text.substr(0, text.size() / 2));
             return dir / "cut.dae";
         },
         "", "cannot read"},
        {"a COLLADA array that holds fewer numbers than its accessor reads",
         [&] {
             std::string text = ColladaWriter::Text(SceneFigure(), {});
             const size_t at =
                 text.find("count=", text.rfind("<float_array id=\"Walk_Armature_Right"));
             text.replace(at, text.find('"', at + 7) + 1 - at, "count=\"\"");
             testing::WriteText(dir / "short.dae", text);
             return dir / "short.dae";
         },
         "", "cannot read"},
        {"a COLLADA file without animation",
         [&] {
             SceneFigure figure;
             figure.takes.clear();
             const std::string path = dir / "still.dae";
             ColladaWriter::Write(figure, path, {true, true});
             return path;
         },
         "", "no animation"},
        {"not a scene",
         [&] {
             testing::WriteText(dir / "junk.gltf", "{\"asset\": [1, 2");
             return dir / "junk.gltf";
         },
         "", "cannot read"},
        {"200 MB",
         [&] {
             const std::string path = dir / "huge.fbx";
             testing::WriteText(path, "; FBX 7.4.0 project file\n");
             std::filesystem::resize_file(path, 200u << 20);  // sparse: takes no room
             return path;
         },
         "", "200 MB: scene files of more than 128 MB are not read"},
        {"no file", [&] { return dir / "gone.fbx"; }, "", "File not found"},
    };
    std::vector<Bad> all(std::begin(cases), std::end(cases));
    // Files the importer itself stops on (aborts, crashes): found by fuzzing, kept as found.
    for (const auto& entry : std::filesystem::directory_iterator(TAVREL_STOPS_DIR)) {
        const std::string copy = dir / entry.path().filename().string();
        std::filesystem::copy_file(entry.path(), copy);
        all.push_back({"the importer stops on it", [copy] { return copy; }, "",
                       "the importer stopped on this file"});
    }
    for (const Bad& c : all) {
        SCOPED_TRACE(c.label);
        const std::string path = c.make();
        const std::string before = Fingerprint(path);
        const CSkeletonMapper::Result r = CMotionImport::ImportFile(path, {}, 60, c.take);
        EXPECT_FALSE(r.motion);
        EXPECT_NE(r.message.find(c.reason), std::string::npos) << r.message;
        EXPECT_EQ(Fingerprint(path), before);
    }
}

// Keys the importer hands out are checked here, whatever file they came from.
TEST(SceneFileRead, KeysThatAreNoNumbersAreRefusedAndAHumanIsPreferredToALargerRig) {
    SceneFigure figure;
    const float nan = std::nanf("");
    const std::pair<const char*, std::function<void(aiNodeAnim&)>> spoil[] = {
        {"rotation", [&](aiNodeAnim& c) { c.mRotationKeys[3].mValue.x = nan; }},
        {"zero rotation", [&](aiNodeAnim& c) { c.mRotationKeys[2].mValue = aiQuaternion(0, 0, 0, 0); }},
        {"position", [&](aiNodeAnim& c) { c.mPositionKeys[1].mValue.z = INFINITY; }},
        {"time", [&](aiNodeAnim& c) { c.mRotationKeys[4].mTime = nan; }},
    };
    for (const auto& [label, change] : spoil) {
        SCOPED_TRACE(label);
        std::unique_ptr<aiScene> spoilt = figure.Scene(false);
        change(*spoilt->mAnimations[0]->mChannels[5]);
        try {
            SCENEFILEREAD read(*spoilt, "", nullptr);
            ADD_FAILURE() << "read";
        } catch (const ERROBJ& e) {
            EXPECT_EQ(e.code, ERR_CORRUPTED);
            EXPECT_STREQ(e.detail, ("take Walk: a key of " + figure.joints[5].name +
                                    " is not a number").c_str());
        }
    }

    // A tail of more joints than the figure has, under a root of its own.
    for (int k = 0; k < 30; ++k) {
        figure.joints.push_back({"Tail" + std::to_string(k), k ? int(figure.joints.size()) - 1 : -1,
                                 {0, 10, 0}, {1, 0, 0}, 0.2f, 0.1f * k});
    }
    testing::TempDir dir;
    const CSkeletonMapper::Result r =
        CMotionImport::ImportFile(Exported(dir, "two.glb", figure), {}, 60);
    ASSERT_TRUE(r.motion) << r.message;
    EXPECT_EQ(r.message, "the file holds 2 skeletons; the one under Hips (21 joints) was taken");
    EXPECT_LT(WorstLimbAngle(*r.motion, figure, figure.takes[0], ""), 1.0f);
}

// A COLLADA document whose node "n" (placed, then turned a quarter about Z) is moved along X
// by one curve; tangents have `dims` numbers a key (time and value, or value alone).
std::string CurveDocument(const std::vector<double>& times, const std::vector<double>& values,
                          const std::vector<std::string>& how, const std::vector<double>& in,
                          const std::vector<double>& out, int dims) {
    std::ostringstream o;
    o.precision(17);
    const auto floats = [&](const char* id, const std::vector<double>& v, int stride) {
        o << "<source id=\"" << id << "\"><float_array id=\"" << id << "-a\" count=\"" << v.size()
          << "\">";
        for (double x : v) o << x << ' ';
        o << "</float_array><technique_common><accessor source=\"#" << id << "-a\" count=\""
          << v.size() / size_t(stride) << "\" stride=\"" << stride
          << "\"/></technique_common></source>";
    };
    o << "<?xml version=\"1.0\"?><COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" "
         "version=\"1.4.1\"><library_animations><animation id=\"a\">";
    floats("in", times, 1), floats("out", values, 1), floats("it", in, dims),
        floats("ot", out, dims);
    o << "<source id=\"how\"><Name_array id=\"how-a\" count=\"" << how.size() << "\">";
    for (const std::string& word : how) o << word << ' ';
    o << "</Name_array></source><sampler id=\"s\"><input semantic=\"INPUT\" source=\"#in\"/>"
         "<input semantic=\"OUTPUT\" source=\"#out\"/><input semantic=\"IN_TANGENT\" "
         "source=\"#it\"/>"
         "<input semantic=\"OUT_TANGENT\" source=\"#ot\"/><input semantic=\"INTERPOLATION\" "
         "source=\"#how\"/></sampler><channel source=\"#s\" target=\"n/t.X\"/></animation>"
         "</library_animations><library_visual_scenes><visual_scene id=\"v\"><node id=\"n\">"
         "<translate sid=\"t\">0 2 0</translate><rotate sid=\"r\">0 0 1 90</rotate></node>"
         "</visual_scene></library_visual_scenes></COLLADA>";
    return o.str();
}

// Each span of a curve follows its first key's interpolation, checked over random keys against
// the textbook form of each: a Bezier curve drawn on a grid, Hermite's basis, lines and steps.
// A curve whose parts do not fit together is dropped.
TEST(ColladaFile, EachSpanOfACurveFollowsItsKeysInterpolation) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0, 1), size(-50, 50);
    const char* const kinds[] = {"BEZIER", "HERMITE", "LINEAR", "STEP"};
    testing::TempDir dir;
    const std::string path = dir / "curve.dae";
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const int dims = 1 + round % 2;
        const bool broken = round == 39;
        const std::vector<double> times{0, 0.5 + 1.5 * unit(random), 2.5 + unit(random)};
        std::vector<double> values, in, out, inAt(3), outAt(3), inValue(3), outValue(3);
        std::vector<std::string> how;
        for (int k = 0; k < 3; ++k) {
            values.push_back(size(random));
            how.push_back(kinds[random() % 4]);
            // A tangent serves the span on its side: Bezier's is a point on the curve's hull
            // (anywhere within the span in time), Hermite's a rate (its time is the span's).
            const double before = k > 0 ? times[k] - times[k - 1] : 1,
                         after = k < 2 ? times[k + 1] - times[k] : 1;
            const bool inBezier = k > 0 && how[k - 1] == "BEZIER", outBezier = how[k] == "BEZIER";
            inAt[k] = times[k] - (dims == 2 && inBezier ? unit(random) : 1.0 / 3) * before;
            outAt[k] = times[k] + (dims == 2 && outBezier ? unit(random) : 1.0 / 3) * after;
            inValue[k] = size(random), outValue[k] = size(random);
            if (dims == 2) {
                in.insert(in.end(), {inBezier ? inAt[k] : before, inValue[k]});
                out.insert(out.end(), {outBezier ? outAt[k] : after, outValue[k]});
            } else {
                in.push_back(inValue[k]), out.push_back(outValue[k]);
            }
        }
        if (broken) in.pop_back();
        testing::WriteText(path, CurveDocument(times, values, how, in, out, dims));
        const COLLADAFILE file = ReadColladaFile(path.c_str());
        const bool curved = std::any_of(how.begin(), how.end() - 1, [](const std::string& w) {
            return w == "BEZIER" || w == "HERMITE";
        });
        const auto node = file.curvedNodes.find("n");
        if (!curved || broken) {
            EXPECT_TRUE(node == file.curvedNodes.end() || node->second.curves.empty());
            continue;
        }
        ASSERT_NE(node, file.curvedNodes.end());
        ASSERT_EQ(node->second.curves.size(), 1u);
        for (double t = -0.5; t < 4; t += 0.01) {
            double expected = values[t <= 0 ? 0 : 2];
            const size_t k = t < times[1] ? 0 : 1;
            if (t > 0 && t < times[2]) {
                const double span = times[k + 1] - times[k], s = (t - times[k]) / span;
                const double v0 = values[k], v1 = values[k + 1];
                if (how[k] == "STEP") expected = v0;
                if (how[k] == "LINEAR") expected = v0 + (v1 - v0) * s;
                if (how[k] == "HERMITE") {
                    expected = (2 * s * s * s - 3 * s * s + 1) * v0 +
                               (s * s * s - 2 * s * s + s) * outValue[k] +
                               (-2 * s * s * s + 3 * s * s) * v1 +
                               (s * s * s - s * s) * inValue[k + 1];
                }
                if (how[k] == "BEZIER") {
                    const double x[4] = {times[k], outAt[k], inAt[k + 1], times[k + 1]};
                    const double y[4] = {v0, outValue[k], inValue[k + 1], v1};
                    expected = SceneFigure::BezierByGrid(x, y, t);
                }
            }
            std::array<double, 16> m;
            ASSERT_TRUE(COLLADAFILE::CURVEDNODE::MatrixAt(node->second.elements,
                                                          {&node->second.curves[0]}, t, &m));
            ASSERT_NEAR(m[3], expected, 1e-3) << how[k] << " at " << t;
            ASSERT_NEAR(m[7], 2, 1e-9);   // placed before it turns
            ASSERT_NEAR(m[1], -1, 1e-9);  // turned a quarter about Z
        }
    }
}

// A curved joint laid out in a way the curves cannot be composed for (here a look-at among its
// elements) keeps the importer's keys, the other joints following their curves.
TEST(SceneFileRead, ACurvedJointNotUnderstoodKeepsTheImportersKeys) {
    SceneFigure figure;
    figure.takes = {{"Walk", 1.0, 4, 1.0f, false, false, true}};
    ColladaWriter::Style style{false, false};
    style.interpolation = "BEZIER";
    std::string curved = ColladaWriter::Text(figure, style);
    const size_t joint = curved.find("id=\"Armature_LeftForeArm\"");
    const size_t turn = curved.find("</rotate>", joint) + 9;
    ASSERT_NE(joint, std::string::npos);
    curved.insert(turn, "<lookat sid=\"look\">0 0 0 0.3 -1 0.2 0 0 1</lookat>");
    std::string straight = curved;
    for (size_t at; (at = straight.find(">BEZIER")) != std::string::npos;)
        straight.replace(at, 7, ">LINEAR");
    for (size_t at; (at = straight.find(" BEZIER")) != std::string::npos;)
        straight.replace(at, 7, " LINEAR");
    testing::TempDir dir;
    testing::WriteText(dir / "curved.dae", curved);
    testing::WriteText(dir / "straight.dae", straight);
    SCENEFILEREAD a((dir / "curved.dae").c_str()), b((dir / "straight.dae").c_str());
    const auto largest = [&](const char* name) {
        const auto& p = a.GetSegment(a.FindSegment(name))->frames;
        const auto& q = b.GetSegment(b.FindSegment(name))->frames;
        EXPECT_EQ(p.size(), q.size());
        float most = 0;
        for (size_t f = 0; f < std::min(p.size(), q.size()); ++f) {
            for (int i = 0; i < 16; ++i) most = std::max(most, std::fabs(p[f].m[i] - q[f].m[i]));
        }
        return most;
    };
    EXPECT_LT(largest("LeftForeArm"), 1e-5f);
    EXPECT_GT(largest("RightForeArm"), 0.05f);
}

}  // namespace
}  // namespace tavrel
