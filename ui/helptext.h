// The help box's fixed text, Czech only: the inactivity note, the DIP-switch table and short
// instructions for the tabs.
#pragma once

#include <array>

namespace kvt::ui {

// The lines in order, UTF-8, none longer than 40 characters.
extern const std::array<const char*, 89> HelpLines;

} // namespace kvt::ui
