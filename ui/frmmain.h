// The program's main window: the connect panel, the configuration panel with its four tabs, the
// status bar, the menu, the serial port, the sampling timer and the settings record. Every
// control carries its own name as its Qt object name. The handlers are spread over files by
// feature: frmmain.cpp (structure, start, close, menus, languages), frmmain_connect.cpp
// (connecting and the settings load), frmmain_signals.cpp (showing the settings, kind and
// option buttons), frmmain_chart.cpp, frmmain_calibration.cpp, frmmain_numeric.cpp,
// frmmain_datalog.cpp and frmmain_files.cpp (the technician's files: configurations, the settings
// as found, the work record; and the line's log).
#pragma once

#include "datalog/trend_chart.h"
#include "model/bench_job.h"
#include "model/converter_model.h"
#include "model/finder.h"
#include "model/system_view.h"
#include "protocol/device_settings.h"
#include "protocol/line_log.h"
#include "serial/comport.h"
#include "signal/work_record.h"
#include "ui/controls.h"
#include "ui/langtext.h"
#include "ui/maskedit.h"
#include "ui/spinedit.h"

#include <QMainWindow>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QProgressBar;
class QRadioButton;
class QTimer;

namespace kvt::ui {

struct TCaptionRow;
class TMnemonics;
class TLineLogWindow;
class TLoopTestDialog;
class THistoryDialog;
class TBenchJobDialog;

class TFrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFrmMain(QWidget* Parent = nullptr);
    ~TFrmMain() override;

    // --- Controls -------------------------------------------------------------------------
    QWidget* ClientArea; // the client area below the menu: 643 x 260

    QFrame* PanelConfig;
    TPageControl* PgControl;

    QWidget* TbSignals;
    QGroupBox* GrpBxAI;
    QRadioButton* RdBtnAII;
    QRadioButton* RdBtnAIUH;
    QRadioButton* RdBtnAIUL;
    QRadioButton* RdBtnAIOV;
    TSpeedButton* SpdBtnAIZero;
    TSpeedButton* SpdBtnAIEnd;
    QLabel* LblAIUSRZero;
    QLabel* LblAIUSREnd;
    QGroupBox* GrpBxAO;
    QRadioButton* RdBtnAOI;
    QRadioButton* RdBtnAOU;
    TSpinEdit* SpnEdtAOZero;
    TSpinEdit* SpnEdtAOEnd;
    TSpeedButton* SpdBtnAOZero;
    TSpeedButton* SpdBtnAOEnd;
    QLabel* LblAOZero;
    QLabel* LblAOEnd;
    QProgressBar* PrgBrAOZero;
    QProgressBar* PrgBrAOEnd;
    QLabel* LblBarAOZero0;
    QLabel* LblBarAOZero50;
    QLabel* LblBarAOZero100;
    QLabel* LblBarAOEnd0;
    QLabel* LblBarAOEnd50;
    QLabel* LblBarAOEnd100;

    QWidget* TbOptions;
    QGroupBox* GrpBxSignalLimit;
    QRadioButton* RdBtnNoReaction;
    QRadioButton* RdBtnZeroDrop;
    QRadioButton* RdBtnMaxRise;
    QRadioButton* RdBtn35mADrop;
    QGroupBox* GrpBxFilter;
    QRadioButton* RdBtnFilt0;
    QRadioButton* RdBtnFilt1;
    QRadioButton* RdBtnFilt2;

    QWidget* TbDatalog;
    TImage* ImgDatalog;
    QLabel* LblLogPeriod;
    QComboBox* CmbBxDatalog;
    QLabel* LblLogMeasVal;
    QLineEdit* EdtDatalog;
    QLabel* LblDtaUnit;
    QLabel* LblLogCount;
    QLabel* LblDtaCount;
    TSpeedButton* SpdBtnSaveFile;
    TSpeedButton* SpdBtnDatalog;
    TStringGrid* StrGrdDta;

    QWidget* TbShtNumeral;
    QGroupBox* GrpBxNum;
    QRadioButton* RdBtnNumAII;
    QRadioButton* RdBtnNumAIU;
    QRadioButton* RdBtnNumAIUL;
    QRadioButton* RdBtnNumAIOV;
    TMaskEdit* MaskEdtNumBegin;
    TMaskEdit* MaskEdtNumEnd;
    QLabel* LblNumBegin;
    QLabel* LblNumEnd;
    QLabel* LblNumBeginUnit;
    QLabel* LblNumEndUnit;
    TSpeedButton* SpdBtnSendNumeral;
    QGroupBox* GrpBxNumAO;
    QRadioButton* RdBtnNumAOI;
    QRadioButton* RdBtnNumAOU;
    TMaskEdit* MaskEdtAONumBegin;
    TMaskEdit* MaskEdtAONumEnd;
    QLabel* LblNumBeginAO;
    QLabel* LblNumEndAO;
    QLabel* LblNumAOBegin;
    QLabel* LblNumAOEnd;
    TSpeedButton* SpdBtnSendNumeralAO;

