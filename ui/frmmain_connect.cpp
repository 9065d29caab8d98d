// Connecting to a converter, the settings load, and the ways back to the connect panel.
#include "ui/frmmain.h"

#include "ui/errorreport.h"
#include "ui/langtexts.h"
#include "ui/uiseam.h"

#include "protocol/identity.h"
#include "serial/port_access.h"
#include "signal/conversion.h"
#include "signal/model_options.h"
#include "signal/signal_kind.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>

#include <algorithm>
#include <random>

namespace kvt::ui {

namespace {

// Reply byte K, counted from 1 as on the line.
int ReplyByte(const std::string& Reply, int K)
{
    return static_cast<uint8_t>(Reply.at(static_cast<size_t>(K - 1)));
}

int ReplyWord(const std::string& Reply)
{
    return ReplyByte(Reply, 4) * 256 + ReplyByte(Reply, 5);
}

int32_t ReplyLong(const std::string& Reply)
{
    const uint32_t v = (static_cast<uint32_t>(ReplyByte(Reply, 2)) << 24)
        | (static_cast<uint32_t>(ReplyByte(Reply, 3)) << 16) | (static_cast<uint32_t>(ReplyByte(Reply, 4)) << 8)
        | static_cast<uint32_t>(ReplyByte(Reply, 5));
    return static_cast<int32_t>(v);
}

std::string SystemDecimalSeparator()
{
    return QLocale().decimalPoint().toStdString();
}

} // namespace

std::string TFrmMain::PortDeviceName(const QString& PortText)
{
    return kvt::PortDeviceName(PortText.toLocal8Bit().toStdString());
}

void TFrmMain::SpdBtnConnectClick(QObject*)
{
    Connect();
}

void TFrmMain::CmbBxPortKeyPress(QObject*, QChar& Key)
{
    if (Key == QChar(13))
        Connect();
}

void TFrmMain::SpdBtnReloadClick(QObject*)
{
    ParkFocus(PgControl);
    PgControl->setEnabled(false);
    struct TEnableAgain {
        QWidget* W;
        ~TEnableAgain() { W->setEnabled(true); }
    } enableAgain{PgControl};
    Connect();
}

void TFrmMain::MCommEndClick(QObject*)
{
    // Without an open port there is no drive to release: just return to the connect panel.
    if (ComPort.Active()) {
        DA(CmdOutputRelease, 0);
        Sleep(100);
    }
    ShowConnect();
}

void TFrmMain::ComPortLineError(TCustomComPort*, TLineErrors)
{
    ErrorBox(this, MsgCableLost);
    ComPort.SetActive(false);
    ShowConnect();
}

void TFrmMain::Connect()
{
    auto badPort = [this](const QString& Detail) {
        ErrorBox(this, MsgBadPort, Detail);
        SpdBtnConnect->setEnabled(true);
        ComPort.SetActive(false);
    };

    SpdBtnConnect->setEnabled(false);
    PgControl->SetTabVisible(TbSignals, true);
    PgControl->SetActivePageIndex(0);

    try {
        // The port is closed before it is renamed: a port stays open across a reload.
        const std::string device = PortDeviceName(CmbBxPort->currentText());
        ComPort.SetActive(false);
        DeviceSettings.StationAddress = std::uniform_int_distribution<int>(1, 254)(FRandom);
        if (device.empty()) {
            badPort({});
            return;
        }
        try {
            ComPort.SetDeviceName(device);
            ComPort.SetActive(true);
        } catch (const EComError& e) {
            badPort(QString::fromStdString(
                kvt::PortOpenFailureDetail(e.ErrorCode(), e.what(), kvt::PortAccessGroup(device))));
            return;
        }

        std::string reply;
        int elapsed = 0;

        if (Send(CmdIdentify, 0, reply, elapsed) != 1) {
            LinkLost();
            return;
        }
        DeviceSettings.DeviceModel = ReplyByte(reply, 5);
        if (ReplyByte(reply, 4) != DeviceSettings.StationAddress) {
            ErrorBox(this, MsgNoConverter);
            ShowConnect();
            return;
        }

        if (Send(CmdReadVersion, 0, reply, elapsed) != 1) {
            LinkLost();
            return;
        }
        DeviceSettings.FirmwareVersion = ReplyLong(reply);
        if (SignalLimitVisible(DeviceSettings.DeviceModel, DeviceSettings.FirmwareVersion))
            GrpBxSignalLimit->show();

        StatusBar->SetPanelText(0, QString::fromUtf8("Převodník ")
                                       + QString::fromStdString(ModelName(DeviceSettings.DeviceModel))
                                       + QStringLiteral(", firmware: ")
                                       + QString::fromStdString(FirmwareVersionText(DeviceSettings.FirmwareVersion)));
        StatusBar->SetPanelText(1, CmbBxPort->currentText());

        if (DeviceSettings.DeviceModel != ModelKVT27 && DeviceSettings.DeviceModel != ModelKVT27L) {
            ErrorBox(this, MsgNoConverter);
            ShowConnect();
            return;
        }

        if (DeviceSettings.DeviceModel == ModelKVT27) {
            if (Send(CmdReadTemperature, 0, reply, elapsed) != 1) {
                LinkLost();
                return;
            }
            StatusBar->SetPanelText(3, QString::number(TemperatureCelsius(ReplyLong(reply))) + QString::fromUtf8(" °C"));
        }

        if (Send(CmdReadConfig, 0, reply, elapsed) != 1) {
            LinkLost();
            return;
        }
        DeviceSettings.ConfigType = ReplyWord(reply);

        const TConfigClass configClass = ConfigClassOf(DeviceSettings.ConfigType);
        if (configClass != TConfigClass::ccPc) {
            // A code the four switches cannot give is refused like the codes that are not allowed.
            const QString name = configClass == TConfigClass::ccDip
                ? QString::fromUtf8(ConfigTypeText(DeviceSettings.ConfigType).data(),
                                    static_cast<qsizetype>(ConfigTypeText(DeviceSettings.ConfigType).size()))
                : MsgBadConfig;
            WarningBox(this, MsgConfigIs + QStringLiteral("\r\r") + name + QStringLiteral("\r\r") + MsgDipNotPc);
            // A line error handled while the box was open has closed the port already.
            if (!ComPort.Active()) {
                ShowConnect();
                return;
            }
        }

        SetOptions();

        switch (configClass) {
        case TConfigClass::ccDip:
            ParkFocus(TbSignals);
            PgControl->SetTabVisible(TbSignals, false);
            PgControl->SetTabVisible(TbOptions, true);
            PgControl->SetTabVisible(TbDatalog, true);
            LoadEE();
            DrawForm();
            DrawGraph();
            ShowConfig();
            break;
        case TConfigClass::ccPc:
            LoadEE();
            DrawForm();
            DrawGraph();
            ShowConfig();
            break;
        case TConfigClass::ccNotAllowed:
        case TConfigClass::ccUnknown:
            ShowConnect();
            break;
        }

        SetLang(ChosenLang());
    } catch (...) {
        // Whatever ended the sequence early, the user gets the connect panel back with the
        // button enabled and the port closed, then the error report.
        try {
            ShowConnect();
        } catch (...) {
        }
        throw;
    }
}

void TFrmMain::ShowConfig()
{
    // A line error during the load closes the port without stopping it (the reads fail
    // silently): such a connection is not shown as made.
    if (!ComPort.Active()) {
        ShowConnect();
        return;
    }
    ParkFocus(PanelConnect);
    PanelConnect->hide();
    PanelConfig->show();
}

void TFrmMain::ShowConnect()
{
    ParkFocus(PanelConfig);
    PanelConfig->hide();
    PanelConnect->show();
    SpdBtnConnect->setEnabled(true);
    PrgBarLoadEE->hide();

    StatusBar->SetPanelText(0, MsgSelectPort);
    StatusBar->SetPanelText(1, QString());
    StatusBar->SetPanelText(2, QString());
    StatusBar->SetPanelText(3, QString());

    SpdBtnDatalog->setText(QStringLiteral("Start"));
    TmrDatalog->SetEnabled(false);
    CmbBxDatalog->setEnabled(true);
    SpdBtnSaveFile->setEnabled(true);
    PgControl->SetTabVisible(TbOptions, true);

    LblAIMeasVal->clear();

    PgControl->SetTabVisible(TbSignals, true);
    PgControl->SetActivePageIndex(0);

    SpdBtnReload->setEnabled(true);
    SpdBtnMeasInput->setEnabled(true);

    ComPort.SetActive(false);
}

void TFrmMain::LoadEE()
{
    PrgBarLoadEE->show();
    Loading = true;
    // The flag must not outlive the load, or every kind and option button would stay silent.
    struct TLoadingEnd {
        bool& Flag;
        ~TLoadingEnd() { Flag = false; }
    } loadingEnd{Loading};

    TDeviceSettings& s = DeviceSettings;
    struct TRow {
        uint8_t Address;
        int* Field;        // the record's field, or
        TSpinEdit* Edit;   // the code field, limited to 16383
    };
    const TRow rows[18] = {
        {WordInputMode, &s.InputMode, nullptr},  {WordOutputMode, &s.OutputMode, nullptr},
        {WordOutZero, nullptr, SpnEdtAOZero},    {WordOutEnd, nullptr, SpnEdtAOEnd},
        {WordFilterType, &s.FilterType, nullptr}, {WordCalIn0mA, &s.CalIn0mA, nullptr},
        {WordCalIn20mA, &s.CalIn20mA, nullptr},  {WordCalIn0V, &s.CalIn0V, nullptr},
        {WordCalIn10V, &s.CalIn10V, nullptr},    {WordInZero, &s.InZero, nullptr},
        {WordInEnd, &s.InEnd, nullptr},          {WordLimitReaction, &s.LimitReaction, nullptr},
        {WordCalOut0mA, &s.CalOut0mA, nullptr},  {WordCalOut20mA, &s.CalOut20mA, nullptr},
        {WordCalOut0V, &s.CalOut0V, nullptr},    {WordCalOut10V, &s.CalOut10V, nullptr},
        {WordOutZero, &s.OutZero, nullptr},      {WordOutEnd, &s.OutEnd, nullptr},
    };

    std::string reply;
    int elapsed = 0;
    for (int k = 1; k <= 18; ++k) {
        const TRow& row = rows[k - 1];
        PrgBarLoadEE->setValue(k * (PrgBarLoadEE->maximum() / 18));
        if (PrgBarLoadEE->isVisible())
            PrgBarLoadEE->repaint();
        if (Send(CmdReadWord, row.Address, reply, elapsed) != 1)
            continue; // a word that does not read keeps its earlier value
        const int w = ReplyWord(reply);
        if (row.Field != nullptr)
            *row.Field = w;
        else
            SetSpinValue(row.Edit, std::min(w, 16383));
    }

    const std::string sep = SystemDecimalSeparator();
    int v = NormalizeValueAD(s.InZero);
    LblAIUSRZero->setText(QString::fromStdString(MeasurementText(s.ConfigType, s.InputMode, v, UnitSuffix, sep)));
    v = NormalizeValueAD(s.InEnd);
    LblAIUSREnd->setText(QString::fromStdString(MeasurementText(s.ConfigType, s.InputMode, v, UnitSuffix, sep)));
}

} // namespace kvt::ui
