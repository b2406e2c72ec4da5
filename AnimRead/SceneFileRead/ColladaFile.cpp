#include "AnimRead/SceneFileRead/ColladaFile.h"

#include <libxml/xmlreader.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "base/SharedLibrary.h"

namespace tavrel {
namespace {

// The XML library's functions, opened on first use as the importer's are: few files need them.
#define TAVREL_XML_FUNCTIONS(X)     \
    X(xmlReaderForFile)             \
    X(xmlTextReaderRead)            \
    X(xmlTextReaderNodeType)        \
    X(xmlTextReaderConstLocalName)  \
    X(xmlTextReaderConstValue)      \
    X(xmlTextReaderMoveToAttribute) \
    X(xmlTextReaderMoveToElement)   \
    X(xmlTextReaderIsEmptyElement)  \
    X(xmlFreeTextReader)            \
    X(xmlReadFile)                  \
    X(xmlFreeDoc)                   \
    X(xmlDocGetRootElement)         \
    X(xmlUnlinkNode)                \
    X(xmlFreeNode)                  \
    X(xmlAddChild)                  \
    X(xmlBufferCreate)              \
    X(xmlNodeDump)                  \
    X(xmlBufferContent)             \
    X(xmlBufferLength)              \
    X(xmlBufferFree)                \
    X(xmlInitParser)

struct XMLLIBRARY {
#define TAVREL_DECLARE_FUNCTION(name) decltype(&::name) name = nullptr;
    TAVREL_XML_FUNCTIONS(TAVREL_DECLARE_FUNCTION)
#undef TAVREL_DECLARE_FUNCTION
};

const XMLLIBRARY* Xml() {
    static const std::unique_ptr<XMLLIBRARY> library = [] {
        auto table = SharedLibrary::Load<XMLLIBRARY>({"libxml2.so.2"},
                                                     [](SharedLibrary& files, XMLLIBRARY& table) {
                                                         bool found = true;
                                                         TAVREL_XML_FUNCTIONS(TAVREL_FIND_FUNCTION)
                                                         return found;
                                                     });
        // Its globals are set up once, before threads (the gallery's pictures) read with it.
        if (table) table->xmlInitParser();
        return table;
    }();
    return library.get();
}

// A reference within the file ("#id") as the id it names.
std::string Local(std::string url) {
    if (!url.empty() && url.front() == '#') url.erase(0, 1);
    return url;
}

bool AllSteps(const std::string& names) {
    std::istringstream words(names);
    std::string word;
    bool any = false;
    while (words >> word) {
        if (word != "STEP") return false;
        any = true;
    }
    return any;
}

// Numbers as the file writes them, whatever the locale; stops at the first that is none.
std::vector<double> Numbers(const std::string& text) {
    std::vector<double> out;
    const char* at = text.data();
    const char* end = at + text.size();
    while (true) {
        while (at < end && std::isspace(static_cast<unsigned char>(*at))) ++at;
        if (at == end) break;
        if (*at == '+') ++at;
        double value;
        const auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc() || !std::isfinite(value)) break;
        out.push_back(value);
        at = next;
    }
    return out;
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream words(text);
    std::vector<std::string> out;
    for (std::string word; words >> word;) out.push_back(word);
    return out;
}

// A channel's target: "node/sid", "node/sid.ANGLE", "node/sid.X" or "node/sid(3)".
struct TARGET {
    std::string sampler, node, sid, selector;
    std::vector<std::string> animations;  // those holding it, outermost first
};

// The value of an element a selector names: axis X, Y, Z then ANGLE for rotations, an index
// in brackets, a matrix's row and column in two; -1 for the whole element, -2 for what is not
// understood.
int Component(const std::string& selector) {
    if (selector.empty()) return -1;
    static const char* const kNames[] = {".X", ".Y", ".Z", ".ANGLE"};
    for (int i = 0; i < 4; ++i) {
        if (selector == kNames[i]) return i;
    }
    int index = 0, count = 0;
    for (const char* at = selector.data(); *at; ++at, ++count) {
        int part = -1;
        const auto [end, error] = std::from_chars(at + 1, selector.data() + selector.size(), part);
        if (*at != '(' || error != std::errc() || *end != ')' || part < 0 || part > 15 || count > 1)
            return -2;
        index = index * 4 + part;
        at = end;
    }
    return index > 15 ? -2 : index;
}

// What the file says of its channels, gathered in one pass whatever the order of its parts.
struct CHANNELS {
    std::unordered_map<std::string, std::string> nodeNames;       // id -> name, where given
    std::unordered_map<std::string, bool> steppingSources;        // Name_array source -> all STEP
    std::unordered_map<std::string, std::string> interpolations;  // sampler -> its source
    std::vector<std::pair<std::string, std::string>> targets;     // sampler, node id
    std::vector<std::pair<std::string, std::unordered_set<std::string>>> clips;  // animation ids
    // For curves: the animations' sources, the samplers' inputs, the channels and the nodes'
    // transform elements.
    std::unordered_map<std::string, std::string> floats, names;  // source -> its array's text
    std::unordered_map<std::string, int> strides;                // source -> accessor's stride
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> inputs;
    std::vector<TARGET> channels;
    std::unordered_map<std::string, std::vector<COLLADAFILE::CURVEDNODE::ELEMENT>> elements;
    // Every array's count as it says, and what every accessor reads of the array it names.
    std::unordered_map<std::string, uint64_t> arrayCounts;
    struct ACCESSOR {
        std::string array;
        uint64_t count, stride, offset;
    };
    std::vector<ACCESSOR> accessors;
};

// A count as the importer reads one: the digits in front, 0 for none.
uint64_t Count(const std::string& text) {
    uint64_t count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
    if (error == std::errc::result_out_of_range) return UINT64_MAX;
    return error == std::errc() ? count : 0;
}

bool IsTransform(const std::string& name) {
    return name == "translate" || name == "rotate" || name == "scale" || name == "matrix" ||
           name == "lookat" || name == "skew";
}

constexpr int kOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

class READER {
public:
    READER(const XMLLIBRARY& xml, const char* path)
        : xml_(xml), reader_(xml.xmlReaderForFile(path, nullptr, kOptions)) {}
    ~READER() {
        if (reader_) xml_.xmlFreeTextReader(reader_);
    }
    READER(const READER&) = delete;
    READER& operator=(const READER&) = delete;

