// Connecting to a converter, the settings load, and the ways back to the connect panel.
#include "ui/frmmain.h"

#include "ui/errorreport.h"
#include "ui/langtexts.h"
#include "ui/uiseam.h"

#include "protocol/identity.h"
#include "signal/conversion.h"
#include "signal/model_options.h"
#include "signal/signal_kind.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QRadioButton>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <utility>

namespace kvt::ui {

namespace {

std::string SystemDecimalSeparator()
{
    return QLocale().decimalPoint().toStdString();
}

} // namespace

std::string TFrmMain::PortDeviceName(const QString& PortText)
{
    // The system's bytes on Linux, UTF-8 on Windows: what the serial backends open.
    return TConverterModel::DeviceName(SystemFileName(PortText));
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
        Need(Model.ReleaseOutput());
        Sleep(100);
    }
    ShowConnect();
}

void TFrmMain::ComPortLineError(TCustomComPort*, TLineErrors)
{
    ErrorBox(this, MsgCableLost);
    Model.Close();
    ShowConnect();
}

void TFrmMain::Connect()
{
    auto badPort = [this](const QString& Detail) {
        ErrorBox(this, MsgBadPort, Detail);
        SpdBtnConnect->setEnabled(true);
        Model.Close();
    };

    // A reload closes the port: a loop test gives the output back first.
    CloseLoopTest();
    SpdBtnConnect->setEnabled(false);
    PgControl->SetTabVisible(TbSignals, true);
    PgControl->SetActivePageIndex(0);

    try {
        if (const std::optional<TOpenFailure> failed = Model.Open(CmbBxPort->currentText().toStdString())) {
            const QString causes = failed->Reason.empty() ? QString() : PortCauses(false);
            badPort(QString::fromStdString(failed->Reason) + (causes.isEmpty() ? QString() : QStringLiteral("\n\n") + causes));
            return;
        }

        const TResult<TIdentity> identity = Model.Identify();
        const TIdentity& id = identity.Value;
        if (id.FirmwareVersion) {
            if (SignalLimitVisible(DeviceSettings.DeviceModel, DeviceSettings.FirmwareVersion))
                GrpBxSignalLimit->show();
            StatusBar->SetPanelText(
                0, StatusConverter.In(ChosenLang()) + QString::fromStdString(ModelName(DeviceSettings.DeviceModel))
                       + QStringLiteral(", firmware: ")
                       + QString::fromStdString(FirmwareVersionText(DeviceSettings.FirmwareVersion)));
            StatusBar->SetPanelText(1, CmbBxPort->currentText());
        }
        if (const std::optional<int>& t = Model.TemperatureC())
            StatusBar->SetPanelText(3, QString::number(*t) + QString::fromUtf8(" °C"));
        if (identity.Outcome.Fault == TFault::NotConverter) {
            ErrorBox(this, MsgNoConverter);
            ShowConnect();
            return;
        }
        if (identity.Outcome.Fault == TFault::NoReply && ComPort.Active()) {
            // The lost link's message, with what may be wrong beside it.
            ErrorBox(this, MsgLinkLost, PortCauses(true));
            ShowConnect();
            return;
        }
        Need(identity);

        const TConfigClass configClass = ConfigClassOf(DeviceSettings.ConfigType);
        if (configClass != TConfigClass::Pc) {
            // A code the four switches cannot give is refused like the codes that are not allowed.
            const QString name = configClass == TConfigClass::Dip
                ? ConfigTypeCaption(DeviceSettings.ConfigType)
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
        case TConfigClass::Dip:
            ParkFocus(TbSignals);
            PgControl->SetTabVisible(TbSignals, false);
            PgControl->SetTabVisible(TbOptions, true);
            PgControl->SetTabVisible(TbDatalog, true);
            LoadEE();
            WriteBack();
            DrawForm();
            DrawGraph();
            ShowConfig();
            break;
        case TConfigClass::Pc:
            LoadEE();
            WriteBack();
            DrawForm();
            DrawGraph();
            ShowConfig();
            break;
        case TConfigClass::NotAllowed:
        case TConfigClass::Unknown:
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
    ShowHistory();
}

void TFrmMain::ShowConnect()
{
    CloseLoopTest();
    FHistoryShown.clear(); // the next connect tells the history again; a reload does not
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

    Model.Close();
    NoteAdapterGone();
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

    // The window takes no events during the load, so a shown bar paints itself at once when its
    // position moves; but not at every row: a repaint costs more than the rest of a transaction's
    // work, and ten a second are enough for a load that lasts half a second. The last row always
    // shows.
    QElapsedTimer sincePaint;
    // A word that could not be read even the second time ends the connection: nothing that was not
    // read from this converter is shown or written back to it.
    const TLoadedWords loaded = Need(Model.Load([this, &sincePaint](int Row) {
        const bool shown = PrgBarLoadEE->isVisible();
        if (shown && sincePaint.isValid() && sincePaint.elapsed() < 100 && Row != 18)
            return;
        PrgBarLoadEE->setValue(Row * (PrgBarLoadEE->maximum() / 18));
        if (shown) {
            PrgBarLoadEE->repaint();
            sincePaint.start();
        }
    }));

    const TDeviceSettings& s = DeviceSettings;
    SetSpinValue(SpnEdtAOZero, std::min<int>(loaded.CodeFieldZero(), 16383));
    SetSpinValue(SpnEdtAOEnd, std::min<int>(loaded.CodeFieldEnd(), 16383));

    const std::string sep = SystemDecimalSeparator();
    int v = NormalizeValueAD(s.InZero);
    LblAIUSRZero->setText(QString::fromStdString(MeasurementText(s.ConfigType, s.InputMode, v, UnitSuffix, sep)));
    v = NormalizeValueAD(s.InEnd);
    LblAIUSREnd->setText(QString::fromStdString(MeasurementText(s.ConfigType, s.InputMode, v, UnitSuffix, sep)));
}

void TFrmMain::WriteBack()
{
    auto shown = [](std::initializer_list<std::pair<QRadioButton*, int>> Buttons) -> std::optional<int> {
        for (const auto& [button, value] : Buttons)
            if (button->isChecked())
                return value;
        return std::nullopt;
    };
    TShownChoices c;
    c.InputMode = shown({{RdBtnAII, InputModeCurrent}, {RdBtnAIUH, InputModeVoltage}, {RdBtnAIUL, InputModeMillivolt},
                         {RdBtnAIOV, InputModePercent}});
    c.OutputMode = shown({{RdBtnAOI, OutputModeCurrent}, {RdBtnAOU, OutputModeVoltage}});
    c.FilterType = shown({{RdBtnFilt0, 0}, {RdBtnFilt1, 1}, {RdBtnFilt2, 2}});
    c.LimitReaction = shown({{RdBtnNoReaction, 0}, {RdBtnZeroDrop, 1}, {RdBtnMaxRise, 2}, {RdBtn35mADrop, 3}});
    const TWriteBack w = Model.WriteBack(c);
    Need(w.Outcome);
    if (w.Drop35mARefused)
        ErrorBox(this, MsgDropOnlyCurrent);
}

} // namespace kvt::ui
