#include "controls/UqxBottomPanel.h"

#include <QLocale>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <cmath>

#include "controls/ControlPictures.h"
#include "controls/PanelCalls.h"
#include "controls/qxControls.h"
#include "controls/qxProgressBar.h"
#include "controls/qxSlider.h"
#include "engine/PlaybackClock.h"
#include "controls/PanelCalls.h"
#include "film/Film.h"
#include "film/MessageTexts.h"
#include "film/Streams.h"
#include "platform/UserMessages.h"
#include "platform/Rounding.h"

namespace movarel {

BottomPanelState& BottomPanel() {
    static BottomPanelState state;
    return state;
}

namespace {

// A segment whose frame rate is 0 has no length: the times it leaves unknown
// show as this, and playing goes on.
constexpr const char* kUnknownTime = "--:--:--";

struct ButtonSpec {
    int id;
    int x;
    bool toggle;
    const char* picture;
};
constexpr ButtonSpec kButtons[7] = {
    {cmd::Play, 8, false, "PLAYBMP"},         {cmd::Pause, 8, false, "PAUSEBMP"},
    {cmd::Stop, 36, false, "STOPBMP"},        {cmd::Segments, 72, true, "SEGMENTSBMP"},
    {cmd::PrevSegment, 100, false, "PREVBMP"}, {cmd::NextSegment, 128, false, "NEXTBMP"},
    {cmd::FullScreen, 164, true, "FULLSCREENBMP"},
};

void ReportError(int message) {
    ShowMessage(FormatText("BottomPanel: WndProc error: Msg = %d", {static_cast<int64_t>(message)}), "Error",
                MsgIcon::None, MsgOwner::MainWindow);
}

// The time display meets a broken segment at every refresh, many times a
// second; the user hears of it once per film.
void ReportWrongFrameRate() {
    BottomPanelState& s = BottomPanel();
    const uint32_t film = PanelFilm().Serial;
    if (s.WrongFileReportedFilm == film)
        return;
    // Set before the message shows: its dialog runs events, refreshes included.
    s.WrongFileReportedFilm = film;
    ShowMessage(FormatText(Texts().WrongFile, {std::string("FPS = 0")}), Texts().Error, MsgIcon::Error,
                MsgOwner::MainWindow);
}

// Every way into the panel from the event loop goes through here: nothing the
// handlers raise may cross into Qt.
template <class Fn>
void Guarded(int message, Fn&& fn) {
    try {
        fn();
    } catch (...) {
        ReportError(message);
    }
}

// The message a control was handling when it called the panel back.
int MessageOf(const TqxControl* control) {
    return control != nullptr && control->CurrentMessage() != 0 ? control->CurrentMessage() : kMsgCommand;
}

QPushButton* ButtonAt(int index) { return BottomPanel().Buttons[static_cast<size_t>(index)]; }

QRect TimeTextRect() {
    TRect r;
    MakeBoundsRect(BottomPanel().W - 2, 1, -170, 20, r);
    return AreaRect(r.Left, r.Top, r.Right, r.Bottom);
}
// The volume read-out stands right of the volume slider, as wide as its
// widest text; the segment name follows it to the panel's right edge. Under
// the slider the name would only peek out between the two as a stray letter.
constexpr int32_t kVolumeTextLeft = 548;
constexpr int32_t kNameGap = 8;
int32_t SegmentNameLeft() {
    return kVolumeTextLeft + QFontMetrics(BottomPanel().PanelFont).horizontalAdvance("100%") + kNameGap;
}
QRect SegmentNameRect() {
    const BottomPanelState& s = BottomPanel();
    return AreaRect(SegmentNameLeft(), s.H - 19, s.W - 2, s.H - 3);
}
QRect VolumeTextRect() {
    const BottomPanelState& s = BottomPanel();
    return AreaRect(kVolumeTextLeft, s.H - 19, std::min(SegmentNameLeft(), s.W - 2), s.H - 3);
}
QRect HeaderRect() {
    const BottomPanelState& s = BottomPanel();
    return QRect(194, 0, std::max(s.W - 194, 0), 21);
}

// Text drawn with an opaque background behind the letters only, clipped to the box.
void DrawOpaqueText(QPainter& p, const QRect& box, int flags, const QString& text, const QColor& ink,
                    const QColor& back) {
    if (box.isEmpty())
        return;
    p.save();
    p.setClipRect(box);
    const QRect cell = p.fontMetrics().boundingRect(box, flags, text);
    p.fillRect(cell & box, back);
    p.setPen(ink);
    p.drawText(box, flags, text);
    p.restore();
}

void ShowPlayOrPause(int state) {
    QPushButton* play = ButtonAt(0);
    QPushButton* pause = ButtonAt(1);
    if (play == nullptr || pause == nullptr)
        return;
    const bool playing = state == Playing;
    // Show the new one first: Qt moves the focus off a button it hides.
    (playing ? pause : play)->show();
    (playing ? play : pause)->hide();
}

void TimeTextRefreshOrRaise();
void ProgressRefill();

void SpeedChanged(TqxSlider* slider) {
    Guarded(MessageOf(slider), [slider] {
        PanelClock().SpeedPosition = slider->GetPosition();
        TimeTextRefreshOrRaise();
        if (PanelFilm().Count() > 0) {
            Calls().RecalcTimerPeriod();
            if (PanelClock().PlayState == Playing)
                Calls().StartTimer();
            else
                Calls().StopTimer();
        }
    });
}

void VolumeChanged(TqxSlider* slider) {
    Guarded(MessageOf(slider), [slider] { Calls().SetVolumePercent(slider->GetPosition()); });
    // The panel's own timer message, sent at once.
    Guarded(kMsgTimer, [] { PanelVolumeRefresh(); });
}

void SegmentClicked(TqxProgressBar* bar, int32_t index, bool& allow) {
    allow = false;
    if (index < 0 || index >= PanelFilm().Count())
        return;
    Guarded(MessageOf(bar), [index] { Calls().StartSegment(index); });
    allow = true;
}

void ProgressRefill() {
    BottomPanelState& s = BottomPanel();
    if (s.ProgressBar == nullptr)
        return;
    s.ProgressBar->ClearSegments();
    const Film& list = PanelFilm();
    if (list.Count() == 0)
        return;
    for (int32_t i = 0; i < list.Count(); ++i) {
        const Segment* seg = list.Items(i);
        if (seg != nullptr && seg->Fps != 0)
            s.ProgressBar->AddSegment(static_cast<float>(static_cast<double>(seg->FrameCount) / seg->Fps));
    }
    s.ProgressBar->SetPosition(s.CurrentPosition);
    s.ProgressBar->update();
}

void UpdateHeader() {
    if (QWidget* w = BottomPanel().Window.load())
        w->update(HeaderRect());
}

void TimeTextRefreshOrRaise() {
    BottomPanelState& s = BottomPanel();
    QWidget* window = s.Window.load();
    if (window == nullptr || !window->isVisible())
        return;
    double total = 0;
    // A segment without a frame rate has no length: the film's total is
    // unknown, and so is the position from that segment on. The progress bar
    // leaves such segments out, so its position counts the known ones.
    bool totalKnown = true;
    bool positionKnown = true;
    s.CurrentPosition = 0;
    const Film& list = PanelFilm();
    const int32_t current = PanelClock().CurrentSegment;
    for (int32_t i = 0; i < list.Count(); ++i) {
        const Segment* seg = list.Items(i);
        if (i == current) {
            s.CurrentPosition = static_cast<float>(total);
            positionKnown = totalKnown;
        }
        if (seg->Fps == 0) {
            totalKnown = false;
            continue;
        }
        total += static_cast<double>(seg->FrameCount) / seg->Fps;
    }
    if (list.Count() > 0 && s.Current.Fps != 0)
        s.CurrentPosition += static_cast<float>((static_cast<double>(PanelClock().FrameIndex) + 1) / s.Current.Fps);
    else if (list.Count() > 0)
        positionKnown = false;

    const float factor = kSpeedFactors[std::clamp(PanelSpeedPosition(), 0, 8)];
    s.TimeText = FormatText("%s    %s | %s",
                            {FormatSpeedText(factor),
                             positionKnown ? FormatDayTime(s.CurrentPosition) : std::string(kUnknownTime),
                             totalKnown ? FormatDayTime(total) : std::string(kUnknownTime)});
    UpdateHeader();
    ProgressRefill();
    if (!totalKnown)
        ReportWrongFrameRate();
}

void SegmentInfoRefreshOrRaise() {
    BottomPanelState& s = BottomPanel();
    const Segment* seg = PanelSegment();
    if (seg != nullptr) {
        s.Current = PanelSegmentCopy{seg->Width, seg->Height, seg->BitsPerPixel, seg->FrameCount, seg->Fps,
                                     seg->Title};
        s.SegmentName = DecodeFilmText(seg->Title).toStdString();
        s.InfoText = FormatText("%d x %d x %d / %d fps",
                                {static_cast<int64_t>(seg->Width), static_cast<int64_t>(seg->Height),
                                 static_cast<int64_t>(seg->BitsPerPixel), static_cast<int64_t>(seg->Fps)});
    } else {
        s.InfoText.clear();
        s.TimeText.clear();
    }
    if (QWidget* w = s.Window.load())
        w->update(SegmentNameRect());
    UpdateHeader();
    TimeTextRefreshOrRaise();
}

}  // namespace

// The panel window. Painting draws all of the panel's own areas from its state;
// the child controls paint themselves on top.
class TqxBottomPanel : public QWidget {
public:
    explicit TqxBottomPanel(QWidget* parent) : QWidget(parent) {
        setObjectName("qxBottomPanel");
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
    }
    ~TqxBottomPanel() override {
        BottomPanelState& s = BottomPanel();
        {
            std::lock_guard<std::mutex> guard(s.PostLock);
            s.Window = nullptr;
        }
        delete s.VolumeTimer;
        delete s.SpeedSlider;
        delete s.VolumeSlider;
        delete s.ProgressBar;
        for (QPushButton*& b : s.Buttons) {
            delete b;
            b = nullptr;
        }
        s.VolumeTimer = nullptr;
        s.SpeedSlider = s.VolumeSlider = nullptr;
        s.ProgressBar = nullptr;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        Guarded(kMsgPaint, [this] { PaintPanel(); });
    }
    void resizeEvent(QResizeEvent*) override {
        Guarded(kMsgSize, [this] {
            BottomPanel().W = width();
            BottomPanel().H = height();
        });
    }
    void mousePressEvent(QMouseEvent* e) override { e->accept(); }
    void mouseReleaseEvent(QMouseEvent* e) override {
        e->accept();
        if (e->button() == Qt::RightButton)
            Guarded(kMsgRButtonUp, [] { Calls().ShowPopupMenu(); });
    }

private:
    void PaintPanel() {
        const BottomPanelState& s = BottomPanel();
        const int32_t W = s.W;
        const int32_t H = s.H;
        QPainter p(this);
        p.setPen(s.BlackPen);
        p.setBrush(s.WhiteBrush);
        DrawFrameRect(p, 0, 0, W, H);

        QPolygon tab;
        tab << QPoint(194, 0) << QPoint(W, 0) << QPoint(W, 16) << QPoint(210, 16);
        p.setPen(Qt::NoPen);
        p.setBrush(s.AccentBrush);
        p.drawPolygon(tab);
        p.setPen(s.BlackPen);
        p.drawLine(194, 0, 210, 16);
        p.drawLine(210, 16, W, 16);

        p.setFont(s.PanelFont);
        const QColor accent = ColorFromRef(kPanelAccentColor);
        const QString info = QString::fromStdString(s.InfoText);
        const QFontMetrics fm(s.PanelFont);
        DrawOpaqueText(p, QRect(214, 2, fm.horizontalAdvance(info) + 1, fm.height()), Qt::AlignLeft | Qt::AlignTop,
                       info, Qt::white, accent);
        DrawOpaqueText(p, TimeTextRect(), Qt::AlignRight | Qt::AlignTop, QString::fromStdString(s.TimeText),
                       Qt::white, accent);

        // A name longer than its place ends in an ellipsis rather than mid-letter.
        const QRect name = SegmentNameRect();
        p.fillRect(name, s.WhiteBrush);
        DrawOpaqueText(p, name, Qt::AlignLeft | Qt::AlignTop,
                       fm.elidedText(QString::fromStdString(s.SegmentName), Qt::ElideRight, name.width()), accent,
                       Qt::white);
        p.fillRect(VolumeTextRect(), s.WhiteBrush);
        DrawOpaqueText(p, VolumeTextRect(), Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(s.VolumeText),
                       accent, Qt::white);
    }
};

QWidget* CreateBottomPanel(QWidget* mainWindow) {
    BottomPanelState& s = BottomPanel();
    if (s.Window.load() != nullptr)
        return s.Window.load();
    auto* panel = new TqxBottomPanel(mainWindow);
    panel->setGeometry(0, 0, 600, 100);
    panel->hide();
    s.W = 600;
    s.H = 100;
    s.RefreshPending = false;
    s.WrongFileReportedFilm = 0;

    s.CurrentPosition = 0;
    s.SegmentName.clear();
    s.WhiteBrush = QBrush(Qt::white);
    s.AccentBrush = QBrush(ColorFromRef(kPanelAccentColor));
    s.AccentPen = QPen(ColorFromRef(kPanelAccentColor), 1);
    s.AccentPen.setCosmetic(true);
    s.BlackPen = QPen(Qt::black, 1);
    s.BlackPen.setCosmetic(true);
    s.PanelFont = CreateFontByName("Tahoma", 13, 1);
    s.InfoText = FormatText("%d x %d x %d / %d fps", {int64_t{600}, int64_t{400}, int64_t{32}, int64_t{12}});

    for (size_t i = 0; i < 7; ++i) {
        const ButtonSpec& entry = kButtons[i];
        auto* button = new QPushButton(panel);
        button->setObjectName(QString("PanelButton%1").arg(entry.id));
        button->setGeometry(entry.x, 8, 24, 24);
        button->setCheckable(entry.toggle);
        SetButtonBitmap(button, entry.picture);
        const int id = entry.id;
        QObject::connect(button, &QPushButton::clicked, panel,
                         [id] { Guarded(kMsgCommand, [id] { RunPanelCommand(id); }); });
        s.Buttons[i] = button;
    }

    s.ProgressBar = TqxControl::Create<TqxProgressBar>(panel);
    s.ProgressBar->SetBounds(210, 23, 200, 10);
    s.ProgressBar->SetPosition(0);
    s.ProgressBar->FOnSegmentClick = SegmentClicked;

    s.SpeedSlider = TqxControl::Create<TqxSlider>(panel);
    s.SpeedSlider->SetBrush(s.WhiteBrush);
    s.SpeedSlider->SetTrackPen(s.AccentPen);
    s.SpeedSlider->SetThumbBitmap(LoadBitmapResource("VELOCITYBMP"));
    s.SpeedSlider->SetBounds(420, 18, 70, 20);
    s.SpeedSlider->SetMax(8);
    s.SpeedSlider->SetPosition(kNormalSpeedPosition);
    s.SpeedSlider->FOnChange = SpeedChanged;
    PanelClock().SpeedPosition = s.SpeedSlider->GetPosition();

    s.VolumeSlider = TqxControl::Create<TqxSlider>(panel);
    s.VolumeSlider->SetBrush(s.WhiteBrush);
    s.VolumeSlider->SetTrackPen(s.AccentPen);
    s.VolumeSlider->SetThumbBitmap(LoadBitmapResource("SOUNDVOLUMEBMP"));
    s.VolumeSlider->SetBounds(494, 18, 50, 20);
    s.VolumeSlider->SetMax(100);
    s.VolumeSlider->SetPosition(0);
    s.VolumeSlider->FOnChange = VolumeChanged;

    // Tab moves through the controls in the order they stand on the panel.
    QWidget* order[] = {s.Buttons[0], s.Buttons[1], s.Buttons[2], s.Buttons[3], s.Buttons[4],
                        s.Buttons[5], s.Buttons[6], s.ProgressBar, s.SpeedSlider, s.VolumeSlider};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);