    bool Read(CHANNELS& out) {
        if (!reader_) return false;
        std::string source, sampler, text, sid;
        std::vector<std::string> nodes, animations;  // the open ones, outermost first
        enum { NOTHING, NAMES, FLOATS, ELEMENT } reading = NOTHING;
        bool inAnimations = false, inSampler = false;
        int result;
        while ((result = xml_.xmlTextReaderRead(reader_)) == 1) {
            const int type = xml_.xmlTextReaderNodeType(reader_);
            if (type == XML_READER_TYPE_TEXT && reading != NOTHING) {
                text += Value();
                continue;
            }
            const std::string name = Name();
            if (type == XML_READER_TYPE_END_ELEMENT) {
                if (name == "Name_array" && reading == NAMES) {
                    out.steppingSources[source] = AllSteps(text);
                    out.names[source] = std::move(text);
                } else if (name == "float_array" && reading == FLOATS) {
                    out.floats[source] = std::move(text);
                } else if (reading == ELEMENT && IsTransform(name) && !nodes.empty()) {
                    out.elements[nodes.back()].push_back({name, sid, Numbers(text)});
                } else if (name == "node" && !nodes.empty()) {
                    nodes.pop_back();
                } else if (name == "animation" && !animations.empty()) {
                    animations.pop_back();
                } else if (name == "library_animations") {
                    inAnimations = false;
                } else if (name == "sampler") {
                    inSampler = false;
                }
                reading = NOTHING;
                text.clear();
                continue;
            }
            if (type != XML_READER_TYPE_ELEMENT) continue;
            const bool empty = xml_.xmlTextReaderIsEmptyElement(reader_);
            if (name.ends_with("_array"))
                out.arrayCounts[Attribute("id")] = Count(Attribute("count"));
            if (name == "node") {
                const std::string id = Attribute("id"), given = Attribute("name");
                if (!id.empty() && !given.empty()) out.nodeNames.emplace(id, given);
                if (!empty) nodes.push_back(id);
            } else if (IsTransform(name) && !nodes.empty()) {
                sid = Attribute("sid");
                text.clear();
                reading = ELEMENT;
                if (empty) out.elements[nodes.back()].push_back({name, sid, {}});
            } else if (name == "library_animations") {
                inAnimations = !empty;
            } else if (name == "animation") {
                if (!empty) animations.push_back(Attribute("id"));
            } else if (name == "source") {
                source = Attribute("id");
            } else if (name == "Name_array" || (name == "float_array" && inAnimations)) {
                text.clear();
                reading = empty ? NOTHING : name == "Name_array" ? NAMES : FLOATS;
            } else if (name == "accessor") {
                const std::string given = Attribute("stride");
                const uint64_t stride = given.empty() ? 1 : Count(given);
                out.strides[source] = int(std::clamp<uint64_t>(stride, 1, 1024));
                out.accessors.push_back({Local(Attribute("source")), Count(Attribute("count")),
                                         stride, Count(Attribute("offset"))});
            } else if (name == "sampler") {
                sampler = Attribute("id");
                inSampler = !empty;
            } else if (name == "input" && inSampler) {
                const std::string semantic = Attribute("semantic");
                out.inputs[sampler][semantic] = Local(Attribute("source"));
                if (semantic == "INTERPOLATION")
                    out.interpolations[sampler] = Local(Attribute("source"));
            } else if (name == "animation_clip") {
                const std::string given = Attribute("name");
                out.clips.emplace_back(given.empty() ? Attribute("id") : given,
                                       std::unordered_set<std::string>{});
            } else if (name == "instance_animation" && !out.clips.empty()) {
                out.clips.back().second.insert(Local(Attribute("url")));
            } else if (name == "channel") {
                const std::string target = Attribute("target");
                const size_t slash = target.find('/');
                out.targets.emplace_back(Local(Attribute("source")), target.substr(0, slash));
                if (slash == std::string::npos) continue;
                const size_t selector = target.find_first_of(".(", slash);
                out.channels.push_back(
                    {Local(Attribute("source")), target.substr(0, slash),
                     target.substr(slash + 1, selector - slash - 1),
                     selector == std::string::npos ? "" : target.substr(selector), animations});
            }
        }
        return result == 0;
    }

private:
    std::string Name() const {
        const xmlChar* name = xml_.xmlTextReaderConstLocalName(reader_);
        return name ? reinterpret_cast<const char*>(name) : "";
    }
    std::string Value() const {
        const xmlChar* value = xml_.xmlTextReaderConstValue(reader_);
        return value ? reinterpret_cast<const char*>(value) : "";
    }
    std::string Attribute(const char* name) const {
        if (xml_.xmlTextReaderMoveToAttribute(reader_, reinterpret_cast<const xmlChar*>(name)) != 1)
            return "";
        std::string value = Value();
        xml_.xmlTextReaderMoveToElement(reader_);
        return value;
    }

