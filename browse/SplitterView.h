#pragma once
// The gallery's left column: the folder tree above the preview. The splitter is laid 2 pixels
// beyond the view on every side so that its frame does not show, and from the second sizing on
// the preview gets a third of the height.
#include <QSplitter>
#include <QWidget>

namespace tavrel {

class CSplitterView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kTreeHeight = 220, kTreeMinimum = 30;
    static constexpr int kPreviewHeight = 60, kPreviewMinimum = 60;

    CSplitterView(QWidget* tree, QWidget* preview, QWidget* parent = nullptr);
    QSplitter* Splitter() const { return splitter_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QSplitter* splitter_;
    int sizings_ = 0;
};

}  // namespace tavrel
