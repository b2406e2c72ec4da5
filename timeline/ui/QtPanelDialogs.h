#pragma once
// The panel's dialogs as Qt shows them.
#include <QString>
#include <functional>

#include "settings/Message.h"
#include "timeline/ui/PanelDialogs.h"

class QWidget;

namespace tavrel {

class CQtPanelDialogs : public CPanelDialogs {
public:
    CQtPanelDialogs(QWidget* parent, StringLookup strings)
        : parent_(parent), strings_(std::move(strings)) {}
    // Where the folders last used for motion and pose files are kept (the profile's section
    // "Directory", through the application's services).
    struct FolderMemory {
        std::function<std::string(FileKind)> read;
        std::function<void(FileKind, const std::string&)> write;
    };
    // Motion and pose files are picked starting in the folder last used for them, else in the
    // motion library; the folder picked from is kept.
    void SetFolders(FolderMemory memory, std::string library) {
        memory_ = std::move(memory);
        library_ = std::move(library);
    }
    void SetParent(QWidget* parent) { parent_ = parent; }
    // The folder an open-file dialog for that kind of file starts in.
    QString StartFolder(FileKind kind) const;
    std::vector<std::string> AskOpenFiles(FileKind kind) override;
    void ShowMessage(const std::string& text) override;
    int AskNumber(const std::string& question, int least, int most, int start) override;
    bool OpenVolumeControl() override;

private:
    QWidget* parent_;
    StringLookup strings_;
    void KeepFolder(FileKind kind, const QString& folder);

    FolderMemory memory_;
    std::string library_;
    QString lastFolder_[5];  // the folder last used for each kind of file
};

}  // namespace tavrel