    ShowPlayOrPause(PanelClock().PlayState);

    s.VolumeTimer = new QTimer(panel);
    s.VolumeTimer->setInterval(200);
    QObject::connect(s.VolumeTimer, &QTimer::timeout, panel, [] { Guarded(kMsgTimer, [] { PanelVolumeRefresh(); }); });
    s.VolumeTimer->start();

    {
        std::lock_guard<std::mutex> guard(s.PostLock);
        s.Window = panel;
    }
    return panel;
}

void CreatePanelTooltips(const PanelTooltipTexts& texts) {
    BottomPanelState& s = BottomPanel();
    const std::string* buttonTexts[7] = {&texts.Play, &texts.Pause, &texts.Stop,      &texts.Segments,
                                         &texts.Prev, &texts.Next,  &texts.FullScreen};
    for (size_t i = 0; i < 7; ++i)
        if (s.Buttons[i] != nullptr)
            s.Buttons[i]->setToolTip(QString::fromStdString(*buttonTexts[i]));
    if (s.SpeedSlider != nullptr)
        s.SpeedSlider->setToolTip(QString::fromStdString(texts.Speed));
    if (s.VolumeSlider != nullptr)
        s.VolumeSlider->setToolTip(QString::fromStdString(texts.Volume));
    if (s.ProgressBar != nullptr)
        s.ProgressBar->setToolTip(QString::fromStdString(texts.Progress));
}

