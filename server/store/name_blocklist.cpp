#include "server/store/name_blocklist.h"

#include <fstream>

namespace {

// The letter a character stands for, or 0 when it stands for none.
char Folded(char c) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    switch (c) {
        case '0':
            return 'o';
        case '1':
        case 'l':
        case '|':
        case '!':
            return 'i';
        case '2':
            return 'z';
        case '3':
            return 'e';
        case '4':
        case '@':
            return 'a';
        case '5':
        case '$':
            return 's';
        case '6':
            return 'g';
        case '7':
        case '+':
            return 't';
        case '8':
            return 'b';
        case '9':
            return 'g';
        default:
            return c >= 'a' && c <= 'z' ? c : 0;
    }
}

}  // namespace

std::string FoldName(std::string_view text) {
    std::string folded;
    for (const char c : text) {
        if (const char letter = Folded(c)) folded += letter;
    }
    return folded;
}

NameBlocklist::NameBlocklist(std::vector<std::string> words) {
    for (const std::string& word : words) {
        std::string fold = FoldName(word);
        if (!fold.empty()) folded.push_back(std::move(fold));
    }
}

bool NameBlocklist::Load(const std::string& path, NameBlocklist& list, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the name blocklist " + path;
        return false;
    }
    std::vector<std::string> words;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#') continue;
        if (FoldName(line).empty()) {
            error = path + ":" + std::to_string(number) + ": \"" + line + "\" holds no letter to match";
            return false;
        }
        words.push_back(line);
    }
    if (in.bad()) {
        error = "cannot read the name blocklist " + path;
        return false;
    }
    list = NameBlocklist(std::move(words));
    return true;
}

bool NameBlocklist::Blocks(std::string_view name) const {
    if (folded.empty()) return false;
    const std::string foldedName = FoldName(name);
    for (const std::string& word : folded) {
        if (foldedName.find(word) != std::string::npos) return true;
    }
    return false;
}
