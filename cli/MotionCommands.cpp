// info, convert, pose and edit: the motion-file commands of tavrel-cli.
#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>

#include "AnimRead/ErrObj.h"
#include "AnimRead/SceneFileRead/SceneImport.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "motion/AnimFileFactory.h"
#include "motion/Motion.h"
#include "motion/MotionImport.h"
#include "motion/Quaternion.h"
#include "motion/SkeletonMapper.h"
#include "motion/TransitionMatch.h"

namespace tavrel::cli {
namespace {

namespace fs = std::filesystem;

// Positional arguments and the flags the motion commands know.
struct Parsed {
    Args positional;
    bool json = false;
    bool absolute = false;
    std::optional<std::string> frame;
    std::string unknown;  // the first unknown option, if any
};

Parsed Parse(const Args& args) {
    Parsed p;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            p.json = true;
        } else if (a == "--absolute") {
            p.absolute = true;
        } else if (a == "--frame" && i + 1 < args.size()) {
            p.frame = args[++i];
        } else if (a.size() > 2 && a.compare(0, 2, "--") == 0 && p.unknown.empty()) {
            p.unknown = a;
        } else {
            p.positional.push_back(a);
        }
    }
    return p;
}

template <typename T>
bool ParseNumber(const std::string& text, T* value) {
    const char* end = text.data() + text.size();
    auto [ptr, error] = std::from_chars(text.data(), end, *value);
    return error == std::errc() && ptr == end;
}

const char* TypeName(int type) {
    switch (type) {
        case kTypeCHA:
            return "CHA";
        case kTypeCHB:
            return "CHB";
        case kTypeHTR:
            return "HTR";
        case kTypeBVH:
            return "BVH";
        case kTypeScene:
            return "scene";
        default:
            return "unknown";
    }
}

void PrintError(std::ostream& err, const std::string& path, const ERROBJ& e) {
    err << "error: " << path << ": code " << e.code << ": " << e.GetText();
    if (e.detail[0]) err << ": " << e.detail;
    err << '\n';
}

void PrintNotMotion(std::ostream& err, const std::string& path) {
    err << "error: " << path
        << ": not a motion file (expected .cha, .chb, .htr, .bvh, .fbx, .gltf, .glb or .dae)\n";
}

// Reads a motion file's head, reporting a failure the way the readers name it. The frames are
// read only when they are asked for (a scene file's take is read whole).
std::unique_ptr<ANIMFILE> ReadHead(const std::string& path, std::ostream& err,
                                   const std::string& take = {}) {
    const int type = MotionFileTypeOf(path);
    if (type == kTypeUnknown) {
        PrintNotMotion(err, path);
        return nullptr;
    }
    try {
        return OpenAnimFile(path.c_str(), type, 0, take);
    } catch (const ERROBJ& e) {
        PrintError(err, path, e);
    } catch (const std::exception& e) {
        err << "error: " << path << ": " << e.what() << '\n';
    }
    return nullptr;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::equivalent(a, b, error)) return true;
    return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

void PrintInfoText(const ANIMFILE& motion, int type, float* lengths, std::ostream& out) {
    auto& m = const_cast<ANIMFILE&>(motion);
    out << "type: " << TypeName(type) << "\nframeRate: " << m.GetFrameRate()
        << "\nbeginFrame: " << m.GetBeginFrame() << "\nendFrame: " << m.GetEndFrame()
        << "\nframeCount: " << (int64_t(m.GetEndFrame()) - m.GetBeginFrame() + 1)
        << "\nsegments: " << m.GetSegmentCount() << '\n';
    for (int32_t i = 0; i < m.GetSegmentCount(); ++i) {
        const ANIMSEG* s = m.GetSegment(i);
        char length[32];
        std::snprintf(length, sizeof length, "%.3f", lengths[i]);
        out << "segment " << i << ' ' << s->name << " parent "
            << (s->parent >= 0 ? m.GetSegment(s->parent)->name : "-") << " length " << length
            << '\n';
    }
}

