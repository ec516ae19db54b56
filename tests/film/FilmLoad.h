#pragma once
// What the film tests read films into: one film at a time in a work
// directory under a test folder, as the player holds its loaded film. After
// every read the work directory holds the segments' own files and nothing
// else; the film's files go with it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "film/Film.h"
#include "film/FilmReader.h"
#include "film/TextFormat.h"
#include "platform/Texts.h"
#include "film/Streams.h"
#include "platform/UserMessages.h"
#include "platform/WorkDirectory.h"

namespace movarel::test {

class FilmLoad {
public:
    // temp: the folder the work directory is made in.
    explicit FilmLoad(std::string temp) : tempPath(std::move(temp)) {}
    ~FilmLoad() { Clear(); }

    bool Read(Stream& stream) { return Take(ReadFilm(stream, NextDirectory())); }
    bool ReadAppended(Stream& stream, bool named = false) {
        return Take(LoadAppendedFilm(stream, NextDirectory(), named));
    }
    // The work directory the next read is given, made now, so a test can
    // put things in it first (they stay out of the check after the read).
    const std::string& Prepare() {
        if (pending.Path().empty())
            pending = WorkDirectory::Create(tempPath);
        return pending.Path();
    }
    std::vector<std::string> planted;
    // A film file from its start, as the open dialog loads it.
    bool ReadPath(const std::string& path) {
        std::unique_ptr<FileStream> file;
        try {
            file = std::make_unique<FileStream>(path, kModeRead);
        } catch (const Error&) {
            ShowMessage(FormatText(Texts().CannotOpenFileFmt, {path}), Texts().Error, MsgIcon::Error,
                        MsgOwner::MainWindow);
            return false;
        }
        Clear();
        return Read(*file);
    }
    const Film& Loaded() const { return film ? *film : none; }
    Film* Mutable() { return film.get(); }
    const std::string& WorkPath() const { return Loaded().WorkPath(); }
    // Deletes the film, its files and its work directory.
    void Clear() {
        if (film)
            ExpectOnlySegmentFiles();
        film.reset();
    }

private:
    WorkDirectory NextDirectory() {
        Prepare();
        return std::move(pending);
    }
    bool Take(FilmRead read) {
        film = std::move(read.film);
        ExpectOnlySegmentFiles();
        if (read.failure)
            std::rethrow_exception(read.failure);
        return read.isFilm;
    }
    void ExpectOnlySegmentFiles() const {
        namespace fs = std::filesystem;
        std::vector<std::string> expected, found;
        for (int32_t i = 0; i < film->Count(); ++i) {
            const Segment* s = film->Items(i);
            for (const std::string& name : {s->FrameFileName, s->SoundFileName})
                if (!name.empty() && fs::exists(name))
                    expected.push_back(fs::path(name).filename().string());
        }
        std::error_code ec;
        if (!film->WorkPath().empty())
            for (auto it = fs::recursive_directory_iterator(film->WorkPath(), ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
                if (std::find(planted.begin(), planted.end(), it->path().filename().string()) == planted.end())
                    found.push_back(fs::relative(it->path(), film->WorkPath()).string());
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected) << "the work directory holds more than the segments' files";
    }

    std::string tempPath;
    WorkDirectory pending;
    std::unique_ptr<Film> film;
    const Film none;
};

}  // namespace movarel::test
