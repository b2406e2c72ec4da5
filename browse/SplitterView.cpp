#include "browse/SplitterView.h"

namespace tavrel {

CSplitterView::CSplitterView(QWidget* tree, QWidget* preview, QWidget* parent)
    : QWidget(parent), splitter_(new QSplitter(Qt::Vertical, this)) {
    tree->setMinimumHeight(kTreeMinimum);
    preview->setMinimumHeight(kPreviewMinimum);
    splitter_->addWidget(tree);
    splitter_->addWidget(preview);
    splitter_->setChildrenCollapsible(false);
    splitter_->setSizes({kTreeHeight, kPreviewHeight});
    setMinimumHeight(kTreeMinimum + kPreviewMinimum + splitter_->handleWidth());
}

void CSplitterView::resizeEvent(QResizeEvent*) {
    splitter_->setGeometry(rect().adjusted(-2, -2, 2, 2));
    if (++sizings_ >= 2) {
        const int height = splitter_->height() - splitter_->handleWidth();
        const int preview = std::max(kPreviewMinimum, height / 3);
        splitter_->setSizes({std::max(kTreeMinimum, height - preview), preview});
    }
}

}  // namespace tavrel
