#include "AnimRead/SceneFileRead/ColladaChannels.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

#include "AnimRead/SceneFileRead/XmlLibrary.h"

namespace tavrel {
namespace {

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

// The reading of one file into its channels.
class READER {
public:
    READER(const XMLLIBRARY& xml, const char* path, COLLADACHANNELS& out)
        : xml_(xml), reader_(xml.xmlReaderForFile(path, nullptr, kXmlOptions)), out_(out) {}
    ~READER() {
        if (reader_) xml_.xmlFreeTextReader(reader_);
    }
    READER(const READER&) = delete;
    READER& operator=(const READER&) = delete;

    bool Read() {
        if (!reader_) return false;
        int result;
        while ((result = xml_.xmlTextReaderRead(reader_)) == 1) {
            const int type = xml_.xmlTextReaderNodeType(reader_);
            if (type == XML_READER_TYPE_TEXT && reading_ != NOTHING) {
                text_ += Value();
            } else if (type == XML_READER_TYPE_END_ELEMENT) {
                End(Name());
            } else if (type == XML_READER_TYPE_ELEMENT) {
                Start(Name(), xml_.xmlTextReaderIsEmptyElement(reader_));
            }
        }
        return result == 0;
    }

private:
    void End(const std::string& name) {
        if (name == "Name_array" && reading_ == NAMES) {
            out_.steppingSources[source_] = AllSteps(text_);
            out_.names[source_] = std::move(text_);
        } else if (name == "float_array" && reading_ == FLOATS) {
            out_.floats[source_] = std::move(text_);
        } else if (reading_ == ELEMENT && IsTransform(name) && !nodes_.empty()) {
            out_.elements[nodes_.back()].push_back({name, sid_, Numbers(text_)});
        } else if (name == "node" && !nodes_.empty()) {
            nodes_.pop_back();
        } else if (name == "animation" && !animations_.empty()) {
            animations_.pop_back();
        } else if (name == "library_animations") {
            inAnimations_ = false;
        } else if (name == "sampler") {
            inSampler_ = false;
        }
        reading_ = NOTHING;
        text_.clear();
    }

    void Start(const std::string& name, bool empty) {
        if (name.ends_with("_array")) out_.arrayCounts[Attribute("id")] = Count(Attribute("count"));
        if (name == "node") {
            StartNode(empty);
        } else if (IsTransform(name) && !nodes_.empty()) {
            StartTransform(name, empty);
        } else if (name == "animation_clip") {
            const std::string given = Attribute("name");
            out_.clips.emplace_back(given.empty() ? Attribute("id") : given,
                                    std::unordered_set<std::string>{});
        } else if (name == "instance_animation") {
            if (!out_.clips.empty()) out_.clips.back().second.insert(Local(Attribute("url")));
        } else {
            StartAnimationPart(name, empty);
        }
    }

    void StartAnimationPart(const std::string& name, bool empty) {
        if (name == "library_animations") {
            inAnimations_ = !empty;
        } else if (name == "animation") {
            if (!empty) animations_.push_back(Attribute("id"));
        } else if (name == "source") {
            source_ = Attribute("id");
        } else if (name == "Name_array" || (name == "float_array" && inAnimations_)) {
            text_.clear();
            reading_ = empty ? NOTHING : name == "Name_array" ? NAMES : FLOATS;
        } else if (name == "accessor") {
            StartAccessor();
        } else if (name == "sampler") {
            sampler_ = Attribute("id");
            inSampler_ = !empty;
        } else if (name == "input" && inSampler_) {
            StartInput();
        } else if (name == "channel") {
            StartChannel();
        }
    }

    void StartNode(bool empty) {
        const std::string id = Attribute("id"), given = Attribute("name");
        if (!id.empty() && !given.empty()) out_.nodeNames.emplace(id, given);
        if (!empty) nodes_.push_back(id);
    }

    void StartTransform(const std::string& name, bool empty) {
        sid_ = Attribute("sid");
        text_.clear();
        reading_ = ELEMENT;
        if (empty) out_.elements[nodes_.back()].push_back({name, sid_, {}});
    }

