// A USB adapter pulled out while connected: the connect panel says so, and when the same adapter
// (by its stable name) comes back, under whatever name, the port box selects it, so that one Enter
// connects again. Nothing connects by itself: the user may have pulled it on purpose, and a
// write may have been cut short.
#include "ui/frmmain.h"

#include "ui/findtexts.h"
#include "ui/portbox.h"

#include "serial/port_system.h"

#include <QComboBox>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <cerrno>

namespace kvt::ui {

void TFrmMain::BuildReplugWatch()
{
    LblReplug = new QLabel(PanelConnect);
    LblReplug->setObjectName(QStringLiteral("LblReplug"));
    LblReplug->setGeometry(4, 140, PanelConnect->width() - 8, 40);
    LblReplug->setAlignment(Qt::AlignCenter);
    LblReplug->setWordWrap(true);
    LblReplug->hide();
    TmrReplug = new QTimer(this);
    TmrReplug->setObjectName(QStringLiteral("TmrReplug"));
    TmrReplug->setInterval(1000);
    connect(TmrReplug, &QTimer::timeout, this, [this] { ReplugTick(); });
}

void TFrmMain::NoteAdapterGone()
{
    const std::string device = Model.Device();
    const int error = device.empty() ? 0 : PortAccessError(device);
    if (error == ENOENT || error == ENODEV || error == ENXIO) {
        WatchForAdapter(QString::fromStdString(Model.PortText()));
    } else {
        // An earlier loss is old news once a connection has ended otherwise.
        TmrReplug->stop();
        LblReplug->hide();
    }
}

void TFrmMain::WatchForAdapter(const QString& PortText)
{
    // The box still lists the port as it was: its stable name finds the adapter again.
    FLostPort = RememberedPortText(CmbBxPort, PortText);
    LblReplug->setText(ReplugGone.In(ChosenLang()).arg(PortText));
    LblReplug->show();
    TmrReplug->start();
}

void TFrmMain::ReplugTick()
{
    if (!PanelConnect->isVisible() && isVisible()) {
        TmrReplug->stop();
        LblReplug->hide();
        return;
    }
    const std::vector<TPortInfo> ports = ViewPorts(System);
    const std::string name = CurrentPortName(ports, FLostPort.toStdString());
    const bool back = std::any_of(ports.begin(), ports.end(), [&](const TPortInfo& p) { return p.Name == name; });
    if (!back)
        return;
    TmrReplug->stop();
    const QString text = QString::fromStdString(name);
    FillPortList();
    CmbBxPort->setCurrentIndex(CmbBxPort->findText(text));
    CmbBxPort->setEditText(text);
    CmbBxPort->setFocus(Qt::OtherFocusReason);
    LblReplug->setText(ReplugBack.In(ChosenLang()).arg(text));
}

} // namespace kvt::ui
