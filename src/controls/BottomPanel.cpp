#include "controls/BottomPanel.h"

#include <QEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

#include "controls/ControlPictures.h"
#include "controls/ProgressBar.h"
#include "controls/Slider.h"
#include "controls/WidgetHelpers.h"
#include "engine/PlaybackClock.h"  // the speed factors
#include "engine/Command.h"     // the buttons' ids
#include "platform/UserMessages.h"

namespace movarel {

namespace {

// The numbers the panel's error box names for what it was handling when
// something failed. Users have seen them in that box, so they stay.
namespace report {
constexpr int Paint = 15;
constexpr int Command = 273;
constexpr int MouseMove = 512;
constexpr int MousePress = 513;
constexpr int RightButtonUp = 517;
}  // namespace report

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

// Every way into the panel from the event loop goes through here: nothing the
// handlers (or the slots behind the panel's signals) raise may cross into Qt.
template <class Fn>
void Guarded(int number, Fn&& fn) {
    try {
        fn();
    } catch (...) {
        ShowMessage("BottomPanel: WndProc error: Msg = " + std::to_string(number), "Error", MsgIcon::None,
                    MsgOwner::MainWindow);
    }
}

// The volume read-out stands right of the volume slider, as wide as its
// widest text; the segment name follows it to the panel's right edge. Under
// the slider the name would only peek out between the two as a stray letter.
constexpr int32_t kVolumeTextLeft = 548;
constexpr int32_t kNameGap = 8;

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

QString DescriptionText(int32_t width, int32_t height, int32_t bits, int32_t fps) {
    return QString::fromStdString(std::to_string(width) + " x " + std::to_string(height) + " x " +
                                  std::to_string(bits) + " / " + std::to_string(fps) + " fps");
}

}  // namespace

BottomPanel::BottomPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("BottomPanel");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(0, 0, 600, 100);
    hide();

    whiteBrush_ = QBrush(Qt::white);
    accentBrush_ = QBrush(ColorFromRef(kPanelAccentColor));
    accentPen_ = QPen(ColorFromRef(kPanelAccentColor), 1);
    accentPen_.setCosmetic(true);
    blackPen_ = QPen(Qt::black, 1);
    blackPen_.setCosmetic(true);
    font_ = CreateFontByName("Tahoma", 13, 1);
    // What shows before the first film is described.
    infoText_ = DescriptionText(600, 400, 32, 12);

    for (size_t i = 0; i < std::size(kButtons); ++i) {
        const ButtonSpec& entry = kButtons[i];
        auto* b = new QPushButton(this);
        b->setObjectName(QString("PanelButton%1").arg(entry.id));
        b->setGeometry(entry.x, 8, 24, 24);
        b->setCheckable(entry.toggle);
        SetButtonBitmap(b, entry.picture);
        const int id = entry.id;
        connect(b, &QPushButton::clicked, this,
                [this, id] { Guarded(report::Command, [&] { emit commandRequested(id); }); });
        buttons_[i] = b;
    }

    progress_ = new ProgressBar(this);
    progress_->setGeometry(210, 23, 200, 10);
    progress_->setPosition(0);
    progress_->setValueText([](float seconds) { return QString::fromStdString(FormatDayTime(seconds)); });
    connect(progress_, &ProgressBar::seekRequested, this, [this](int32_t part, float offset, bool dragging) {
        Guarded(dragging ? report::MouseMove : report::MousePress,
                [&] { emit seekRequested(part, offset, dragging); });
    });

    speed_ = new Slider(this);
    speed_->setBackground(whiteBrush_);
    speed_->setTrackPen(accentPen_);
    speed_->setThumbPicture(LoadBitmapResource("VELOCITYBMP"));
    speed_->setGeometry(420, 18, 70, 20);
    speed_->setMaximum(8);
    speed_->setValue(kNormalSpeedPosition);
    speed_->installEventFilter(this);
    connect(speed_, &Slider::valueChanged, this, [this](int32_t position) {
        Guarded(inputReportNumber(speed_), [&] {
            speedFactor_ = kSpeedFactors[std::clamp(position, 0, 8)];
            if (isVisible())
                updateTimeText();
            emit speedChanged(position);
        });
    });

    volume_ = new Slider(this);
    volume_->setBackground(whiteBrush_);
    volume_->setTrackPen(accentPen_);
    volume_->setThumbPicture(LoadBitmapResource("SOUNDVOLUMEBMP"));
    volume_->setGeometry(494, 18, 50, 20);
    volume_->setMaximum(100);
    volume_->setValue(0);
    volume_->installEventFilter(this);
    connect(volume_, &Slider::valueChanged, this, [this](int32_t percent) {
        Guarded(inputReportNumber(volume_), [&] { emit volumeChanged(percent); });
    });

