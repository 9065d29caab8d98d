// The loop test window and the ways it ends with the connection.
#include "ui/frmmain.h"

#include "ui/looptestdialog.h"

namespace kvt::ui {

void TFrmMain::MCommLoopTestClick(QObject*)
{
    if (!Connected())
        return;
    if (FrmLoopTest == nullptr)
        FrmLoopTest = new TLoopTestDialog(*this);
    FrmLoopTest->SetLang(ChosenLang());
    FrmLoopTest->show();
    FrmLoopTest->raise();
    FrmLoopTest->activateWindow();
}

void TFrmMain::CloseLoopTest()
{
    if (FrmLoopTest == nullptr)
        return;
    FrmLoopTest->ReleaseOutput();
    FrmLoopTest->hide();
}

} // namespace kvt::ui