void PanelFullRepaint() {
    BottomPanelState& s = BottomPanel();
    if (QWidget* w = s.Window.load())
        w->update();
    PanelVolumeRefresh();
    ProgressRefill();
    ShowPlayOrPause(PanelClock().PlayState);
}

void PanelSegmentInfoRefresh() {
    Guarded(kMsgCommand, [] { SegmentInfoRefreshOrRaise(); });
}

void PanelTimeTextRefresh() {
    BottomPanelState& s = BottomPanel();
    QWidget* window = s.Window.load();
    if (window == nullptr)
        return;
    if (QThread::currentThread() == window->thread()) {
        Guarded(kMsgCommand, [] { TimeTextRefreshOrRaise(); });
        return;
    }
    std::lock_guard<std::mutex> guard(s.PostLock);
    window = s.Window.load();
    if (window == nullptr || s.RefreshPending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        window,
        [] {
            BottomPanel().RefreshPending = false;
            Guarded(kMsgCommand, [] { TimeTextRefreshOrRaise(); });
        },
        Qt::QueuedConnection);
}

void PanelVolumeRefresh() {
    BottomPanelState& s = BottomPanel();
    QWidget* window = s.Window.load();
    if (window == nullptr || s.VolumeSlider == nullptr)
        return;
    const int32_t v = RoundHalfEven(Calls().GetVolumePercent());
    s.VolumeSlider->SetPosition(v);
    s.VolumeText = std::to_string(v) + "%";
    window->update(VolumeTextRect());
}

