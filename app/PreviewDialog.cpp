#include "app/PreviewDialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QTimerEvent>
#include <QVBoxLayout>

#include "RKWindow/ui/C3DWindowView.h"
#include "motion/FrameStep.h"
#include "motion/MotionImport.h"
#include "uikit/UiText.h"

namespace tavrel {

namespace {
constexpr int kCaption = 62269;
constexpr int kUnreadable = 62268;
}  // namespace

CPreviewDialog::CPreviewDialog(QWidget* parent, std::string dataFolder)
    : QDialog(parent), dataFolder_(std::move(dataFolder)) {
    setWindowTitle(ui::Text(kCaption));
    resize(360, 440);
}

CPreviewDialog::~CPreviewDialog() = default;

bool CPreviewDialog::SetFile(const std::string& path) {
    // Every frame read now: a file cut short is refused here, not midway through playing.
    motion_ = CMotionImport::OpenToShow(path, 1);
    if (!motion_ || motion_->GetEndFrame() < motion_->GetBeginFrame()) {
        motion_.reset();
        ui::ShowMessage(parentWidget(), MakeMessage(kUnreadable, {{"%File", path}}));
        return false;
    }
    setWindowTitle(QFileInfo(QString::fromStdString(path)).fileName());
    frame_ = motion_->GetBeginFrame();
    carry_ = 0;
    return true;
}

// The view is made on first showing: a GL context only when a preview is wanted.
void CPreviewDialog::showEvent(QShowEvent* event) {
    if (!view_ && C3DWindowView::CanCreateContext()) {
        view_ = new C3DWindowView(dataFolder_);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(view_, 1);
        layout->addWidget(buttons);
    }
    QDialog::showEvent(event);
    if (motion_) timer_.start(kInterval, this);
}

void CPreviewDialog::hideEvent(QHideEvent* event) {
    timer_.stop();
    QDialog::hideEvent(event);
}

void CPreviewDialog::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_.timerId()) {
        Step();
    } else {
        QDialog::timerEvent(event);
    }
}

void CPreviewDialog::Step() {
    if (!motion_) return;
    frame_ = NextFrameAtRate(frame_, motion_->GetFrameRate(), kInterval, motion_->GetBeginFrame(),
                             motion_->GetEndFrame(), &carry_);
    ShowFrame();
}

void CPreviewDialog::ShowFrame() {
    CRKSystem* system = view_ ? view_->System() : nullptr;
    if (!system) return;
    system->PoseAvatar(motion_->GetFrame(frame_));
    view_->update();
}

}  // namespace tavrel
