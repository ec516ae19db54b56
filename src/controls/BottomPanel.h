#pragma once
// The bottom control panel: transport buttons, the progress bar of the whole
// film, the speed and volume sliders and the panel's own texts. It shows the
// values it is given and tells with signals what the user did; the film, the
// clock and the sound are the shell's business. GUI thread only.
#include <QBrush>
#include <QFont>
#include <QPen>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class QPushButton;

namespace movarel {

class ProgressBar;
class Slider;

constexpr int32_t kPanelHeight = 40;
constexpr uint32_t kPanelAccentColor = 0xA89890;

// Play shows while stopped or paused, Pause while playing.
enum class PanelPlayState { Stopped, Playing, Paused };

// The current segment as the panel describes it.
struct SegmentDescription {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BitsPerPixel = 0;
    int32_t Fps = 0;
    QString Title;
};

// Where playback stands. A segment without a frame rate has no length: the
// film's total is then unknown, and so is a position from that segment on.
struct PanelTime {
    // Seconds from the start of the film to the current frame.
    float Position = 0;
    bool PositionKnown = true;
    double Total = 0;
    bool TotalKnown = true;
};

// Tooltip texts (UTF-8), the menus' caption texts once the language table is applied.
struct PanelTooltipTexts {
    std::string Play = "Play";
    std::string Pause = "Pause";
    std::string Stop = "Stop";
    std::string Segments = "Segments";
    std::string Prev = "Previous segment";
    std::string Next = "Next segment";
    std::string FullScreen = "Full screen";
    std::string Speed = "Speed";
    std::string Volume = "Volume";
    std::string Progress = "Progress";
};

class BottomPanel : public QWidget {
    Q_OBJECT
public:
    // Hidden, 600 x 100 until laid out; Play showing, normal speed, volume 0.
    explicit BottomPanel(QWidget* parent = nullptr);

    // Play and Pause swap places; the focus follows from one to the other.
    void setPlayState(PanelPlayState state);
    // The header's "w x h x bits / fps" and the segment's name.
    void setSegmentDescription(const SegmentDescription& segment);
    // No current segment: the header's description and time are emptied
    // (the name stays) until the next setSegmentDescription or setTime.
    void clearSegmentDescription();
    // The header's time text: speed, position and total.
    void setTime(const PanelTime& time);
    // The progress bar: one part per length, the position in seconds. An empty
    // list leaves the bar empty with its position where it was.
    void setProgress(const std::vector<float>& partLengths, float position);
    // The volume slider and its read-out, 0 .. 100.
    void setVolume(int32_t percent);
    // A muted player: the read-out keeps its percent, struck through.
    void setMuted(bool muted);
    bool muted() const { return muted_; }
    // The header shows the time left to the film's end instead of the time
    // played; a click on the time switches between the two.
    void setShowsRemaining(bool remaining);
    bool showsRemaining() const { return showsRemaining_; }
    // The speed slider, 0 .. 8 (3 is normal speed); the header shows its factor.
    void setSpeedPosition(int32_t position);
    int32_t speedPosition() const;
    // A factor between the slider's steps: the slider shows position (the
    // nearest step) without telling speedChanged, the header the factor.
    void setSpeedFactor(float factor, int32_t position);
    float speedFactor() const { return speedFactor_; }
    void setTooltips(const PanelTooltipTexts& texts);
    // The checked state of the Full screen and Segments buttons.
    void setButtonChecks(bool fullScreen, bool segmentListShown);
    void focusSegmentsButton();

    // The button that runs command id (cmd::Play ... cmd::FullScreen), or null.
    QPushButton* button(int id) const;
    ProgressBar* progressBar() const { return progress_; }
    Slider* speedSlider() const { return speed_; }
    Slider* volumeSlider() const { return volume_; }
    const QString& infoText() const { return infoText_; }
    const QString& timeText() const { return timeText_; }
    const QString& segmentName() const { return segmentName_; }
    const QString& volumeText() const { return volumeText_; }
    const QFont& panelFont() const { return font_; }

signals:
    // A button was pressed: a command id of engine/Command.h.
    void commandRequested(int id);
    void speedChanged(int32_t position);
    // The volume slider moved, by the user or by setVolume.
    void volumeChanged(int32_t percent);
    // The progress bar asks for offset seconds into its part (ProgressBar::seekRequested).
    void seekRequested(int32_t part, float offset, bool dragging);
    void contextMenuRequested();
    // The time display was switched by a click (true: time left).
    void timeDisplayToggled(bool remaining);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPlayOrPause(PanelPlayState state);
    void updateTimeText();
    int inputReportNumber(const Slider* slider) const;
    QRect timeTextRect() const;
    int32_t segmentNameLeft() const;
    QRect segmentNameRect() const;
    QRect volumeTextRect() const;
    QRect headerRect() const;

    // Play, Pause, Stop, Segments, Previous, Next, Full screen.
    std::array<QPushButton*, 7> buttons_{};
    ProgressBar* progress_ = nullptr;
    Slider* speed_ = nullptr;
    Slider* volume_ = nullptr;
    PanelTime time_;
    QString infoText_;
    QString timeText_;
    QString segmentName_;
    QString volumeText_;
    bool muted_ = false;
    bool showsRemaining_ = false;
    float speedFactor_ = 1.0f;
    // The report number of the mouse input a slider handles at the moment.
    int sliderInput_ = 0;
    QBrush whiteBrush_;
    QBrush accentBrush_;
    QPen accentPen_;
    QPen blackPen_;
    QFont font_;
};

// "x1.0", "x0.25", "MAX" above a factor of 100; the user's decimal separator.
std::string FormatSpeedText(float factor);
// "hh:nn:ss" of a count of seconds, as a time of day (hours wrap at 24).
std::string FormatDayTime(double seconds);

}  // namespace movarel
