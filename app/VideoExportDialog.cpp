#include "app/VideoExportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>

#include "uikit/UiText.h"

namespace tavrel {

namespace {

constexpr int kExportVideoTitle = 62542;
constexpr int kSizeLabel = 62555;
constexpr int kCameraLabel = 62556;
constexpr int kViewCamera = 62557;
constexpr int kPresetNames = 62558;  // front, back, left, right, above, below
constexpr int kViewSize = 62564;
constexpr int kShowGhosts = 62669;
constexpr int kShowPaths = 62670;
constexpr int kPresetCount = 6;
constexpr QSize kSizes[] = {{640, 360}, {1280, 720}, {1920, 1080}};
constexpr int kDefaultSize = 1;

QString SizeText(QSize size) {
    return QString("%1 x %2").arg(size.width()).arg(size.height());
}

// The encoders take even sides only.
QSize Even(QSize size) {
    return {qMax(2, size.width() & ~1), qMax(2, size.height() & ~1)};
}

}  // namespace

CVideoExportDialog::CVideoExportDialog(QWidget* parent, QSize viewSize)
    : QDialog(parent),
      sizes_(new QComboBox(this)),
      cameras_(new QComboBox(this)),
      ghosts_(new QCheckBox(ui::Text(kShowGhosts), this)),
      paths_(new QCheckBox(ui::Text(kShowPaths), this)) {
    setWindowTitle(ui::Text(kExportVideoTitle));
    const bool hasView = !viewSize.isEmpty();
    if (hasView) {
        const QSize even = Even(viewSize);
        sizes_->addItem(ui::Text(kViewSize).replace("%Size", SizeText(even)), even);
        cameras_->addItem(ui::Text(kViewCamera), -1);
    }
    for (QSize size : kSizes) sizes_->addItem(SizeText(size), size);
    for (int i = 0; i < kPresetCount; ++i) cameras_->addItem(ui::Text(kPresetNames + i), i);
    sizes_->setCurrentIndex(kDefaultSize + (hasView ? 1 : 0));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout(this);
    form->addRow(ui::Text(kSizeLabel), sizes_);
    form->addRow(ui::Text(kCameraLabel), cameras_);
    form->addRow(ghosts_);
    form->addRow(paths_);
    form->addRow(buttons);
}

VideoChoice CVideoExportDialog::Choice() const {
    return {sizes_->currentData().toSize(), cameras_->currentData().toInt(), ghosts_->isChecked(),
            paths_->isChecked()};
}

std::optional<VideoChoice> CVideoExportDialog::Ask(QWidget* parent, QSize viewSize) {
    CVideoExportDialog dialog(parent, viewSize);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Choice();
}

}  // namespace tavrel
