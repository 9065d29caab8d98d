// The Czech and English texts of the technician's files (configurations, the restore, the work
// record) and of the line's log window. The reasons given by the configuration rules stay in
// English, as kvt27ctl gives them; the window's own sentence around them is in its language.
#pragma once

#include "ui/langtext.h"

namespace kvt::ui::texts {

// File dialogs ("Description|*.ext", as the CSV export's filter).
inline constexpr TLangText ConfigFilter = {"Konfigurace KVT27|*.kvt", "KVT27 configuration|*.kvt"};
inline constexpr TLangText ConfigOpenFilter = {"Konfigurace KVT27|*.kvt|Všechny soubory|*",
                                               "KVT27 configuration|*.kvt|All files|*"};
inline constexpr TLangText RecordFilter = {"Protokol PDF|*.pdf", "PDF record|*.pdf"};
inline constexpr TLangText TextFilter = {"Textový soubor|*.txt", "Text file|*.txt"};

// Boxes.
inline constexpr TLangText NotConnected = {"Nejprve navažte spojení s převodníkem.", "Connect to a converter first."};
inline constexpr TLangText StopSamplingFirst = {"Nejprve zastavte záznam dat.", "Stop the data recording first."};
inline constexpr TLangText CannotWrite = {"Soubor nelze zapsat.", "The file cannot be written."};
inline constexpr TLangText CannotSaveConfig = {"Konfiguraci tohoto převodníku nelze uložit.",
                                               "This converter's configuration cannot be saved."};
inline constexpr TLangText FileRefused = {"Konfiguraci ze souboru nelze použít; do převodníku se nic nezapsalo.",
                                          "The configuration file cannot be used; nothing was written to the converter."};
inline constexpr TLangText ConverterRefused = {"Tento převodník nastavení nepřijme; nic se nezapsalo.",
                                               "This converter cannot take the settings; nothing was written."};
inline constexpr TLangText NothingToLoad = {"Převodník už má tuto konfiguraci; nic se nezapisuje.",
                                            "The converter holds this configuration already; nothing is written."};
// %1: the file name.
inline constexpr TLangText LoadQuestion = {"Zapsat do převodníku konfiguraci ze souboru %1?\r\rZmění se:",
                                           "Write the configuration from %1 to the converter?\r\rThese words change:"};
inline constexpr TLangText RestoreQuestion = {"Vrátit převodníku nastavení, které měl při převzetí?\r\rZmění se:",
                                              "Give the converter back its settings as found?\r\rThese words change:"};
inline constexpr TLangText NothingToRestore = {"Převodník má stále nastavení jako při převzetí; nic se nezapisuje.",
                                               "The converter still has its settings as found; nothing is written."};
// A write that failed half-way: what was written, what may have been, what was not. %1: a list.
inline constexpr TLangText WrittenWords = {"Zapsáno: %1", "Written: %1"};
inline constexpr TLangText UnknownWords = {"Nejisté, mohlo se uložit: %1", "Unknown, may have been stored: %1"};
inline constexpr TLangText NotWrittenWords = {"Nezapsáno: %1", "Not written: %1"};
inline constexpr TLangText NoWords = {"nic", "none"};
// %1: the word's value read back after the write.
inline constexpr TLangText HoldsWord = {"převodník má %1", "the converter holds %1"};
inline constexpr TLangText NotReadBack = {"nelze přečíst zpět", "could not be read back"};

// The settings as words and in engineering units.
inline constexpr TLangText WordInputModeCaption = {"Vstup", "Input"};
inline constexpr TLangText WordInZeroCaption = {"Počátek vstupu", "Input range begin"};
inline constexpr TLangText WordInEndCaption = {"Konec vstupu", "Input range end"};
inline constexpr TLangText WordOutputModeCaption = {"Výstup", "Output"};
inline constexpr TLangText WordOutZeroCaption = {"Počátek výstupu", "Output range begin"};
inline constexpr TLangText WordOutEndCaption = {"Konec výstupu", "Output range end"};
inline constexpr TLangText WordFilterCaption = {"Filtr", "Filter"};
inline constexpr TLangText WordReactionCaption = {"Chybové hlášení 4 - 20 mA", "Reaction to incorrect input"};
inline constexpr TLangText InputKinds[] = {
    {"proud", "current"}, {"napětí", "voltage"}, {"milivolty", "millivolt"}, {"odporový vysílač", "resistance transmitter"}};
inline constexpr TLangText OutputKinds[] = {{"proud", "current"}, {"napětí", "voltage"}};
inline constexpr TLangText Filters[] = {
    {"bez filtru", "no filter"}, {"klouzavý průměr", "moving average"}, {"polynomický filtr", "polynomial filter"}};
inline constexpr TLangText Reactions[] = {{"bez reakce", "no reaction"},
                                          {"výstup 0 mA nebo 0 V", "output 0 mA or 0 V"},
                                          {"výstup nad 21 mA nebo 10,4 V", "output above 21 mA or 10.4 V"},
                                          {"výstup 3,5 mA", "output 3.5 mA"}};

// The work record.
inline constexpr TLangText RecordTitle = {"Protokol o práci na převodníku", "Converter work record"};
inline constexpr TLangText RecordDate = {"Datum a čas", "Date and time"};
inline constexpr TLangText RecordPort = {"Port", "Port"};
inline constexpr TLangText RecordTag = {"Označení", "Tag"};
inline constexpr TLangText RecordModel = {"Model", "Model"};
inline constexpr TLangText RecordFirmware = {"Firmware", "Firmware"};
inline constexpr TLangText RecordTemperature = {"Teplota převodníku", "Converter temperature"};
inline constexpr TLangText RecordNoTemperature = {"neměří se", "not measured"};
inline constexpr TLangText RecordConfig = {"Konfigurace", "Configuration"};
inline constexpr TLangText RecordPcConfig = {"nastavení kabelem z PC", "set from the PC by cable"};
inline constexpr TLangText RecordSettings = {"Nastavení", "Settings"};
inline constexpr TLangText RecordSetting = {"Položka", "Setting"};
inline constexpr TLangText RecordAsFound = {"Při převzetí", "As found"};
inline constexpr TLangText RecordAsLeft = {"Při předání", "As left"};
inline constexpr TLangText RecordChanged = {"* změněno", "* changed"};
inline constexpr TLangText RecordMeasurements = {"Kalibrační měření", "Calibration measurements"};
inline constexpr TLangText RecordTime = {"Čas", "Time"};
inline constexpr TLangText RecordMeasurement = {"Měření", "Measurement"};
inline constexpr TLangText RecordRaw = {"Surová hodnota", "Raw value"};
inline constexpr TLangText RecordValue = {"Hodnota", "Value"};
inline constexpr TLangText RecordNoMeasurements = {"Žádná měření.", "None taken."};
// %1: how many earlier measurements the record leaves out.
inline constexpr TLangText RecordEarlierOmitted = {"(%1 dřívějších měření vynecháno)", "(%1 earlier measurements left out)"};
inline constexpr TLangText MeasureKinds[] = {{"počátek rozsahu změřen a uložen", "range begin measured and saved"},
                                             {"konec rozsahu změřen a uložen", "range end measured and saved"},
                                             {"vstupní signál změřen", "input signal measured"}};
inline constexpr TLangText RecordTechnician = {"Technik (jméno):", "Technician (name):"};
inline constexpr TLangText RecordSignature = {"Podpis:", "Signature:"};
// %1: the program's version.
inline constexpr TLangText RecordProgram = {"Vytvořeno programem kvt27-config %1", "Made by kvt27-config %1"};

// The line's log window.
inline constexpr TLangText LogTitle = {"Záznam komunikace", "Line log"};
inline constexpr TLangText LogSave = {"&Uložit jako text…", "&Save as text…"};
inline constexpr TLangText LogClear = {"&Vymazat", "C&lear"};
inline constexpr TLangText LogClose = {"&Zavřít", "&Close"};

} // namespace kvt::ui::texts