void PrintInfoJson(const ANIMFILE& motion, int type, float* lengths, std::ostream& out) {
    auto& m = const_cast<ANIMFILE&>(motion);
    JsonWriter json(out);
    json.BeginObject();
    json.Key("type").String(TypeName(type));
    json.Key("frameRate").Int(m.GetFrameRate());
    json.Key("beginFrame").Int(m.GetBeginFrame());
    json.Key("endFrame").Int(m.GetEndFrame());
    json.Key("frameCount").Int(int64_t(m.GetEndFrame()) - m.GetBeginFrame() + 1);
    json.Key("segments").BeginArray();
    for (int32_t i = 0; i < m.GetSegmentCount(); ++i) {
        const ANIMSEG* s = m.GetSegment(i);
        json.BeginObject().Key("index").Int(i).Key("name").String(s->name).Key("parent");
        if (s->parent >= 0) {
            json.String(m.GetSegment(s->parent)->name);
        } else {
            json.Null();
        }
        json.Key("length").Number(lengths[i]).EndObject();
    }
    json.EndArray().EndObject().Finish();
}

void PrintPose(ANIMFILE& m, int32_t frame, bool asJson, std::ostream& out) {
    m.GetFrame(frame);
    // Every tree of the motion: a file may name several roots, and a segment whose parent it
    // does not know hangs from nothing.
    for (int32_t i = 0; i < m.GetSegmentCount(); ++i) {
        rkNode* node = m.GetSegment(i)->node;
        if (node->parent) continue;
        node->flags |= RK_NODE_CHANGED;
        rkUpdateNode(node);
    }
    JsonWriter json(out);
    if (asJson) json.BeginObject().Key("frame").Int(frame).Key("segments").BeginArray();
    if (!asJson) out << "frame: " << frame << '\n';
    for (int32_t i = 0; i < m.GetSegmentCount(); ++i) {
        const rkNode* node = m.GetSegment(i)->node;
        const Quat q = MatrixToQuat(node->local);
        if (asJson) {
            json.BeginObject().Key("name").String(node->name).Key("local").BeginArray();
            for (float e : node->local.m) json.Number(e);
            json.EndArray().Key("quat").BeginArray();
            json.Number(q.w).Number(q.x).Number(q.y).Number(q.z).EndArray();
            json.Key("world").BeginArray();
            json.Number(node->world.m[12]).Number(node->world.m[13]).Number(node->world.m[14]);
            json.EndArray().EndObject();
            continue;
        }
        char line[512];
        int n = std::snprintf(line, sizeof line, "%s local", node->name);
        for (float e : node->local.m) n += std::snprintf(line + n, sizeof line - n, " %.6f", e);
        std::snprintf(line + n, sizeof line - n, " quat %.6f %.6f %.6f %.6f world %.3f %.3f %.3f",
                      q.w, q.x, q.y, q.z, node->world.m[12], node->world.m[13], node->world.m[14]);
        out << line << '\n';
    }
    if (asJson) json.EndArray().EndObject().Finish();
}

// A scene file holds takes rather than one motion: info lists them.
int PrintTakes(const std::string& path, bool asJson, std::ostream& out, std::ostream& err) {
    std::vector<SCENEFILEREAD::TAKE> takes;
    try {
        takes = ImportSceneTakes(path);
    } catch (const ERROBJ& e) {
        PrintError(err, path, e);
        return kExitFailed;
    }
    std::string type = fs::path(path).extension().string().substr(1);
    for (char& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (asJson) {
        JsonWriter json(out);
        json.BeginObject().Key("type").String(type).Key("takes").BeginArray();
        for (const auto& take : takes) {
            json.BeginObject().Key("name").String(take.name).Key("seconds").Number(take.seconds);
            json.EndObject();
        }
        json.EndArray().EndObject().Finish();
        return kExitOk;
    }
    out << "type: " << type << "\ntakes: " << takes.size() << '\n';
    for (const auto& take : takes) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", take.seconds);
        out << "take " << seconds << ' ' << take.name << '\n';
    }
    return kExitOk;
}

}  // namespace