    const XMLLIBRARY& xml_;
    xmlTextReaderPtr reader_;
};

std::string Attribute(const xmlNode* node, const char* name) {
    for (const xmlAttr* a = node->properties; a; a = a->next) {
        if (std::string(reinterpret_cast<const char*>(a->name)) != name) continue;
        std::string value;
        for (const xmlNode* text = a->children; text; text = text->next) {
            if (text->content) value += reinterpret_cast<const char*>(text->content);
        }
        return value;
    }
    return "";
}

bool Named(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE &&
           std::string(reinterpret_cast<const char*>(node->name)) == name;
}

// The ids of an animation and of the animations inside it.
void AnimationIds(const xmlNode* node, std::unordered_set<std::string>* ids) {
    if (!Named(node, "animation")) return;
    ids->insert(Attribute(node, "id"));
    for (const xmlNode* child = node->children; child; child = child->next)
        AnimationIds(child, ids);
}

// The document with only the clip's animations (those it names, or that hold one it names).
class CLIPCUTTER {
public:
    CLIPCUTTER(const XMLLIBRARY& xml, const char* path)
        : xml_(xml), doc_(xml.xmlReadFile(path, nullptr, kOptions)) {
        root_ = doc_ ? xml_.xmlDocGetRootElement(doc_) : nullptr;
        if (!root_) return;
        std::vector<xmlNode*> clipLibraries;
        for (xmlNode* library = root_->children; library; library = library->next) {
            if (Named(library, "library_animation_clips")) clipLibraries.push_back(library);
            if (!Named(library, "library_animations")) continue;
            for (xmlNode* animation = library->children; animation; animation = animation->next) {
                if (!Named(animation, "animation")) continue;
                std::unordered_set<std::string> ids;
                AnimationIds(animation, &ids);
                animations_.push_back({animation, library, std::move(ids)});
            }
        }
        for (xmlNode* library : clipLibraries) {
            xml_.xmlUnlinkNode(library);
            xml_.xmlFreeNode(library);
        }
    }
    ~CLIPCUTTER() {
        if (doc_) xml_.xmlFreeDoc(doc_);
    }
    CLIPCUTTER(const CLIPCUTTER&) = delete;
    CLIPCUTTER& operator=(const CLIPCUTTER&) = delete;

