#pragma once
// Where Help (F1) sends the user: the project's web page when the build names
// one, else the documentation installed with the player.
#include <string>
#include <vector>

namespace movarel {

// The files that may hold the documentation, best first.
struct HelpDocuments {
    std::vector<std::string> Readmes;   // README.md in a documentation folder
    std::vector<std::string> ManPages;  // movarel(1)
};

// Where an installed player's documentation lies: under the prefix that holds
// the player at programPath (bin/..), then under the prefix it was built for.
HelpDocuments InstalledHelpDocuments(const std::string& programPath);

struct HelpRoute {
    std::string Url;      // opened when not empty
    std::string Message;  // shown when there is no Url or it cannot be opened
};

// With a web address, the help text that names it; without one, the first
// README found, else the manual page, else a message that none is installed.
HelpRoute ChooseHelpRoute(const std::string& homePage, const HelpDocuments& docs);

}  // namespace movarel
