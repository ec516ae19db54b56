// The appended language table and the decoding of code-page texts.
#include <gtest/gtest.h>

#include <cstdlib>

#include "FilmWriter.h"
#include "film/LanguageTable.h"
#include "platform/Texts.h"
#include "platform/CodePage.h"
#include "test_dirs.h"

using namespace movarel;
using namespace movarel::writer;

namespace {
struct EnvGuard {
    std::string name;
    std::string old;
    bool had;
    EnvGuard(const char* n, const char* value) : name(n) {
        const char* v = std::getenv(n);
        had = v != nullptr;
        if (had)
            old = v;
        if (value)
            ::setenv(n, value, 1);
        else
            ::unsetenv(n);
    }
    ~EnvGuard() {
        if (had)
            ::setenv(name.c_str(), old.c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
};
}  // namespace

TEST(LanguageTable, MessageTextsComeFromTheAppendedTable) {
    TestDir dir;
    Bytes table;
    std::string text = "ERROR=Fehler\r\nWarning = \r\nPlay = Erst\r\nPlay = Zweit\r\nSegments = \xD1\xE5\xE3";
    table.assign(text.begin(), text.end());
    WriteFileBytes(dir.path + "player", BuildSelfPlaying(Bytes(100, 1), table, Bytes{}));
    EnvGuard cp("MOVAREL_CODEPAGE", "1251");
    ASSERT_TRUE(ReadAppendedLanguageTable(dir.path + "player"));
    SetDefaultTexts();
    ApplyMessageTexts();
    EXPECT_EQ(Texts().Error, "Fehler");
    EXPECT_EQ(Texts().Warning, "Warning");
    EXPECT_EQ(Texts().Segments, "\xD0\xA1\xD0\xB5\xD0\xB3");  // the last line has no line break
    auto captions = LookUpCaptions();
    ASSERT_EQ(captions.size(), kCaptionKeyCount);
    EXPECT_EQ(captions[7], (std::pair<std::string, std::string>{"Play", "Erst"}));
    EXPECT_EQ(captions[0].second, "");
    SetDefaultTexts();
    Texts().LanguageTable = "";
}

// The menus name their captions by CaptionKey, so each key must find its
// own line of the table, the first, last and a renamed one (Sound labels the
// volume) alike.
TEST(LanguageTable, EachCaptionKeyFindsItsOwnValue) {
    Texts().LanguageTable =
        "Close = Schliessen\r\nSound = Lautstaerke\r\nFile = Datei\r\nSpeed = Tempo\r\nRecent = Zuletzt\r\n";
    const auto captions = LookUpCaptions();
    ASSERT_EQ(captions.size(), kCaptionKeyCount);
    const std::pair<CaptionKey, const char*> cases[] = {{CaptionKey::File, "Datei"},
                                                        {CaptionKey::Speed, "Tempo"},
                                                        {CaptionKey::Sound, "Lautstaerke"},
                                                        {CaptionKey::Close, "Schliessen"},
                                                        {CaptionKey::Recent, "Zuletzt"},
                                                        {CaptionKey::SaveFrame, ""},
                                                        {CaptionKey::Play, ""}};
    for (const auto& [key, value] : cases) {
        SCOPED_TRACE(CaptionKeys()[static_cast<size_t>(key)]);
        EXPECT_EQ(CaptionValue(captions, key), value);
    }
    EXPECT_EQ(CaptionKeys()[static_cast<size_t>(CaptionKey::Sound)], "Sound");
    // The captions the menus show: a missing value is an empty caption, but
    // the items added after the first tables keep their English words.
    SetDefaultTexts();
    ApplyCaptionTexts();
    const CaptionTexts& shown = Texts().Captions;
    const std::pair<const std::string*, const char*> applied[] = {
        {&shown.File, "Datei"},      {&shown.Volume, "Lautstaerke"}, {&shown.Close, "Schliessen"},
        {&shown.Recent, "Zuletzt"},  {&shown.SaveFrame, "Save frame"}, {&shown.Play, ""}};
    for (const auto& [field, value] : applied) EXPECT_EQ(*field, value);
    SetDefaultTexts();
    // No table: no values, and asking for one is safe.
    Texts().LanguageTable = "";
    EXPECT_EQ(CaptionValue(LookUpCaptions(), CaptionKey::Close), "");
}

TEST(LanguageTable, LengthsThatDoNotFitMeanNoTable) {
    TestDir dir;
    Bytes table = BuildLanguageTable({{"Error", "Fehler"}});
    const std::pair<std::optional<int32_t>, std::optional<int32_t>> lies[] = {
        {0, std::nullopt}, {-3, std::nullopt}, {1 << 30, std::nullopt}, {std::nullopt, 1 << 30}, {std::nullopt, -9}};
    for (auto [l, f] : lies) {
        WriteFileBytes(dir.path + "player", BuildSelfPlaying(Bytes(10, 1), table, Bytes{}, l, f));
        EXPECT_FALSE(ReadAppendedLanguageTable(dir.path + "player"));
        EXPECT_FALSE(Texts().HasLanguageTable());
    }
    WriteFileBytes(dir.path + "tiny", Bytes{1, 2});
    EXPECT_FALSE(ReadAppendedLanguageTable(dir.path + "tiny"));
    EXPECT_FALSE(ReadAppendedLanguageTable(dir.path + "missing"));
}

TEST(CodePage, DecodesByTheSettingOrTheLocale) {
    struct Case {
        const char* codepage;
        const char* lang;
        std::string bytes;
        std::string utf8;
    };
    const Case cases[] = {
        {nullptr, "de_DE.UTF-8", "plain", "plain"},
        {nullptr, "de_DE.UTF-8", "\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},  // UTF-8 stays
        {nullptr, "de_DE.UTF-8", "caf\xE9", "caf\xC3\xA9"},                  // 1252
        {nullptr, "ru_RU.UTF-8", "\xCF\xF0\xE8", "\xD0\x9F\xD1\x80\xD0\xB8"},  // 1251
        {nullptr, "uk_UA", "\xCF", "\xD0\x9F"},
        {"CP1251", "en_US", "\xCF", "\xD0\x9F"},
        {"1252", "ru_RU", "\xCF", "\xC3\x8F"},
        {"no-such-page", "ru_RU", "\xCF", "\xD0\x9F"},
        {nullptr, "en_US", "a\x81z", "a\xEF\xBF\xBDz"},  // undefined in 1252
        {nullptr, "en_US", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},  // a surrogate is not UTF-8
    };
    for (const Case& c : cases) {
        EnvGuard cp("MOVAREL_CODEPAGE", c.codepage);
        EnvGuard all("LC_ALL", nullptr);
        EnvGuard msg("LC_MESSAGES", nullptr);
        EnvGuard lang("LANG", c.lang);
        EXPECT_EQ(DecodeAnsi(c.bytes), c.utf8) << c.bytes << " " << (c.codepage ? c.codepage : "-") << " " << c.lang;
    }
}
