#include "AnimRead/SceneFileRead/ClipCutter.h"

#include <algorithm>

#include "AnimRead/SceneFileRead/XmlLibrary.h"

namespace tavrel {
namespace {

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

}  // namespace

CLIPCUTTER::CLIPCUTTER(const XMLLIBRARY& xml, const char* path)
    : xml_(xml), doc_(xml.xmlReadFile(path, nullptr, kXmlOptions)) {
    root_ = doc_ ? xml_.xmlDocGetRootElement(doc_) : nullptr;
    if (!root_) return;
    std::vector<xmlNode*> clipLibraries;
    for (xmlNode* library = root_->children; library; library = library->next) {
        if (Named(library, "library_animation_clips")) clipLibraries.push_back(library);
        if (Named(library, "library_animations")) GatherAnimations(library);
    }
    // Without its clips, a cut document is read as the one take it holds.
    for (xmlNode* library : clipLibraries) {
        xml_.xmlUnlinkNode(library);
        xml_.xmlFreeNode(library);
    }
}

CLIPCUTTER::~CLIPCUTTER() {
    if (doc_) xml_.xmlFreeDoc(doc_);
}

std::string CLIPCUTTER::Cut(const std::unordered_set<std::string>& urls) {
    std::vector<const ANIMATION*> left;
    for (const ANIMATION& animation : animations_) {
        const bool named = std::any_of(urls.begin(), urls.end(), [&](const std::string& url) {
            return animation.ids.count(url) > 0;
        });
        if (!named) left.push_back(&animation);
    }
    if (!root_ || left.size() == animations_.size()) return "";
    for (const ANIMATION* animation : left) xml_.xmlUnlinkNode(animation->node);
    const std::string document = Document();
    for (const ANIMATION* animation : left) xml_.xmlAddChild(animation->library, animation->node);
    return document;
}

void CLIPCUTTER::GatherAnimations(xmlNode* library) {
    for (xmlNode* animation = library->children; animation; animation = animation->next) {
        if (!Named(animation, "animation")) continue;
        std::unordered_set<std::string> ids;
        AnimationIds(animation, &ids);
        animations_.push_back({animation, library, std::move(ids)});
    }
}

std::string CLIPCUTTER::Document() const {
    std::string document;
    if (xmlBuffer* buffer = xml_.xmlBufferCreate()) {
        if (xml_.xmlNodeDump(buffer, doc_, root_, 0, 0) >= 0) {
            document.assign(reinterpret_cast<const char*>(xml_.xmlBufferContent(buffer)),
                            size_t(xml_.xmlBufferLength(buffer)));
        }
        xml_.xmlBufferFree(buffer);
    }
    return document;
}

}  // namespace tavrel
