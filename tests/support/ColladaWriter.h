#pragma once
// A SceneFigure written as a COLLADA document the way other tools write them: Z up, centimetres,
// joints named by the tool but addressed by ids of their own, one animation (or clip) a take
// with LINEAR, STEP or BEZIER keys (the figure's curves; straight lines for what is no angle), and
// the body a skin whose joints are found by their sids. Assimp's COLLADA exporter is no help here:
// its importer does not read back its animations.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/SceneFigure.h"

namespace tavrel::testing {

class ColladaWriter {
public:
    struct Style {
        bool matrices =
            true;           // keys as whole matrices; else the root's place and each turn's angle
        bool skin = false;  // a body skinned to the joints
        std::string idPrefix = "Armature_";    // ids differ from the names people see
        const char* interpolation = "LINEAR";  // or STEP (each key held until the next), BEZIER
        bool clips = false;     // a channel an animation, and the takes as clips naming them
        bool nodeNames = true;  // joints named apart from their ids (else known by ids alone)
    };

    static bool Write(const SceneFigure& figure, const std::string& path, const Style& style) {
        std::ofstream out(path, std::ios::binary);
        out << Text(figure, style);
        return bool(out.flush());
    }

    static std::string Text(const SceneFigure& figure, const Style& style) {
        ColladaWriter w(figure, style);
        std::ostringstream& o = w.o_;
        o << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
             "<COLLADA xmlns=\"http://www.collada.org/2005/11/COLLADASchema\" version=\"1.4.1\">\n"
             "<asset><unit name=\"centimeter\" meter=\"0.01\"/><up_axis>Z_UP</up_axis></asset>\n";
        if (style.skin) w.Skin();
        w.Animations();
        o << "<library_visual_scenes><visual_scene id=\"Scene\" name=\"Scene\">\n"
             "<node id=\"Armature\" name=\"Armature\"><matrix sid=\"transform\">"
          << Floats(&w.up_.a1, 16) << "</matrix>\n";
        w.Joint(0);
        o << "</node>\n";
        if (style.skin) {
            o << "<node id=\"Body\" name=\"Body\"><instance_controller "
                 "url=\"#Body-skin\"><skeleton>#"
              << w.Id(0) << "</skeleton></instance_controller></node>\n";
        }
        o << "</visual_scene></library_visual_scenes>\n"
             "<scene><instance_visual_scene url=\"#Scene\"/></scene>\n</COLLADA>\n";
        return o.str();
    }

private:
    ColladaWriter(const SceneFigure& figure, const Style& style) : f_(figure), s_(style) {
        aiMatrix4x4::RotationX(1.5707964f, up_);  // the figure's Y up turned to Z up
    }

    static std::string Floats(const float* v, size_t n) {
        std::ostringstream o;
        o.precision(9);
        for (size_t i = 0; i < n; ++i) o << (i ? " " : "") << v[i];
        return o.str();
    }
    static std::string Vec(const aiVector3D& v) { return Floats(&v.x, 3); }
    // Ids are XML names: no colons, which joint names of some tools hold.
    std::string Id(size_t j) const {
        std::string id = s_.idPrefix + f_.joints[j].name;
        std::replace(id.begin(), id.end(), ':', '_');
        return id;
    }
    aiMatrix4x4 Rest(size_t j) const {
        aiMatrix4x4 m;
        return aiMatrix4x4::Translation(f_.joints[j].offset, m) * f_.Pre(j);
    }

    void Joint(size_t j) {
        const SceneFigure::Joint& joint = f_.joints[j];
        o_ << "<node id=\"" << Id(j) << "\"";
        if (s_.nodeNames) o_ << " name=\"" << joint.name << "\"";
        o_ << " sid=\"" << joint.name << "\" type=\"JOINT\">";
        if (s_.matrices) {
            const aiMatrix4x4 rest = Rest(j);
            o_ << "<matrix sid=\"transform\">" << Floats(&rest.a1, 16) << "</matrix>";
        } else {
            o_ << "<translate sid=\"location\">" << Vec(joint.offset) << "</translate>";
            if (joint.preRotated) {
                o_ << "<rotate sid=\"pre\">" << Vec(SceneFigure::PreAxis()) << " "
                   << SceneFigure::kPreAngle * 57.2957795 << "</rotate>";
            }
            o_ << "<rotate sid=\"turn\">" << Vec(joint.axis) << " 0</rotate>";
        }
        o_ << "\n";
        for (size_t c = 0; c < f_.joints.size(); ++c) {
            if (f_.joints[c].parent == int(j)) Joint(c);
        }
        o_ << "</node>\n";
    }

