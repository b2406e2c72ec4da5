#pragma once
// The colleague of the gallery frame. Its panes are set on it (SetPane); until then the frame
// shows an empty pane.
#include <QObject>
#include <memory>
#include <optional>

#include "app/Colleague.h"
#include "app/ColleagueSeams.h"

class QRect;
class QWidget;

namespace tavrel {

class CFixedChildFrame;

class CGalleryColleague : public QObject, public CColleague {
    Q_OBJECT
public:
    CGalleryColleague(CMediatorSeam* mediator, CMainFrameSeam* mainFrame);

    bool Edit(EditCommand command) override;
    bool CanEdit(EditCommand command) const override;

    CFixedChildFrame* Frame() const { return frame_; }
    // The gallery's widget takes the frame's place of the empty pane; operations may be null.
    void SetPane(QWidget* pane, CGalleryOperations* operations);
    // The same, the colleague keeping the operations for its lifetime.
    void SetPane(QWidget* pane, std::unique_ptr<CGalleryOperations> operations);
    CGalleryOperations* Operations() const { return operations_; }

    void ApplyLayout(const QRect& rect);
    bool Command(int id);
    std::optional<bool> Checked(int id) const;
    void Refresh();
    void Shutdown();
    void RebuildDisplay();
    void UpdateCommands();
    void PauseThumbnails(bool paused);

private:
    CMainFrameSeam* mainFrame_;
    CFixedChildFrame* frame_ = nullptr;
    CGalleryOperations* operations_ = nullptr;
    std::unique_ptr<CGalleryOperations> owned_;
};

}  // namespace tavrel
