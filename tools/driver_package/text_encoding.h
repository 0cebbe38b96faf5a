// Telling code page 936 text from UTF-8, and showing either on a UTF-8
// terminal.
#pragma once

#include <string>
#include <string_view>

namespace driver_package {

// Every byte pair well formed as code page 936 (a lead byte 0x81-0xFE and a
// trail byte 0x40-0xFE other than 0x7F).
bool IsCodePage936(std::string_view text);

// Well-formed UTF-8 with at least one multi-byte character. Chinese text in
// code page 936 practically never is; in UTF-8 it is by definition.
bool IsUtf8BeyondAscii(std::string_view text);

// For the terminal: code page 936 converted, UTF-8 kept, any other byte
// beyond ASCII shown as \xNN.
std::string ForTerminal(std::string_view text);

// Terminal columns the text takes once shown (a Chinese character takes two).
size_t TerminalWidth(std::string_view utf8);

}  // namespace driver_package