    TSpeedButton* SpdBtnMeasInput;
    QLabel* LblAIMeasVal;
    TSpeedButton* SpdBtnReload;

    QFrame* PanelConnect;
    QLabel* LblComPort;
    TComboBox* CmbBxPort;
    TSpeedButton* SpdBtnConnect;
    QProgressBar* PrgBarLoadEE;
    QLabel* LblProgVersion;

    TStatusBar* StatusBar;

    QMenuBar* MainMenu1;
    QMenu* MenuFile;
    QAction* MFileSaveConfig;
    QAction* MFileLoadConfig;
    QAction* MFileRestore;
    QAction* MFileExportRecord;
    QAction* MFileHistory;
    QAction* MFileBenchJob;
    QAction* MFileClose;
    QMenu* MenuComm;
    QAction* MCommEnd;
    QAction* MCommLog;
    QAction* MCommFind;
    QAction* MCommLoopTest;
    QAction* MenuHelp;
    QAction* MenuAbout;
    QMenu* MenuLang;
    QAction* MLangCZ;
    QAction* MLangEN;

    TComPort ComPort;
    TTimer* TmrDatalog;
    TSaveDialog* SvDlg;

    // --- State ----------------------------------------------------------------------------
    // Where the port list, the search for the converter and the diagnosis read the system
    // (tests give a tree of their own).
    TSystemView System;
    // The converter on ComPort: its session, identity, settings, limits, unit, work record,
    // recording and link. The fields below are views of it under the window's own names.
    TConverterModel Model{ComPort};
    TDeviceSettings& DeviceSettings = Model.Settings();
    const int& OutCodeMax = Model.OutCodeMax();
    const int& BarDivisor = Model.BarDivisor();
    const std::string& UnitSuffix = Model.UnitSuffix();
    std::optional<TWorkRecord>& WorkRecord = Model.WorkRecord();
    TDatalogRun& Datalog = Model.Datalog();
    // Set while the settings load puts values into the controls: their handlers then send nothing.
    bool Loading = false;
    // Set while DrawForm checks the buttons for what was read: their handlers send nothing then
    // either, as the model's write-back (WriteBack) has written every word whose shown choice differed.
    bool Drawing = false;
    // The chart on ImgDatalog: its bitmap, full-scale value, unit label and pen position.
    TTrendChart Chart{633, 155, ScreenPixelRatio()};

    QString MsgLinkLost;
    QString MsgBadPort;
    QString MsgDipNotPc;
    QString MsgCableLost;
    QString MsgNoPeriod;
    QString MsgNoConverter;
    QString MsgConfigIs;
    QString MsgBadConfig;
    QString MsgSelectPort;
    QString MsgDropOnlyCurrent;
    QString MsgBeginOutOfRange;
    QString MsgEndOutOfRange;
    QString MsgPowerCycle;
    // The refusals of the numeric range entry ("%1", "%2": field captions).
    QString MsgFieldIncomplete;
    QString MsgRangeEmpty;
    // The save dialog's filter for the export, in the language in force.
    QString CsvFilter;

    // --- Window, menus, languages (frmmain.cpp) -------------------------------------------
    void FormCreate(QObject* Sender);
    void FormClose(QObject* Sender);
    void MFileCloseClick(QObject* Sender);
    void MenuHelpClick(QObject* Sender);
    void MLangCZClick(QObject* Sender);
    void MLangENClick(QObject* Sender);
    void MenuAboutClick(QObject* Sender);
    void SetLang(int Lang);
    // The language the user chose (at start the saved or the system's, then from the language
    // menu): the one every SetLang other than the menu's own applies, and the one the check
    // marks show. A connect's SetLang leaves it alone.
    int ChosenLang() const { return FChosenLang; }
    // The name of a DIP configuration for the configuration message, in the chosen language.
    QString ConfigTypeCaption(int ConfigType) const;
    // Reads the port list again, keeping the text typed or chosen in the port field.
    void FillPortList();
    void CmbBxPortDropDown(QObject* Sender);

