#pragma once
// The timeline's questions to the user, asked with dialogs.
#include "settings/Message.h"
#include "timeline/UserDecisions.h"

class QWidget;

namespace tavrel {

class CDialogDecisions : public CUserDecisions {
public:
    CDialogDecisions(QWidget* parent, StringLookup strings)
        : parent_(parent), strings_(std::move(strings)) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    OverlapChoice AskOverlap(int messageId, bool offerBlend) override;
    std::optional<std::string> AskPasteName(int messageId, const std::string& proposed) override;
    std::optional<std::string> AskTake(int messageId, const std::vector<std::string>& takes) override;

private:
    QWidget* parent_;
    StringLookup strings_;
};

}  // namespace tavrel
