// The help box's fixed text: the inactivity note, the DIP-switch table and short instructions
// for the tabs, in Czech as written and in an English translation line for line.
#pragma once

#include <array>

namespace kvt::ui {

// The lines in order, UTF-8, none longer than 40 characters.
extern const std::array<const char*, 89> HelpLines;
extern const std::array<const char*, 89> HelpLinesEnglish;

} // namespace kvt::ui
