// Showing the loaded settings on the tabs, the model adaptation, and the kind and option
// buttons that write what they stand for.
#include "ui/frmmain.h"

#include "ui/errorreport.h"
#include "ui/langtext.h"
#include "ui/uiseam.h"

#include "signal/conversion.h"
#include "signal/field_text.h"
#include "signal/model_options.h"
#include "signal/numeric_entry.h"
#include "signal/signal_kind.h"

#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

namespace kvt::ui {

namespace {

// The buttons that stand for a settings word send nothing while the load sets the controls, nor
// while DrawForm shows what was read (the model's write-back has written what differed).
bool Silent(const TFrmMain& W)
{
    return W.Loading || W.Drawing;
}

// Input kind buttons of the signal tab: write InputMode, then show the settings for it.
void InputKindChosen(TFrmMain& W, int Mode)
{
    if (Silent(W))
        return;
    W.Need(W.Model.WriteWord(WordInputMode, static_cast<uint16_t>(Mode)));
    W.DrawForm();
}

// Output kind, filter and out-of-range reaction buttons: the copy keeps the new value whatever
// the write does.
void WordChosen(TFrmMain& W, uint8_t Address, int Value)
{
    if (Silent(W))
        return;
    W.Need(W.Model.WriteWord(Address, static_cast<uint16_t>(Value)));
}

void NumInputKindChosen(TFrmMain& W, TNumInputKind Kind)
{
    const TNumMask mask = NumInputMask(Kind);
    for (TMaskEdit* e : {W.MaskEdtNumBegin, W.MaskEdtNumEnd}) {
        e->SetEditMask(Utf8(mask.Mask));
        e->SetText(Utf8(mask.ZeroText));
    }
    W.LblNumBeginUnit->setText(Utf8(mask.Unit));
    W.LblNumEndUnit->setText(Utf8(mask.Unit));
}

void NumOutputKindChosen(TFrmMain& W, TNumOutputKind Kind)
{
    W.LblNumAOBegin->setText(Utf8(NumOutputUnit(Kind)));
    W.LblNumAOEnd->setText(Utf8(NumOutputUnit(Kind)));
}

} // namespace

int TFrmMain::NormalizeValueAD(int Raw)
{
    return Model.NormalizeValueAD(Raw);
}

void TFrmMain::DrawForm()
{
    const TDeviceSettings& s = DeviceSettings;
    Drawing = true;
    struct TDrawingEnd {
        bool& Flag;
        ~TDrawingEnd() { Flag = false; }
    } drawingEnd{Drawing};

    // Checking a button that was not checked runs its handler, as a click would.
    switch (s.InputMode) {
    case InputModeCurrent:
        CheckButton(RdBtnAII);
        CheckButton(RdBtnNumAII);
        break;
    case InputModeVoltage:
        CheckButton(RdBtnAIUH);
        CheckButton(RdBtnNumAIU);
        break;
    case InputModeMillivolt:
        CheckButton(RdBtnAIUL);
        CheckButton(RdBtnNumAIUL);
        break;
    case InputModePercent:
        CheckButton(RdBtnAIOV);
        CheckButton(RdBtnNumAIOV);
        break;
    default:
        break;
    }
    switch (s.OutputMode) {
    case OutputModeCurrent:
        CheckButton(RdBtnAOI);
        CheckButton(RdBtnNumAOI);
        break;
    case OutputModeVoltage:
        CheckButton(RdBtnAOU);
        CheckButton(RdBtnNumAOU);
        break;
    default:
        break;
    }
    switch (s.FilterType) {
    case 0:
        CheckButton(RdBtnFilt0);
        break;
    case 1:
        CheckButton(RdBtnFilt1);
        break;
    case 2:
        CheckButton(RdBtnFilt2);
        break;
    default:
        break;
    }
    switch (s.LimitReaction) {
    case 0:
        CheckButton(RdBtnNoReaction);
        break;
    case 1:
        CheckButton(RdBtnZeroDrop);
        break;
    case 2:
        CheckButton(RdBtnMaxRise);
        break;
    case 3:
        CheckButton(RdBtn35mADrop);
        break;
    default:
        break;
    }

    const TReactionEnabled enabled = ReactionEnabled(s.ConfigType);
    RdBtnNoReaction->setEnabled(enabled.NoReaction);
    RdBtnZeroDrop->setEnabled(enabled.ZeroDrop);
    RdBtnMaxRise->setEnabled(enabled.MaxRise);
    RdBtn35mADrop->setEnabled(enabled.Drop35mA);

    // The numeric fields take the comma of their masks, whatever the system's separator.
    const TFieldTexts in = Model.InputFieldTexts(MaskDecimalSeparator);
    if (in.Fill) {
        MaskEdtNumBegin->SetText(QString::fromStdString(in.Begin));
        MaskEdtNumEnd->SetText(QString::fromStdString(in.End));
    }
    const TFieldTexts out = OutputFieldTexts(s, MaskDecimalSeparator);
    if (out.Fill) {
        MaskEdtAONumBegin->SetText(QString::fromStdString(out.Begin));
        MaskEdtAONumEnd->SetText(QString::fromStdString(out.End));
    }
}

void TFrmMain::SetOptions()
{
    const TModelOptions* o = ModelOptions(DeviceSettings.DeviceModel);
    if (o == nullptr)
        return;
    if (!o->MillivoltInputVisible)
        ParkFocus(RdBtnAIUL);
    RdBtnAIUL->setVisible(o->MillivoltInputVisible);
    // A lower maximum leaves the fields' texts alone: the handlers clamp at the next change.
    SpnEdtAOZero->SetMaxValue(o->OutCodeMax);
    SpnEdtAOEnd->SetMaxValue(o->OutCodeMax);
    WriteModelCaptions(ChosenLang());
    if (!o->FilterVisible)
        ParkFocus(GrpBxFilter);
    GrpBxFilter->setVisible(o->FilterVisible);
    if (!o->NumeralTabVisible)
        ParkFocus(TbShtNumeral);
    PgControl->SetTabVisible(TbShtNumeral, o->NumeralTabVisible);
    if (!o->NumMillivoltVisible)
        ParkFocus(RdBtnNumAIUL);
    RdBtnNumAIUL->setVisible(o->NumMillivoltVisible);
}

void TFrmMain::RdBtnAIIClick(QObject*)
{
    InputKindChosen(*this, InputModeCurrent);
}

void TFrmMain::RdBtnAIUHClick(QObject*)
{
    InputKindChosen(*this, InputModeVoltage);
}

void TFrmMain::RdBtnAIULClick(QObject*)
{
    InputKindChosen(*this, InputModeMillivolt);
}

void TFrmMain::RdBtnAIOVClick(QObject*)
{
    InputKindChosen(*this, InputModePercent);
}

void TFrmMain::RdBtnAOIClick(QObject*)
{
    WordChosen(*this, WordOutputMode, OutputModeCurrent);
}

void TFrmMain::RdBtnAOUClick(QObject*)
{
    WordChosen(*this, WordOutputMode, OutputModeVoltage);
}

void TFrmMain::RdBtnFilt0Click(QObject*)
{
    WordChosen(*this, WordFilterType, 0);
}

void TFrmMain::RdBtnFilt1Click(QObject*)
{
    WordChosen(*this, WordFilterType, 1);
}

void TFrmMain::RdBtnFilt2Click(QObject*)
{
    WordChosen(*this, WordFilterType, 2);
}

void TFrmMain::RdBtnNoReactionClick(QObject*)
{
    WordChosen(*this, WordLimitReaction, 0);
}

void TFrmMain::RdBtnZeroDropClick(QObject*)
{
    WordChosen(*this, WordLimitReaction, 1);
}

void TFrmMain::RdBtnMaxRiseClick(QObject*)
{
    WordChosen(*this, WordLimitReaction, 2);
}

void TFrmMain::RdBtn35mADropClick(QObject*)
{
    // Refused before anything else, also during a load: the button stays checked. Checked by
    // DrawForm, the write-back has told it already.
    if (Drawing)
        return;
    if (!Drop35mAAllowed(DeviceSettings.ConfigType)) {
        ErrorBox(this, MsgDropOnlyCurrent);
        return;
    }
    WordChosen(*this, WordLimitReaction, 3);
}

void TFrmMain::RdBtnNumAIIClick(QObject*)
{
    NumInputKindChosen(*this, TNumInputKind::Current);
}

void TFrmMain::RdBtnNumAIUClick(QObject*)
{
    NumInputKindChosen(*this, TNumInputKind::Voltage);
}

void TFrmMain::RdBtnNumAIULClick(QObject*)
{
    NumInputKindChosen(*this, TNumInputKind::Millivolt);
}

void TFrmMain::RdBtnNumAIOVClick(QObject*)
{
    NumInputKindChosen(*this, TNumInputKind::Percent);
}

void TFrmMain::RdBtnNumAOIClick(QObject*)
{
    NumOutputKindChosen(*this, TNumOutputKind::Current);
}

void TFrmMain::RdBtnNumAOUClick(QObject*)
{
    NumOutputKindChosen(*this, TNumOutputKind::Voltage);
}

} // namespace kvt::ui
