// The help box's fixed text: the inactivity note, the DIP-switch table and short instructions
// for the tabs, in Czech as written and in an English translation line for line.
#pragma once

#include "ui/langtext.h"

#include <QStringList>

#include <array>

namespace kvt::ui {

inline constexpr TLangText HelpTitle = {"Nápověda", "Help"};

// What each position of the four DIP switches means, by the ConfigType it gives (switch 1 is
// the highest bit, OFF counts as 1).
extern const std::array<TLangText, 16> DipMeanings;

// The switch table's line of a position (0..15): each switch right-aligned in 3 characters, two
// blanks after each, then the meaning.
QString DipSwitchLine(int ConfigType, int Lang);

// The 89 lines in order, none longer than 40 characters.
QStringList HelpLines(int Lang);

} // namespace kvt::ui
