// tavrel-icons OUTDIR: draws the program's icons, toolbar pictures and cursors as PNG files,
// so that no binary picture has to be kept in the repository.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kInk(40, 48, 64);
const QColor kAccent(230, 120, 40);
const QColor kSky(52, 92, 150);

using Drawing = std::function<void(QPainter&)>;

bool Save(const QString& path, int size, const Drawing& draw) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 24.0, size / 24.0);  // every picture is drawn on a 24 x 24 grid
    draw(p);
    p.end();
    return image.save(path, "PNG");
}

QPen Stroke(const QColor& colour, double width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A figure in mid-stride: the program's emblem.
void Figure(QPainter& p, const QColor& colour, double width) {
    p.setPen(Stroke(colour, width));
    p.setBrush(colour);
    p.drawEllipse(QPointF(13.0, 4.6), 1.9, 1.9);
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(12.4, 7.4), QPointF(11.0, 13.0));                               // spine
    p.drawPolyline(QPolygonF({{8.0, 10.6}, {10.2, 8.4}, {12.4, 8.6}, {15.2, 11.0}}));  // arms
    p.drawPolyline(QPolygonF({{11.0, 13.0}, {13.6, 16.0}, {13.0, 19.8}}));             // front leg
    p.drawPolyline(QPolygonF({{11.0, 13.0}, {9.4, 16.4}, {6.8, 18.2}}));               // back leg
}

void AppIcon(QPainter& p) {
    QLinearGradient sky(0, 0, 0, 24);
    sky.setColorAt(0, kSky.lighter(130));
    sky.setColorAt(1, kSky.darker(130));
    p.setPen(Qt::NoPen);
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(1, 1, 22, 22), 4.5, 4.5);
    p.setBrush(QColor(255, 255, 255, 60));
    p.drawRect(QRectF(3, 20.2, 18, 1.4));  // the timeline under the figure
    p.setBrush(kAccent);
    p.drawRect(QRectF(8, 20.2, 6, 1.4));
    Figure(p, Qt::white, 1.5);
}

void Page(QPainter& p) {
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({{6, 3}, {14, 3}, {18, 7}, {18, 21}, {6, 21}}));
    p.drawPolyline(QPolygonF({{14, 3}, {14, 7}, {18, 7}}));
}

void Folder(QPainter& p) {
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(QColor(240, 200, 90));
    p.drawPolygon(QPolygonF({{3, 6}, {9, 6}, {11, 8}, {21, 8}, {21, 19}, {3, 19}}));
}

void Scissors(QPainter& p) {
    p.setPen(Stroke(kInk, 1.4));
    p.drawLine(QPointF(7, 3), QPointF(15.5, 15));
    p.drawLine(QPointF(17, 3), QPointF(8.5, 15));
    p.drawEllipse(QPointF(7, 18), 2.6, 2.6);
    p.drawEllipse(QPointF(17, 18), 2.6, 2.6);
}

void Copy(QPainter& p) {
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4, 3, 10, 13));
    p.drawRect(QRectF(10, 8, 10, 13));
}

void Paste(QPainter& p) {
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(QColor(200, 160, 110));
    p.drawRoundedRect(QRectF(4, 4, 14, 17), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(10, 9, 10, 12));
    p.setBrush(kInk);
    p.drawRect(QRectF(8, 2.5, 6, 3));
}

// The gallery's file commands: a motion file (a page with a figure on it) or a folder, and
// what is done to it.
void MotionPage(QPainter& p, double x, double y) {
    p.setPen(Stroke(kInk, 1.1));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({{x, y}, {x + 8, y}, {x + 11, y + 3}, {x + 11, y + 14}, {x, y + 14}}));
    p.setPen(Stroke(kSky, 1.1));
    p.drawEllipse(QPointF(x + 5.5, y + 4), 1.3, 1.3);
    p.drawPolyline(QPolygonF({{x + 3, y + 12}, {x + 5.5, y + 8}, {x + 8, y + 12}}));
    p.drawLine(QPointF(x + 5.5, y + 5.5), QPointF(x + 5.5, y + 8));
}

void Cross(QPainter& p, double x, double y, double r) {
    p.setPen(Stroke(QColor(200, 40, 40), 2.0));
    p.drawLine(QPointF(x - r, y - r), QPointF(x + r, y + r));
    p.drawLine(QPointF(x + r, y - r), QPointF(x - r, y + r));
}

void CopyMotions(QPainter& p) {
    MotionPage(p, 3, 2);
    MotionPage(p, 10, 8);
}

