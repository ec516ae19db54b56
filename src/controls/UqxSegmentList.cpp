#include "controls/UqxSegmentList.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include "controls/PanelCalls.h"
#include "controls/UqxBottomPanel.h"
#include "controls/qxControls.h"
#include "engine/PlaybackClock.h"
#include "controls/PanelCalls.h"
#include "film/Film.h"
#include "film/MessageTexts.h"
#include "platform/UserMessages.h"

namespace movarel {

SegmentListState& SegmentListModule() {
    static SegmentListState state;
    return state;
}

namespace {

constexpr int kMsgKeyDown = 256;
constexpr int kMsgKeyUp = 257;
constexpr int kMsgLButtonDblClk = 515;
constexpr int kMsgRButtonDown = 516;

// Nothing a handler raises may cross into Qt's event loop.
template <class Fn>
void Guarded(int message, Fn&& fn) {
    try {
        fn();
    } catch (...) {
        ShowMessage(FormatText("SegmentList: WndProc error: Msg = %d", {static_cast<int64_t>(message)}), "Error",
                    MsgIcon::None, MsgOwner::MainWindow);
    }
}

int SelectedIndex(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.front());
}

void GoToSelectedSegment(const QListWidget* list) {
    const int sel = SelectedIndex(list);
    Calls().ToggleSegmentList();
    if (sel >= 0)
        Calls().StartSegment(sel);
    PanelSegmentInfoRefresh();
}

// Hiding the window takes the focus off the list box in Qt, so whether it had
// the focus is asked before.
void HandFocusToSegmentsButton(bool listHadFocus) {
    if (!listHadFocus)
        return;
    if (QPushButton* button = PanelButton(cmd::Segments))
        button->setFocus(Qt::OtherFocusReason);
}

// The list box catches Return, Escape, the double click and the right button;
// everything else is an ordinary list.
class TqxSegmentListBox : public QListWidget {
public:
    explicit TqxSegmentListBox(QWidget* parent) : QListWidget(parent) {}

protected:
    void keyPressEvent(QKeyEvent* e) override { Key(e, kMsgKeyDown); }
    void keyReleaseEvent(QKeyEvent* e) override { Key(e, kMsgKeyUp); }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton) {
            QListWidget::mouseDoubleClickEvent(e);
            return;
        }
        e->accept();
        Guarded(kMsgLButtonDblClk, [this] { GoToSelectedSegment(this); });
    }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::RightButton) {
            QListWidget::mousePressEvent(e);
            return;
        }
        e->accept();
        Guarded(kMsgRButtonDown, [] { Calls().ShowPopupMenu(); });
    }

private:
    void Key(QKeyEvent* e, int message) {
        const int key = e->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            e->accept();
            Guarded(message, [this] {
                const bool hadFocus = hasFocus();
                GoToSelectedSegment(this);
                HandFocusToSegmentsButton(hadFocus);
            });
        } else if (key == Qt::Key_Escape) {
            e->accept();
            Guarded(message, [this] {
                const bool hadFocus = hasFocus();
                if (isVisible())
                    Calls().ToggleSegmentList();
                HandFocusToSegmentsButton(hadFocus);
            });
        } else if (message == kMsgKeyDown) {
            QListWidget::keyPressEvent(e);
        } else {
            QListWidget::keyReleaseEvent(e);
        }
    }
};