void PanelPlayStateChanged(int state) {
    QPushButton* play = ButtonAt(0);
    QPushButton* pause = ButtonAt(1);
    if (play != nullptr && pause != nullptr) {
        const bool playHadFocus = play->hasFocus();
        const bool pauseHadFocus = pause->hasFocus();
        ShowPlayOrPause(state);
        if (state == Playing && playHadFocus)
            pause->setFocus(Qt::OtherFocusReason);
        else if (state == Paused && pauseHadFocus)
            play->setFocus(Qt::OtherFocusReason);
    }
    PanelFullRepaint();
}

void RunPanelCommand(int id) {
    switch (id) {
    case cmd::Load:
        Calls().ChooseFile();
        break;
    case cmd::Play:
        Calls().Play();
        break;
    case cmd::Pause:
        Calls().Pause();
        break;
    case cmd::Stop:
        Calls().Stop();
        break;
    case cmd::Segments:
        Calls().ToggleSegmentList();
        break;
    case cmd::PrevSegment:
        Calls().StartSegment(PanelClock().CurrentSegment - 1);
        break;
    case cmd::NextSegment:
        Calls().StartSegment(PanelClock().CurrentSegment + 1);
        break;
    case cmd::FullScreen:
        Calls().ToggleFullScreen();
        break;
    default:
        break;
    }
    Calls().UpdateMenuState();
    PanelFullRepaint();
}

