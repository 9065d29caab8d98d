// The Czech and English texts of the bench job dialog. The reasons the job gives (a refused
// configuration, a failed line) stay in English, as kvt27ctl gives them.
#pragma once

#include "ui/langtext.h"

namespace kvt::ui::texts {

inline constexpr TLangText BenchTitle = {"Dávka převodníků", "Bench job"};
inline constexpr TLangText BenchJobFile = {"Úloha (CSV):", "Job (CSV):"};
inline constexpr TLangText BenchRecords = {"Složka protokolů:", "Records folder:"};
inline constexpr TLangText BenchPort = {"Port:", "Port:"};
inline constexpr TLangText BenchFrom = {"Od řádku:", "From row:"};
inline constexpr TLangText BenchChoose = {"Vybrat…", "Choose…"};
inline constexpr TLangText BenchStart = {"Spustit", "Start"};
inline constexpr TLangText BenchStop = {"Zastavit", "Stop"};
inline constexpr TLangText BenchClose = {"Zavřít", "Close"};
inline constexpr TLangText BenchFilter = {"Úloha CSV|*.csv|Všechny soubory|*", "CSV job|*.csv|All files|*"};
// The table's columns.
inline constexpr TLangText BenchColRow = {"Řádek", "Row"};
inline constexpr TLangText BenchColTag = {"Označení", "Tag"};
inline constexpr TLangText BenchColConverter = {"Převodník", "Converter"};
inline constexpr TLangText BenchColResult = {"Výsledek", "Result"};
inline constexpr TLangText BenchColWritten = {"Zapsáno", "Written"};
inline constexpr TLangText BenchColRecord = {"Protokol", "Record"};
// The next step, in large letters. %1: a tag, a row.
inline constexpr TLangText BenchReady = {"Vyberte úlohu a stiskněte Spustit", "Choose a job and press Start"};
inline constexpr TLangText BenchConnect = {"Připojte převodník pro %1", "Connect the converter for %1"};
inline constexpr TLangText BenchUnplug = {"Odpojte převodník %1", "Unplug the converter for %1"};
inline constexpr TLangText BenchWorking = {"Nastavuji převodník pro %1…", "Configuring the converter for %1…"};
inline constexpr TLangText BenchDone = {"Hotovo: všechny řádky zpracovány", "Done: every row is through"};
inline constexpr TLangText BenchStoppedAt = {"Zastaveno na řádku %1; pokračujte od řádku %1",
                                             "Stopped at row %1; resume from row %1"};
inline constexpr TLangText BenchStoppedByUser = {"zastaveno uživatelem", "stopped by the user"};
// Row results.
inline constexpr TLangText BenchNotRun = {"neproběhlo", "not run"};
inline constexpr TLangText BenchResultDone = {"hotovo", "done"};
inline constexpr TLangText BenchSkipped = {"vynecháno", "skipped"};
inline constexpr TLangText BenchMismatch = {"nesouhlasí", "mismatch"};
inline constexpr TLangText BenchFailed = {"selhalo", "failed"};
inline constexpr TLangText BenchStopped = {"zastaveno", "stopped"};
// Boxes.
inline constexpr TLangText BenchBadJob = {"Úlohu nelze použít; nic se nezapsalo.", "The job cannot be used; nothing was written."};
inline constexpr TLangText BenchCloseConnection = {"Nejprve ukončete spojení (Komunikace › Ukončit spojení).",
                                                   "Close the connection first (Communication › Close connection)."};
inline constexpr TLangText BenchBadPort = {"Port nelze otevřít.", "The port cannot be opened."};

} // namespace kvt::ui::texts
