// Input calibration and measurement, output adjustment: the handlers of the signal tab's
// measure buttons, the two output code fields and their save buttons.
#include "ui/frmmain.h"

namespace kvt::ui {

void TFrmMain::SpdBtnAIZeroClick(QObject*)
{
    // Measure the input and store it as the range begin.
}

void TFrmMain::SpdBtnAIEndClick(QObject*)
{
    // Measure the input and store it as the range end.
}

void TFrmMain::SpdBtnMeasInputClick(QObject*)
{
    // Measure the input once and show it.
}

void TFrmMain::SpnEdtAOZeroChange(QObject*)
{
    // Runs during the settings load too (Loading set): then only the bar follows the value.
}

void TFrmMain::SpnEdtAOZeroEnter(QObject*)
{
    // Drive the output with the field's code.
}

void TFrmMain::SpnEdtAOZeroExit(QObject*)
{
    // Release the output.
}

void TFrmMain::SpnEdtAOZeroKeyPress(QObject*, QChar&)
{
    // Clamp the value before the key is applied.
}

void TFrmMain::SpnEdtAOEndChange(QObject*)
{
    // Runs during the settings load too (Loading set): then only the bar follows the value.
}

void TFrmMain::SpnEdtAOEndEnter(QObject*)
{
    // Drive the output with the field's code.
}

void TFrmMain::SpnEdtAOEndExit(QObject*)
{
    // Release the output.
}

void TFrmMain::SpnEdtAOEndKeyPress(QObject*, QChar&)
{
    // Clamp the value before the key is applied.
}

void TFrmMain::SpdBtnAOZeroClick(QObject*)
{
    // Store the begin code (word 14) and release the output.
}

void TFrmMain::SpdBtnAOEndClick(QObject*)
{
    // Store the end code (word 16) and release the output.
}

} // namespace kvt::ui
