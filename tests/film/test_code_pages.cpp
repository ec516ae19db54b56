// Film texts in a code page the film does not name: language tables and
// segment titles read right whatever the viewer's locale.
#include <gtest/gtest.h>

#include <iconv.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "film/LanguageTable.h"
#include "platform/Texts.h"
#include "platform/CodePage.h"

using namespace movarel;

namespace {

struct Env {
    std::string name, old;
    bool had;
    Env(const char* n, const char* value) : name(n) {
        const char* v = std::getenv(n);
        had = v != nullptr;
        if (had) old = v;
        if (value)
            ::setenv(n, value, 1);
        else
            ::unsetenv(n);
    }
    ~Env() {
        if (had)
            ::setenv(name.c_str(), old.c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
};

// The viewer's locale, with no code page set.
struct Locale {
    Env cp{"MOVAREL_CODEPAGE", nullptr}, all{"LC_ALL", nullptr}, messages{"LC_MESSAGES", nullptr};
    Env lang;
    explicit Locale(const char* value) : lang("LANG", value) {}
};

// UTF-8 written in a code page, as a film made on Windows holds it.
std::string Encode(const char* page, const std::string& utf8) {
    iconv_t cd = ::iconv_open(page, "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << page;
    std::string out(utf8.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = out.data();
    size_t outLeft = out.size();
    EXPECT_NE(::iconv(cd, &in, &inLeft, &o, &outLeft), static_cast<size_t>(-1)) << utf8 << " in " << page;
    ::iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

using Lines = std::vector<std::pair<std::string, std::string>>;

const Lines kRussian = {{"Error", "Ошибка"},           {"Warning", "Предупреждение"},
                        {"Loading", "Загрузка ..."},    {"File", "Файл"},
                        {"Play", "Воспроизвести"},      {"Pause", "Пауза"},
                        {"Stop", "СТОП"},               {"Prev", "Предыдущий сегмент"},
                        {"Next", "Следующий сегмент"},  {"FullScreen", "Полный экран"},
                        {"Sound", "Громкость"}};
const Lines kGerman = {{"Error", "Fehler"},         {"Warning", "Warnung"},
                       {"Loading", "Lade ..."},     {"File", "Datei"},
                       {"Play", "Abspielen"},       {"Pause", "Pause"},
                       {"Stop", "Halt"},            {"Prev", "Vorheriges Segment"},
                       {"Next", "Nächstes Segment"}, {"FullScreen", "Vollbild"},
                       {"Sound", "Lautstärke"}};
const Lines kFrench = {{"Error", "Erreur"},          {"Warning", "Avertissement"},
                       {"Loading", "Chargement ..."}, {"File", "Fichier"},
                       {"Play", "Lecture"},          {"Pause", "Pause"},
                       {"Stop", "Arrêt"},            {"Prev", "Segment précédent"},
                       {"Next", "Segment suivant"},  {"FullScreen", "Plein écran"},
                       {"Sound", "Volume"}};

std::string TableText(const Lines& lines) {
    std::string text;
    for (const auto& [key, value] : lines) text += key + " = " + value + "\r\n";
    return text;
}

}  // namespace

// A whole table read through the player's own look-ups: every message and
// caption in its language, under a locale of another script and an English
// one alike. Short values ("Файл", "СТОП") are read in the table's page.
TEST(CodePages, LanguageTablesReadInTheirOwnPageUnderAnyLocale) {
    struct Case {
        const char* page;
        const Lines* lines;
    };
    const Case cases[] = {{"CP1251", &kRussian}, {"CP866", &kRussian}, {"CP1252", &kGerman}, {"CP1252", &kFrench}};
    for (const char* lang : {"C", "en_US.UTF-8", "de_DE.UTF-8", "ru_RU.UTF-8"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.page) + " under " + lang + ": " + c.lines->front().second);
            Locale locale(lang);
            const std::string table = Encode(c.page, TableText(*c.lines));
            EXPECT_EQ(DetectCodePage(table), c.page);
            Texts().LanguageTable = table;
            SetDefaultTexts();
            ApplyMessageTexts();
            EXPECT_EQ(Texts().Error, c.lines->at(0).second);
            EXPECT_EQ(Texts().Warning, c.lines->at(1).second);
            EXPECT_EQ(Texts().Loading, c.lines->at(2).second);
            const auto captions = LookUpCaptions();
            for (const auto& [key, value] : *c.lines) {
                if (key == "Error" || key == "Warning" || key == "Loading") continue;
                bool found = false;
                for (const auto& [captionKey, caption] : captions)
                    if (captionKey == key) {
                        EXPECT_EQ(caption, value) << key;
                        found = true;
                    }
                EXPECT_TRUE(found) << key;
            }
        }
    }
    SetDefaultTexts();
    Texts().LanguageTable = "";
}

// A title alone is a few bytes: too little for letter statistics, yet each
// wrong reading of these shows signs or words no title has.
TEST(CodePages, ShortTitlesUnderAnEnglishLocale) {
    const std::pair<const char*, const char*> cases[] = {
        {"CP1251", "Введение"},      {"CP866", "Введение"},       {"CP1251", "Файл"},
        {"CP1251", "ИТОГИ"},         {"CP866", "Итоги"},          {"CP1251", "Урок 3: таблицы"},
        {"CP866", "Глава 1. Начало работы"},                       {"CP1252", "Café"},
        {"CP1252", "Größe ändern"},  {"CP1252", "Présentation générale"}, {"CP1252", "Été"},
    };
    for (const char* lang : {"C", "en_US.UTF-8"}) {
        Locale locale(lang);
        for (const auto& [page, title] : cases)
            EXPECT_EQ(DecodeAnsi(Encode(page, title)), title) << page << " under " << lang;
    }
}

// What the bytes leave open goes to the locale; a code page that is set
// wins over what the bytes say; UTF-8 stays UTF-8.
TEST(CodePages, TheLocaleDecidesOnlyWhatTheBytesLeaveOpen) {
    {
        Locale locale("C");
        const std::string utf8 = TableText(kRussian);
        EXPECT_EQ(DecodeAnsi(utf8), utf8);
        // "Да" reads as a word in both Windows pages.
        EXPECT_EQ(DecodeAnsi(Encode("CP1251", "Да")), "Äà");
    }
    {
        Locale locale("ru_RU.UTF-8");
        EXPECT_EQ(DecodeAnsi(Encode("CP1251", "Да")), "Да");
    }
    Locale locale("C");
    Env setting("MOVAREL_CODEPAGE", "866");
    const std::string table = Encode("CP1251", TableText(kRussian));
    EXPECT_EQ(DetectCodePage(table), "CP866");
    EXPECT_EQ(DecodeAnsi(Encode("CP1251", "Файл")), "╘рщы");
}
