// The window's texts of the search for the converter and of the diagnosis of a port.
#pragma once

#include "ui/langtext.h"

namespace kvt::ui {

inline constexpr TLangText FindMenuCaption{"&Najít převodník", "&Find converter"};
inline constexpr TLangText FindCloseFirst{"Převodník se hledá jen bez spojení: nejprve spojení ukončete.",
                                          "The search runs without a connection: close the connection first."};
inline constexpr TLangText FindNone{"Na žádném portu neodpovídá převodník.", "No converter answers on any port."};
inline constexpr TLangText FindNoPorts{"Nebyl nalezen žádný sériový port.", "No serial port was found."};
inline constexpr TLangText FindChoose{"Odpovídá více převodníků. Vyberte port:", "Several converters answer. Choose the port:"};
// What a port gave ("%1": the system's reason, the programs holding it).
inline constexpr TLangText FindOther{"odpovídá něco jiného než převodník", "something else answers, not a converter"};
inline constexpr TLangText FindSilent{"žádná odpověď do 800 ms", "no reply within 800 ms"};
inline constexpr TLangText FindNotOpened{"nelze otevřít: %1", "cannot be opened: %1"};
inline constexpr TLangText FindConsole{"nedotazován: systémová konzole", "not asked: the system console"};
inline constexpr TLangText FindHeld{"nedotazován: port drží %1", "not asked: held by %1"};
inline constexpr TLangText FindNoUart{"nedotazován: jádro zde nehlásí žádný UART", "not asked: the kernel reports no UART there"};

} // namespace kvt::ui
