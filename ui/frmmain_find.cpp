// Finding the converter by itself: every port asked at once, then the normal connect on the one
// that answered, the user's choice when several did, and what each port gave when none did.
#include "ui/frmmain.h"

#include "ui/findtexts.h"
#include "ui/portbox.h"
#include "ui/uiseam.h"

#include "model/finder.h"
#include "protocol/identity.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>

namespace kvt::ui {

namespace {

QString HoldersText(const std::vector<TPortHolder>& Holders)
{
    QStringList names;
    for (const TPortHolder& h : Holders)
        names << QString::fromStdString(h.Name) + QStringLiteral(" (PID ") + QString::number(h.Pid) + QLatin1Char(')');
    return names.join(QStringLiteral(", "));
}

} // namespace

QString TFrmMain::ProbeCaption(const TProbe& Probe) const
{
    const int lang = ChosenLang();
    QString what;
    switch (Probe.Verdict) {
    case TProbeVerdict::Converter:
        what = QString::fromStdString(ModelName(Probe.Identity.DeviceModel.value_or(0)) + ", firmware " +
                                      FirmwareVersionText(Probe.Identity.FirmwareVersion.value_or(0)));
        break;
    case TProbeVerdict::Other:
        what = FindOther.In(lang);
        break;
    case TProbeVerdict::Silent:
        what = FindSilent.In(lang);
        break;
    case TProbeVerdict::NotOpened:
        what = FindNotOpened.In(lang).arg(FromSystemText(Probe.Detail.substr(0, Probe.Detail.find('\n'))));
        break;
    case TProbeVerdict::Skipped:
        if (Probe.Skip == TProbeSkip::Console)
            what = FindConsole.In(lang);
        else if (Probe.Skip == TProbeSkip::Held)
            what = FindHeld.In(lang).arg(HoldersText(Probe.Holders));
        else
            what = FindNoUart.In(lang);
        break;
    }
    return QString::fromStdString(PortDisplayText(Probe.Port)) + QStringLiteral(": ") + what;
}

void TFrmMain::MCommFindClick(QObject*)
{
    // Our own open port would be asked beside the converter it talks to.
    if (ComPort.Active()) {
        InfoBox(this, FindCloseFirst.In(ChosenLang()));
        return;
    }
    TFindSetup setup;
    setup.System = System;
    setup.PortSetup = FindPortSetup;
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    std::vector<TProbe> probes;
    try {
        probes = FindConverters(setup);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    FillPortList();

    const std::vector<TProbe> found = ConvertersFound(probes);
    if (found.empty()) {
        QStringList lines;
        for (const TProbe& p : probes)
            lines << ProbeCaption(p);
        ErrorBox(this, FindNone.In(ChosenLang()), lines.isEmpty() ? FindNoPorts.In(ChosenLang()) : lines.join(QLatin1Char('\n')));
        return;
    }
    std::size_t chosen = 0;
    if (found.size() > 1) {
        QStringList items;
        for (const TProbe& p : found)
            items << ProbeCaption(p);
        const std::optional<int> index = Choose(this, FindChoose.In(ChosenLang()), items);
        if (!index || *index < 0 || static_cast<std::size_t>(*index) >= found.size())
            return;
        chosen = static_cast<std::size_t>(*index);
    }
    // As if the user had picked the port and pressed the connect button.
    const QString name = QString::fromStdString(found[chosen].Port.Name);
    CmbBxPort->setCurrentIndex(CmbBxPort->findText(name));
    CmbBxPort->setEditText(name);
    SpdBtnConnectClick(SpdBtnConnect);
}

} // namespace kvt::ui