    // One float source; params name the values of one element (one name for a matrix).
    void Source(const std::string& id, const std::vector<float>& values, size_t stride,
                const std::vector<std::string>& params, const char* type = "float") {
        o_ << "<source id=\"" << id << "\"><float_array id=\"" << id << "-array\" count=\""
           << values.size() << "\">" << Floats(values.data(), values.size())
           << "</float_array><technique_common><accessor source=\"#" << id << "-array\" count=\""
           << values.size() / stride << "\" stride=\"" << stride << "\">";
        for (const std::string& p : params)
            o_ << "<param name=\"" << p << "\" type=\"" << type << "\"/>";
        o_ << "</accessor></technique_common></source>\n";
    }

    // Bezier handles (time, value) a third of the way to the neighbouring keys: straight lines.
    static void ChordHandles(const std::vector<float>& times, const std::vector<float>& values,
                             std::vector<float>* in, std::vector<float>* out) {
        const size_t n = values.size() / times.size(), last = times.size() - 1;
        for (size_t k = 0; k <= last; ++k) {
            const size_t before = k ? k - 1 : k, after = std::min(k + 1, last);
            for (size_t c = 0; c < n; ++c) {
                const float v = values[k * n + c];
                in->insert(in->end(), {times[k] - (times[k] - times[before]) / 3,
                                       v - (v - values[before * n + c]) / 3});
                out->insert(out->end(), {times[k] + (times[after] - times[k]) / 3,
                                         v + (values[after * n + c] - v) / 3});
            }
        }
    }

    // One channel; for BEZIER keys with the handles given, else straight between keys.
    void Animation(const std::string& id, const std::string& target,
                   const std::vector<float>& times, const std::vector<float>& values,
                   const std::vector<std::string>& params, const char* type,
                   std::vector<float> in = {}, std::vector<float> out = {}) {
        const size_t stride = values.size() / times.size();
        const bool bezier = std::string(s_.interpolation) == "BEZIER";
        o_ << "<animation id=\"" << id << "\">\n";
        Source(id + "-input", times, 1, {"TIME"});
        Source(id + "-output", values, stride, params, type);
        if (bezier) {
            if (in.empty()) ChordHandles(times, values, &in, &out);
            std::vector<std::string> plane;
            for (size_t c = 0; c < stride; ++c) plane.insert(plane.end(), {"X", "Y"});
            Source(id + "-intangent", in, 2 * stride, plane);
            Source(id + "-outtangent", out, 2 * stride, plane);
        }
        o_ << "<source id=\"" << id << "-interpolation\"><Name_array id=\"" << id
           << "-interpolation-array\" count=\"" << times.size() << "\">";
        for (size_t k = 0; k < times.size(); ++k) o_ << (k ? " " : "") << s_.interpolation;
        o_ << "</Name_array><technique_common><accessor source=\"#" << id
           << "-interpolation-array\" count=\"" << times.size()
           << "\" stride=\"1\"><param name=\"INTERPOLATION\" type=\"name\"/></accessor>"
              "</technique_common></source>\n<sampler id=\""
           << id << "-sampler\"><input semantic=\"INPUT\" source=\"#" << id
           << "-input\"/><input semantic=\"OUTPUT\" source=\"#" << id
           << "-output\"/><input semantic=\"INTERPOLATION\" source=\"#" << id
           << "-interpolation\"/>";
        if (bezier) {
            o_ << "<input semantic=\"IN_TANGENT\" source=\"#" << id
               << "-intangent\"/><input semantic=\"OUT_TANGENT\" source=\"#" << id
               << "-outtangent\"/>";
        }
        o_ << "</sampler><channel source=\"#" << id << "-sampler\" target=\"" << target
           << "\"/>\n</animation>\n";
    }

