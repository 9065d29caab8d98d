// Input calibration and measurement, output adjustment: the handlers of the signal tab's
// measure buttons, the two output code fields and their save buttons.
#include "ui/frmmain.h"

#include "ui/uiseam.h"

#include "protocol/commands.h"
#include "signal/conversion.h"
#include "signal/output_code.h"

#include <QApplication>
#include <QColor>
#include <QLabel>
#include <QLocale>
#include <QPalette>
#include <QProgressBar>

#include <string>

namespace kvt::ui {

namespace {

// An unsaved code is shown in pure red.
const QColor UnsavedColor(255, 0, 0);

// One measurement: the value with its unit in LblAIMeasVal and, for the storing measurements,
// in the range label too. A failed measurement leaves the labels alone.
void Measure(TFrmMain& W, uint32_t Parameter, QLabel* RangeLabel)
{
    const TMeasured m = W.Need(W.Model.Measure(Parameter));
    const TDeviceSettings& s = W.DeviceSettings;
    W.LblAIMeasVal->setText(QString::fromStdString(MeasurementText(
        s.ConfigType, s.InputMode, m.Value, m.UnitSuffix, QLocale().decimalPoint().toStdString())));
    if (RangeLabel != nullptr)
        RangeLabel->setText(W.LblAIMeasVal->text());
}

// Brings the field's value into 0..Limit. Setting the field runs its change handler, which then
// drives the output (unless loading) and moves the bar; true when that happened.
bool ClampField(TFrmMain& W, TSpinEdit* Edit, int Limit)
{
    if (!Edit->HasNumber())
        return false;
    const int value = Edit->Value();
    const int code = ClampCode(value, Limit);
    if (code == value)
        return false;
    const QString before = Edit->text();
    W.SetSpinValue(Edit, code);
    return Edit->text() != before;
}

void Drive(TFrmMain& W, const TSpinEdit* Edit)
{
    W.Need(W.Model.DriveOutput(static_cast<uint16_t>(Edit->Value())));
}

void Release(TFrmMain& W)
{
    W.Need(W.Model.ReleaseOutput());
    Sleep(100);
}

void CodeChanged(TFrmMain& W, TSpinEdit* Edit, QProgressBar* Bar)
{
    if (!W.Loading) {
        Edit->SetFontColor(UnsavedColor);
        // Letters or an emptied field stand for no code: the output keeps the last one.
        if (!Edit->HasNumber())
            return;
        // A clamped field has been driven and its bar moved by the nested run of this handler:
        // one drive frame per code, and never one with the code as typed.
        if (ClampField(W, Edit, W.OutCodeMax))
            return;
        Drive(W, Edit);
    }
    Bar->setValue(BarPosition(Edit->Value(), W.BarDivisor));
}

void CodeEntered(TFrmMain& W, TSpinEdit* Edit)
{
    if (W.Loading || !Edit->HasNumber())
        return;
    if (!ClampField(W, Edit, W.OutCodeMax))
        Drive(W, Edit);
}

void CodeLeft(TFrmMain& W, TSpinEdit* Edit)
{
    Release(W);
    // What was left in the field without being a number was never driven: show the code that was.
    Edit->ShowLastNumber();
}

void CodeSaved(TFrmMain& W, TSpinEdit* Edit, uint8_t Address)
{
    if (!Edit->HasNumber())
        return;
    // The fields never hold more than OutCodeMax; a code above it would be a range the
    // converter cannot drive, so the save keeps to it as well.
    ClampField(W, Edit, W.OutCodeMax);
    W.Need(W.Model.WriteWord(Address, static_cast<uint16_t>(Edit->Value())));
    Edit->SetFontColor(QApplication::palette(Edit).color(QPalette::Active, QPalette::Text));
    Release(W);
}

} // namespace

void TFrmMain::SpdBtnAIZeroClick(QObject*)
{
    Measure(*this, MeasureStoreZero, LblAIUSRZero);
}

void TFrmMain::SpdBtnAIEndClick(QObject*)
{
    Measure(*this, MeasureStoreEnd, LblAIUSREnd);
}

void TFrmMain::SpdBtnMeasInputClick(QObject*)
{
    Measure(*this, MeasureOnly, nullptr);
}

void TFrmMain::SpnEdtAOZeroChange(QObject*)
{
    CodeChanged(*this, SpnEdtAOZero, PrgBrAOZero);
}

void TFrmMain::SpnEdtAOZeroEnter(QObject*)
{
    CodeEntered(*this, SpnEdtAOZero);
}

void TFrmMain::SpnEdtAOZeroExit(QObject*)
{
    CodeLeft(*this, SpnEdtAOZero);
}

void TFrmMain::SpnEdtAOZeroKeyPress(QObject*, QChar&)
{
    ClampField(*this, SpnEdtAOZero, OutCodeMax);
}

void TFrmMain::SpnEdtAOEndChange(QObject*)
{
    CodeChanged(*this, SpnEdtAOEnd, PrgBrAOEnd);
}

void TFrmMain::SpnEdtAOEndEnter(QObject*)
{
    CodeEntered(*this, SpnEdtAOEnd);
}

void TFrmMain::SpnEdtAOEndExit(QObject*)
{
    CodeLeft(*this, SpnEdtAOEnd);
}

void TFrmMain::SpnEdtAOEndKeyPress(QObject*, QChar&)
{
    ClampField(*this, SpnEdtAOEnd, OutCodeMax);
}

void TFrmMain::SpdBtnAOZeroClick(QObject*)
{
    CodeSaved(*this, SpnEdtAOZero, WordOutZero);
}

void TFrmMain::SpdBtnAOEndClick(QObject*)
{
    CodeSaved(*this, SpnEdtAOEnd, WordOutEnd);
}

} // namespace kvt::ui
