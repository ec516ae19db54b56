#pragma once
// The About box and the program icon.
#include <QDialog>
#include <QIcon>

#include <functional>
#include <string>

class QWidget;

namespace movarel {

// The program icon, drawn by the program itself (a film frame with a play
// triangle), 32 x 32 and larger sizes.
QIcon MakeMainIcon();

// The About box: icon, product name with a shadow, version line, separator,
// credit line, notice, the home page link and a flat Close button.
class TqxAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TqxAboutBox(QWidget* owner);
    static std::string VersionLine();
    static std::string CreditLine();
    static std::string NoticeText();
    QWidget* Link() const { return FLink; }
    // Where the credit line and the notice are drawn, and their font.
    QRect CreditRect() const;
    QRect NoticeRect() const;
    static QFont TextFont();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* FLink = nullptr;
};

// Opens a web page; replaceable so tests open nothing.
using UrlOpenerFn = std::function<void(const std::string& url)>;
UrlOpenerFn SetUrlOpener(UrlOpenerFn fn);
void OpenUrl(const std::string& url);

}  // namespace movarel