class TqxSegmentListWindow : public QWidget {
public:
    explicit TqxSegmentListWindow(QWidget* parent) : QWidget(parent) {
        setObjectName("qxSegmentList");
        setContextMenuPolicy(Qt::PreventContextMenu);
    }
    ~TqxSegmentListWindow() override {
        SegmentListState& s = SegmentListModule();
        s.Window = nullptr;
        s.ListBox = nullptr;
        s.CloseButton = nullptr;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        Guarded(kMsgPaint, [this] {
            const SegmentListState& s = SegmentListModule();
            QPainter p(this);
            // A one-pixel frame in the accent colour around the whole window.
            p.setPen(s.AccentPen);
            p.setBrush(Qt::NoBrush);
            DrawFrameRect(p, 0, 0, s.W, s.H);
            p.fillRect(AreaRect(4, 4, s.W - 4, 22), s.AccentBrush);
            const QRect titleBox = AreaRect(6, 4, s.W - 6, 22);
            if (!titleBox.isEmpty()) {
                p.setPen(Qt::white);
                p.drawText(titleBox, Qt::AlignLeft | Qt::AlignTop, DecodeFilmText(s.Title));
            }
        });
    }
    void resizeEvent(QResizeEvent*) override {
        Guarded(kMsgSize, [this] {
            SegmentListState& s = SegmentListModule();
            s.W = width();
            s.H = height();
            if (s.ListBox != nullptr)
                s.ListBox->setGeometry(4, 24, std::max(s.W - 8, 0), std::max(s.H - 28, 0));
            if (s.CloseButton != nullptr)
                s.CloseButton->move(s.W - 20, 5);
            update();
        });
    }
    void mousePressEvent(QMouseEvent* e) override {
        e->accept();
        if (e->button() == Qt::RightButton)
            Guarded(kMsgRButtonDown, [] { Calls().ShowPopupMenu(); });
    }
    void showEvent(QShowEvent*) override { SegmentListModule().FocusOnHide = false; }
    void hideEvent(QHideEvent*) override {
        // Sent before Qt moves the focus off the hidden window.
        SegmentListState& s = SegmentListModule();
        s.FocusOnHide = s.ListBox != nullptr && s.ListBox->hasFocus();
    }
};

}  // namespace

QWidget* CreateSegmentListWindow(QWidget* mainWindow) {
    SegmentListState& s = SegmentListModule();
    if (s.Window != nullptr)
        return s.Window;
    s.Title = Texts().Segments;
    s.AccentBrush = QBrush(ColorFromRef(kSegmentListAccentColor));
    s.AccentPen = QPen(ColorFromRef(kSegmentListAccentColor), 1);
    s.AccentPen.setCosmetic(true);

    auto* window = new TqxSegmentListWindow(mainWindow);
    s.Window = window;
    s.ListBox = new TqxSegmentListBox(window);
    s.ListBox->setObjectName("SegmentListBox");
    s.ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    s.ListBox->setContextMenuPolicy(Qt::PreventContextMenu);
    s.ListBox->setGeometry(8, 8, 100, 100);
    s.CloseButton = new QPushButton("X", window);
    s.CloseButton->setObjectName("SegmentListClose");
    s.CloseButton->setFocusPolicy(Qt::ClickFocus);
    s.CloseButton->setGeometry(0, 0, 15, 15);
    QObject::connect(s.CloseButton, &QPushButton::clicked, window,
                     [] { Guarded(kMsgCommand, [] { Calls().ToggleSegmentList(); }); });

    window->setGeometry(0, 0, kSegmentListWidth, 300);
    window->hide();
    s.W = kSegmentListWidth;
    s.H = 300;
    s.ListBox->setGeometry(4, 24, s.W - 8, s.H - 28);
    s.CloseButton->move(s.W - 20, 5);
    return window;
}

void SelectSegmentInList(int32_t index) {
    QListWidget* list = SegmentListModule().ListBox;
    if (list == nullptr)
        return;
    if (index < 0 || index >= list->count()) {
        list->clearSelection();
        list->setCurrentRow(-1);
        return;
    }
    list->setCurrentRow(index);
}

void AddSegmentName(const std::string& name) {
    if (QListWidget* list = SegmentListModule().ListBox)
        list->addItem(DecodeFilmText(name));
}

void ClearSegmentNames() {
    if (QListWidget* list = SegmentListModule().ListBox)
        list->clear();
}

void FillSegmentList() {
    const Film& film = PanelFilm();
    if (film.Count() == 0)
        return;
    ClearSegmentNames();
    for (int32_t i = 0; i < film.Count(); ++i)
        if (const Segment* seg = film.Items(i))
            AddSegmentName(seg->Title);
    SelectSegmentInList(PanelClock().CurrentSegment);
}

QListWidget* SegmentListBox() { return SegmentListModule().ListBox; }

bool SegmentListHadFocus() {
    const SegmentListState& s = SegmentListModule();
    if (s.ListBox == nullptr)
        return false;
    return s.ListBox->hasFocus() || (s.FocusOnHide && !s.Window->isVisible());
}

void ForgetSegmentListFocus() { SegmentListModule().FocusOnHide = false; }

}  // namespace movarel