    // --- Connecting and the settings load (frmmain_connect.cpp) ---------------------------
    void Connect();
    void ShowConnect();
    // The end of a successful connect: the configuration panel in place of the connect panel.
    void ShowConfig();
    void LoadEE();
    // The model's write-back after a load, with the choices the buttons show; the refused 3.5 mA
    // reaction is told as its button tells it.
    void WriteBack();
    void SpdBtnConnectClick(QObject* Sender);
    void CmbBxPortKeyPress(QObject* Sender, QChar& Key);
    void SpdBtnReloadClick(QObject* Sender);
    void MCommEndClick(QObject* Sender);
    void ComPortLineError(TCustomComPort* Sender, TLineErrors LineErrors);
    // The device name that the port opens for the text of CmbBxPort; empty when it names none.
    static std::string PortDeviceName(const QString& PortText);

    // --- Showing the settings, kinds and options (frmmain_signals.cpp) --------------------
    int NormalizeValueAD(int Raw);
    void DrawForm();
    void SetOptions();
    void RdBtnAIIClick(QObject* Sender);
    void RdBtnAIUHClick(QObject* Sender);
    void RdBtnAIULClick(QObject* Sender);
    void RdBtnAIOVClick(QObject* Sender);
    void RdBtnAOIClick(QObject* Sender);
    void RdBtnAOUClick(QObject* Sender);
    void RdBtnFilt0Click(QObject* Sender);
    void RdBtnFilt1Click(QObject* Sender);
    void RdBtnFilt2Click(QObject* Sender);
    void RdBtnNoReactionClick(QObject* Sender);
    void RdBtnZeroDropClick(QObject* Sender);
    void RdBtnMaxRiseClick(QObject* Sender);
    void RdBtn35mADropClick(QObject* Sender);
    void RdBtnNumAIIClick(QObject* Sender);
    void RdBtnNumAIUClick(QObject* Sender);
    void RdBtnNumAIULClick(QObject* Sender);
    void RdBtnNumAIOVClick(QObject* Sender);
    void RdBtnNumAOIClick(QObject* Sender);
    void RdBtnNumAOUClick(QObject* Sender);

    // --- Trend chart (frmmain_chart.cpp) ---------------------------------------------------
    void DrawGraph();

    // --- Input calibration and output adjustment (frmmain_calibration.cpp) ----------------
    void SpdBtnAIZeroClick(QObject* Sender);
    void SpdBtnAIEndClick(QObject* Sender);
    void SpdBtnMeasInputClick(QObject* Sender);
    void SpnEdtAOZeroChange(QObject* Sender);
    void SpnEdtAOZeroEnter(QObject* Sender);
    void SpnEdtAOZeroExit(QObject* Sender);
    void SpnEdtAOZeroKeyPress(QObject* Sender, QChar& Key);
    void SpnEdtAOEndChange(QObject* Sender);
    void SpnEdtAOEndEnter(QObject* Sender);
    void SpnEdtAOEndExit(QObject* Sender);
    void SpnEdtAOEndKeyPress(QObject* Sender, QChar& Key);
    void SpdBtnAOZeroClick(QObject* Sender);
    void SpdBtnAOEndClick(QObject* Sender);

    // --- Numeric range entry (frmmain_numeric.cpp) ----------------------------------------
    void SpdBtnSendNumeralClick(QObject* Sender);
    void SpdBtnSendNumeralAOClick(QObject* Sender);

    // --- Data logging and export (frmmain_datalog.cpp) ------------------------------------
    void CmbBxDatalogChange(QObject* Sender);
    void SpdBtnDatalogClick(QObject* Sender);
    void TmrDatalogTimer(QObject* Sender);
    void SpdBtnSaveFileClick(QObject* Sender);
    // Chart glue for the sampling: the pen placed for the first reading, one plot step per sample.
    void PlaceChartPen(int Value);
    void PlotChartStep(int Value);

    // --- The technician's files and the line's log (frmmain_files.cpp) ----------------------
    // Every transaction of the run, the oldest dropped beyond the capacity. The session's
    // observer only copies each one in; the log window alone makes text of them.
    static constexpr std::size_t LineLogCapacity = 10000;
    TLineLog LineLog{LineLogCapacity};
    TLineLogWindow* FrmLineLog = nullptr; // made when first opened
    void MFileSaveConfigClick(QObject* Sender);
    void MFileLoadConfigClick(QObject* Sender);
    void MFileRestoreClick(QObject* Sender);
    void MFileExportRecordClick(QObject* Sender);
    void MCommLogClick(QObject* Sender);

    // --- The loop test (frmmain_looptest.cpp) -----------------------------------------------
    TLoopTestDialog* FrmLoopTest = nullptr; // made when first opened
    void MCommLoopTestClick(QObject* Sender);
    // Gives the output back and closes the loop test, when it is open.
    void CloseLoopTest();

