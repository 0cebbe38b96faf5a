// Comparing the names a command line gives with the program's texts.
#pragma once

#include <string>

namespace unattended {

// Equal but for the case of ASCII letters; the two bytes of a code page
// 936 character compare exactly (a trail byte may look like a letter).
bool EqualsIgnoringCase(const std::string& a, const std::string& b);

// "LPT1:" and "LPT1" name the same port.
std::string WithoutTrailingColon(const std::string& name);

}  // namespace unattended
