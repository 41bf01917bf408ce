#pragma once

#include <string>
#include <string_view>

// Takes the first piece of source up to the first delimiter.
// False when source is empty. Otherwise out receives the text before the
// first occurrence of delimiter (all of source when there is none) and source
// keeps only the text after it (nothing when there is none).
// An empty delimiter never occurs: the whole source is taken.
bool SplitFirst(std::string& source, std::string_view delimiter, std::string& out);
