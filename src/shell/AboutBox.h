#pragma once
// The About box and the program icon.
#include <QDialog>
#include <QIcon>

#include <string>

#include "shell/ShellState.h"

class QWidget;

namespace movarel {

// The project's home page, set when the player is built; empty when the
// build names none.
extern const char* const kHomePage;

// The program icon, drawn by the program itself (a film frame with a play
// triangle), 32 x 32 and larger sizes.
QIcon MakeMainIcon();

// The About box: icon, product name with a shadow, version line, separator,
// credit line, notice, the home page link and a flat Close button. Without a
// home page there is no link.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* owner, const std::string& homePage = kHomePage);
    static std::string VersionLine();
    static std::string CreditLine();
    static std::string NoticeText();
    QWidget* Link() const { return link_; }  // null without a home page
    // Where the version line, the credit line and the notice are drawn, and
    // the fonts of the texts and of the product name.
    QRect VersionRect() const;
    QRect CreditRect() const;
    QRect NoticeRect() const;
    static QFont TextFont();
    static QFont TitleFont();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* link_ = nullptr;
};

// Opens a web page or a local document with the desktop's program for it;
// false when none took it. Replaceable so tests launch nothing; the setter
// returns the previous opener.
UrlOpenerFn SetUrlOpener(UrlOpenerFn fn);
bool OpenUrl(const std::string& url);

}  // namespace movarel
