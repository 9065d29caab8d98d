// The causes the window can find for a port that does not work, shown beside its own messages.
#include "ui/frmmain.h"

#include "ui/findtexts.h"
#include "ui/uiseam.h"

#include "model/diagnosis.h"

#include <QComboBox>
#include <QStringList>

namespace kvt::ui {

QString TFrmMain::PortCauses(bool NoReply) const
{
    const int lang = ChosenLang();
    TDiagnoseSetup setup;
    setup.Find.System = System;
    setup.AskConverter = false;
    const QString port = CmbBxPort->currentText().trimmed();
    QStringList causes;
    for (const TCheck& c : DiagnosePort(SystemFileName(port), setup)) {
        if (c.Verdict != TCheckVerdict::Problem && !(NoReply && c.Kind == TCheckKind::ModemManager && c.Verdict == TCheckVerdict::Warning))
            continue;
        switch (c.Kind) {
        case TCheckKind::Present:
            causes << CauseGone.In(lang).arg(port);
            break;
        case TCheckKind::Access:
            if (!c.Group.empty())
                causes << CauseAccess.In(lang).arg(QString::fromStdString(c.Group));
            break;
        case TCheckKind::Holders: {
            QStringList names;
            for (const TPortHolder& h : c.Holders)
                names << QString::fromStdString(h.Name) + QStringLiteral(" (PID ") + QString::number(h.Pid) + QLatin1Char(')');
            causes << CauseHeld.In(lang).arg(names.join(QStringLiteral(", ")));
            break;
        }
        case TCheckKind::Brltty:
            causes << CauseBrltty.In(lang);
            break;
        case TCheckKind::ModemManager:
            causes << CauseModemManager.In(lang);
            break;
        case TCheckKind::Reply:
            break;
        }
    }
    if (NoReply)
        causes << CauseNoReply.In(lang);
    return causes.join(QStringLiteral("\n\n"));
}

} // namespace kvt::ui