    // Empty when the clip names no animation of the file.
    std::string Cut(const std::unordered_set<std::string>& urls) {
        std::vector<const ANIMATION*> left;
        for (const ANIMATION& animation : animations_) {
            const bool named = std::any_of(urls.begin(), urls.end(), [&](const std::string& url) {
                return animation.ids.count(url) > 0;
            });
            if (!named) left.push_back(&animation);
        }
        if (!root_ || left.size() == animations_.size()) return "";
        for (const ANIMATION* animation : left) xml_.xmlUnlinkNode(animation->node);
        std::string document;
        if (xmlBuffer* buffer = xml_.xmlBufferCreate()) {
            if (xml_.xmlNodeDump(buffer, doc_, root_, 0, 0) >= 0) {
                document.assign(reinterpret_cast<const char*>(xml_.xmlBufferContent(buffer)),
                                size_t(xml_.xmlBufferLength(buffer)));
            }
            xml_.xmlBufferFree(buffer);
        }
        for (const ANIMATION* animation : left)
            xml_.xmlAddChild(animation->library, animation->node);
        return document;
    }

private:
    struct ANIMATION {
        xmlNode* node;
        xmlNode* library;
        std::unordered_set<std::string> ids;
    };

    const XMLLIBRARY& xml_;
    xmlDoc* doc_;
    xmlNode* root_ = nullptr;
    std::vector<ANIMATION> animations_;
};

// Whether a span is curved: the last key's interpolation leads nowhere.
bool Curved(const std::vector<std::string>& interpolations) {
    if (interpolations.empty()) return false;
    return std::any_of(
        interpolations.begin(), interpolations.end() - 1,
        [](const std::string& word) { return word == "BEZIER" || word == "HERMITE"; });
}

// A channel's sampler as a curve; false for one whose parts do not fit together.
bool MakeCurve(const CHANNELS& channels, const TARGET& target, COLLADAFILE::CURVE* curve) {
    const auto inputs = channels.inputs.find(target.sampler);
    if (inputs == channels.inputs.end()) return false;
    const auto floats = [&](const char* semantic) {
        const auto input = inputs->second.find(semantic);
        if (input == inputs->second.end()) return std::vector<double>{};
        const auto text = channels.floats.find(input->second);
        return text == channels.floats.end() ? std::vector<double>{} : Numbers(text->second);
    };
    const auto interpolation = inputs->second.find("INTERPOLATION");
    const auto output = inputs->second.find("OUTPUT");
    if (interpolation == inputs->second.end() || output == inputs->second.end()) return false;
    const auto names = channels.names.find(interpolation->second);
    const auto stride = channels.strides.find(output->second);
    // One take's curves go together: those of a clip naming them, else of one animation.
    curve->group = target.animations.empty() ? "" : target.animations.front();
    for (const auto& clip : channels.clips) {
        const auto& urls = clip.second;
        const bool named = std::any_of(target.animations.begin(), target.animations.end(),
                                       [&](const std::string& id) { return urls.count(id) > 0; });
        if (named) {
            curve->group = "clip " + clip.first;
            break;
        }
    }
    curve->sid = target.sid;
    curve->component = Component(target.selector);
    curve->stride = stride == channels.strides.end() ? 1 : stride->second;
    curve->times = floats("INPUT");
    curve->values = floats("OUTPUT");
    curve->inTangents = floats("IN_TANGENT");
    curve->outTangents = floats("OUT_TANGENT");
    if (names != channels.names.end()) curve->interpolations = Words(names->second);
    const size_t n = curve->times.size(), values = n * size_t(curve->stride);
    const size_t tangents = curve->inTangents.size();
    return n > 0 && curve->component >= -1 && (curve->component == -1 || curve->stride == 1) &&
           curve->stride <= 16 && std::is_sorted(curve->times.begin(), curve->times.end()) &&
           curve->values.size() == values && curve->interpolations.size() == n &&
           (!Curved(curve->interpolations) || ((tangents == values || tangents == 2 * values) &&
                                               curve->outTangents.size() == tangents));
}

// The control points of a span's cubic in the (time, value) plane, from BEZIER or HERMITE keys.
struct SPAN {
    double t[4], v[4];
};
SPAN Span(const COLLADAFILE::CURVE& curve, size_t k, int c, bool hermite) {
    const size_t n = size_t(curve.stride), a = k * n + size_t(c), b = a + n;
    const bool plane = curve.inTangents.size() == 2 * curve.values.size();
    const double t0 = curve.times[k], t1 = curve.times[k + 1], span = t1 - t0;
    SPAN s{{t0, t0 + span / 3, t1 - span / 3, t1}, {curve.values[a], 0, 0, curve.values[b]}};
    const double out = plane ? curve.outTangents[2 * a + 1] : curve.outTangents[a];
    const double in = plane ? curve.inTangents[2 * b + 1] : curve.inTangents[b];
    if (hermite) {  // tangents are rates along the span: a third of each is Bezier's handle
        s.v[1] = s.v[0] + out / 3;
        s.v[2] = s.v[3] - in / 3;
        if (plane) {
            s.t[1] = t0 + curve.outTangents[2 * a] / 3;
            s.t[2] = t1 - curve.inTangents[2 * b] / 3;
        }
    } else {
        s.v[1] = out;
        s.v[2] = in;
        if (plane) s.t[1] = curve.outTangents[2 * a], s.t[2] = curve.inTangents[2 * b];
    }
    // Handles within the span keep the time rising along the curve: one value a time.
    s.t[1] = std::clamp(s.t[1], t0, t1);
    s.t[2] = std::clamp(s.t[2], t0, t1);
    return s;
}

double Cubic(const double* p, double u) {
    const double w = 1 - u;
    return w * w * w * p[0] + 3 * w * w * u * p[1] + 3 * w * u * u * p[2] + u * u * u * p[3];
}

double ValueOnSpan(const SPAN& s, double seconds) {
    double low = 0, high = 1;  // the time rises with the curve's parameter: halve to it
    for (int i = 0; i < 60 && high - low > 1e-12; ++i) {
        const double middle = (low + high) / 2;
        (Cubic(s.t, middle) < seconds ? low : high) = middle;
    }
    return Cubic(s.v, (low + high) / 2);
}

using MATRIX = std::array<double, 16>;

MATRIX Times(const MATRIX& a, const MATRIX& b) {
    MATRIX out{};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            for (int k = 0; k < 4; ++k) out[r * 4 + c] += a[r * 4 + k] * b[k * 4 + c];
        }
    }
    return out;
}

