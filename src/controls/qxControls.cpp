#include "controls/qxControls.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>

#include "controls/ControlPictures.h"
#include "platform/CodePage.h"
#include "platform/UserMessages.h"

namespace movarel {

ControlsState& ControlsModule() {
    static ControlsState state;
    return state;
}

TqxControl::TqxControl(QWidget* parent) : QWidget(parent) {}

TqxControl::~TqxControl() {
    // Detach first, so nothing the dying window receives reaches a half-destroyed object.
    FAttached = false;
}

void TqxControl::Construct() {
    FBrush = GetBackgroundBrush();
    FClassName = GetClassName();
    FStyle = GetStyle();
    FExStyle = GetExStyle();
    FParent = parentWidget();

    auto& classes = ControlsModule().Classes;
    auto found = classes.find(FClassName);
    if (found == classes.end())
        found = classes.emplace(FClassName, TControlClass{GetCursorHandle(), FBrush}).first;
    setCursor(found->second.Cursor);
    setObjectName(QString::fromStdString(FClassName));
    setFocusPolicy((FStyle & kStyleTabStop) ? Qt::TabFocus : Qt::NoFocus);
    setGeometry(0, 0, 0, 0);
    if ((FStyle & kStyleVisible) && FParent != nullptr)
        setVisible(true);
    else
        setVisible(false);

    FHandle = this;
    FAttached = true;
    Init();
}

QBrush TqxControl::GetBackgroundBrush() const {
    return QBrush(QApplication::palette().color(QPalette::Window));
}

void TqxControl::Init() {
    FEnabled = true;
    UpdateBounds();
}

void TqxControl::SetLeft(int32_t v) {
    FLeft = v;
    UpdateBounds();
}

void TqxControl::SetTop(int32_t v) {
    FTop = v;
    UpdateBounds();
}

void TqxControl::SetWidth(int32_t v) {
    FWidth = v;
    UpdateBounds();
}

void TqxControl::SetHeight(int32_t v) {
    FHeight = v;
    UpdateBounds();
}

void TqxControl::SetEnabledState(bool enabled) {
    if (FEnabled == enabled)
        return;
    FEnabled = enabled;
    update();
}

void TqxControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    UpdateBounds();
}

void TqxControl::UpdateBounds() {
    if (FHandle == nullptr)
        return;
    // A negative size is no size at all to Qt.
    setGeometry(FLeft, FTop, std::max(FWidth, 0), std::max(FHeight, 0));
    // Qt holds back move and resize events of a hidden window until it is
    // shown; the control's own handlers must see the new bounds now.
    if (!isVisible()) {
        Moved(x(), y());
        Resized(width(), height());
    }
    update();
}

int TqxControl::BoundsChanging(const TRect& rect) {
    FLeft = rect.Left;
    FTop = rect.Top;
    FWidth = rect.Right - rect.Left + 1;
    FHeight = rect.Bottom - rect.Top + 1;
    return 1;
}

void TqxControl::Resized(int32_t width, int32_t height) {
    FWidth = width;
    FHeight = height;
}

void TqxControl::Moved(int32_t left, int32_t top) {
    FLeft = left;
    FTop = top;
}

void TqxControl::Paint(QPainter&, const QRect&) {}
void TqxControl::LeftButtonDown(int32_t, int32_t) {}
void TqxControl::MouseMoved(int32_t, int32_t) {}
void TqxControl::LeftButtonUp(int32_t, int32_t) {}

bool TqxControl::event(QEvent* e) {
    if (!FAttached)
        return QWidget::event(e);
    switch (static_cast<int>(e->type())) {
    case QEvent::Move:
        Moved(x(), y());
        return true;
    case QEvent::Resize:
        Resized(width(), height());
        return true;
    case kUpdateBoundsEvent:
        UpdateBounds();
        return true;
    case QEvent::Paint: {
        QPainter painter(this);
        Paint(painter, static_cast<QPaintEvent*>(e)->rect());
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(e);
        const QPoint p = me->position().toPoint();
        const int outer = FMessage;
        FMessage = e->type() == QEvent::MouseMove ? 0x200 : e->type() == QEvent::MouseButtonPress ? 0x201 : 0x202;
        struct Restore {
            int& m;
            int v;
            ~Restore() { m = v; }
        } restore{FMessage, outer};
        if (e->type() == QEvent::MouseMove)
            MouseMoved(p.x(), p.y());
        else if (me->button() == Qt::LeftButton && e->type() == QEvent::MouseButtonPress)
            LeftButtonDown(p.x(), p.y());
        else if (me->button() == Qt::LeftButton)
            LeftButtonUp(p.x(), p.y());
        // Mouse messages of a control are its own; they do not travel on to the panel.
        e->accept();
        return true;
    }
    case QEvent::MouseButtonDblClick:
        // The second press of a double click is not a press to the controls.
        e->accept();
        return true;
    default:
        return QWidget::event(e);
    }
}

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

void MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom, TRect& rect) {
    rect.Left = left;
    rect.Top = top;
    rect.Right = right;
    rect.Bottom = bottom;
}

void MakeBoundsRect(int32_t x, int32_t y, int32_t w, int32_t h, TRect& rect) {
    if (w >= 0) {
        rect.Left = x;
        rect.Right = x + w - 1;
    } else {
        rect.Right = x;
        rect.Left = x + w + 1;
    }
    if (h >= 0) {
        rect.Top = y;
        rect.Bottom = y + h - 1;
    } else {
        rect.Bottom = y;
        rect.Top = y + h + 1;
    }
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
    if (!family.isEmpty() && QFontDatabase::families().contains(family, Qt::CaseSensitive))
        ControlsModule().LastFontFamily = family;

    QFont font;
    if (!ControlsModule().LastFontFamily.isEmpty())
        font.setFamily(ControlsModule().LastFontFamily);
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