    // Tab moves through the controls in the order they stand on the panel.
    QWidget* order[] = {buttons_[0], buttons_[1], buttons_[2], buttons_[3], buttons_[4],
                        buttons_[5], buttons_[6], progress_,   speed_,      volume_};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);

    showPlayOrPause(PanelPlayState::Stopped);
}

QPushButton* BottomPanel::button(int id) const {
    for (size_t i = 0; i < std::size(kButtons); ++i)
        if (kButtons[i].id == id)
            return buttons_[i];
    return nullptr;
}

void BottomPanel::showPlayOrPause(PanelPlayState state) {
    QPushButton* play = buttons_[0];
    QPushButton* pause = buttons_[1];
    const bool playing = state == PanelPlayState::Playing;
    // Show the new one first: Qt moves the focus off a button it hides.
    (playing ? pause : play)->show();
    (playing ? play : pause)->hide();
}

void BottomPanel::setPlayState(PanelPlayState state) {
    QPushButton* play = buttons_[0];
    QPushButton* pause = buttons_[1];
    const bool playHadFocus = play->hasFocus();
    const bool pauseHadFocus = pause->hasFocus();
    showPlayOrPause(state);
    if (state == PanelPlayState::Playing && playHadFocus)
        pause->setFocus(Qt::OtherFocusReason);
    else if (state == PanelPlayState::Paused && pauseHadFocus)
        play->setFocus(Qt::OtherFocusReason);
}

void BottomPanel::setSegmentDescription(const SegmentDescription& segment) {
    segmentName_ = segment.Title;
    infoText_ = DescriptionText(segment.Width, segment.Height, segment.BitsPerPixel, segment.Fps);
    update(segmentNameRect());
    update(headerRect());
}

void BottomPanel::clearSegmentDescription() {
    infoText_.clear();
    timeText_.clear();
    update(segmentNameRect());
    update(headerRect());
}

void BottomPanel::setTime(const PanelTime& time) {
    time_ = time;
    updateTimeText();
}

void BottomPanel::updateTimeText() {
    const float factor = speedFactor_;
    std::string shown;
    if (!showsRemaining_)
        shown = time_.PositionKnown ? FormatDayTime(time_.Position) : std::string(kUnknownTime);
    else if (time_.PositionKnown && time_.TotalKnown)
        shown = "-" + FormatDayTime(std::max(0.0, time_.Total - static_cast<double>(time_.Position)));
    else
        shown = kUnknownTime;
    const std::string text = FormatSpeedText(factor) + "    " + shown + " | " +
                             (time_.TotalKnown ? FormatDayTime(time_.Total) : std::string(kUnknownTime));
    timeText_ = QString::fromStdString(text);
    update(headerRect());
}

void BottomPanel::setProgress(const std::vector<float>& partLengths, float position) {
    progress_->clearParts();
    if (partLengths.empty())
        return;
    for (float length : partLengths)
        progress_->addPart(length);
    progress_->setPosition(position);
    progress_->update();
}

void BottomPanel::setVolume(int32_t percent) {
    volume_->setValue(percent);
    volumeText_ = QString::number(percent) + "%";
    update(volumeTextRect());
}

void BottomPanel::setMuted(bool muted) {
    if (muted == muted_)
        return;
    muted_ = muted;
    update(volumeTextRect());
}

void BottomPanel::setShowsRemaining(bool remaining) {
    if (remaining == showsRemaining_)
        return;
    showsRemaining_ = remaining;
    // A cleared header stays empty until the next time comes.
    if (!timeText_.isEmpty())
        updateTimeText();
}

void BottomPanel::setSpeedPosition(int32_t position) { speed_->setValue(position); }

int32_t BottomPanel::speedPosition() const { return speed_->value(); }

void BottomPanel::setSpeedFactor(float factor, int32_t position) {
    {
        const QSignalBlocker quiet(speed_);
        speed_->setValue(position);
    }
    speedFactor_ = factor;
    if (!timeText_.isEmpty())
        updateTimeText();
}

