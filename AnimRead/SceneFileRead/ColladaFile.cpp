#include "AnimRead/SceneFileRead/ColladaFile.h"

#include <algorithm>

#include "AnimRead/SceneFileRead/ClipCutter.h"
#include "AnimRead/SceneFileRead/ColladaChannels.h"

namespace tavrel {
namespace {

// The ids of the nodes every one of whose channels steps.
std::unordered_set<std::string> SteppedNodes(const COLLADACHANNELS& channels) {
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
    std::unordered_set<std::string> stepped;
    for (const auto& [node, step] : steps) {
        if (step) stepped.insert(node);
    }
    return stepped;
}

std::vector<COLLADAFILE::CLIP> CutClips(const XMLLIBRARY& xml, const char* path,
                                        const COLLADACHANNELS& channels) {
    std::vector<COLLADAFILE::CLIP> clips;
    if (channels.clips.empty()) return clips;
    CLIPCUTTER cutter(xml, path);
    for (const auto& [name, urls] : channels.clips) {
        std::string document = cutter.Cut(urls);
        if (!document.empty()) clips.push_back({name, std::move(document)});
    }
    return clips;
}

// The curves of the nodes that have one of BEZIER or HERMITE keys, with every other curve of
// those nodes, for the node is made again from all of them.
void FindCurves(const COLLADACHANNELS& channels, COLLADAFILE* file) {
    std::vector<COLLADAFILE::CURVE> curves(channels.channels.size());
    std::vector<bool> made(curves.size());
    for (size_t c = 0; c < curves.size(); ++c) {
        made[c] = channels.MakeCurve(channels.channels[c], &curves[c]);
        const auto elements = channels.elements.find(channels.channels[c].node);
        if (made[c] && curves[c].Curved() && elements != channels.elements.end())
            file->curvedNodes[channels.channels[c].node].elements = elements->second;
    }
    for (size_t c = 0; c < curves.size(); ++c) {
        const auto node = file->curvedNodes.find(channels.channels[c].node);
        if (made[c] && node != file->curvedNodes.end())
            node->second.curves.push_back(std::move(curves[c]));
    }
}

}  // namespace

bool ColladaAccessorsFit(const char* path) {
    const XMLLIBRARY* xml = Xml();
    COLLADACHANNELS channels;
    if (!xml || !ReadColladaChannels(*xml, path, &channels)) return true;
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
    COLLADACHANNELS channels;
    if (!xml || !ReadColladaChannels(*xml, path, &channels)) return {};
    COLLADAFILE file;
    file.clips = CutClips(*xml, path, channels);
    file.steppedNodes = SteppedNodes(channels);
    file.names = std::move(channels.nodeNames);
    FindCurves(channels, &file);
    return file;
}

}  // namespace tavrel
