#include "app/ImageList.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOption>
#include <cmath>
#include <functional>
#include <numbers>

namespace tarnel {
namespace {

// Compiled in, so that loading it needs no image reader.
#include "app/art/aboutpicture.xpm"

const QColor kInk(0x20, 0x20, 0x20);
const QColor kGreen(0x3a, 0x8f, 0x3a);
const QColor kRed(0xc0, 0x30, 0x30);
const QColor kBlue(0x2e, 0x5f, 0xa8);
const QColor kYellow(0xe0, 0xb0, 0x30);
const QColor kGrey(0x90, 0x90, 0x90);
const QColor kOrange(0xd0, 0x70, 0x20);

// Draws on a canvas of `units` x `units`. Outlines one unit wide run along half units, so
// they cover whole pixels at 100 % and at every whole-number scale.
using Drawing = std::function<void(QPainter&)>;

QPen Outline(const QColor& color, double width = 1.0) {
    QPen pen(color, width);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

void DrawAttach(QPainter& p) {  // a plug on its cable
    p.setPen(Outline(kInk));
    p.drawLine(QPointF(6.5, 2), QPointF(6.5, 6));
    p.drawLine(QPointF(9.5, 2), QPointF(9.5, 6));
    p.setBrush(kBlue);
    p.drawRect(QRectF(4.5, 6.5, 7, 6));
    p.setPen(Outline(kInk, 2));
    p.drawLine(QPointF(8, 13), QPointF(8, 16));
}

void DrawRun(QPainter& p) {  // a green triangle pointing right
    p.setPen(Outline(kInk));
    p.setBrush(kGreen);
    p.drawPolygon(QPolygonF({{4.5, 2.5}, {12.5, 8}, {4.5, 13.5}}));
}

void DrawStop(QPainter& p) {  // a red square
    p.setPen(Outline(kInk));
    p.setBrush(kRed);
    p.drawRect(QRectF(3.5, 3.5, 9, 9));
}

void DrawReset(QPainter& p) {  // a ring that ends in an arrowhead, turning clockwise
    const QPointF centre(8, 8.5);
    const double radius = 4.75;
    const double endDegrees = 90;  // the arrowhead sits on top and points right
    QPen ring(kOrange, 2);
    ring.setCapStyle(Qt::FlatCap);
    p.setPen(ring);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
              static_cast<int>((endDegrees + 290) * 16), -290 * 16);

    // The head's base straddles the ring at its end, so the two read as one stroke.
    const double angle = endDegrees * std::numbers::pi / 180;
    const QPointF end(centre.x() + radius * std::cos(angle), centre.y() - radius * std::sin(angle));
    const QPointF along(std::sin(angle), std::cos(angle));  // clockwise tangent
    const QPointF outward(std::cos(angle), -std::sin(angle));
    const QPointF base = end - along * 0.75;
    p.setPen(Qt::NoPen);
    p.setBrush(kOrange);
    p.drawPolygon(QPolygonF({base + outward * 3.25, base + along * 4.25, base - outward * 3.25}));
}

void DrawOpen(QPainter& p) {  // a yellow folder
    p.setPen(Outline(kInk));
    p.setBrush(kYellow);
    QPainterPath folder;
    folder.moveTo(1.5, 13.5);
    folder.lineTo(1.5, 3.5);
    folder.lineTo(6.5, 3.5);
    folder.lineTo(7.5, 4.5);
    folder.lineTo(14.5, 4.5);
    folder.lineTo(14.5, 13.5);
    folder.closeSubpath();
    p.drawPath(folder);
    p.drawLine(QPointF(1.5, 6.5), QPointF(14.5, 6.5));
}

void DrawProgram(QPainter& p) {  // an arrow down into a chip
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawPolygon(QPolygonF({{6, 1}, {10, 1}, {10, 5}, {12.5, 5}, {8, 9.5}, {3.5, 5}, {6, 5}}));
    p.setPen(Outline(kInk));
    p.setBrush(kGrey);
    p.drawRect(QRectF(2.5, 10.5, 11, 4));
}

void DrawExit(QPainter& p) {  // a door and an arrow leaving through it
    p.setPen(Outline(kInk));
    p.setBrush(kOrange);
    p.drawRect(QRectF(2.5, 1.5, 6, 13));
    QPen arrow(kRed, 1.5);
    arrow.setCapStyle(Qt::FlatCap);
    p.setPen(arrow);
    p.drawLine(QPointF(9, 8), QPointF(13, 8));
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawPolygon(QPolygonF({{12, 5}, {15.5, 8}, {12, 11}}));
}

void DrawChip(QPainter& p) {  // the window icon, on a 32-unit canvas
    p.setPen(Outline(kGrey));
    for (int i = 0; i < 5; ++i) {
        const double x = 9.5 + 3 * i;
        p.drawLine(QPointF(x, 2), QPointF(x, 6));
        p.drawLine(QPointF(x, 26), QPointF(x, 30));
        const double y = 9.5 + 3 * i;
        p.drawLine(QPointF(2, y), QPointF(6, y));
        p.drawLine(QPointF(26, y), QPointF(30, y));
    }
    p.setPen(Outline(kInk));
    p.setBrush(kBlue);
    p.drawRect(QRectF(6.5, 6.5, 19, 19));
    p.setPen(Qt::NoPen);
    p.setBrush(kYellow);
    p.drawRect(QRectF(11, 11, 10, 10));
}

// Paints a drawing at whatever size is asked for; the disabled look comes from the style,
// as it would for a bitmap.
class VectorIconEngine : public QIconEngine {
public:
    VectorIconEngine(Drawing drawing, int units) : drawing_(std::move(drawing)), units_(units) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap image = pixmap(rect.size() * ratio, mode, state);
        image.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect.topLeft(), image);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        QPixmap image(size);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(size.width() / double(units_), size.height() / double(units_));
            drawing_(painter);
        }
        if (mode == QIcon::Disabled && QApplication::style() != nullptr) {
            QStyleOption option;
            option.palette = QApplication::palette();
            return QApplication::style()->generatedIconPixmap(mode, image, &option);
        }
        return image;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }

    QIconEngine* clone() const override { return new VectorIconEngine(drawing_, units_); }

private:
    Drawing drawing_;
    int units_;
};

QIcon VectorIcon(Drawing drawing, int units) {
    return QIcon(new VectorIconEngine(std::move(drawing), units));
}

}  // namespace

QList<QIcon> LoadImageList() {
    const Drawing drawings[] = {[](QPainter&) {}, DrawAttach, DrawRun,     DrawStop,
                                DrawReset,        DrawOpen,   DrawProgram, DrawExit};
    QList<QIcon> images;
    for (const Drawing& drawing : drawings) {
        images.append(VectorIcon(drawing, 16));
    }
    return images;
}

QIcon WindowIcon() {
    return VectorIcon(DrawChip, 32);
}

QPixmap AboutPicture() {
    return QPixmap(aboutpicture);
}

}  // namespace tarnel
