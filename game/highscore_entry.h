#pragma once

#include <cstdint>
#include <string>

// One row of the score server's table, as the server sent it.
struct HighscoreEntry {
    std::string name;  // verbatim, may be empty
    std::int32_t score = 0;
};
