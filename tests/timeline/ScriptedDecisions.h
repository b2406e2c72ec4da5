#pragma once
// Answers the timeline's questions from a script and remembers what was asked.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "timeline/UserDecisions.h"

namespace tavrel::testing {

class ScriptedDecisions : public CUserDecisions {
public:
    OverlapChoice AskOverlap(int messageId, bool offerBlend) override {
        asked.push_back(messageId);
        blendOffered.push_back(offerBlend);
        return overlap;
    }
    std::optional<std::string> AskPasteName(int messageId, const std::string& proposed) override {
        asked.push_back(messageId);
        lastProposed = proposed;
        if (cancelPaste) return std::nullopt;
        return pasteName ? pasteName : std::optional<std::string>(proposed);
    }

    std::optional<std::string> AskTake(int messageId, const std::vector<std::string>& takes) override {
        asked.push_back(messageId);
        offeredTakes = takes;
        return take;
    }

    OverlapChoice overlap = OverlapChoice::kCancel;
    std::optional<std::string> take;  // nothing: cancel
    std::vector<std::string> offeredTakes;
    std::optional<std::string> pasteName;  // nothing: accept the proposal
    bool cancelPaste = false;
    std::vector<int> asked;
    std::vector<bool> blendOffered;  // for each overlap question
    std::string lastProposed;
};

}  // namespace tavrel::testing
