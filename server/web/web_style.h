// The highscore page's stylesheet, served beside the page (styleLink in web_page.h).
#pragma once

#include <string_view>

// The whole stylesheet, UTF-8 CSS; static storage.
std::string_view StyleSheet();
