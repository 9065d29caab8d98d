// Numeric range entry: the compute-and-store buttons of the numeric tab.
#include "ui/frmmain.h"

#include "ui/uiseam.h"

#include "protocol/commands.h"
#include "signal/numeric_entry.h"

#include <QRadioButton>

#include <cstddef>
#include <stdexcept>
#include <string>

namespace kvt::ui {

namespace {

std::string FieldText(const TMaskEdit* Edit)
{
    return Edit->Text().toStdString();
}

// Out-of-range entries are told in a plain box; a text that does not convert is an error for
// the general report. True when the words may be written.
bool EntryAccepted(TFrmMain& W, const TEntryResult& Entry)
{
    switch (Entry.Status) {
    case TEntryStatus::esOk:
        return true;
    case TEntryStatus::esBeginOutOfRange:
        PlainBox(&W, W.MsgBeginOutOfRange);
        return false;
    case TEntryStatus::esEndOutOfRange:
        PlainBox(&W, W.MsgEndOutOfRange);
        return false;
    case TEntryStatus::esBadNumber:
        break;
    }
    throw std::runtime_error(Entry.Error);
}

// Begin, then end. The first failed write ends the entry: the port is closed by then, and the
// user has been told once.
bool WriteRange(TFrmMain& W, uint8_t BeginAddress, uint8_t EndAddress, const TEntryResult& Entry)
{
    std::string reply;
    int elapsed = 0;
    if (W.SendEE(CmdWriteWord, BeginAddress, static_cast<uint16_t>(Entry.Begin), reply, elapsed) != 1) {
        W.LinkLost();
        return false;
    }
    if (W.SendEE(CmdWriteWord, EndAddress, static_cast<uint16_t>(Entry.End), reply, elapsed) != 1) {
        W.LinkLost();
        return false;
    }
    return true;
}

// The first kind whose numeric button is checked, in the order of the table; none when no
// button is checked.
template <typename TKind, std::size_t N>
const TKind* CheckedKind(const TKind (&Kinds)[N])
{
    for (const TKind& k : Kinds)
        if (k.Numeric->isChecked())
            return &k;
    return nullptr;
}

} // namespace

void TFrmMain::SpdBtnSendNumeralClick(QObject*)
{
    struct TKind {
        QRadioButton* Numeric;
        TNumInputKind Kind;
        QRadioButton* Signal;
    };
    const TKind kinds[] = {
        {RdBtnNumAII, TNumInputKind::nkCurrent, RdBtnAII},
        {RdBtnNumAIU, TNumInputKind::nkVoltage, RdBtnAIUH},
        {RdBtnNumAIUL, TNumInputKind::nkMillivolt, RdBtnAIUL},
        {RdBtnNumAIOV, TNumInputKind::nkPercent, RdBtnAIOV},
    };
    if (const TKind* k = CheckedKind(kinds)) {
        const TEntryResult entry =
            ComputeInputRange(k->Kind, FieldText(MaskEdtNumBegin), FieldText(MaskEdtNumEnd), DeviceSettings);
        if (!EntryAccepted(*this, entry))
            return;
        if (!WriteRange(*this, WordInZero, WordInEnd, entry))
            return;
        // The converter takes the range in the units of the kind just entered: switch it to that kind.
        CheckButton(k->Signal);
        // A kind write that failed has shown the lost link and closed the port.
        if (!ComPort.Active())
            return;
    }
    if (NeedsPowerCycle(DeviceSettings.FirmwareVersion))
        ErrorBox(this, MsgPowerCycle);
}

void TFrmMain::SpdBtnSendNumeralAOClick(QObject*)
{
    struct TKind {
        QRadioButton* Numeric;
        TNumOutputKind Kind;
        QRadioButton* Signal;
    };
    const TKind kinds[] = {
        {RdBtnNumAOI, TNumOutputKind::okCurrent, RdBtnAOI},
        {RdBtnNumAOU, TNumOutputKind::okVoltage, RdBtnAOU},
    };
    if (const TKind* k = CheckedKind(kinds)) {
        const TEntryResult entry =
            ComputeOutputRange(k->Kind, FieldText(MaskEdtAONumBegin), FieldText(MaskEdtAONumEnd), DeviceSettings);
        if (!EntryAccepted(*this, entry))
            return;
        if (!WriteRange(*this, WordOutZero, WordOutEnd, entry))
            return;
        CheckButton(k->Signal);
    }
}

} // namespace kvt::ui
