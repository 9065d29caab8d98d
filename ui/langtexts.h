// The Czech and English texts of the main window: control captions and message texts.
#pragma once

#include "ui/langtext.h"

#include <array>

namespace kvt::ui {

// Rows that name the resolution apply only to one converter model.
enum class TModelCond { Any, Model10, Model12 };

struct TCaptionRow {
    const char* Target; // object name of the control; "FrmMain" is the window caption
    TModelCond When;
    TLangText Text;
};

// The captions, in the order they are written.
extern const std::array<TCaptionRow, 47> CaptionTable;

enum class TMessageSlot {
    MsgLinkLost,
    MsgBadPort,
    MsgDipNotPc,
    MsgCableLost,
    MsgNoPeriod,
    MsgNoConverter,
    MsgConfigIs,
    MsgBadConfig,
    MsgSelectPort,
    MsgDropOnlyCurrent,
    MsgBeginOutOfRange,
    MsgEndOutOfRange,
    MsgPowerCycle,
};

struct TMessageRow {
    TMessageSlot Slot;
    const char* Name;
    TLangText Text;
};

// The message texts, written after the captions in the same order.
extern const std::array<TMessageRow, 13> MessageTable;

// Texts that the two tables above leave in Czech, with their English: the bars' zero marks, the
// About item and the menu items of the technician's files and the line's log.
extern const std::array<TCaptionRow, 11> ExtraCaptionTable;

// The captions that name the converter model's ranges and resolution, written when the model is
// known (SetOptions) and again by every SetLang; each row applies to one model.
extern const std::array<TCaptionRow, 14> ModelCaptionTable;

// Mnemonics: the caption with '&' before the letter that Alt (or, in an open menu, the letter
// alone) presses; '|' separates the captions of a button that changes its caption. The captions
// themselves stay as written; the letter is kept beside them.
struct TMnemonicRow {
    const char* Target;
    TLangText Text;
};
extern const std::array<TMnemonicRow, 28> MnemonicTable;

// A few texts that are put together elsewhere, by language.
// The word that begins the converter's status text.
inline constexpr TLangText StatusConverter = {"Převodník ", "Converter "};
// The save dialog's filter for the export.
inline constexpr TLangText CsvFilterText = {"CSV (oddělený středníkem)|*.csv", "CSV (semicolon separated)|*.csv"};
// The About box; %1 is the version, %2 the folder of the documentation, %3 the system.
inline constexpr TLangText AboutText = {
    "Konfigurační program pro převodníky KVT27/KVT27L\nkvt27-config, verze %1\n\nLicence: MIT\n"
    "Dokumentace a licence: %2\n\nSystém: %3",
    "Configuration program for KVT27/KVT27L converters\nkvt27-config, version %1\n\nLicence: MIT\n"
    "Documentation and licence: %2\n\nSystem: %3"};

} // namespace kvt::ui
