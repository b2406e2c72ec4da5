#pragma once
// What fills the gallery frame: the gallery's frame of panes, given the program's services
// (the timeline's busy state and the shared mutex, through the mediator) and commanded by its
// colleague.
#include <QPointer>
#include <memory>

#include "app/ColleagueSeams.h"
#include "browse/ChildFrame.h"
#include "browse/GalleryServices.h"

namespace tavrel {

class CGalleryHost : public CGalleryOperations, public CGalleryServices {
public:
    // libraryFolder and dataFolder as for the gallery frame (empty: the configured ones).
    explicit CGalleryHost(CMediatorSeam* mediator, QString libraryFolder = {},
                          QString dataFolder = {});
    ~CGalleryHost() override;

    CChildFrame* Frame() const { return frame_; }

    // --- CGalleryOperations ---
    bool Copy() override;
    bool Cut() override;
    bool Paste() override;
    bool Delete() override;
    bool CanCopy() const override;
    bool CanCut() const override;
    bool CanPaste() const override;
    bool CanDelete() const override;
    bool Command(int id) override;
    std::optional<bool> Checked(int id) const override;
    void Refresh() override;
    void Shutdown() override;
    void RebuildDisplay() override;
    void UpdateCommands() override;
    void PauseThumbnails(bool paused) override;

    // --- CGalleryServices ---
    bool IsTimelineBusy() const override;
    std::mutex& SharedMutex() override;
    std::string ThumbnailStoreFolder() const override;

private:
    bool Run(int id);
    bool Enabled(int id) const;

    CMediatorSeam* mediator_;
    QPointer<CChildFrame> frame_;
};

}  // namespace tavrel
