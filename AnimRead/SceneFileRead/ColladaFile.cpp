#include "AnimRead/SceneFileRead/ColladaFile.h"

#include <libxml/xmlreader.h>

#include <algorithm>
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

// What the file says of its channels, gathered in one pass whatever the order of its parts.
struct CHANNELS {
    std::unordered_map<std::string, std::string> nodeNames;       // id -> name, where given
    std::unordered_map<std::string, bool> steppingSources;        // Name_array source -> all STEP
    std::unordered_map<std::string, std::string> interpolations;  // sampler -> its source
    std::vector<std::pair<std::string, std::string>> targets;     // sampler, node id
    std::vector<std::pair<std::string, std::unordered_set<std::string>>> clips;  // animation ids
};

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
                const std::string id = Attribute("id"), given = Attribute("name");
                if (!id.empty() && !given.empty()) out.nodeNames.emplace(id, given);
            } else if (name == "source") {
                source = Attribute("id");
            } else if (name == "Name_array") {
                text.clear();
                inNames = !xml_.xmlTextReaderIsEmptyElement(reader_);
            } else if (name == "sampler") {
                sampler = Attribute("id");
            } else if (name == "input" && Attribute("semantic") == "INTERPOLATION") {
                out.interpolations[sampler] = Local(Attribute("source"));
            } else if (name == "animation_clip") {
                const std::string given = Attribute("name");
                out.clips.emplace_back(given.empty() ? Attribute("id") : given,
                                       std::unordered_set<std::string>{});
            } else if (name == "instance_animation" && !out.clips.empty()) {
                out.clips.back().second.insert(Local(Attribute("url")));
            } else if (name == "channel") {
                const std::string target = Attribute("target");
                out.targets.emplace_back(Local(Attribute("source")),
                                         target.substr(0, target.find('/')));
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

}  // namespace

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
    return file;
}

}  // namespace tavrel
