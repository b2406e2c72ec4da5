#pragma once
// A COLLADA file cut into its clips: the document with only a clip's animations (those it
// names, or that hold one it names), which the importer then reads as a file of its own.
#include <string>
#include <unordered_set>
#include <vector>

#include "AnimRead/SceneFileRead/XmlLibrary.h"

namespace tavrel {

class CLIPCUTTER {
public:
    CLIPCUTTER(const XMLLIBRARY& xml, const char* path);
    ~CLIPCUTTER();
    CLIPCUTTER(const CLIPCUTTER&) = delete;
    CLIPCUTTER& operator=(const CLIPCUTTER&) = delete;

    // The clip's document; empty when the clip names no animation of the file.
    std::string Cut(const std::unordered_set<std::string>& urls);

private:
    struct ANIMATION {
        xmlNode* node;
        xmlNode* library;
        std::unordered_set<std::string> ids;  // its own and those of the animations inside it
    };

    void GatherAnimations(xmlNode* library);
    std::string Document() const;

    const XMLLIBRARY& xml_;
    xmlDoc* doc_;
    xmlNode* root_ = nullptr;
    std::vector<ANIMATION> animations_;
};

}  // namespace tavrel