int RunInfoCommand(const Args& args, std::ostream& out, std::ostream& err) {
    const Parsed p = Parse(args);
    if (!p.unknown.empty()) return Usage(err, "info", "unknown option " + p.unknown);
    if (p.positional.size() != 1) return Usage(err, "info", "expects one FILE");
    if (MotionFileTypeOf(p.positional[0]) == kTypeScene)
        return PrintTakes(p.positional[0], p.json, out, err);
    auto motion = ReadHead(p.positional[0], err);  // the head holds all info prints
    if (!motion) return kExitFailed;
    std::unique_ptr<ANIMSEGLENGTH[]> table;
    const int32_t count = motion->GetSegmentLengths(table);
    std::vector<float> lengths(count);
    for (int32_t i = 0; i < count; ++i) lengths[i] = table[i].length;
    const int type = MotionFileTypeOf(p.positional[0]);
    if (p.json) {
        PrintInfoJson(*motion, type, lengths.data(), out);
    } else {
        PrintInfoText(*motion, type, lengths.data(), out);
    }
    return kExitOk;
}

namespace {

// The plants of a motion on another skeleton: it is mapped onto ours frame for frame at its own
// rate, so the frames counted are the file's. A figure that is not a human has none.
std::optional<FootContacts> MappedContacts(const std::string& path, int* frameCount,
                                           std::ostream& err) {
    CSkeletonMapper::Result mapped = CMotionImport::ImportFile(path, {}, 0);
    if (!mapped.motion && mapped.message.starts_with("not a human figure")) return FootContacts();
    if (!mapped.motion) {
        err << "error: " << path << ": " << mapped.message << '\n';
        return std::nullopt;
    }
    ANIMFILE& motion = *mapped.motion;
    const int first = motion.GetBeginFrame();
    *frameCount = motion.GetEndFrame() - first + 1;
    return FindFootContacts(
        *frameCount, [&](int i) { return motion.GetFrame(first + i); }, motion.GetFrameRate());
}

void PrintContacts(const FootContacts& contacts, int frameCount, bool asJson, std::ostream& out) {
    static constexpr const char* kSides[2] = {"left", "right"};
    JsonWriter json(out);
    if (asJson) json.BeginObject().Key("frameCount").Int(frameCount);
    if (!asJson) out << "frameCount: " << frameCount << '\n';
    for (int side = 0; side < 2; ++side) {
        if (asJson) json.Key(kSides[side]).BeginArray();
        for (const FootPlant& plant : contacts.Plants(side)) {
            if (asJson) {
                json.BeginObject().Key("first").Int(plant.first).Key("last").Int(plant.last);
                json.EndObject();
            } else {
                out << kSides[side] << ' ' << plant.first << ' ' << plant.last << '\n';
            }
        }
        if (asJson) json.EndArray();
    }
    if (asJson) json.EndObject().Finish();
}

}  // namespace

int RunContactsCommand(const Args& args, std::ostream& out, std::ostream& err) {
    const Parsed p = Parse(args);
    if (!p.unknown.empty()) return Usage(err, "contacts", "unknown option " + p.unknown);
    if (p.positional.size() != 1) return Usage(err, "contacts", "expects one FILE");
    const std::string& path = p.positional[0];
    const auto head = ReadHead(path, err);
    if (!head) return kExitFailed;
    if (!CMotionImport::HasStandardSkeleton(*head)) {
        int frameCount = head->GetEndFrame() - head->GetBeginFrame() + 1;
        const auto contacts = MappedContacts(path, &frameCount, err);
        if (!contacts) return kExitFailed;
        PrintContacts(*contacts, frameCount, p.json, out);
        return kExitOk;
    }
    CMotion motion(path, 0);
    const FootContacts& contacts = motion.GetFootContacts();
    if (!motion.HasData()) {
        err << "error: " << (motion.GetReadError().empty() ? path : motion.GetReadError()) << '\n';
        return kExitFailed;
    }
    PrintContacts(contacts, motion.GetLength(), p.json, out);
    return kExitOk;
}

// Checks that OUT is a writable motion type and not IN; returns its write format or -1.
int OutputFormat(const std::string& in, const std::string& target, std::ostream& err) {
    const int format = WriteFormatOf(MotionFileTypeOf(target));
    if (format < 0) {
        err << "error: " << target << ": can only write .cha, .chb or .bvh files\n";
    } else if (SameFile(in, target)) {
        err << "error: " << target << ": refusing to overwrite the input file\n";
        return -1;
    }
    return format;
}

