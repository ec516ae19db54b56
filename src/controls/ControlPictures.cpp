#include "controls/ControlPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace movarel {
namespace {

// A small palette so the pictures keep the flat look of 16-colour artwork.
const QColor kInk(0x30, 0x38, 0x48);
const QColor kAccent(0x90, 0x98, 0xA8);
const QColor kLight(0xE0, 0xE0, 0xE0);

QPixmap Blank(int size, const QColor& fill) {
    QPixmap picture(size, size);
    picture.fill(fill);
    return picture;
}

void Triangle(QPainter& p, int x, int top, int bottom, int tip, const QColor& c) {
    QPolygon shape;
    shape << QPoint(x, top) << QPoint(tip, (top + bottom) / 2) << QPoint(x, bottom);
    p.setPen(c);
    p.setBrush(c);
    p.drawPolygon(shape);
}

QPixmap Play() {
    QPixmap pic = Blank(20, kLight);
    QPainter p(&pic);
    Triangle(p, 6, 3, 16, 15, kInk);
    return pic;
}

QPixmap Pause() {
    QPixmap pic = Blank(20, kLight);
    QPainter p(&pic);
    p.fillRect(5, 4, 4, 12, kInk);
    p.fillRect(11, 4, 4, 12, kInk);
    return pic;
}

QPixmap Stop() {
    QPixmap pic = Blank(20, kLight);
    QPainter p(&pic);
    p.fillRect(5, 5, 10, 10, kInk);
    return pic;
}

QPixmap Segments() {
    QPixmap pic = Blank(20, kLight);
    QPainter p(&pic);
    for (int row = 0; row < 4; ++row) {
        p.fillRect(3, 4 + row * 3, 2, 2, kAccent);
        p.fillRect(7, 4 + row * 3, 10, 2, kInk);
    }
    return pic;
}

QPixmap Previous() {
    QPixmap pic = Blank(20, kLight);
    QPainter p(&pic);
    p.fillRect(3, 4, 2, 12, kInk);
    Triangle(p, 11, 4, 16, 5, kInk);
    Triangle(p, 17, 4, 16, 11, kInk);
    return pic;
}

QPixmap Next() {
    QPixmap pic = Blank(20, kLight);
    QPainter p(&pic);
    Triangle(p, 3, 4, 16, 9, kInk);
    Triangle(p, 9, 4, 16, 15, kInk);
    p.fillRect(15, 4, 2, 12, kInk);
    return pic;
}

QPixmap FullScreen() {
    QPixmap pic = Blank(20, kLight);
    QPainter p(&pic);
    p.setPen(QPen(kInk, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(5, 6, 9, 7);
    // Four corner marks pointing outwards.
    p.fillRect(2, 2, 4, 2, kInk);
    p.fillRect(2, 2, 2, 4, kInk);
    p.fillRect(14, 2, 4, 2, kInk);
    p.fillRect(16, 2, 2, 4, kInk);
    p.fillRect(2, 16, 4, 2, kInk);
    p.fillRect(2, 14, 2, 4, kInk);
    p.fillRect(14, 16, 4, 2, kInk);
    p.fillRect(16, 14, 2, 4, kInk);
    return pic;
}

QPixmap VelocityThumb() {
    QPixmap pic = Blank(14, kLight);
    QPainter p(&pic);
    Triangle(p, 2, 3, 10, 7, kInk);
    Triangle(p, 7, 3, 10, 12, kInk);
    return pic;
}

QPixmap VolumeThumb() {
    QPixmap pic = Blank(14, kLight);
    QPainter p(&pic);
    p.fillRect(2, 5, 3, 4, kInk);
    QPolygon cone;
    cone << QPoint(5, 5) << QPoint(8, 2) << QPoint(8, 11) << QPoint(5, 8);
    p.setPen(kInk);
    p.setBrush(kInk);
    p.drawPolygon(cone);
    p.setBrush(Qt::NoBrush);
    p.drawLine(10, 5, 10, 8);
    p.drawLine(12, 3, 12, 10);
    return pic;
}

}  // namespace

QPixmap LoadBitmapResource(const std::string& name) {
    if (name == "PLAYBMP")
        return Play();
    if (name == "PAUSEBMP")
        return Pause();
    if (name == "STOPBMP")
        return Stop();
    if (name == "SEGMENTSBMP")
        return Segments();
    if (name == "PREVBMP")
        return Previous();
    if (name == "NEXTBMP")
        return Next();
    if (name == "FULLSCREENBMP")
        return FullScreen();
    if (name == "VELOCITYBMP")
        return VelocityThumb();
    if (name == "SOUNDVOLUMEBMP")
        return VolumeThumb();
    return QPixmap();
}

}  // namespace movarel