QPushButton* PanelButton(int id) {
    for (size_t i = 0; i < 7; ++i)
        if (kButtons[i].id == id)
            return BottomPanel().Buttons[i];
    return nullptr;
}

int32_t PanelSpeedPosition() {
    const TqxSlider* slider = BottomPanel().SpeedSlider;
    return slider != nullptr ? slider->GetPosition() : PanelClock().SpeedPosition.load();
}

std::string FormatSpeedText(float factor) {
    if (factor > 100)
        return "MAX";
    const QLocale locale = QLocale::system();
    // Two decimals at most, at least one; halves away from zero.
    const long long hundredths = std::llround(std::fabs(static_cast<double>(factor)) * 100);
    std::string whole = std::to_string(hundredths / 100);
    const std::string group = locale.groupSeparator().toStdString();
    for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3)
        whole.insert(static_cast<size_t>(i), group);
    std::string text = "x";
    if (factor < 0 && hundredths != 0)
        text += "-";
    text += whole + locale.decimalPoint().toStdString();
    text += static_cast<char>('0' + (hundredths % 100) / 10);
    if (hundredths % 10 != 0)
        text += static_cast<char>('0' + hundredths % 10);
    return text;
}

std::string FormatDayTime(double seconds) {
    if (!std::isfinite(seconds))
        seconds = 0;
    const double days = std::fabs(seconds) / 86400.0;
    constexpr long long kMsPerDay = 86400000;
    long long ms = std::llround(std::nearbyint((days - std::floor(days)) * kMsPerDay));
    ms %= kMsPerDay;
    char text[16];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
    return text;
}

}  // namespace movarel
