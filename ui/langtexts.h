// The Czech and English texts of the main window: control captions and message texts.
#pragma once

#include <array>

namespace kvt::ui {

constexpr int LangCzech = 0;
constexpr int LangEnglish = 1;

// Rows that name the resolution apply only to one converter model.
enum class TModelCond { Any, Model10, Model12 };

struct TCaptionRow {
    const char* Target; // object name of the control; "FrmMain" is the window caption
    TModelCond When;
    const char* Czech;  // UTF-8
    const char* English;
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
    const char* Czech; // UTF-8
    const char* English;
};

// The message texts, written after the captions in the same order.
extern const std::array<TMessageRow, 13> MessageTable;

} // namespace kvt::ui
