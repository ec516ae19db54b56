#include "shell/PictureNote.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPointer>
#include <QPropertyAnimation>
#include <QTimer>
#include <QWidget>

#include <algorithm>

#include "shell/MainWindow.h"

namespace movarel {

void ShowPictureNote(MainWindow& window, const std::string& text, int bottomMargin) {
    QWidget* area = window.State().ClientArea;
    if (area == nullptr) return;
    NoteParts& n = window.Note();
    if (n.Label == nullptr) {
        n.Label = new QLabel(area);
        n.Label->setObjectName("PictureNote");
        n.Label->setAttribute(Qt::WA_TransparentForMouseEvents);
        n.Label->setStyleSheet("QLabel { background: rgba(0, 0, 0, 190); color: white; padding: 6px 12px;"
                               " border-radius: 4px; }");
        auto* opacity = new QGraphicsOpacityEffect(n.Label);
        n.Label->setGraphicsEffect(opacity);
        n.Fade = new QPropertyAnimation(opacity, "opacity", n.Label);
        n.Fade->setDuration(kNoteFadeMs);
        n.Fade->setStartValue(1.0);
        n.Fade->setEndValue(0.0);
        QObject::connect(n.Fade, &QPropertyAnimation::finished, n.Label, &QLabel::hide);
        n.Hold = new QTimer(n.Label);
        n.Hold->setSingleShot(true);
        QObject::connect(n.Hold, &QTimer::timeout, n.Fade, [fade = n.Fade] { fade->start(); });
    }
    n.Fade->stop();
    static_cast<QGraphicsOpacityEffect*>(n.Label->graphicsEffect())->setOpacity(1.0);
    n.Label->setText(QString::fromStdString(text));
    n.Label->adjustSize();
    const int x = std::max(0, (area->width() - n.Label->width()) / 2);
    const int y = std::max(0, area->height() - bottomMargin - n.Label->height() - 8);
    n.Label->move(x, y);
    n.Label->show();
    n.Label->raise();
    n.Hold->start(kNoteShownMs);
}

void HidePictureNote(MainWindow& window) {
    NoteParts& n = window.Note();
    if (n.Label == nullptr) return;
    n.Hold->stop();
    n.Fade->stop();
    n.Label->hide();
}

QLabel* ShownPictureNote(MainWindow& window) {
    QLabel* label = window.Note().Label;
    return label != nullptr && label->isVisible() ? label : nullptr;
}

}  // namespace movarel
