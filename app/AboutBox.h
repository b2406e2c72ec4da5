#pragma once
// The about box: the program's icon and five lines with its version record filled in.
#include <QDialog>

namespace tavrel {

class CAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit CAboutBox(QWidget* parent);
    // The five lines as shown.
    static QStringList Lines();
};

}  // namespace tavrel