    void StartAccessor() {
        const std::string given = Attribute("stride");
        const uint64_t stride = given.empty() ? 1 : Count(given);
        out_.strides[source_] = int(std::clamp<uint64_t>(stride, 1, 1024));
        out_.accessors.push_back({Local(Attribute("source")), Count(Attribute("count")), stride,
                                  Count(Attribute("offset"))});
    }

    void StartInput() {
        const std::string semantic = Attribute("semantic");
        out_.inputs[sampler_][semantic] = Local(Attribute("source"));
        if (semantic == "INTERPOLATION") out_.interpolations[sampler_] = Local(Attribute("source"));
    }

    void StartChannel() {
        const std::string target = Attribute("target");
        const size_t slash = target.find('/');
        out_.targets.emplace_back(Local(Attribute("source")), target.substr(0, slash));
        if (slash == std::string::npos) return;
        const size_t selector = target.find_first_of(".(", slash);
        out_.channels.push_back({Local(Attribute("source")), target.substr(0, slash),
                                 target.substr(slash + 1, selector - slash - 1),
                                 selector == std::string::npos ? "" : target.substr(selector),
                                 animations_});
    }

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
    COLLADACHANNELS& out_;
    std::string source_, sampler_, text_, sid_;
    std::vector<std::string> nodes_, animations_;  // the open ones, outermost first
    enum { NOTHING, NAMES, FLOATS, ELEMENT } reading_ = NOTHING;
    bool inAnimations_ = false, inSampler_ = false;
};

// One take's curves go together: those of a clip naming them, else of one animation.
std::string Group(const COLLADACHANNELS::CLIPS& clips, const COLLADACHANNELS::TARGET& target) {
    for (const auto& clip : clips) {
        const auto& urls = clip.second;
        const bool named = std::any_of(target.animations.begin(), target.animations.end(),
                                       [&](const std::string& id) { return urls.count(id) > 0; });
        if (named) return "clip " + clip.first;
    }
    return target.animations.empty() ? "" : target.animations.front();
}

// Whether the curve's parts fit together.
bool Fits(const COLLADAFILE::CURVE& curve) {
    const size_t n = curve.times.size(), values = n * size_t(curve.stride);
    const size_t tangents = curve.inTangents.size();
    return n > 0 && curve.component >= -1 && (curve.component == -1 || curve.stride == 1) &&
           curve.stride <= 16 && std::is_sorted(curve.times.begin(), curve.times.end()) &&
           curve.values.size() == values && curve.interpolations.size() == n &&
           (!curve.Curved() || ((tangents == values || tangents == 2 * values) &&
                                curve.outTangents.size() == tangents));
}

}  // namespace

bool COLLADACHANNELS::MakeCurve(const TARGET& target, COLLADAFILE::CURVE* curve) const {
    const auto sampler = inputs.find(target.sampler);
    if (sampler == inputs.end()) return false;
    const auto numbers = [&](const char* semantic) {
        const auto input = sampler->second.find(semantic);
        if (input == sampler->second.end()) return std::vector<double>{};
        const auto text = floats.find(input->second);
        return text == floats.end() ? std::vector<double>{} : Numbers(text->second);
    };
    const auto interpolation = sampler->second.find("INTERPOLATION");
    const auto output = sampler->second.find("OUTPUT");
    if (interpolation == sampler->second.end() || output == sampler->second.end()) return false;
    const auto words = names.find(interpolation->second);
    const auto stride = strides.find(output->second);
    curve->group = Group(clips, target);
    curve->sid = target.sid;
    curve->component = Component(target.selector);
    curve->stride = stride == strides.end() ? 1 : stride->second;
    curve->times = numbers("INPUT");
    curve->values = numbers("OUTPUT");
    curve->inTangents = numbers("IN_TANGENT");
    curve->outTangents = numbers("OUT_TANGENT");
    if (words != names.end()) curve->interpolations = Words(words->second);
    return Fits(*curve);
}

bool ReadColladaChannels(const XMLLIBRARY& xml, const char* path, COLLADACHANNELS* out) {
    return READER(xml, path, *out).Read();
}

}  // namespace tavrel
