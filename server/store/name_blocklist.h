// Words an operator keeps out of the names on the table, read from a plain
// file (--name-blocklist): one word a line, blank lines and lines starting
// with '#' ignored. Names and words are compared folded: case, the look-alike
// digits and signs players write for letters (0 for o, 1 for i or l, 3 for
// e, 4 for a, 5 for s, 7 for t, @ for a, $ for s ...) and everything that
// is not a letter are folded away, so "B@D W0RD" and "b.a.d-w.o.r.d" both
// hold "badword". A word matches anywhere in a name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Lower-case letters alone, look-alikes turned into the letters they stand
// for; 'l' and '1' both fold to 'i', as they cannot be told apart.
std::string FoldName(std::string_view text);

class NameBlocklist {
public:
    NameBlocklist() = default;
    explicit NameBlocklist(std::vector<std::string> words);

    // Reads the file at path. False with a message when it cannot be read;
    // a word that folds to nothing (only digits that are no look-alike, say)
    // is refused too, as it would match every name.
    static bool Load(const std::string& path, NameBlocklist& list, std::string& error);

    // True when the folded name holds a folded word.
    bool Blocks(std::string_view name) const;
    bool Empty() const { return folded.empty(); }

private:
    std::vector<std::string> folded;
};
