#include "controls/SegmentListWindow.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <string>

#include "controls/WidgetHelpers.h"
#include "engine/Command.h"
#include "platform/UserMessages.h"

namespace movarel {

namespace {

// The numbers the window's error box names for what it was handling when
// something failed. Users have seen them in that box, so they stay.
namespace report {
constexpr int Paint = 15;
constexpr int KeyPress = 256;
constexpr int KeyRelease = 257;
constexpr int Command = 273;
constexpr int DoubleClick = 515;
constexpr int RightButtonDown = 516;
}  // namespace report

// Nothing a handler (or a slot behind the window's signals) raises may cross
// into Qt's event loop.
template <class Fn>
void Guarded(int number, Fn&& fn) {
    try {
        fn();
    } catch (...) {
        ShowMessage("SegmentList: WndProc error: Msg = " + std::to_string(number), "Error", MsgIcon::None,
                    MsgOwner::MainWindow);
    }
}

}  // namespace

// The list box catches Return, Escape, the double click and the right button;
// everything else is an ordinary list.
class SegmentListBox : public QListWidget {
public:
    explicit SegmentListBox(SegmentListWindow* window) : QListWidget(window), window_(window) {}

protected:
    // The window's keys use the arrows and Home too; while the list has the
    // focus its own moves through the names win.
    bool event(QEvent* e) override {
        if (e->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(e);
            switch (key->key()) {
            case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Home: case Qt::Key_End:
            case Qt::Key_PageUp: case Qt::Key_PageDown:
                if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
                    e->accept();
                    return true;
                }
                break;
            default: break;
            }
        }
        return QListWidget::event(e);
    }
    void keyPressEvent(QKeyEvent* e) override { window_->listKey(e, true); }
    void keyReleaseEvent(QKeyEvent* e) override { window_->listKey(e, false); }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) {
            QListWidget::mouseDoubleClickEvent(e);
            return;
        }
        e->accept();
        Guarded(report::DoubleClick, [this] { window_->goToSelectedSegment(); });
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::RightButton) {
            QListWidget::mousePressEvent(e);
            return;
        }
        e->accept();
        Guarded(report::RightButtonDown, [this] { emit window_->contextMenuRequested(); });
    }

private:
    friend class SegmentListWindow;
    void baseKeyPress(QKeyEvent* e) { QListWidget::keyPressEvent(e); }
    void baseKeyRelease(QKeyEvent* e) { QListWidget::keyReleaseEvent(e); }
    SegmentListWindow* window_;
};

SegmentListWindow::SegmentListWindow(QWidget* parent) : QWidget(parent) {
    setObjectName("SegmentListWindow");
    setContextMenuPolicy(Qt::PreventContextMenu);
    title_ = "Segments";
    accentBrush_ = QBrush(ColorFromRef(kSegmentListAccentColor));
    accentPen_ = QPen(ColorFromRef(kSegmentListAccentColor), 1);
    accentPen_.setCosmetic(true);

    list_ = new SegmentListBox(this);
    list_->setObjectName("SegmentListBox");
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setContextMenuPolicy(Qt::PreventContextMenu);
    close_ = new QPushButton("X", this);
    close_->setObjectName("SegmentListClose");
    close_->setFocusPolicy(Qt::ClickFocus);
    close_->setGeometry(0, 0, 15, 15);
    connect(close_, &QPushButton::clicked, this,
            [this] { Guarded(report::Command, [this] { emit commandRequested(cmd::Segments); }); });

    setGeometry(0, 0, kSegmentListWidth, 300);
    hide();
    list_->setGeometry(4, 24, kSegmentListWidth - 8, 300 - 28);
    close_->move(kSegmentListWidth - 20, 5);
}

void SegmentListWindow::setTitle(const QString& title) {
    title_ = title;
    update();
}

void SegmentListWindow::setSegmentNames(const QStringList& names) {
    list_->clear();
    list_->addItems(names);
}

void SegmentListWindow::selectSegment(int32_t index) {
    if (index < 0 || index >= list_->count()) {
        list_->clearSelection();
        list_->setCurrentRow(-1);
        return;
    }
    list_->setCurrentRow(index);
}

void SegmentListWindow::focusList() { list_->setFocus(Qt::OtherFocusReason); }

bool SegmentListWindow::listHadFocus() const { return list_->hasFocus() || (focusOnHide_ && !isVisible()); }

void SegmentListWindow::goToSelectedSegment() {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    const int32_t index = selected.isEmpty() ? -1 : list_->row(selected.front());
    emit commandRequested(cmd::Segments);
    if (index >= 0)
        emit segmentChosen(index);
}

void SegmentListWindow::listKey(QKeyEvent* e, bool press) {
    const int number = press ? report::KeyPress : report::KeyRelease;
    const int key = e->key();
    auto* box = static_cast<SegmentListBox*>(list_);
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        e->accept();
        Guarded(number, [this] {
            // Hiding the window takes the focus off the list box, so it is asked before.
            const bool hadFocus = list_->hasFocus();
            goToSelectedSegment();
            if (hadFocus)
                emit focusBackRequested();
        });
    } else if (key == Qt::Key_Escape) {
        e->accept();
        Guarded(number, [this] {
            const bool hadFocus = list_->hasFocus();
            if (list_->isVisible())
                emit commandRequested(cmd::Segments);
            if (hadFocus)
                emit focusBackRequested();
        });
    } else if (press) {
        box->baseKeyPress(e);
    } else {
        box->baseKeyRelease(e);
    }
}

void SegmentListWindow::paintEvent(QPaintEvent*) {
    Guarded(report::Paint, [this] {
        QPainter p(this);
        // A one-pixel frame in the accent colour around the whole window.
        p.setPen(accentPen_);
        p.setBrush(Qt::NoBrush);
        DrawFrameRect(p, 0, 0, width(), height());
        p.fillRect(AreaRect(4, 4, width() - 4, 22), accentBrush_);
        const QRect titleBox = AreaRect(6, 4, width() - 6, 22);
        if (!titleBox.isEmpty()) {
            p.setPen(Qt::white);
            p.drawText(titleBox, Qt::AlignLeft | Qt::AlignTop, title_);
        }
    });
}

void SegmentListWindow::resizeEvent(QResizeEvent*) {
    list_->setGeometry(4, 24, std::max(width() - 8, 0), std::max(height() - 28, 0));
    close_->move(width() - 20, 5);
    update();
}

void SegmentListWindow::mousePressEvent(QMouseEvent* e) {
    e->accept();
    if (e->button() == Qt::RightButton)
        Guarded(report::RightButtonDown, [this] { emit contextMenuRequested(); });
}

void SegmentListWindow::showEvent(QShowEvent*) { focusOnHide_ = false; }

void SegmentListWindow::hideEvent(QHideEvent*) {
    // Sent before Qt moves the focus off the hidden window.
    focusOnHide_ = list_->hasFocus();
}

}  // namespace movarel