// Written beside the target first (StreamAs replaces it only once complete), so a failed write
// never leaves half a file under its name. Frames still in the input file go from reader to
// writer one at a time, never all in memory.
bool WriteReplacing(ANIMFILE& motion, const std::string& in, const std::string& target, int format,
                    std::ostream& err) {
    try {
        if (!motion.StreamAs(target.c_str(), format)) {
            err << "error: " << target << ": cannot be written\n";
            return false;
        }
    } catch (const ERROBJ& e) {
        PrintError(err, e.code == ERR_WRITE ? target : in, e);
        return false;
    } catch (const std::exception& e) {
        err << "error: " << in << ": " << e.what() << '\n';
        return false;
    }
    return true;
}

int RunConvertCommand(const Args& args, std::ostream& out, std::ostream& err) {
    const Parsed p = Parse(args);
    if (!p.unknown.empty()) return Usage(err, "convert", "unknown option " + p.unknown);
    if (p.positional.size() != 2) return Usage(err, "convert", "expects IN and OUT");
    const std::string& in = p.positional[0];
    const std::string& target = p.positional[1];
    const int format = OutputFormat(in, target, err);
    if (format < 0) return kExitFailed;
    auto motion = ReadHead(in, err);
    if (!motion || !WriteReplacing(*motion, in, target, format, err)) return kExitFailed;
    out << "wrote " << target << '\n';
    return kExitOk;
}

int RunImportCommand(const Args& args, std::ostream& out, std::ostream& err) {
    Args rest;
    int fps = 0;
    std::string mapFile, take;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--fps" && i + 1 < args.size()) {
            if (!ParseNumber(args[++i], &fps) || (fps != 30 && fps != 60))
                return Usage(err, "import", "--fps is 30 or 60");
        } else if (args[i] == "--map" && i + 1 < args.size()) {
            mapFile = args[++i];
        } else if (args[i] == "--take" && i + 1 < args.size()) {
            take = args[++i];
        } else {
            rest.push_back(args[i]);
        }
    }
    const Parsed p = Parse(rest);
    if (!p.unknown.empty()) return Usage(err, "import", "unknown option " + p.unknown);
    if (p.positional.size() != 2) return Usage(err, "import", "expects IN and OUT");
    const std::string& in = p.positional[0];
    const std::string& target = p.positional[1];
    const int format = OutputFormat(in, target, err);
    if (format < 0) return kExitFailed;
    CSkeletonMapper::Overrides overrides;
    std::string problem;
    if (!mapFile.empty() && !CSkeletonMapper::ReadOverrides(mapFile, &overrides, &problem)) {
        err << "error: " << mapFile << ": " << problem << '\n';
        return kExitFailed;
    }
    if (!take.empty() && MotionFileTypeOf(in) != kTypeScene)
        return Usage(err, "import", "--take is for scene files (.fbx, .gltf, .glb, .dae)");
    auto source = ReadHead(in, err, take);
    if (!source) return kExitFailed;
    CSkeletonMapper::Result mapped = CMotionImport::Import(*source, overrides, fps);
    if (!mapped.motion) {
        err << "error: " << in << ": " << mapped.message << '\n';
        return kExitFailed;
    }
    if (!WriteReplacing(*mapped.motion, in, target, format, err)) return kExitFailed;
    const auto* scene = dynamic_cast<const SCENEFILEREAD*>(source.get());
    const std::string note = CMotionImport::SkeletonNote(*source);
    if (p.json) {
        JsonWriter w(out);
        w.BeginObject().Key("unit").String(mapped.unit).Key("scale").Number(mapped.scale);
        if (scene) w.Key("take").String(scene->GetTakeName());
        if (!note.empty()) w.Key("note").String(note);
        w.Key("upAxis").String(std::string(1, mapped.upAxis)).Key("segments").BeginObject();
        for (int32_t s = 0; s < kStandardSegmentCount; ++s) {
            w.Key(kStandardSkeleton[s].name);
            const int32_t joint = mapped.joints[s];
            joint >= 0 ? w.String(source->GetSegment(joint)->name) : w.Null();
        }
        w.EndObject().Key("unmapped").BeginArray();
        for (const std::string& name : mapped.unmapped) w.String(name);
        w.EndArray()
            .Key("frameRate")
            .Int(mapped.motion->GetFrameRate())
            .Key("output")
            .String(target)
            .EndObject();
        w.Finish();
        return kExitOk;
    }
    if (scene) out << "take: " << scene->GetTakeName() << '\n';
    if (!note.empty()) out << "note: " << note << '\n';
    out << "unit: " << mapped.unit << " (scale " << mapped.scale << ")\nupAxis: " << mapped.upAxis
        << '\n';
    for (int32_t s = 0; s < kStandardSegmentCount; ++s) {
        const int32_t joint = mapped.joints[s];
        out << "segment " << kStandardSkeleton[s].name << " <- "
            << (joint >= 0 ? source->GetSegment(joint)->name : "-") << '\n';
    }
    out << "unmapped:";
    for (const std::string& name : mapped.unmapped) out << ' ' << name;
    out << "\nframeRate: " << mapped.motion->GetFrameRate() << "\nwrote " << target << '\n';
    return kExitOk;
}

