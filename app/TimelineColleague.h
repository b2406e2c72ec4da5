#pragma once
// The colleague of the timeline frame, the only link between the timeline and the 3D window.
// The panel is set on it (SetPanel); until then the frame shows an empty pane.
#include <QObject>
#include <memory>
#include <string>

#include "app/Colleague.h"
#include "app/ColleagueSeams.h"

class QRect;
class QWidget;

namespace tavrel {

class CFixedChildFrame;

class CTimelineColleague : public QObject, public CColleague {
    Q_OBJECT
public:
    CTimelineColleague(CMediatorSeam* mediator, CMainFrameSeam* mainFrame);

    bool Edit(EditCommand command) override;
    bool CanEdit(EditCommand command) const override;

    CFixedChildFrame* Frame() const { return frame_; }
    void SetPanel(QWidget* panel, CTimelineOperations* operations);
    // The same, the colleague keeping the operations for its lifetime.
    void SetPanel(QWidget* panel, std::unique_ptr<CTimelineOperations> operations);
    CTimelineOperations* Operations() const { return operations_; }

    void ApplyLayout(const QRect& rect);
    bool IsBusy() const;
    bool NewProject();
    bool OpenProject(const std::string& path);
    bool WindUp();
    bool CloseProject();
    bool Command(int id);
    void RefreshFrame();
    bool SegmentTurned(const std::string& segment, const Quat& turn);

private:
    CMainFrameSeam* mainFrame_;
    CFixedChildFrame* frame_ = nullptr;
    CTimelineOperations* operations_ = nullptr;
    std::unique_ptr<CTimelineOperations> owned_;
};

}  // namespace tavrel
