// Where one run of the game reads its data and writes its log. Started where
// a data/ folder is (the source tree, or any folder laid out the old way), the
// game keeps to the working directory; an installed game, started from a menu
// or from any other folder, reads the data installed with it and writes its
// log into the player's state folder.
#pragma once

#include <string>
#include <string_view>

// The file to open for a resource named relative to the data root, such as
// "data/ghost.png": the name itself when the working directory holds data/;
// else the installed copy (<prefix>/share/munchet/data/ghost.png, found from
// the executable's own path) when that folder exists; else the name itself,
// whose load then fails and is logged.
std::string DataFile(std::string_view name);

// The engine's log file: "error.log" when the working directory holds data/;
// else error.log in the player's state folder (common/user_folders.h); else,
// with the reason on stderr, "error.log" in the working directory.
std::string LogFile();