int RunPoseCommand(const Args& args, std::ostream& out, std::ostream& err) {
    const Parsed p = Parse(args);
    if (!p.unknown.empty()) return Usage(err, "pose", "unknown option " + p.unknown);
    int32_t frame = 0;
    if (p.positional.size() != 1 || !p.frame || !ParseNumber(*p.frame, &frame)) {
        return Usage(err, "pose", "expects FILE --frame N");
    }
    auto motion = ReadHead(p.positional[0], err);
    if (!motion) return kExitFailed;
    if (frame < motion->GetBeginFrame() || frame > motion->GetEndFrame()) {
        err << "error: frame " << frame << " lies outside " << motion->GetBeginFrame() << ".."
            << motion->GetEndFrame() << '\n';
        return kExitFailed;
    }
    motion->SetStreamMode(1);  // frames up to the one asked for are enough
    std::ostringstream text;
    try {
        PrintPose(*motion, frame, p.json, text);
    } catch (const ERROBJ& e) {
        PrintError(err, p.positional[0], e);  // the frames are read only now
        return kExitFailed;
    }
    out << text.str();
    return kExitOk;
}

// A motion for the match, or none with the reason on err.
std::unique_ptr<CMotion> OpenForMatch(const std::string& path, std::ostream& err) {
    if (!ReadHead(path, err)) return nullptr;
    auto motion = std::make_unique<CMotion>(path, 0);
    if (motion->GetLength() < 1 || !motion->GetPose(0)) {
        err << "error: " << (motion->GetReadError().empty() ? path : motion->GetReadError())
            << '\n';
        return nullptr;
    }
    return motion;
}

int RunMatchCommand(const Args& args, std::ostream& out, std::ostream& err) {
    const Parsed p = Parse(args);
    if (!p.unknown.empty()) return Usage(err, "match", "unknown option " + p.unknown);
    if (p.positional.size() != 2) return Usage(err, "match", "expects two files A B");
    const auto a = OpenForMatch(p.positional[0], err);
    const auto b = a ? OpenForMatch(p.positional[1], err) : nullptr;
    if (!b) return kExitFailed;
    std::string why;
    const TransitionPoint best = BestTransition(*a, *b, MatchLimits{}, &why);
    if (!best.Found()) {
        err << "error: no transition point: " << why << '\n';
        return kExitFailed;
    }
    if (p.json) {
        JsonWriter json(out);
        // clang-format off
        json.BeginObject()
            .Key("outgoing").Int(best.outgoing)
            .Key("incoming").Int(best.incoming)
            .Key("overlap").Int(best.overlap)
            .Key("distance").Number(best.distance)
            .EndObject()
            .Finish();
        // clang-format on
    } else {
        out << "outgoing " << best.outgoing << " incoming " << best.incoming << " overlap "
            << best.overlap << " distance " << best.distance << '\n';
    }
    return kExitOk;
}

}  // namespace tavrel::cli