void CutMotion(QPainter& p) {
    MotionPage(p, 3, 2);
    p.translate(7, 7);
    p.scale(0.65, 0.65);
    Scissors(p);
}

void PasteMotion(QPainter& p) {
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(QColor(200, 160, 110));
    p.drawRoundedRect(QRectF(2, 4, 13, 17), 1.5, 1.5);
    p.setBrush(kInk);
    p.drawRect(QRectF(5.5, 2.5, 6, 3));
    MotionPage(p, 10, 8);
}

void DeleteMotion(QPainter& p) {
    MotionPage(p, 3, 2);
    Cross(p, 16, 17, 4);
}

void FolderAt(QPainter& p, double x, double y) {
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(QColor(240, 200, 90));
    p.drawPolygon(QPolygonF(
        {{x, y}, {x + 5, y}, {x + 7, y + 2}, {x + 15, y + 2}, {x + 15, y + 11}, {x, y + 11}}));
}

void NewFolder(QPainter& p) {
    FolderAt(p, 2, 8);
    p.setPen(Stroke(kAccent, 2.0));
    p.drawLine(QPointF(18, 2), QPointF(18, 10));
    p.drawLine(QPointF(14, 6), QPointF(22, 6));
}

void DeleteFolder(QPainter& p) {
    FolderAt(p, 2, 5);
    Cross(p, 17, 17, 4);
}

void RenameFolder(QPainter& p) {
    FolderAt(p, 2, 3);
    p.setPen(Stroke(kInk, 1.1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3, 16, 18, 6));
    p.setPen(Stroke(kAccent, 1.6));
    p.drawLine(QPointF(16, 14.5), QPointF(16, 23.5));
}

void RefreshPictures(QPainter& p) {
    p.setPen(Stroke(kInk, 1.1));
    p.setBrush(QColor(220, 232, 245));
    p.drawRect(QRectF(3, 3, 8, 8));
    p.drawRect(QRectF(13, 3, 8, 8));
    p.drawRect(QRectF(3, 13, 8, 8));
    p.setPen(Stroke(kSky, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(13, 13, 8, 8), 90 * 16, 270 * 16);
    p.setBrush(kSky);
    p.setPen(Qt::NoPen);
    p.drawPolygon(QPolygonF({{17, 11}, {20, 13}, {17, 15}}));
}

void Arrow(QPainter& p, bool forward) {
    if (!forward) {
        p.translate(24, 0);
        p.scale(-1, 1);
    }
    p.setPen(Stroke(kInk, 1.8));
    QPainterPath path;
    path.moveTo(5, 17);
    path.cubicTo(5, 8, 14, 6, 18, 11);
    p.drawPath(path);
    p.setBrush(kInk);
    p.drawPolygon(QPolygonF({{20, 6}, {20, 13}, {13.5, 12}}));
}

void Ring(QPainter& p) {
    p.setPen(Stroke(QColor(210, 30, 30), 1.6));
    p.drawEllipse(QPointF(12, 12), 8, 4);
    Figure(p, kInk, 1.2);
}

// A small camera seen from the side, with an arrow telling where it looks from.
void Camera(QPainter& p, double angle) {
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(QColor(120, 130, 150));
    p.drawRoundedRect(QRectF(3, 8, 11, 8), 1.5, 1.5);
    p.drawPolygon(QPolygonF({{14, 10.5}, {19, 8}, {19, 16}, {14, 13.5}}));
    p.save();
    p.translate(17.5, 19.5);
    p.rotate(angle);
    p.setPen(Stroke(kAccent, 1.6));
    p.drawLine(QPointF(-3, 0), QPointF(3, 0));
    p.setBrush(kAccent);
    p.drawPolygon(QPolygonF({{3.8, 0}, {1.2, -2}, {1.2, 2}}));
    p.restore();
}

void Layout(QPainter& p, bool whole) {
    p.setPen(Stroke(kInk, 1.2));
    p.setBrush(QColor(210, 220, 235));
    if (whole) {
        p.drawRect(QRectF(3, 4, 18, 16));
        return;
    }
    p.drawRect(QRectF(3, 4, 10, 10));
    p.drawRect(QRectF(14, 4, 7, 10));
    p.drawRect(QRectF(3, 15, 18, 5));
}

void Help(QPainter& p) {
    p.setPen(Stroke(kSky, 1.6));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(12, 12), 9, 9);
    QPainterPath mark;
    mark.moveTo(9, 9.5);
    mark.cubicTo(9, 5.5, 15.5, 5.5, 15, 9.5);
    mark.cubicTo(14.7, 11.5, 12, 11.5, 12, 14.5);
    p.setBrush(Qt::NoBrush);
    p.drawPath(mark);
    p.setBrush(kSky);
    p.drawEllipse(QPointF(12, 17.5), 0.9, 0.9);
}

