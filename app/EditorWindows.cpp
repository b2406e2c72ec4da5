#include "app/EditorWindows.h"

#include "RKWindow/ui/C3DWindowView.h"
#include "app/C3DWindowColleague.h"
#include "app/GalleryHost.h"
#include "app/ProjectFileCommands.h"
#include "app/TavrelMediator.h"
#include "app/TimelineColleague.h"
#include "app/TimelineHost.h"

namespace tavrel {

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

void ConnectFileCommands(CProjectFileCommands* commands, CTavrelMediator* mediator) {
    if (!commands) return;
    if (mediator->Timeline()) commands->SetTimeline(mediator->Timeline()->Operations());
    commands->editorView = [mediator]() -> CRKSystem* {
        C3DWindowView* view = mediator->Window3D() ? mediator->Window3D()->View() : nullptr;
        return view ? view->System() : nullptr;
    };
    commands->editorGhosts = [mediator] {
        return mediator->Window3D() ? mediator->Window3D()->Ghosts() : GhostSettings();
    };
}

}  // namespace tavrel