// An element's matrix; false for a kind or a count of values it cannot be.
bool ElementMatrix(const std::string& kind, const std::vector<double>& v, MATRIX* m) {
    *m = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    if (kind == "matrix" && v.size() == 16) {
        std::copy(v.begin(), v.end(), m->begin());
    } else if (kind == "translate" && v.size() == 3) {
        (*m)[3] = v[0], (*m)[7] = v[1], (*m)[11] = v[2];
    } else if (kind == "scale" && v.size() == 3) {
        (*m)[0] = v[0], (*m)[5] = v[1], (*m)[10] = v[2];
    } else if (kind == "rotate" && v.size() == 4) {
        const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (length == 0) return true;  // no axis: no turn
        const double x = v[0] / length, y = v[1] / length, z = v[2] / length;
        const double a = v[3] * M_PI / 180, c = std::cos(a), s = std::sin(a), t = 1 - c;
        // clang-format off
        *m = {t * x * x + c,     t * x * y - s * z, t * x * z + s * y, 0,
              t * x * y + s * z, t * y * y + c,     t * y * z - s * x, 0,
              t * x * z - s * y, t * y * z + s * x, t * z * z + c,     0,
              0,                 0,                 0,                 1};
        // clang-format on
    } else {
        return false;
    }
    return true;
}