    // --- The converter's history (frmmain_history.cpp) ----------------------------------------
    // At the first connect to a converter the register knows: when it was last seen, as what, and
    // what changed since.
    void ShowHistory();
    // A session that changed or recorded something, kept in the register (a failure is told).
    void KeepHistory(const TDeviceSettings& AsLeft, const std::vector<std::string>& Written,
                     const std::string& RecordFile = {});
    // The tag the register has for the converter connected, or empty.
    std::string HistoryTag();
    std::string FHistoryShown; // the fingerprint whose history was shown last
    THistoryDialog* FrmHistory = nullptr; // made when first opened
    // A converter the bench job worked on, kept in its history (a failure is told).
    void KeepJobHistory(const TJobSession& Session);
    void MFileHistoryClick(QObject* Sender);
    // The bench job (frmmain_benchjob.cpp): converter after converter from a job file.
    TBenchJobDialog* FrmBenchJob = nullptr; // made when first opened
    void MFileBenchJobClick(QObject* Sender);
    // A connection is made and the configuration panel shows it.
    bool Connected() const;

    // --- Finding the converter (frmmain_find.cpp) -------------------------------------------
    void MCommFindClick(QObject* Sender);
    // "ttyUSB0 — FTDI FT232R USB UART (A10K3X): KVT27, firmware 1.200/160822", in the chosen language.
    QString ProbeCaption(const TProbe& Probe) const;
    // Runs on each port the search opens (tests shorten its time limits).
    std::function<void(TComPort&)> FindPortSetup;
    // The causes found for the port in the port field that would not open or did not answer
    // (NoReply), in the chosen language; empty when none is found.
    QString PortCauses(bool NoReply) const;

    // --- A re-plugged adapter (frmmain_replug.cpp) --------------------------------------------
    QLabel* LblReplug = nullptr;
    QTimer* TmrReplug = nullptr;
    // After a return to the connect panel: when the port's device has gone, waits for it.
    void NoteAdapterGone();
    // Says that PortText's adapter went away and watches the port list for it (by its stable name).
    void WatchForAdapter(const QString& PortText);
    // One look at the port list: the adapter back selects it in the port box.
    void ReplugTick();

    // --- Helpers for every feature file ---------------------------------------------------
    // Checks a radio button as the program; its handler runs if it was not checked, and an
    // error that handler raises is raised here.
    void CheckButton(QRadioButton* Button);
    // Sets a code field's value as the program, with the same rule for its change handler.
    void SetSpinValue(TSpinEdit* Edit, int Value);
    // Moves the keyboard focus out of Area to a neutral place, before Area is hidden or
    // disabled, so that no field there loses or gains it on its own.
    void ParkFocus(QWidget* Area);
    // Every failed transaction ends here: MsgLinkLost in an error box and ShowConnect, unless a
    // fault that closed the port has been reported already (then nothing more is said), and the
    // action in progress ends silently (EAbort), so that one fault gives one box.
    [[noreturn]] void LinkLost();
    // The same, with what the user must know beyond the lost link (Detail follows MsgLinkLost in
    // the box; it is shown on its own when the fault was told already).
    [[noreturn]] void LinkLost(const QString& Detail);
    // An operation on the converter: its result, or, when it failed, the one failure path above.
    void Need(const TOutcome& Outcome)
    {
        if (!Outcome.Ok())
            LinkLost();
    }
    template <typename T>
    T Need(TResult<T> Result)
    {
        if (!Result.Ok())
            LinkLost();
        return std::move(Result.Value);
    }

protected:
    void closeEvent(QCloseEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void BuildConnectPanel();
    void BuildConfigPanel();
    void BuildSignalsTab();
    void BuildOptionsTab();
    void BuildDatalogTab();
    void BuildNumeralTab();
    void BuildMenu();
    void BuildReplugWatch();
    void PresetComPort();
    void WireHandlers();
    QString* MessageSlot(int Index);
    // Writes the rows of a caption table in Lang; a row for another model than the converter's
    // is left out.
    void WriteCaptions(std::span<const TCaptionRow> Rows, int Lang);
    // The captions that name the model's ranges and resolution (SetOptions, SetLang).
    void WriteModelCaptions(int Lang);
    void ChooseLang(int Lang);
    void ShowChosenLang();
    void RetranslateStatus(const QString& Before, int Lang);

    bool FCentered = false;
    TMnemonics* FMnemonics = nullptr;
    int FChosenLang = LangCzech;
    QString FLostPort; // the stable name (or name) of the adapter awaited
};

} // namespace kvt::ui
