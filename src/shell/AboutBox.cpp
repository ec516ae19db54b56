#include "shell/AboutBox.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QUrl>

#include <algorithm>

#include "shell/ShellState.h"

#ifndef MOVAREL_HOMEPAGE
#define MOVAREL_HOMEPAGE ""
#endif
#ifndef MOVAREL_VERSION
#define MOVAREL_VERSION "1.0.0.0"
#endif

namespace movarel {

const char* const kHomePage = MOVAREL_HOMEPAGE;

namespace {

QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal u = size / 32.0;
    // A dark film frame with sprocket holes and a green play triangle.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 48, 64));
    p.drawRoundedRect(QRectF(1 * u, 4 * u, 30 * u, 24 * u), 3 * u, 3 * u);
    p.setBrush(QColor(230, 230, 235));
    for (int i = 0; i < 5; ++i) {
        p.drawRect(QRectF((3 + i * 6) * u, 5.5 * u, 3 * u, 2 * u));
        p.drawRect(QRectF((3 + i * 6) * u, 24.5 * u, 3 * u, 2 * u));
    }
    QPainterPath triangle;
    triangle.moveTo(12 * u, 10 * u);
    triangle.lineTo(22 * u, 16 * u);
    triangle.lineTo(12 * u, 22 * u);
    triangle.closeSubpath();
    p.setBrush(QColor(80, 200, 120));
    p.drawPath(triangle);
    return pixmap;
}

class LinkLabel : public QWidget {
public:
    LinkLabel(QWidget* parent, std::string url) : QWidget(parent), url_(std::move(url)) {
        setCursor(Qt::PointingHandCursor);
        QFont font("Tahoma");
        font.setPixelSize(14);
        font.setUnderline(true);
        setFont(font);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(QColor(0, 0, 255));
        p.drawText(rect(), Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(url_));
    }
    // The whole strip is the link, not only its text.
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) OpenUrl(url_);
    }

private:
    std::string url_;
};

}  // namespace

QIcon MakeMainIcon() {
    QIcon icon(":/movarel/movarel.png");
    if (!icon.isNull() && !icon.availableSizes().isEmpty()) return icon;
    QIcon drawn;
    for (int size : {16, 32, 48, 64, 128}) drawn.addPixmap(DrawIcon(size));
    return drawn;
}

UrlOpenerFn SetUrlOpener(UrlOpenerFn fn) {
    UrlOpenerFn previous = std::move(Shell().UrlOpener);
    Shell().UrlOpener = std::move(fn);
    return previous;
}

bool OpenUrl(const std::string& url) {
    if (Shell().UrlOpener) return Shell().UrlOpener(url);
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

std::string AboutBox::VersionLine() { return std::string("version ") + MOVAREL_VERSION; }
std::string AboutBox::CreditLine() { return "Written by the Movarel developers."; }
std::string AboutBox::NoticeText() {
    return "A player for screen-recording films.\r\nFree software: use, study, share and improve it.";
}

AboutBox::AboutBox(QWidget* owner, const std::string& homePage) : QDialog(owner) {
    setWindowTitle("About Movarel");
    setModal(true);
    // 300 x 120 dialog units of an 8-point font.
    setFixedSize(450, 195);
    const int W = width();
    auto* close = new QPushButton("Close", this);
    close->setFlat(true);
    close->setGeometry(368, 160, W / 6, 26);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    // A link that leads nowhere would only disappoint.
    if (!homePage.empty()) {
        link_ = new LinkLabel(this, homePage);
        link_->setGeometry(W / 8, 165, 3 * W / 4, 16);
    }
}

QFont AboutBox::TextFont() {
    QFont tahoma("Tahoma");
    tahoma.setPixelSize(14);
    return tahoma;
}

QFont AboutBox::TitleFont() {
    QFont title("Times New Roman");
    title.setPixelSize(32);
    title.setBold(true);
    return title;
}

// At (185, 21), or right of the product name and its shadow when a wider
// font than Times New Roman reaches that far.
QRect AboutBox::VersionRect() const {
    const QFontMetrics name(TitleFont());
    const QFontMetrics text(font());
    const int left = std::max(185, width() / 8 + name.horizontalAdvance("Movarel") + 2 + 6);
    return QRect(left, 21, text.horizontalAdvance(QString::fromStdString(VersionLine())), text.height());
}

// As wide as the notice below it: half the box cut the credit line short
// with fonts a little wider than Tahoma.
QRect AboutBox::CreditRect() const { return QRect(width() / 8, 50, 5 * width() / 6, height() / 2); }
QRect AboutBox::NoticeRect() const { return QRect(width() / 8, 80, 5 * width() / 6, 60); }

void AboutBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int W = width();
    p.fillRect(rect(), Qt::white);
    windowIcon().paint(&p, QRect(W / 64, W / 64, 32, 32));
    p.setPen(QPen(QColor(128, 128, 136), 1));
    p.drawLine(W / 64, 150, W - W / 64, 150);
    p.setPen(Qt::black);
    p.drawText(VersionRect().topLeft() + QPoint(0, p.fontMetrics().ascent()), QString::fromStdString(VersionLine()));
    p.setFont(TextFont());
    p.drawText(CreditRect(), Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(CreditLine()));
    QString notice = QString::fromStdString(NoticeText());
    notice.replace("\r\n", "\n");
    p.drawText(NoticeRect(), Qt::AlignLeft | Qt::AlignTop, notice);
    p.setFont(TitleFont());
    const int ascent = p.fontMetrics().ascent();
    p.setPen(QColor(160, 160, 160));
    p.drawText(QPoint(W / 8 + 2, W / 64 + 2 + ascent), "Movarel");
    p.setPen(Qt::black);
    p.drawText(QPoint(W / 8, W / 64 + ascent), "Movarel");
}

}  // namespace movarel
