#include "AnimRead/SceneFileRead/ColladaSteps.h"

#include <libxml/xmlreader.h>

#include <memory>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "base/SharedLibrary.h"

namespace tavrel {
namespace {

// The XML reader's functions, opened on first use as the importer's are: few files need them.
#define TAVREL_XML_FUNCTIONS(X)  \
    X(xmlReaderForFile)          \
    X(xmlTextReaderRead)         \
    X(xmlTextReaderNodeType)     \
    X(xmlTextReaderConstLocalName) \
    X(xmlTextReaderConstValue)   \
    X(xmlTextReaderMoveToAttribute) \
    X(xmlTextReaderMoveToElement) \
    X(xmlTextReaderIsEmptyElement) \
    X(xmlFreeTextReader)

struct XMLLIBRARY {
#define TAVREL_DECLARE_FUNCTION(name) decltype(&::name) name = nullptr;
    TAVREL_XML_FUNCTIONS(TAVREL_DECLARE_FUNCTION)
#undef TAVREL_DECLARE_FUNCTION
};

const XMLLIBRARY* Xml() {
    static const std::unique_ptr<XMLLIBRARY> library = SharedLibrary::Load<XMLLIBRARY>(
        {"libxml2.so.2"}, [](SharedLibrary& files, XMLLIBRARY& table) {
            bool found = true;
            TAVREL_XML_FUNCTIONS(TAVREL_FIND_FUNCTION)
            return found;
        });
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

// What the file says of its channels, gathered in one pass whatever the order of its parts.
struct CHANNELS {
    std::unordered_map<std::string, std::string> nodeNames;      // id -> name
    std::unordered_map<std::string, bool> steppingSources;       // Name_array source -> all STEP
    std::unordered_map<std::string, std::string> interpolations; // sampler -> its source
    std::vector<std::pair<std::string, std::string>> targets;    // sampler, node id
};

class READER {
public:
    READER(const XMLLIBRARY& xml, const char* path)
        : xml_(xml),
          reader_(xml.xmlReaderForFile(path, nullptr,
                                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING)) {}
    ~READER() {
        if (reader_) xml_.xmlFreeTextReader(reader_);
    }
    READER(const READER&) = delete;
    READER& operator=(const READER&) = delete;

    bool Read(CHANNELS& out) {
        if (!reader_) return false;
        std::string source, sampler, text;
        bool inNames = false;
        int result;
        while ((result = xml_.xmlTextReaderRead(reader_)) == 1) {
            const int type = xml_.xmlTextReaderNodeType(reader_);
            if (type == XML_READER_TYPE_TEXT && inNames) {
                text += Value();
                continue;
            }
            const std::string name = Name();
            if (type == XML_READER_TYPE_END_ELEMENT) {
                if (name == "Name_array" && inNames) {
                    out.steppingSources[source] = AllSteps(text);
                    inNames = false;
                }
                continue;
            }
            if (type != XML_READER_TYPE_ELEMENT) continue;
            if (name == "node") {
                const std::string given = Attribute("name");
                out.nodeNames[Attribute("id")] = given.empty() ? Attribute("id") : given;
            } else if (name == "source") {
                source = Attribute("id");
            } else if (name == "Name_array") {
                text.clear();
                inNames = !xml_.xmlTextReaderIsEmptyElement(reader_);
            } else if (name == "sampler") {
                sampler = Attribute("id");
            } else if (name == "input" && Attribute("semantic") == "INTERPOLATION") {
                out.interpolations[sampler] = Local(Attribute("source"));
            } else if (name == "channel") {
                const std::string target = Attribute("target");
                out.targets.emplace_back(Local(Attribute("source")), target.substr(0, target.find('/')));
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

}  // namespace

std::unordered_set<std::string> ColladaSteppedNodes(const char* path) {
    const XMLLIBRARY* xml = Xml();
    CHANNELS channels;
    if (!xml || !READER(*xml, path).Read(channels)) return {};
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
    std::unordered_set<std::string> names;
    for (const auto& [node, step] : steps) {
        const auto name = channels.nodeNames.find(node);
        if (step && name != channels.nodeNames.end()) names.insert(name->second);
    }
    return names;
}

}  // namespace tavrel
