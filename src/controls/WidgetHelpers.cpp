#include "controls/WidgetHelpers.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>

#include "controls/ControlPictures.h"
#include "platform/CodePage.h"
#include "platform/UserMessages.h"

namespace movarel {

QColor ColorFromRef(uint32_t colorRef) {
    return QColor(static_cast<int>(colorRef & 0xFF), static_cast<int>((colorRef >> 8) & 0xFF),
                  static_cast<int>((colorRef >> 16) & 0xFF));
}

void DrawFrameRect(QPainter& painter, int32_t l, int32_t t, int32_t r, int32_t b) {
    if (l > r)
        std::swap(l, r);
    if (t > b)
        std::swap(t, b);
    if (r - l < 1 || b - t < 1)
        return;
    // A one-pixel pen on QRect(x, y, w, h) covers x .. x + w, so the extent is one less.
    painter.drawRect(QRect(l, t, r - l - 1, b - t - 1));
}

QString DecodeFilmText(const std::string& bytes) { return QString::fromStdString(DecodeAnsi(bytes)); }

QRect AreaRect(int32_t l, int32_t t, int32_t r, int32_t b) {
    if (r <= l || b <= t)
        return QRect();
    return QRect(l, t, r - l, b - t);
}

QPixmap SetButtonBitmap(QAbstractButton* button, const std::string& name) {
    QPixmap picture = LoadBitmapResource(name);
    if (button != nullptr && !picture.isNull()) {
        button->setIcon(QIcon(picture));
        button->setIconSize(picture.size());
    }
    return picture;
}

void SetButtonCheck(QAbstractButton* button, bool checked) {
    if (button != nullptr)
        button->setChecked(checked);
}

namespace {
QAction* ItemAt(QWidget* menu, int position) {
    if (menu == nullptr || position < 0)
        return nullptr;
    const QList<QAction*> items = menu->actions();
    if (position >= items.size())
        return nullptr;
    return items[position];
}
}  // namespace

void SetMenuText(QWidget* menu, int position, const std::string& text) {
    if (text.empty() || text[0] == '\b')
        return;
    QAction* item = ItemAt(menu, position);
    if (item == nullptr) {
        ShowMessage("SetMenuText: SetMenuItemInfo error", "Debug");
        return;
    }
    QString caption = QString::fromStdString(text);
    caption.replace(QChar('\b'), QChar('\t'));
    item->setText(caption);
}

void SetMenuCheck(QWidget* menu, int position, bool checked) {
    QAction* item = ItemAt(menu, position);
    if (item == nullptr)
        return;
    // Unchecked items show no box, as a plain menu item does.
    item->setCheckable(checked);
    item->setChecked(checked);
}

void SetMenuEnabled(QWidget* menu, int position, bool enabled) {
    if (QAction* item = ItemAt(menu, position))
        item->setEnabled(enabled);
}

QFont CreateFontByName(const std::string& name, int32_t height, uint32_t style) {
    const QString family = QString::fromStdString(name);
    QFont font;
    if (!family.isEmpty() && QFontDatabase::families().contains(family, Qt::CaseSensitive))
        font.setFamily(family);
    font.setBold(style & 1);
    font.setItalic(style & 2);
    font.setUnderline(style & 4);
    font.setStrikeOut(style & 8);
    if (height > 0) {
        // height is the cell, leading included; Qt sizes the em, so shrink it to fit.
        font.setPixelSize(height);
        const int cell = QFontMetrics(font).height();
        if (cell > height)
            font.setPixelSize(std::max(1, height * height / cell));
    } else if (height < 0) {
        font.setPixelSize(-height);
    }
    return font;
}

}  // namespace movarel
