#include "common/split_first.h"

bool SplitFirst(std::string& source, std::string_view delimiter, std::string& out) {
    if (source.empty()) return false;
    const std::size_t at = delimiter.empty() ? std::string::npos : source.find(delimiter);
    if (at == std::string::npos) {
        out.swap(source);
        source.clear();
        return true;
    }
    out.assign(source, 0, at);
    source.erase(0, at + delimiter.size());
    return true;
}