// The curves of the nodes that have one of BEZIER or HERMITE keys, with every other curve of
// those nodes, for the node is made again from all of them.
void FindCurves(CHANNELS& channels, COLLADAFILE* file) {
    std::vector<COLLADAFILE::CURVE> curves(channels.channels.size());
    std::vector<bool> made(curves.size());
    for (size_t c = 0; c < curves.size(); ++c) {
        made[c] = MakeCurve(channels, channels.channels[c], &curves[c]);
        const auto elements = channels.elements.find(channels.channels[c].node);
        if (made[c] && Curved(curves[c].interpolations) && elements != channels.elements.end())
            file->curvedNodes[channels.channels[c].node].elements = elements->second;
    }
    for (size_t c = 0; c < curves.size(); ++c) {
        const auto node = file->curvedNodes.find(channels.channels[c].node);
        if (made[c] && node != file->curvedNodes.end())
            node->second.curves.push_back(std::move(curves[c]));
    }
}

}  // namespace

void COLLADAFILE::CURVE::ValuesAt(double seconds, double* out) const {
    const size_t n = size_t(stride);
    const auto next = std::upper_bound(times.begin(), times.end(), seconds);
    if (next == times.begin() || next == times.end()) {
        const size_t k = next == times.begin() ? 0 : times.size() - 1;
        std::copy_n(values.begin() + std::ptrdiff_t(k * n), n, out);
        return;
    }
    const size_t k = size_t(next - times.begin()) - 1;
    const std::string& how = interpolations[k];
    const double span = times[k + 1] - times[k], u = span > 0 ? (seconds - times[k]) / span : 0;
    for (size_t c = 0; c < n; ++c) {
        const double a = values[k * n + c], b = values[(k + 1) * n + c];
        if (how == "BEZIER" || how == "HERMITE") {
            out[c] = ValueOnSpan(Span(*this, k, int(c), how == "HERMITE"), seconds);
        } else {
            out[c] = how == "STEP" ? a : a + (b - a) * u;
        }
    }
}