// Cursors: a white outline under dark strokes, hot spot in the centre.
void CursorRotate(QPainter& p) {
    for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 3.2}, {kInk, 1.4}}) {
        p.setPen(Stroke(colour, width));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(5, 5, 14, 14), 30 * 16, 300 * 16);
        p.drawLine(QPointF(18, 8), QPointF(19.5, 4.5));
        p.drawLine(QPointF(18, 8), QPointF(14.5, 7.2));
    }
}

void CursorMove(QPainter& p) {
    for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 3.2}, {kInk, 1.4}}) {
        p.setPen(Stroke(colour, width));
        p.drawLine(QPointF(12, 3), QPointF(12, 21));
        p.drawLine(QPointF(3, 12), QPointF(21, 12));
        for (int r = 0; r < 4; ++r) {
            p.save();
            p.translate(12, 12);
            p.rotate(90 * r);
            p.drawPolyline(QPolygonF({{-2.5, -6.5}, {0, -9}, {2.5, -6.5}}));
            p.restore();
        }
    }
}

void CursorZoom(QPainter& p) {
    for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 3.2}, {kInk, 1.4}}) {
        p.setPen(Stroke(colour, width));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(10.5, 10.5), 6, 6);
        p.drawLine(QPointF(15, 15), QPointF(21, 21));
        p.drawLine(QPointF(10.5, 7.5), QPointF(10.5, 13.5));
        p.drawLine(QPointF(7.5, 10.5), QPointF(13.5, 10.5));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavrel-icons OUTDIR\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(out.filePath("toolbar")) || !QDir().mkpath(out.filePath("cursors"))) {
        std::fprintf(stderr, "tavrel-icons: cannot make %s\n", argv[1]);
        return 1;
    }
    struct Picture {
        const char* name;
        int size;
        Drawing draw;
    };
    const Picture pictures[] = {
        {"126.png", 256, AppIcon},
        {"112.png", 64, AppIcon},
        {"toolbar/32771.png", 24, Page},
        {"toolbar/32772.png", 24, Folder},
        {"toolbar/57635.png", 24, Scissors},
        {"toolbar/57634.png", 24, Copy},
        {"toolbar/57637.png", 24, Paste},
        {"toolbar/57643.png", 24, [](QPainter& p) { Arrow(p, false); }},
        {"toolbar/57644.png", 24, [](QPainter& p) { Arrow(p, true); }},
        {"toolbar/32826.png", 24, Ring},
        {"toolbar/32827.png", 24, [](QPainter& p) { Camera(p, 0); }},
        {"toolbar/32828.png", 24, [](QPainter& p) { Camera(p, 180); }},
        {"toolbar/32832.png", 24, [](QPainter& p) { Camera(p, 270); }},
        {"toolbar/32829.png", 24, [](QPainter& p) { Camera(p, 90); }},
        {"toolbar/32830.png", 24, [](QPainter& p) { Camera(p, -45); }},
        {"toolbar/32831.png", 24, [](QPainter& p) { Camera(p, 45); }},
        {"toolbar/40004.png", 24, [](QPainter& p) { Layout(p, false); }},
        {"toolbar/40034.png", 24, [](QPainter& p) { Layout(p, true); }},
        {"toolbar/57666.png", 24, Help},
        {"toolbar/32904.png", 24, CopyMotions},
        {"toolbar/32920.png", 24, CutMotion},
        {"toolbar/32908.png", 24, PasteMotion},
        {"toolbar/32909.png", 24, DeleteMotion},
        {"toolbar/32913.png", 24, NewFolder},
        {"toolbar/32915.png", 24, DeleteFolder},
        {"toolbar/32917.png", 24, RenameFolder},
        {"toolbar/32919.png", 24, RefreshPictures},
        {"cursors/rotate.png", 32, CursorRotate},
        {"cursors/move.png", 32, CursorMove},
        {"cursors/zoom.png", 32, CursorZoom},
    };
    for (const Picture& picture : pictures) {
        if (!Save(out.filePath(picture.name), picture.size, picture.draw)) {
            std::fprintf(stderr, "tavrel-icons: cannot write %s\n", picture.name);
            return 1;
        }
    }
    return 0;
}