void BottomPanel::setTooltips(const PanelTooltipTexts& texts) {
    const std::string* buttonTexts[7] = {&texts.Play, &texts.Pause, &texts.Stop,      &texts.Segments,
                                         &texts.Prev, &texts.Next,  &texts.FullScreen};
    for (size_t i = 0; i < 7; ++i)
        buttons_[i]->setToolTip(QString::fromStdString(*buttonTexts[i]));
    speed_->setToolTip(QString::fromStdString(texts.Speed));
    volume_->setToolTip(QString::fromStdString(texts.Volume));
    progress_->setToolTip(QString::fromStdString(texts.Progress));
}

void BottomPanel::setButtonChecks(bool fullScreen, bool segmentListShown) {
    SetButtonCheck(button(cmd::FullScreen), fullScreen);
    SetButtonCheck(button(cmd::Segments), segmentListShown);
}

void BottomPanel::focusSegmentsButton() { button(cmd::Segments)->setFocus(Qt::OtherFocusReason); }

int BottomPanel::inputReportNumber(const Slider* slider) const {
    return slider->isDragging() && sliderInput_ != 0 ? sliderInput_ : report::Command;
}

bool BottomPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == speed_ || watched == volume_) {
        if (event->type() == QEvent::MouseButtonPress)
            sliderInput_ = report::MousePress;
        else if (event->type() == QEvent::MouseMove)
            sliderInput_ = report::MouseMove;
    }
    return QWidget::eventFilter(watched, event);
}

QRect BottomPanel::timeTextRect() const {
    // 170 pixels wide (the last column left out) ending 2 pixels from the right edge.
    return AreaRect(width() - 171, 1, width() - 2, 20);
}

int32_t BottomPanel::segmentNameLeft() const {
    return kVolumeTextLeft + QFontMetrics(font_).horizontalAdvance("100%") + kNameGap;
}

QRect BottomPanel::segmentNameRect() const {
    return AreaRect(segmentNameLeft(), height() - 19, width() - 2, height() - 3);
}

QRect BottomPanel::volumeTextRect() const {
    return AreaRect(kVolumeTextLeft, height() - 19, std::min(segmentNameLeft(), width() - 2), height() - 3);
}

QRect BottomPanel::headerRect() const { return QRect(194, 0, std::max(width() - 194, 0), 21); }

void BottomPanel::mousePressEvent(QMouseEvent* e) { e->accept(); }

void BottomPanel::mouseReleaseEvent(QMouseEvent* e) {
    e->accept();
    if (e->button() == Qt::RightButton)
        Guarded(report::RightButtonUp, [this] { emit contextMenuRequested(); });
    else if (e->button() == Qt::LeftButton && timeTextRect().contains(e->position().toPoint()))
        Guarded(report::Command, [this] {
            setShowsRemaining(!showsRemaining_);
            emit timeDisplayToggled(showsRemaining_);
        });
}

void BottomPanel::paintEvent(QPaintEvent*) {
    Guarded(report::Paint, [this] {
        const int32_t W = width();
        const int32_t H = height();
        QPainter p(this);
        p.setPen(blackPen_);
        p.setBrush(whiteBrush_);
        DrawFrameRect(p, 0, 0, W, H);

        QPolygon tab;
        tab << QPoint(194, 0) << QPoint(W, 0) << QPoint(W, 16) << QPoint(210, 16);
        p.setPen(Qt::NoPen);
        p.setBrush(accentBrush_);
        p.drawPolygon(tab);
        p.setPen(blackPen_);
        p.drawLine(194, 0, 210, 16);
        p.drawLine(210, 16, W, 16);

        p.setFont(font_);
        const QColor accent = ColorFromRef(kPanelAccentColor);
        const QFontMetrics fm(font_);
        DrawOpaqueText(p, QRect(214, 2, fm.horizontalAdvance(infoText_) + 1, fm.height()),
                       Qt::AlignLeft | Qt::AlignTop, infoText_, Qt::white, accent);
        DrawOpaqueText(p, timeTextRect(), Qt::AlignRight | Qt::AlignTop, timeText_, Qt::white, accent);

        // A name longer than its place ends in an ellipsis rather than mid-letter.
        const QRect name = segmentNameRect();
        p.fillRect(name, whiteBrush_);
        DrawOpaqueText(p, name, Qt::AlignLeft | Qt::AlignTop, fm.elidedText(segmentName_, Qt::ElideRight, name.width()),
                       accent, Qt::white);
        p.fillRect(volumeTextRect(), whiteBrush_);
        if (muted_) {
            QFont struck = font_;
            struck.setStrikeOut(true);
            p.setFont(struck);
        }
        DrawOpaqueText(p, volumeTextRect(), Qt::AlignLeft | Qt::AlignTop, volumeText_, accent, Qt::white);
    });
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
