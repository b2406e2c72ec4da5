#pragma once
// The panel's dialogs as Qt shows them.
#include <QString>

#include "settings/Message.h"
#include "timeline/ui/PanelDialogs.h"

class QWidget;

namespace tavrel {

class CRProfile;

class CQtPanelDialogs : public CPanelDialogs {
public:
    CQtPanelDialogs(QWidget* parent, StringLookup strings)
        : parent_(parent), strings_(std::move(strings)) {}
    // Motion and pose files are picked starting in the folder last used for them, kept in the
    // profile under "Directory", else in the motion library.
    void SetFolders(CRProfile* profile, std::string library) {
        profile_ = profile;
        library_ = std::move(library);
    }
    std::vector<std::string> AskOpenFiles(FileKind kind) override;
    void ShowMessage(const std::string& text) override;
    bool OpenVolumeControl() override;

private:
    QWidget* parent_;
    StringLookup strings_;
    QString StartFolder(FileKind kind) const;
    void KeepFolder(FileKind kind, const QString& folder);

    CRProfile* profile_ = nullptr;
    std::string library_;
    QString lastFolder_[5];  // the folder last used for each kind of file
};

}  // namespace tavrel
