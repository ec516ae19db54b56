// The About box's texts and link, and where Help (F1) sends the user.
#include <gtest/gtest.h>

#include <QFontMetrics>

#include "ShellTestSupport.h"
#include "shell/AboutBox.h"

using namespace movarel;
using namespace shelltest;

TEST(AboutBox, EveryTextShowsWholeInItsPlace) {
    App();
    TqxAboutBox box(nullptr);
    const QFontMetrics fm(TqxAboutBox::TextFont());
    QString notice = QString::fromStdString(TqxAboutBox::NoticeText());
    notice.replace("\r\n", "\n");
    struct Case {
        const char* what;
        QString text;
        QRect place;
    } cases[] = {
        {"credit line", QString::fromStdString(TqxAboutBox::CreditLine()), box.CreditRect()},
        {"notice", notice, box.NoticeRect()},
    };
    for (const Case& c : cases) {
        const QRect needed = fm.boundingRect(c.place, Qt::AlignLeft | Qt::AlignTop, c.text);
        EXPECT_TRUE(c.place.contains(needed)) << c.what << ": needs " << needed.width() << " x " << needed.height()
                                              << ", has " << c.place.width() << " x " << c.place.height();
        EXPECT_TRUE(box.rect().contains(c.place)) << c.what;
    }
}
