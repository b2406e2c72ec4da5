#pragma once
// The panel's dialogs as Qt shows them.
#include <QString>

#include "settings/Message.h"
#include "timeline/ui/PanelDialogs.h"

class QWidget;

namespace tavrel {

class CQtPanelDialogs : public CPanelDialogs {
public:
    CQtPanelDialogs(QWidget* parent, StringLookup strings)
        : parent_(parent), strings_(std::move(strings)) {}
    std::vector<std::string> AskOpenFiles(FileKind kind) override;
    void ShowMessage(const std::string& text) override;
    void OpenVolumeControl() override;

private:
    QWidget* parent_;
    StringLookup strings_;
    QString lastFolder_[5];  // the folder last used for each kind of file
};

}  // namespace tavrel
