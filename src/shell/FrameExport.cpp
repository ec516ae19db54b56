#include "shell/FrameExport.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>

#include <mutex>

#include "engine/PlaybackClock.h"
#include "platform/UserMessages.h"
#include "shell/MainWindow.h"
#include "shell/FramePresentation.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {

QString AskForPath(QWidget* owner, const QString& suggested) {
    if (Shell().SaveFrameDialog) return Shell().SaveFrameDialog(owner, suggested);
    QFileDialog dialog(owner, "Save frame");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter("PNG images (*.png)");
    dialog.setDefaultSuffix("png");
    dialog.setDirectory(QFileInfo(suggested).absolutePath());
    dialog.selectFile(QFileInfo(suggested).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

}  // namespace

QImage CurrentFrameImage() {
    MainWindow* window = Shell().Window;
    if (window == nullptr || window->ActivePlayer().Clock().PlayState.load() == Stopped) return QImage();
    PresentationState& p = window->Presented();
    // The shared copy may hold a frame the painter has not taken yet: the
    // newest picture is the one the user is looking at.
    {
        std::lock_guard<std::mutex> guard(p.Lock);
        if (!p.Shared.isNull()) return p.Shared.copy();
    }
    return p.HasFrame ? p.Front.copy() : QImage();
}

QString SuggestedFramePath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty()) folder = QDir::homePath();
    MainWindow* window = Shell().Window;
    const std::string source = window != nullptr ? window->State().FilmSource : std::string();
    const QString film = QFileInfo(QString::fromStdString(source)).completeBaseName();
    const int32_t segment = window != nullptr ? window->ActivePlayer().Clock().CurrentSegment.load() : 0;
    const int32_t frame = window != nullptr ? window->ActivePlayer().Clock().FrameIndex.load() : -1;
    const QString name = QString("%1-%2-%3.png")
                             .arg(film.isEmpty() ? QString("movarel") : film)
                             .arg(segment + 1)
                             .arg(frame + 1, 5, 10, QChar('0'));
    return QDir(folder).filePath(name);
}

bool CopyFrameToClipboard() {
    const QImage image = CurrentFrameImage();
    if (image.isNull() || QGuiApplication::clipboard() == nullptr) return false;
    QGuiApplication::clipboard()->setImage(image);
    return true;
}

SaveFrameDialogFn SetSaveFrameDialog(SaveFrameDialogFn fn) {
    SaveFrameDialogFn previous = std::move(Shell().SaveFrameDialog);
    Shell().SaveFrameDialog = std::move(fn);
    return previous;
}

void SaveFrame() {
    // Taken before the dialog: the film plays on behind it.
    const QImage image = CurrentFrameImage();
    if (image.isNull()) return;
    const QString suggested = SuggestedFramePath();
    QDir().mkpath(QFileInfo(suggested).absolutePath());
    QString path = AskForPath(Shell().Window, suggested);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += ".png";
    if (!image.save(path, "PNG"))
        ShowMessage("Cannot write file " + path.toStdString(), "Error", MsgIcon::Error, MsgOwner::MainWindow);
}

}  // namespace movarel
