#include "shell/Help.h"

#include <QUrl>

#include <filesystem>
#include <system_error>

#ifndef MOVAREL_DOC_SUBDIR
#define MOVAREL_DOC_SUBDIR "share/doc/movarel"
#endif
#ifndef MOVAREL_MAN_SUBDIR
#define MOVAREL_MAN_SUBDIR "share/man"
#endif
#ifndef MOVAREL_PREFIX
#define MOVAREL_PREFIX "/usr/local"
#endif

namespace movarel {

namespace {

bool IsFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

std::string FirstFile(const std::vector<std::string>& paths) {
    for (const std::string& path : paths)
        if (IsFile(path)) return path;
    return std::string();
}

}  // namespace

HelpDocuments InstalledHelpDocuments(const std::string& programPath) {
    std::vector<std::string> prefixes;
    const std::filesystem::path bin = std::filesystem::path(programPath).parent_path();
    if (!bin.empty()) prefixes.push_back((bin.parent_path()).lexically_normal().string());
    if (prefixes.empty() || prefixes.front() != MOVAREL_PREFIX) prefixes.push_back(MOVAREL_PREFIX);
    HelpDocuments docs;
    for (const std::string& prefix : prefixes) {
        docs.Readmes.push_back(prefix + "/" MOVAREL_DOC_SUBDIR "/README.md");
        docs.ManPages.push_back(prefix + "/" MOVAREL_MAN_SUBDIR "/man1/movarel.1.gz");
        docs.ManPages.push_back(prefix + "/" MOVAREL_MAN_SUBDIR "/man1/movarel.1");
    }
    return docs;
}

HelpRoute ChooseHelpRoute(const std::string& homePage, const HelpDocuments& docs) {
    if (!homePage.empty()) return {std::string(), "Documentation is available on author's web site\r" + homePage};
    const std::string readme = FirstFile(docs.Readmes);
    if (!readme.empty())
        return {QUrl::fromLocalFile(QString::fromStdString(readme)).toString().toStdString(),
                "Documentation is in " + readme};
    if (!FirstFile(docs.ManPages).empty())
        return {"man:movarel(1)", "Documentation is in the manual page movarel(1): run \"man movarel\"."};
    return {std::string(), "No documentation is installed with this copy of Movarel; README.md in its source "
                           "describes it."};
}

}  // namespace movarel
