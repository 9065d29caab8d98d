// File › Bench job: the dialog that runs a job file, converter after converter, on a port of its own.
#include "ui/frmmain.h"

#include "ui/benchjob_dialog.h"

namespace kvt::ui {

void TFrmMain::MFileBenchJobClick(QObject*)
{
    if (FrmBenchJob == nullptr)
        FrmBenchJob = new TBenchJobDialog(CmbBxPort->currentText(), [this] { return ComPort.Active(); }, this);
    FrmBenchJob->OnSession = [this](const TJobSession& Session) { KeepJobHistory(Session); };
    FrmBenchJob->SetLang(ChosenLang());
    if (FrmBenchJob->isVisible()) {
        FrmBenchJob->raise();
        FrmBenchJob->activateWindow();
    }
    FrmBenchJob->show();
}

} // namespace kvt::ui
