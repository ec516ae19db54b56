#include "shell/RememberedSettings.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QSettings>

namespace movarel {
namespace {

// Films are keyed by a hash of their absolute path: a path may hold any
// character, which QSettings keys do not.
QString FilmKey(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    return "films/" + QString::fromLatin1(
                          QCryptographicHash::hash(absolute.toUtf8(), QCryptographicHash::Sha1).toHex());
}

// What tells one version of a film file from the next.
QString FileStamp(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return QString::number(info.size()) + ":" +
           QString::number(info.lastModified().toMSecsSinceEpoch());
}

std::optional<int32_t> IntInRange(const QSettings& s, const char* key, int32_t low, int32_t high) {
    bool ok = false;
    const int value = s.value(key).toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

}  // namespace

RememberedSettings::RememberedSettings()
    : store_(std::make_unique<QSettings>("movarel", "movarel")) {}

RememberedSettings::RememberedSettings(const QString& fileName)
    : store_(std::make_unique<QSettings>(fileName, QSettings::IniFormat)) {}

RememberedSettings::~RememberedSettings() = default;

RememberedState RememberedSettings::Load() const {
    const QSettings& s = *store_;
    RememberedState state;
    state.VolumePercent = IntInRange(s, "sound/volume", 0, 100);
    state.Muted = s.value("sound/muted", false).toBool();
    state.SpeedPosition = IntInRange(s, "playback/speedPosition", 0, 8);
    bool ok = false;
    const double factor = s.value("playback/speedFactor").toDouble(&ok);
    if (ok && factor >= 0.1 && factor <= 10.0)
        state.SpeedFactor = factor;
    if (s.contains("window/panelPinned"))
        state.PanelPinned = s.value("window/panelPinned").toBool();
    const QRect geometry = s.value("window/geometry").toRect();
    if (geometry.isValid() && geometry.width() < 100000 && geometry.height() < 100000)
        state.WindowGeometry = geometry;
    state.WindowMaximized = s.value("window/maximized", false).toBool();
    state.ResumeFilms = s.value("playback/resumeFilms", true).toBool();
    return state;
}

void RememberedSettings::Save(const RememberedState& state) {
    QSettings& s = *store_;
    if (state.VolumePercent)
        s.setValue("sound/volume", *state.VolumePercent);
    s.setValue("sound/muted", state.Muted);
    if (state.SpeedPosition)
        s.setValue("playback/speedPosition", *state.SpeedPosition);
    if (state.SpeedFactor)
        s.setValue("playback/speedFactor", *state.SpeedFactor);
    else
        s.remove("playback/speedFactor");
    if (state.PanelPinned)
        s.setValue("window/panelPinned", *state.PanelPinned);
    if (state.WindowGeometry.isValid())
        s.setValue("window/geometry", state.WindowGeometry);
    s.setValue("window/maximized", state.WindowMaximized);
    s.setValue("playback/resumeFilms", state.ResumeFilms);
}

QStringList RememberedSettings::RecentFilms() const {
    QStringList existing;
    for (const QString& path : store_->value("recent/films").toStringList()) {
        if (QFileInfo(path).isFile() && !existing.contains(path))
            existing.append(path);
        if (existing.size() == kRecentCount)
            break;
    }
    return existing;
}

void RememberedSettings::AddRecentFilm(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList films = store_->value("recent/films").toStringList();
    films.removeAll(absolute);
    films.prepend(absolute);
    // Films that went away are dropped here too, so the list never fills up
    // with names that no longer open.
    QStringList kept;
    for (const QString& film : films)
        if (kept.size() < kRecentCount && QFileInfo(film).isFile())
            kept.append(film);
    store_->setValue("recent/films", kept);
}

std::optional<ResumePoint> RememberedSettings::ResumePointFor(const QString& path) const {
    const QString key = FilmKey(path);
    const QString stamp = store_->value(key + "/stamp").toString();
    if (stamp.isEmpty() || stamp != FileStamp(path))
        return std::nullopt;
    bool segmentOk = false, timeOk = false;
    ResumePoint point;
    point.Segment = store_->value(key + "/segment").toInt(&segmentOk);
    point.Milliseconds = store_->value(key + "/milliseconds").toLongLong(&timeOk);
    if (!segmentOk || !timeOk || point.Segment < 0 || point.Milliseconds < 0)
        return std::nullopt;
    return point;
}

void RememberedSettings::SetResumePoint(const QString& path, const ResumePoint& point) {
    const QString stamp = FileStamp(path);
    if (stamp.isEmpty())
        return;
    const QString key = FilmKey(path);
    store_->setValue(key + "/stamp", stamp);
    store_->setValue(key + "/segment", point.Segment);
    store_->setValue(key + "/milliseconds", static_cast<qlonglong>(point.Milliseconds));
}

void RememberedSettings::ForgetResumePoint(const QString& path) { store_->remove(FilmKey(path)); }

void RememberedSettings::Sync() { store_->sync(); }

}  // namespace movarel
