#pragma once
// The questions an edit asks the user. The windows answer them with dialogs; tests answer
// them directly.
#include <optional>
#include <string>
#include <vector>

namespace tavrel {

enum class OverlapChoice { kReplace, kShift, kCancel, kBlend };

class CUserDecisions {
public:
    virtual ~CUserDecisions() = default;
    // A new clip overlaps others: replace them, shift them, or cancel; where the overlap can be
    // a cross-fade, blending is offered too. The message is the question's string identifier.
    virtual OverlapChoice AskOverlap(int messageId, bool offerBlend) = 0;
    // The file name (without folder and extension) for a pasted clip, proposed as given;
    // nothing cancels the paste.
    virtual std::optional<std::string> AskPasteName(int messageId, const std::string& proposed) = 0;
    // A file holds several takes (named in its order): the one to bring in; nothing cancels.
    // Where nobody is asked, the first.
    virtual std::optional<std::string> AskTake(int /*messageId*/,
                                               const std::vector<std::string>& takes) {
        if (takes.empty()) return std::nullopt;
        return takes.front();
    }
};

}  // namespace tavrel