bool COLLADAFILE::CURVEDNODE::MatrixAt(const std::vector<ELEMENT>& elements,
                                       const std::vector<const CURVE*>& curves, double seconds,
                                       std::array<double, 16>* out) {
    std::vector<std::vector<double>> values;
    for (const ELEMENT& element : elements) values.push_back(element.values);
    double at[16];
    for (const CURVE* curve : curves) {
        const auto element = std::find_if(elements.begin(), elements.end(),
                                          [&](const ELEMENT& e) { return e.sid == curve->sid; });
        if (element == elements.end()) return false;
        std::vector<double>& v = values[size_t(element - elements.begin())];
        const size_t c = curve->component < 0 ? 0 : size_t(curve->component);
        if (curve->component < 0 ? v.size() != size_t(curve->stride) : c >= v.size()) return false;
        curve->ValuesAt(seconds, at);
        std::copy_n(at, curve->stride, v.begin() + std::ptrdiff_t(c));
    }
    *out = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (size_t e = 0; e < elements.size(); ++e) {
        MATRIX m;
        if (!ElementMatrix(elements[e].kind, values[e], &m)) return false;
        *out = Times(*out, m);
    }
    return true;
}

std::vector<std::vector<const COLLADAFILE::CURVE*>> COLLADAFILE::CURVEDNODE::Choices() const {
    std::vector<std::vector<const CURVE*>> choices(1);
    std::vector<std::string> groups;
    for (const CURVE& curve : curves) {
        choices.front().push_back(&curve);
        if (std::find(groups.begin(), groups.end(), curve.group) == groups.end())
            groups.push_back(curve.group);
    }
    for (size_t g = 0; g < groups.size() && groups.size() > 1; ++g) {
        choices.emplace_back();
        for (const CURVE& curve : curves) {
            if (curve.group == groups[g]) choices.back().push_back(&curve);
        }
    }
    return choices;
}

bool ColladaAccessorsFit(const char* path) {
    const XMLLIBRARY* xml = Xml();
    CHANNELS channels;
    if (!xml || !READER(*xml, path).Read(channels)) return true;
    return std::all_of(channels.accessors.begin(), channels.accessors.end(), [&](const auto& a) {
        const auto array = channels.arrayCounts.find(a.array);
        if (array == channels.arrayCounts.end()) return true;  // not in this file
        const uint64_t size = array->second;
        if (a.offset > size) return false;
        if (a.stride == 0) return a.count == 0 || a.offset < size;
        return a.count <= (size - a.offset) / a.stride;
    });
}

COLLADAFILE ReadColladaFile(const char* path) {
    const XMLLIBRARY* xml = Xml();
    CHANNELS channels;
    if (!xml || !READER(*xml, path).Read(channels)) return {};
    COLLADAFILE file;
    if (!channels.clips.empty()) {
        CLIPCUTTER cutter(*xml, path);
        for (const auto& [name, urls] : channels.clips) {
            std::string document = cutter.Cut(urls);
            if (!document.empty()) file.clips.push_back({name, std::move(document)});
        }
    }
    std::unordered_map<std::string, bool> steps;  // node id -> every channel steps
    for (const auto& [sampler, node] : channels.targets) {
        const auto source = channels.interpolations.find(sampler);
        const auto stepping = source == channels.interpolations.end()
                                  ? channels.steppingSources.end()
                                  : channels.steppingSources.find(source->second);
        const bool step = stepping != channels.steppingSources.end() && stepping->second;
        const auto [at, added] = steps.emplace(node, step);
        if (!added) at->second = at->second && step;
    }
    for (const auto& [node, step] : steps) {
        if (step) file.steppedNodes.insert(node);
    }
    file.names = std::move(channels.nodeNames);
    FindCurves(channels, &file);
    return file;
}

}  // namespace tavrel
