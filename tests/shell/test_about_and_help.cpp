// The About box's texts and link, and where Help (F1) sends the user.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QFontMetrics>
#include <QTest>
#include <QTimer>

#include <filesystem>

#include "ShellTestSupport.h"
#include "shell/AboutBox.h"
#include "shell/Help.h"
#include "shell/MainWindow.h"

using namespace movarel;
using namespace shelltest;

TEST(AboutBox, EveryTextShowsWholeInItsPlace) {
    App();
    AboutBox box(nullptr);
    QString notice = QString::fromStdString(AboutBox::NoticeText());
    notice.replace("\r\n", "\n");
    struct Case {
        const char* what;
        QString text;
        QRect place;
        QFont font;
    } cases[] = {
        {"version line", QString::fromStdString(AboutBox::VersionLine()), box.VersionRect(), box.font()},
        {"credit line", QString::fromStdString(AboutBox::CreditLine()), box.CreditRect(), AboutBox::TextFont()},
        {"notice", notice, box.NoticeRect(), AboutBox::TextFont()},
    };
    for (const Case& c : cases) {
        const QRect needed = QFontMetrics(c.font).boundingRect(c.place, Qt::AlignLeft | Qt::AlignTop, c.text);
        EXPECT_TRUE(c.place.contains(needed)) << c.what << ": needs " << needed.width() << " x " << needed.height()
                                              << ", has " << c.place.width() << " x " << c.place.height();
        EXPECT_TRUE(box.rect().contains(c.place)) << c.what;
    }
    // The product name, drawn with its shadow two pixels lower right, keeps
    // clear of the version line beside it.
    const QFontMetrics title(AboutBox::TitleFont());
    const QRect name(box.width() / 8, box.width() / 64, title.horizontalAdvance("Movarel") + 2, title.height() + 2);
    EXPECT_FALSE(name.intersects(box.VersionRect()));
}

TEST(AboutBox, TheLinkIsThereOnlyWithAHomePageAndOpensItAnywhereOnItsStrip) {
    App();
    // Never an address of the domains kept for examples; without one, no dead link.
    const std::string home = kHomePage;
    for (const char* placeholder : {".example.", "example.org", "example.com", "example.net"})
        EXPECT_EQ(home.find(placeholder), std::string::npos) << home;
    EXPECT_EQ(AboutBox(nullptr, "").Link(), nullptr);

    std::vector<std::string> opened;
    UrlOpenerFn oldOpener = SetUrlOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    AboutBox box(nullptr, "https://movarel.test/");
    ASSERT_NE(box.Link(), nullptr);
    QTest::mouseClick(box.Link(), Qt::LeftButton, {}, QPoint(box.Link()->width() - 2, 8));
    EXPECT_EQ(opened, std::vector<std::string>{"https://movarel.test/"});
    SetUrlOpener(oldOpener);
}

TEST(Help, GoesToTheWebPageElseTheInstalledReadmeElseTheManualPage) {
    TestDir dir;
    const std::string readme = dir.path + "share/doc/movarel/README.md";
    const std::string man = dir.path + "share/man/man1/movarel.1.gz";
    std::filesystem::create_directories(dir.path + "share/doc/movarel");
    std::filesystem::create_directories(dir.path + "share/man/man1");
    writer::WriteFileBytes(readme, writer::Bytes{'#'});
    writer::WriteFileBytes(man, writer::Bytes{0x1F, 0x8B});
    const std::string missing = dir.path + "nothing/README.md";
    struct Case {
        const char* name;
        std::string homePage;
        HelpDocuments docs;
        std::string url, message;
    } cases[] = {
        {"a web address", "https://movarel.test/", {{readme}, {man}}, "",
         "Documentation is available on author's web site\rhttps://movarel.test/"},
        {"the first README that is there", "", {{missing, readme}, {man}}, "file://" + readme,
         "Documentation is in " + readme},
        {"no README: the manual page", "", {{missing}, {dir.path + "movarel.1", man}}, "man:movarel(1)",
         "Documentation is in the manual page movarel(1): run \"man movarel\"."},
        {"nothing installed", "", {{missing}, {}}, "",
         "No documentation is installed with this copy of Movarel; README.md in its source describes it."},
    };
    for (const Case& c : cases) {
        const HelpRoute route = ChooseHelpRoute(c.homePage, c.docs);
        EXPECT_EQ(route.Url, c.url) << c.name;
        EXPECT_EQ(route.Message, c.message) << c.name;
    }
}

TEST(Help, LooksBesideThePlayersOwnPrefixFirst) {
    const HelpDocuments docs = InstalledHelpDocuments("/opt/movarel/bin/movarel");
    ASSERT_FALSE(docs.Readmes.empty());
    EXPECT_EQ(docs.Readmes.front(), "/opt/movarel/share/doc/movarel/README.md");
    ASSERT_FALSE(docs.ManPages.empty());
    EXPECT_EQ(docs.ManPages.front(), "/opt/movarel/share/man/man1/movarel.1.gz");
}

TEST(OpenDialog, OffersMovarelFilms) {
    App();
    QStringList filters;
    QTimer::singleShot(0, [&] {
        WaitFor([] { return QApplication::activeModalWidget() != nullptr; });
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            filters = dialog->nameFilters();
            dialog->reject();
        }
    });
    EXPECT_EQ(ChooseFilmPath(nullptr), "");
    EXPECT_EQ(filters, QStringList{"Movarel films (*.qxf)"});
}
