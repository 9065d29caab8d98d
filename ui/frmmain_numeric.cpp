// Numeric range entry: the compute-and-store buttons of the numeric tab.
#include "ui/frmmain.h"

#include "ui/uiseam.h"

#include "protocol/commands.h"
#include "signal/numeric_entry.h"

#include <QLabel>
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

// Refused entries are told in a plain box that names the field; a text that does not convert is
// an error for the general report. True when the words may be written.
bool EntryAccepted(TFrmMain& W, const TEntryResult& Entry, const QLabel* BeginCaption, const QLabel* EndCaption)
{
    switch (Entry.Status) {
    case TEntryStatus::Ok:
        return true;
    case TEntryStatus::BeginOutOfRange:
        PlainBox(&W, W.MsgBeginOutOfRange);
        return false;
    case TEntryStatus::EndOutOfRange:
        PlainBox(&W, W.MsgEndOutOfRange);
        return false;
    case TEntryStatus::BeginIncomplete:
        PlainBox(&W, W.MsgFieldIncomplete.arg(BeginCaption->text()));
        return false;
    case TEntryStatus::EndIncomplete:
        PlainBox(&W, W.MsgFieldIncomplete.arg(EndCaption->text()));
        return false;
    case TEntryStatus::EmptyRange:
        PlainBox(&W, W.MsgRangeEmpty.arg(BeginCaption->text(), EndCaption->text()));
        return false;
    case TEntryStatus::BadNumber:
        break;
    }
    throw std::runtime_error(Entry.Error);
}

// Begin, then end. The first failed write ends the entry: the user is told once.
void WriteRange(TFrmMain& W, uint8_t BeginAddress, uint8_t EndAddress, const TEntryResult& Entry)
{
    W.Need(W.Model.WriteWord(BeginAddress, static_cast<uint16_t>(Entry.Begin)));
    W.Need(W.Model.WriteWord(EndAddress, static_cast<uint16_t>(Entry.End)));
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
        {RdBtnNumAII, TNumInputKind::Current, RdBtnAII},
        {RdBtnNumAIU, TNumInputKind::Voltage, RdBtnAIUH},
        {RdBtnNumAIUL, TNumInputKind::Millivolt, RdBtnAIUL},
        {RdBtnNumAIOV, TNumInputKind::Percent, RdBtnAIOV},
    };
    if (const TKind* k = CheckedKind(kinds)) {
        const TEntryResult entry =
            ComputeInputRange(k->Kind, FieldText(MaskEdtNumBegin), FieldText(MaskEdtNumEnd), DeviceSettings);
        if (!EntryAccepted(*this, entry, LblNumBegin, LblNumEnd))
            return;
        WriteRange(*this, WordInZero, WordInEnd, entry);
        // The converter takes the range in the units of the kind just entered: switch it to that kind.
        CheckButton(k->Signal);
    }
    // An instruction after a range that was stored, not an error.
    if (NeedsPowerCycle(DeviceSettings.FirmwareVersion))
        InfoBox(this, MsgPowerCycle);
}

void TFrmMain::SpdBtnSendNumeralAOClick(QObject*)
{
    struct TKind {
        QRadioButton* Numeric;
        TNumOutputKind Kind;
        QRadioButton* Signal;
    };
    const TKind kinds[] = {
        {RdBtnNumAOI, TNumOutputKind::Current, RdBtnAOI},
        {RdBtnNumAOU, TNumOutputKind::Voltage, RdBtnAOU},
    };
    if (const TKind* k = CheckedKind(kinds)) {
        const TEntryResult entry =
            ComputeOutputRange(k->Kind, FieldText(MaskEdtAONumBegin), FieldText(MaskEdtAONumEnd), DeviceSettings);
        if (!EntryAccepted(*this, entry, LblNumBeginAO, LblNumEndAO))
            return;
        WriteRange(*this, WordOutZero, WordOutEnd, entry);
        CheckButton(k->Signal);
    }
}

} // namespace kvt::ui
