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

namespace kvt::ui {

// The causes found for a port that does not work ("%1": the port, the group, the programs).
inline constexpr TLangText CauseGone{"Port %1 v systému není: adaptér byl odpojen, nebo má po novém připojení jiný název.",
                                     "The port %1 is not there: the adapter was unplugged, or it has another name after a re-plug."};
inline constexpr TLangText CauseAccess{"Tento uživatel nesmí port používat: patří skupině „%1“. Přidejte se do ní (sudo usermod -aG %1 $USER) a znovu se přihlaste.",
                                       "This user may not use the port: it belongs to the group \"%1\". Join it (sudo usermod -aG %1 $USER) and log in again."};
inline constexpr TLangText CauseHeld{"Port drží jiný program: %1. Ukončete ho.", "Another program holds the port: %1. Close it."};
inline constexpr TLangText CauseBrltty{"Běží služba brltty, která si USB adaptéry sériové linky (CH340, CP210x, FT232) bere pro sebe; adaptér nejspíš zmizel kvůli ní. Nepoužíváte-li braillský řádek, odinstalujte balík brltty.",
                                       "The brltty service is running; it takes USB serial adapters (CH340, CP210x, FT232) for itself, which is likely where this one went. Unless a braille display is used, remove the brltty package."};
inline constexpr TLangText CauseModemManager{"Běží ModemManager, který nově připojený port několik sekund zkouší; chvíli počkejte a zkuste to znovu.",
                                             "ModemManager is running: it probes a newly plugged port for some seconds; wait a moment and try again."};
inline constexpr TLangText CauseNoReply{"Převodník neodpověděl do 800 ms: zkontrolujte, že je napájen, že je kabel zapojen v jeho konektoru PC, a nastavení DIP přepínačů (viz Nápověda).",
                                        "The converter did not reply within 800 ms: check that it is powered, that the cable is in its PC socket, and the DIP switches (see Help)."};

} // namespace kvt::ui

namespace kvt::ui {

// The connect panel while a lost adapter is awaited ("%1": the port).
inline constexpr TLangText ReplugGone{"Adaptér %1 byl odpojen. Až ho znovu připojíte, seznam portů ho vybere.",
                                      "The adapter %1 was unplugged. When it is plugged in again, the port list selects it."};
inline constexpr TLangText ReplugBack{"Adaptér je opět připojen jako %1: Enter naváže spojení.",
                                      "The adapter is back as %1: Enter connects."};

} // namespace kvt::ui
