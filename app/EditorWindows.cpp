#include "app/EditorWindows.h"

#include "app/GalleryHost.h"
#include "app/TavrelMediator.h"
#include "app/TimelineHost.h"

bool ConnectEditorWindows(CTavrelMediator* mediator) {
    bool connected = true;
    if (std::unique_ptr<CTimelineHost> timeline = CTimelineHost::Create(mediator)) {
        QWidget* view = timeline->View();
        mediator->Timeline()->SetPanel(view, std::move(timeline));
    } else {
        connected = false;
    }
    auto gallery = std::make_unique<CGalleryHost>(mediator);
    QWidget* frame = gallery->Frame();
    mediator->Gallery()->SetPane(frame, std::move(gallery));
    return connected;
}
