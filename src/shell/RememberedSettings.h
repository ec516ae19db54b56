#pragma once
// What the player keeps between runs: the volume, mute, speed, the panel's
// pin, the window's place, where each film was left, and the films opened
// last. Stored with QSettings in the user's config folder
// ($XDG_CONFIG_HOME/movarel/movarel.conf); a command-line option wins over a
// remembered value, so the shell applies these before reading the command line.
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

class QSettings;

namespace movarel {

struct RememberedState {
    std::optional<int32_t> VolumePercent;  // 0..100
    bool Muted = false;
    std::optional<int32_t> SpeedPosition;  // the speed slider's position
    std::optional<double> SpeedFactor;     // a factor between positions, when one was set
    std::optional<bool> PanelPinned;
    QRect WindowGeometry;                  // null: never saved
    bool WindowMaximized = false;
    bool ResumeFilms = true;               // continue a film where it was left
};

// Where a film was left: its segment and the time into it.
struct ResumePoint {
    int32_t Segment = 0;
    int64_t Milliseconds = 0;
};

class RememberedSettings {
public:
    // The user's settings file; a test passes a file of its own.
    RememberedSettings();
    explicit RememberedSettings(const QString& fileName);
    ~RememberedSettings();
    RememberedSettings(const RememberedSettings&) = delete;
    RememberedSettings& operator=(const RememberedSettings&) = delete;

    // Values out of range in the file are dropped, as if never saved.
    RememberedState Load() const;
    void Save(const RememberedState& state);

    // The films opened last, newest first, at most kRecentCount, only those
    // that still exist.
    static constexpr int kRecentCount = 10;
    QStringList RecentFilms() const;
    void AddRecentFilm(const QString& path);

    // Where the film at path was left. The file's size and modification time
    // are kept with it, so a film that was replaced starts from its beginning.
    std::optional<ResumePoint> ResumePointFor(const QString& path) const;
    void SetResumePoint(const QString& path, const ResumePoint& point);
    void ForgetResumePoint(const QString& path);

    // Written to disk now (QSettings also writes on its own).
    void Sync();

private:
    std::unique_ptr<QSettings> store_;
};

}  // namespace movarel
