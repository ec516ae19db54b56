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
#include "shell/FilmLoading.h"
#include "shell/ShellState.h"

namespace movarel {

namespace {

SaveFrameDialogFn& SaveDialog() {
    static SaveFrameDialogFn fn;
    return fn;
}

QString AskForPath(QWidget* owner, const QString& suggested) {
    if (SaveDialog()) return SaveDialog()(owner, suggested);
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
    if (window == nullptr || ShellClock().PlayState.load() == Stopped) return QImage();
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
    const QString film = QFileInfo(QString::fromStdString(Shell().FilmSource)).completeBaseName();
    const QString name = QString("%1-%2-%3.png")
                             .arg(film.isEmpty() ? QString("movarel") : film)
                             .arg(ShellClock().CurrentSegment.load() + 1)
                             .arg(ShellClock().FrameIndex.load() + 1, 5, 10, QChar('0'));
    return QDir(folder).filePath(name);
}

bool CopyFrameToClipboard() {
    const QImage image = CurrentFrameImage();
    if (image.isNull() || QGuiApplication::clipboard() == nullptr) return false;
    QGuiApplication::clipboard()->setImage(image);
    return true;
}

SaveFrameDialogFn SetSaveFrameDialog(SaveFrameDialogFn fn) {
    SaveFrameDialogFn previous = std::move(SaveDialog());
    SaveDialog() = std::move(fn);
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