    // One animation a take, holding a channel a joint (and the root's place), as tools that
    // export several actions write them; or each channel an animation of its own, and the takes
    // clips that name them.
    void Animations() {
        std::ostringstream clips;
        o_ << "<library_animations>\n";
        for (const SceneFigure::Take& take : f_.takes) {
            if (s_.clips) {
                clips << "<animation_clip id=\"" << take.name << "-clip\" name=\"" << take.name
                      << "\" start=\"0\" end=\"" << take.seconds << "\">";
            } else {
                o_ << "<animation id=\"" << take.name << "\" name=\"" << take.name << "\">\n";
            }
            // Keys are posed at their exact times: a time rounded to a float may fall before
            // the key it names, and a step would then hold the key before.
            std::vector<double> seconds;
            for (unsigned k = 0; k < SceneFigure::KeyCount(take); ++k)
                seconds.push_back(k / take.keysPerSecond);
            const std::vector<float> times(seconds.begin(), seconds.end());
            for (size_t j = 0; j < f_.joints.size(); ++j) {
                const std::string id = take.name + "_" + Id(j);
                std::vector<float> values;
                if (s_.matrices) {
                    for (double t : seconds) {
                        const aiMatrix4x4 m = f_.LocalAt(j, take, t);
                        values.insert(values.end(), &m.a1, &m.a1 + 16);
                    }
                    Animation(id, Id(j) + "/transform", times, values, {"TRANSFORM"}, "float4x4");
                    clips << "<instance_animation url=\"#" << id << "\"/>";
                    continue;
                }
                std::vector<float> in, out;
                for (size_t k = 0; k < seconds.size(); ++k) {
                    values.push_back(f_.AngleAt(int(j), take, seconds[k]) * 57.2957795f);
                    if (!take.bezier) continue;
                    const auto h = f_.BezierHandles(int(j), take, double(k));
                    in.insert(in.end(), {float(h.inTime), float(h.inAngle * 57.2957795)});
                    out.insert(out.end(), {float(h.outTime), float(h.outAngle * 57.2957795)});
                }
                Animation(id, Id(j) + "/turn.ANGLE", times, values, {"ANGLE"}, "float", in, out);
                clips << "<instance_animation url=\"#" << id << "\"/>";
                if (j != 0) continue;
                values.clear();
                for (double t : seconds) {
                    const aiVector3D at = f_.RootAt(take, t);
                    values.insert(values.end(), &at.x, &at.x + 3);
                }
                Animation(id + "_location", Id(j) + "/location", times, values, {"X", "Y", "Z"},
                          "float");
                clips << "<instance_animation url=\"#" << id << "_location\"/>";
            }
            if (s_.clips) {
                clips << "</animation_clip>\n";
            } else {
                o_ << "</animation>\n";
            }
        }
        o_ << "</library_animations>\n";
        if (s_.clips)
            o_ << "<library_animation_clips>\n" << clips.str() << "</library_animation_clips>\n";
    }

    // One triangle a joint, held by that joint alone, bound in the rest pose.
    void Skin() {
        const size_t n = f_.joints.size();
        std::vector<aiMatrix4x4> world(n);
        std::vector<float> positions, inverses, weights{1.0f};
        std::string names, counts, pairs, corners;
        for (size_t j = 0; j < n; ++j) {
            const int parent = f_.joints[j].parent;
            world[j] = (parent < 0 ? up_ : world[size_t(parent)]) * Rest(j);
            const aiVector3D at(world[j].a4, world[j].b4, world[j].c4);
            for (const aiVector3D& v : {at, at + aiVector3D(1, 0, 0), at + aiVector3D(0, 1, 0)}) {
                positions.insert(positions.end(), &v.x, &v.x + 3);
                pairs += std::to_string(j) + " 0 ";
                counts += "1 ";
            }
            for (size_t c = 0; c < 3; ++c) corners += std::to_string(3 * j + c) + " ";
            const aiMatrix4x4 inverse = aiMatrix4x4(world[j]).Inverse();
            inverses.insert(inverses.end(), &inverse.a1, &inverse.a1 + 16);
            names += (j ? " " : "") + f_.joints[j].name;
        }
        o_ << "<library_geometries><geometry id=\"Body-mesh\" name=\"Body\"><mesh>\n";
        Source("Body-positions", positions, 3, {"X", "Y", "Z"});
        o_ << "<vertices id=\"Body-vertices\"><input semantic=\"POSITION\" "
              "source=\"#Body-positions\"/>"
              "</vertices><triangles count=\""
           << n << "\"><input semantic=\"VERTEX\" source=\"#Body-vertices\" offset=\"0\"/><p>"
           << corners << "</p></triangles>\n</mesh></geometry></library_geometries>\n"
           << "<library_controllers><controller id=\"Body-skin\"><skin source=\"#Body-mesh\">"
              "<bind_shape_matrix>1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</bind_shape_matrix>\n"
              "<source id=\"Body-joints\"><Name_array id=\"Body-joints-array\" count=\""
           << n << "\">" << names
           << "</Name_array><technique_common><accessor source=\"#Body-joints-array\" count=\"" << n
           << "\" stride=\"1\"><param name=\"JOINT\" type=\"name\"/></accessor></technique_common>"
              "</source>\n";
        Source("Body-bind", inverses, 16, {"TRANSFORM"}, "float4x4");
        Source("Body-weights", weights, 1, {"WEIGHT"});
        o_ << "<joints><input semantic=\"JOINT\" source=\"#Body-joints\"/><input "
              "semantic=\"INV_BIND_MATRIX\" source=\"#Body-bind\"/></joints>\n"
              "<vertex_weights count=\""
           << 3 * n
           << "\"><input semantic=\"JOINT\" source=\"#Body-joints\" offset=\"0\"/><input "
              "semantic=\"WEIGHT\" source=\"#Body-weights\" offset=\"1\"/><vcount>"
           << counts << "</vcount><v>" << pairs
           << "</v></vertex_weights>\n</skin></controller></library_controllers>\n";
    }

    const SceneFigure& f_;
    const Style& s_;
    aiMatrix4x4 up_;
    std::ostringstream o_;
};

}  // namespace tavrel::testing
