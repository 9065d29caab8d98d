#include "ui/frmmain.h"

#include "ui/aboutbox.h"
#include "ui/errorreport.h"
#include "ui/entrytexts.h"
#include "ui/findtexts.h"
#include "ui/langtexts.h"
#include "ui/linelogwindow.h"
#include "ui/historydialog.h"
#include "ui/looptestdialog.h"
#include "ui/mnemonics.h"
#include "ui/portbox.h"
#include "ui/language.h"
#include "ui/settings.h"
#include "ui/systemtexts.h"
#include "ui/uifonts.h"
#include "ui/uiseam.h"

#include "datalog/log_table.h"
#include "signal/model_options.h"
#include "signal/numeric_entry.h"
#include "serial/portlist.h"
#include "protocol/line_settings.h"
#include "signal/signal_kind.h"

#include "kvt_version.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <initializer_list>

namespace kvt::ui {

namespace {

constexpr int ClientWidth = 643;
constexpr int ClientHeight = 260;
constexpr int StatusBarHeight = 18;
constexpr int PanelHeight = ClientHeight - StatusBarHeight; // 242

template <typename T>
T* Named(T* Object, const char* Name)
{
    Object->setObjectName(QString::fromLatin1(Name));
    return Object;
}

QLabel* MakeLabel(QWidget* Parent, const char* Name, int X, int Y, int W, int H,
                  Qt::Alignment Align = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* l = Named(new QLabel(Parent), Name);
    l->setGeometry(X, Y, W, H);
    l->setAlignment(Align);
    return l;
}

QRadioButton* MakeRadio(QWidget* Parent, const char* Name, int X, int Y, int W, const QString& Caption = {})
{
    auto* b = Named(new QRadioButton(Caption, Parent), Name);
    b->setGeometry(X, Y, W, 18);
    return b;
}

TSpeedButton* MakeButton(QWidget* Parent, const char* Name, TGlyph Glyph, int X, int Y, int W, int H = 25,
                         const QString& Caption = {})
{
    auto* b = Named(new TSpeedButton(Glyph, Parent), Name);
    b->setGeometry(X, Y, W, H);
    b->setText(Caption);
    return b;
}

QGroupBox* MakeGroup(QWidget* Parent, const char* Name, int X, int Y, int W, int H)
{
    auto* g = Named(new QGroupBox(Parent), Name);
    g->setGeometry(X, Y, W, H);
    return g;
}

QProgressBar* MakeBar(QWidget* Parent, const char* Name, int X, int Y, int W, int H, int Max)
{
    auto* b = Named(new QProgressBar(Parent), Name);
    b->setGeometry(X, Y, W, H);
    b->setRange(0, Max);
    b->setValue(0);
    b->setTextVisible(false);
    return b;
}

// Bold captions on a group box whose controls keep the regular font.
void BoldCaption(QGroupBox* Group)
{
    Group->setFont(BoldFont());
    for (QWidget* child : Group->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        child->setFont(WindowFont());
}

QString MessageText(TMessageSlot Slot, int Lang)
{
    for (const TMessageRow& row : MessageTable)
        if (row.Slot == Slot)
            return row.Text.In(Lang);
    return {};
}

} // namespace

TFrmMain::TFrmMain(QWidget* Parent)
    : QMainWindow(Parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                              | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                              | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("FrmMain"));
    setFont(WindowFont());
    setWindowIcon(ProgramIcon());
    setAttribute(Qt::WA_DeleteOnClose, false);
    Model.Subscribe([this](const TModelChange& Change) {
        switch (Change.Kind) {
        case TModelChange::TKind::Exchange:
            // The log takes each transaction as it is; nothing more is done unless its window shows.
            LineLog.Add(*Change.Exchange);
            if (FrmLineLog != nullptr)
                FrmLineLog->LogChanged();
            break;
        case TModelChange::TKind::Elapsed:
            StatusBar->SetPanelText(2, QString::number(Change.ElapsedMs) + QStringLiteral(" ms"));
            break;
        default:
            break;
        }
    });

    ClientArea = Named(new QWidget(this), "ClientArea");
    ClientArea->setFixedSize(ClientWidth, ClientHeight);
    ClientArea->setFocusPolicy(Qt::NoFocus);
    setCentralWidget(ClientArea);

    BuildMenu();
    BuildConfigPanel();
    BuildConnectPanel();
    StatusBar = Named(new TStatusBar({493, 50, 50, 50}, ClientArea), "StatusBar");
    StatusBar->setGeometry(0, PanelHeight, ClientWidth, StatusBarHeight);

    TmrDatalog = Named(new TTimer(this), "TmrDatalog");
    TmrDatalog->SetInterval(1000);
    TmrDatalog->SetEnabled(false);
    SvDlg = Named(new TSaveDialog(this), "SvDlg");

    PresetComPort();

    // The client area is fixed; the menu bar sits above it, outside the client area.
    setFixedSize(ClientWidth, ClientHeight + MainMenu1->sizeHint().height());

    WireHandlers();
    RunHandler([this] { FormCreate(this); });
}

TFrmMain::~TFrmMain()
{
    // The port closes with its owner; nothing is sent here (the close handler has done that).
    ComPort.SetOnLineError(nullptr);
    // Before the model it drives goes.
    delete FrmLoopTest;
}

// --- Structure ------------------------------------------------------------------------------

void TFrmMain::BuildMenu()
{
    MainMenu1 = Named(new QMenuBar(this), "MainMenu1");
    setMenuBar(MainMenu1);
    MenuFile = Named(MainMenu1->addMenu(QString()), "MenuFile");
    MFileSaveConfig = Named(MenuFile->addAction(QString()), "MFileSaveConfig");
    MFileLoadConfig = Named(MenuFile->addAction(QString()), "MFileLoadConfig");
    MFileRestore = Named(MenuFile->addAction(QString()), "MFileRestore");
    MenuFile->addSeparator();
    MFileExportRecord = Named(MenuFile->addAction(QString()), "MFileExportRecord");
    MFileHistory = Named(MenuFile->addAction(QString()), "MFileHistory");
    MFileBenchJob = Named(MenuFile->addAction(QString()), "MFileBenchJob");
    MenuFile->addSeparator();
    MFileClose = Named(MenuFile->addAction(QString()), "MFileClose");
    MenuComm = Named(MainMenu1->addMenu(QString()), "MenuComm");
    MCommEnd = Named(MenuComm->addAction(QString()), "MCommEnd");
    MenuComm->addSeparator();
    MCommLog = Named(MenuComm->addAction(QString()), "MCommLog");
    MCommFind = Named(MenuComm->addAction(QString()), "MCommFind");
    MCommFind->setShortcut(QKeySequence::Find);
    MCommLoopTest = Named(MenuComm->addAction(QString()), "MCommLoopTest");
    MenuHelp = Named(MainMenu1->addAction(QString()), "MenuHelp");
    MenuAbout = Named(MainMenu1->addAction(QString()), "MenuAbout");
    MenuLang = Named(MainMenu1->addMenu(Utf8("Jazyk / Language")), "MenuLang");
    MLangCZ = Named(MenuLang->addAction(Utf8("Česky")), "MLangCZ");
    MLangEN = Named(MenuLang->addAction(Utf8("English")), "MLangEN");
    MLangCZ->setCheckable(true);
    MLangEN->setCheckable(true);
    MLangCZ->setChecked(true);
    MLangEN->setChecked(false);

    MenuHelp->setShortcut(QKeySequence::HelpContents);
    MFileSaveConfig->setShortcut(QKeySequence::Save);
    MFileLoadConfig->setShortcut(QKeySequence::Open);
    QList<QKeySequence> quit = QKeySequence::keyBindings(QKeySequence::Quit);
    if (!quit.contains(QKeySequence(Qt::CTRL | Qt::Key_Q)))
        quit << QKeySequence(Qt::CTRL | Qt::Key_Q);
    MFileClose->setShortcuts(quit);

    FMnemonics = new TMnemonics(this, MainMenu1, {MenuFile, MenuComm, MenuLang});
}

void TFrmMain::BuildConnectPanel()
{
    PanelConnect = Named(new QFrame(ClientArea), "PanelConnect");
    PanelConnect->setGeometry(0, 0, ClientWidth, PanelHeight);
    PanelConnect->setFrameStyle(QFrame::Panel | QFrame::Raised);

    LblComPort = MakeLabel(PanelConnect, "LblComPort", 150, 104, 125, 22, Qt::AlignRight | Qt::AlignVCenter);
    CmbBxPort = Named(new TComboBox(PanelConnect), "CmbBxPort");
    CmbBxPort->setGeometry(281, 104, 105, 22);
    CmbBxPort->setEditable(true);
    CmbBxPort->setInsertPolicy(QComboBox::NoInsert);
    InstallPortItemDelegate(CmbBxPort);
    CmbBxPort->installEventFilter(this);
    CmbBxPort->lineEdit()->installEventFilter(this);
    SpdBtnConnect = MakeButton(PanelConnect, "SpdBtnConnect", TGlyph::Connect, 392, 102, 150, 26);

    PrgBarLoadEE = MakeBar(PanelConnect, "PrgBarLoadEE", 4, 220, 257, 16, 100);
    LblProgVersion = MakeLabel(PanelConnect, "LblProgVersion", 264, 220, ClientWidth - 264 - 4, 16,
                               Qt::AlignRight | Qt::AlignVCenter);
    LblProgVersion->setFont(VersionFont());
    PanelConnect->installEventFilter(this);
    BuildReplugWatch();
}

void TFrmMain::BuildConfigPanel()
{
    PanelConfig = Named(new QFrame(ClientArea), "PanelConfig");
    PanelConfig->setGeometry(0, 0, ClientWidth, PanelHeight);

    PgControl = Named(new TPageControl(PanelConfig), "PgControl");
    PgControl->setGeometry(1, 0, 641, 208);
    TbSignals = Named(new QWidget, "TbSignals");
    TbOptions = Named(new QWidget, "TbOptions");
    TbDatalog = Named(new QWidget, "TbDatalog");
    TbShtNumeral = Named(new QWidget, "TbShtNumeral");
    PgControl->addTab(TbSignals, QString());
    PgControl->addTab(TbOptions, QString());
    PgControl->addTab(TbDatalog, QString());
    PgControl->addTab(TbShtNumeral, QString());
    BuildSignalsTab();
    BuildOptionsTab();
    BuildDatalogTab();
    BuildNumeralTab();

    SpdBtnMeasInput = MakeButton(PanelConfig, "SpdBtnMeasInput", TGlyph::Measure, 4, 212, 176, 26);
    LblAIMeasVal = MakeLabel(PanelConfig, "LblAIMeasVal", 186, 210, 304 - 186 + 120, 30,
                             Qt::AlignRight | Qt::AlignVCenter);
    LblAIMeasVal->setFont(MeasValueFont());
    SpdBtnReload = MakeButton(PanelConfig, "SpdBtnReload", TGlyph::Reload, 509, 212, 130, 26);
    PanelConfig->installEventFilter(this);
}

void TFrmMain::BuildSignalsTab()
{
    GrpBxAI = MakeGroup(TbSignals, "GrpBxAI", 2, 2, 312, 176);
    RdBtnAII = MakeRadio(GrpBxAI, "RdBtnAII", 10, 22, 140, Utf8("0 - 20 mA DC"));
    RdBtnAIUH = MakeRadio(GrpBxAI, "RdBtnAIUH", 10, 42, 140, Utf8("0 - 10 V DC"));
    RdBtnAIUL = MakeRadio(GrpBxAI, "RdBtnAIUL", 156, 22, 150, Utf8("0 - 585 mV DC"));
    RdBtnAIOV = MakeRadio(GrpBxAI, "RdBtnAIOV", 156, 42, 150);
    SpdBtnAIZero = MakeButton(GrpBxAI, "SpdBtnAIZero", TGlyph::MeasureBegin, 10, 74, 216, 26);
    LblAIUSRZero = MakeLabel(GrpBxAI, "LblAIUSRZero", 230, 74, 76, 26, Qt::AlignRight | Qt::AlignVCenter);
    SpdBtnAIEnd = MakeButton(GrpBxAI, "SpdBtnAIEnd", TGlyph::MeasureEnd, 10, 108, 216, 26);
    LblAIUSREnd = MakeLabel(GrpBxAI, "LblAIUSREnd", 230, 108, 76, 26, Qt::AlignRight | Qt::AlignVCenter);
    BoldCaption(GrpBxAI);

    GrpBxAO = MakeGroup(TbSignals, "GrpBxAO", 318, 2, 314, 176);
    RdBtnAOI = MakeRadio(GrpBxAO, "RdBtnAOI", 10, 18, 290, Utf8("0 - 20 mA DC"));
    RdBtnAOU = MakeRadio(GrpBxAO, "RdBtnAOU", 10, 36, 290, Utf8("0 - 10 V DC"));
    struct TRow {
        QLabel** Caption;
        const char* CaptionName;
        TSpinEdit** Edit;
        const char* EditName;
        TSpeedButton** Save;
        const char* SaveName;
        QProgressBar** Bar;
        const char* BarName;
        QLabel** Mark0;
        const char* Mark0Name;
        QLabel** Mark50;
        const char* Mark50Name;
        QLabel** Mark100;
        const char* Mark100Name;
        int Y;
    };
    const TRow rows[] = {
        {&LblAOZero, "LblAOZero", &SpnEdtAOZero, "SpnEdtAOZero", &SpdBtnAOZero, "SpdBtnAOZero", &PrgBrAOZero,
         "PrgBrAOZero", &LblBarAOZero0, "LblBarAOZero0", &LblBarAOZero50, "LblBarAOZero50", &LblBarAOZero100,
         "LblBarAOZero100", 58},
        {&LblAOEnd, "LblAOEnd", &SpnEdtAOEnd, "SpnEdtAOEnd", &SpdBtnAOEnd, "SpdBtnAOEnd", &PrgBrAOEnd, "PrgBrAOEnd",
         &LblBarAOEnd0, "LblBarAOEnd0", &LblBarAOEnd50, "LblBarAOEnd50", &LblBarAOEnd100, "LblBarAOEnd100", 114},
    };
    for (const TRow& r : rows) {
        *r.Caption = MakeLabel(GrpBxAO, r.CaptionName, 10, r.Y, 110, 22);
        auto* edit = Named(new TSpinEdit(GrpBxAO), r.EditName);
        edit->setGeometry(122, r.Y, 74, 22);
        edit->SetMinValue(0);
        edit->SetMaxValue(16383);
        edit->setMaxLength(5);
        edit->setText(QStringLiteral("0"));
        *r.Edit = edit;
        *r.Save = MakeButton(GrpBxAO, r.SaveName, TGlyph::Save, 202, r.Y - 1, 100, 24);
        *r.Bar = MakeBar(GrpBxAO, r.BarName, 10, r.Y + 26, 292, 9, 200);
        *r.Mark0 = MakeLabel(GrpBxAO, r.Mark0Name, 10, r.Y + 36, 96, 13);
        *r.Mark50 = MakeLabel(GrpBxAO, r.Mark50Name, 106, r.Y + 36, 100, 13, Qt::AlignHCenter | Qt::AlignVCenter);
        *r.Mark100 = MakeLabel(GrpBxAO, r.Mark100Name, 196, r.Y + 36, 106, 13, Qt::AlignRight | Qt::AlignVCenter);
        (*r.Mark0)->setText(Utf8("0% (0 bitů)"));
        (*r.Mark50)->setText(Utf8("50% (8190bitů)"));
        (*r.Mark100)->setText(Utf8("100% (16380bitů)"));
    }
    BoldCaption(GrpBxAO);
    for (QLabel* mark : {LblBarAOZero0, LblBarAOZero50, LblBarAOZero100, LblBarAOEnd0, LblBarAOEnd50, LblBarAOEnd100})
        mark->setFont(SmallFont());
}

void TFrmMain::BuildOptionsTab()
{
    GrpBxSignalLimit = MakeGroup(TbOptions, "GrpBxSignalLimit", 2, 2, 629, 70);
    RdBtnNoReaction = MakeRadio(GrpBxSignalLimit, "RdBtnNoReaction", 10, 22, 300);
    RdBtnZeroDrop = MakeRadio(GrpBxSignalLimit, "RdBtnZeroDrop", 318, 22, 300);
    RdBtnMaxRise = MakeRadio(GrpBxSignalLimit, "RdBtnMaxRise", 10, 44, 300);
    RdBtn35mADrop = MakeRadio(GrpBxSignalLimit, "RdBtn35mADrop", 318, 44, 300);
    BoldCaption(GrpBxSignalLimit);

    GrpBxFilter = MakeGroup(TbOptions, "GrpBxFilter", 2, 78, 629, 92);
    RdBtnFilt0 = MakeRadio(GrpBxFilter, "RdBtnFilt0", 10, 22, 600);
    RdBtnFilt1 = MakeRadio(GrpBxFilter, "RdBtnFilt1", 10, 44, 600);
    RdBtnFilt2 = MakeRadio(GrpBxFilter, "RdBtnFilt2", 10, 66, 600);
    BoldCaption(GrpBxFilter);
}

void TFrmMain::BuildDatalogTab()
{
    ImgDatalog = Named(new TImage(633, 155, TbDatalog), "ImgDatalog");
    ImgDatalog->move(0, 0);
    Chart.SetGrayText(palette().color(QPalette::Disabled, QPalette::WindowText));
    Chart.SetLabelColor(palette().color(QPalette::WindowText));
    Chart.SetLabelFont(WindowFont());
    ImgDatalog->SetPicture(&Chart.Image());

    LblLogPeriod = Named(new QLabel(TbDatalog), "LblLogPeriod");
    CmbBxDatalog = Named(new QComboBox(TbDatalog), "CmbBxDatalog");
    for (const auto& item : DatalogPeriods)
        CmbBxDatalog->addItem(Utf8(item.Text));
    CmbBxDatalog->setCurrentIndex(-1);
    LblLogMeasVal = Named(new QLabel(TbDatalog), "LblLogMeasVal");
    EdtDatalog = Named(new QLineEdit(TbDatalog), "EdtDatalog");
    EdtDatalog->setReadOnly(true);
    EdtDatalog->setFont(BoldFont());
    EdtDatalog->setAlignment(Qt::AlignRight);
    LblDtaUnit = Named(new QLabel(TbDatalog), "LblDtaUnit");
    LblLogCount = Named(new QLabel(TbDatalog), "LblLogCount");
    LblDtaCount = Named(new QLabel(TbDatalog), "LblDtaCount");
    SpdBtnSaveFile = MakeButton(TbDatalog, "SpdBtnSaveFile", TGlyph::Csv, 0, 0, 58, 24, QStringLiteral("*.csv"));
    SpdBtnDatalog = MakeButton(TbDatalog, "SpdBtnDatalog", TGlyph::Start, 0, 0, 62, 24, QStringLiteral("Start"));
    StrGrdDta = Named(new TStringGrid(Datalog.Table(), TbDatalog), "StrGrdDta");

    // One row along the bottom edge; each caption gets the width of its longer language.
    const QFontMetrics fm(WindowFont());
    auto widest = [&](const char* Name) {
        int w = 0;
        for (const auto& row : CaptionTable)
            if (qstrcmp(row.Target, Name) == 0)
                w = std::max({w, fm.horizontalAdvance(row.Text.In(LangCzech)), fm.horizontalAdvance(row.Text.In(LangEnglish))});
        return w + 2;
    };
    constexpr int y = 158;
    constexpr int h = 22;
    constexpr int gap = 5;
    int x = 2;
    auto place = [&](QWidget* W, int Width) {
        W->setGeometry(x, y, Width, h);
        x += Width + gap;
    };
    place(LblLogPeriod, widest("LblLogPeriod"));
    place(CmbBxDatalog, 66);
    place(LblLogMeasVal, widest("LblLogMeasVal"));
    place(EdtDatalog, 58);
    x -= gap - 2;
    place(LblDtaUnit, 22);
    place(LblLogCount, widest("LblLogCount"));
    x -= gap - 2;
    place(LblDtaCount, 40);
    SpdBtnSaveFile->setGeometry(633 - 2 - 62 - gap - 58, y - 1, 58, 24);
    SpdBtnDatalog->setGeometry(633 - 2 - 62, y - 1, 62, 24);
}

void TFrmMain::BuildNumeralTab()
{
    GrpBxNum = MakeGroup(TbShtNumeral, "GrpBxNum", 2, 2, 340, 176);
    RdBtnNumAII = MakeRadio(GrpBxNum, "RdBtnNumAII", 10, 20, 150, Utf8("+/- 20 mA DC"));
    RdBtnNumAIU = MakeRadio(GrpBxNum, "RdBtnNumAIU", 10, 40, 150, Utf8("+/- 10 V DC"));
    RdBtnNumAIUL = MakeRadio(GrpBxNum, "RdBtnNumAIUL", 170, 20, 160, Utf8("+/- 585 mV DC"));
    RdBtnNumAIOV = MakeRadio(GrpBxNum, "RdBtnNumAIOV", 170, 40, 160);
    LblNumBegin = MakeLabel(GrpBxNum, "LblNumBegin", 10, 70, 104, 22);
    MaskEdtNumBegin = Named(new TMaskEdit(GrpBxNum), "MaskEdtNumBegin");
    MaskEdtNumBegin->setGeometry(116, 70, 72, 22);
    LblNumBeginUnit = MakeLabel(GrpBxNum, "LblNumBeginUnit", 194, 70, 40, 22);
    LblNumEnd = MakeLabel(GrpBxNum, "LblNumEnd", 10, 98, 104, 22);
    MaskEdtNumEnd = Named(new TMaskEdit(GrpBxNum), "MaskEdtNumEnd");
    MaskEdtNumEnd->setGeometry(116, 98, 72, 22);
    LblNumEndUnit = MakeLabel(GrpBxNum, "LblNumEndUnit", 194, 98, 40, 22);
    SpdBtnSendNumeral = MakeButton(GrpBxNum, "SpdBtnSendNumeral", TGlyph::Send, 10, 134, 172, 26);
    for (TMaskEdit* e : {MaskEdtNumBegin, MaskEdtNumEnd}) {
        e->SetEditMask(Utf8(NumInputInitialMask));
        e->SetText(Utf8(NumInputInitialText));
    }

    GrpBxNumAO = MakeGroup(TbShtNumeral, "GrpBxNumAO", 346, 2, 286, 176);
    RdBtnNumAOI = MakeRadio(GrpBxNumAO, "RdBtnNumAOI", 10, 20, 140, Utf8("0 - 20 mA DC"));
    RdBtnNumAOU = MakeRadio(GrpBxNumAO, "RdBtnNumAOU", 10, 40, 140, Utf8("0 - 10 V DC"));
    LblNumBeginAO = MakeLabel(GrpBxNumAO, "LblNumBeginAO", 10, 70, 110, 22);
    MaskEdtAONumBegin = Named(new TMaskEdit(GrpBxNumAO), "MaskEdtAONumBegin");
    MaskEdtAONumBegin->setGeometry(122, 70, 66, 22);
    LblNumAOBegin = MakeLabel(GrpBxNumAO, "LblNumAOBegin", 194, 70, 40, 22);
    LblNumEndAO = MakeLabel(GrpBxNumAO, "LblNumEndAO", 10, 98, 110, 22);
    MaskEdtAONumEnd = Named(new TMaskEdit(GrpBxNumAO), "MaskEdtAONumEnd");
    MaskEdtAONumEnd->setGeometry(122, 98, 66, 22);
    LblNumAOEnd = MakeLabel(GrpBxNumAO, "LblNumAOEnd", 194, 98, 40, 22);
    SpdBtnSendNumeralAO = MakeButton(GrpBxNumAO, "SpdBtnSendNumeralAO", TGlyph::Send, 10, 134, 172, 26);
    for (TMaskEdit* e : {MaskEdtAONumBegin, MaskEdtAONumEnd}) {
        e->SetEditMask(Utf8(NumOutputMask));
        e->SetText(Utf8(NumOutputInitialText));
    }
}

void TFrmMain::PresetComPort()
{
    ComPort.SetDeviceName("COM1");
    ApplyConverterLineSettings(ComPort);
    ComPort.SetOnLineError([this](TCustomComPort* Sender, TLineErrors LineErrors) {
        ComPortLineError(Sender, LineErrors);
    });
    ComPort.SetActive(false);
}

// Every control's signal reaches its handler here, once, through the error report.
void TFrmMain::WireHandlers()
{
    using Handler = void (TFrmMain::*)(QObject*);
    auto click = [this](QAbstractButton* Button, Handler H) {
        connect(Button, &QAbstractButton::clicked, this, [this, Button, H] { RunHandler([&] { (this->*H)(Button); }); });
    };
    // A radio button runs its handler when it becomes checked, by a click or by the program.
    auto checked = [this](QRadioButton* Button, Handler H) {
        connect(Button, &QAbstractButton::toggled, this, [this, Button, H](bool On) {
            if (On)
                RunHandler([&] { (this->*H)(Button); });
        });
    };
    auto action = [this](QAction* Item, Handler H) {
        connect(Item, &QAction::triggered, this, [this, Item, H] { RunHandler([&] { (this->*H)(Item); }); });
    };
    using KeyHandler = void (TFrmMain::*)(QObject*, QChar&);
    auto spin = [this](TSpinEdit* Edit, Handler Change, Handler Enter, Handler Exit, KeyHandler Key) {
        connect(Edit, &TSpinEdit::Change, this, [this, Edit, Change] { RunHandler([&] { (this->*Change)(Edit); }); });
        connect(Edit, &TSpinEdit::Enter, this, [this, Edit, Enter] { RunHandler([&] { (this->*Enter)(Edit); }); });
        connect(Edit, &TSpinEdit::Exit, this, [this, Edit, Exit] { RunHandler([&] { (this->*Exit)(Edit); }); });
        connect(Edit, &TSpinEdit::KeyPress, this,
                [this, Edit, Key](QChar& K) { RunHandler([&] { (this->*Key)(Edit, K); }); });
    };

    action(MFileSaveConfig, &TFrmMain::MFileSaveConfigClick);
    action(MFileLoadConfig, &TFrmMain::MFileLoadConfigClick);
    action(MFileRestore, &TFrmMain::MFileRestoreClick);
    action(MFileExportRecord, &TFrmMain::MFileExportRecordClick);
    action(MFileHistory, &TFrmMain::MFileHistoryClick);
    action(MFileBenchJob, &TFrmMain::MFileBenchJobClick);
    action(MFileClose, &TFrmMain::MFileCloseClick);
    action(MCommEnd, &TFrmMain::MCommEndClick);
    action(MCommLog, &TFrmMain::MCommLogClick);
    action(MCommFind, &TFrmMain::MCommFindClick);
    action(MCommLoopTest, &TFrmMain::MCommLoopTestClick);
    action(MenuHelp, &TFrmMain::MenuHelpClick);
    action(MenuAbout, &TFrmMain::MenuAboutClick);
    action(MLangCZ, &TFrmMain::MLangCZClick);
    action(MLangEN, &TFrmMain::MLangENClick);

    click(SpdBtnConnect, &TFrmMain::SpdBtnConnectClick);
    click(SpdBtnReload, &TFrmMain::SpdBtnReloadClick);
    click(SpdBtnMeasInput, &TFrmMain::SpdBtnMeasInputClick);
    click(SpdBtnAIZero, &TFrmMain::SpdBtnAIZeroClick);
    click(SpdBtnAIEnd, &TFrmMain::SpdBtnAIEndClick);
    click(SpdBtnAOZero, &TFrmMain::SpdBtnAOZeroClick);
    click(SpdBtnAOEnd, &TFrmMain::SpdBtnAOEndClick);
    click(SpdBtnSendNumeral, &TFrmMain::SpdBtnSendNumeralClick);
    click(SpdBtnSendNumeralAO, &TFrmMain::SpdBtnSendNumeralAOClick);
    click(SpdBtnDatalog, &TFrmMain::SpdBtnDatalogClick);
    click(SpdBtnSaveFile, &TFrmMain::SpdBtnSaveFileClick);

    checked(RdBtnAII, &TFrmMain::RdBtnAIIClick);
    checked(RdBtnAIUH, &TFrmMain::RdBtnAIUHClick);
    checked(RdBtnAIUL, &TFrmMain::RdBtnAIULClick);
    checked(RdBtnAIOV, &TFrmMain::RdBtnAIOVClick);
    checked(RdBtnAOI, &TFrmMain::RdBtnAOIClick);
    checked(RdBtnAOU, &TFrmMain::RdBtnAOUClick);
    checked(RdBtnFilt0, &TFrmMain::RdBtnFilt0Click);
    checked(RdBtnFilt1, &TFrmMain::RdBtnFilt1Click);
    checked(RdBtnFilt2, &TFrmMain::RdBtnFilt2Click);
    checked(RdBtnNoReaction, &TFrmMain::RdBtnNoReactionClick);
    checked(RdBtnZeroDrop, &TFrmMain::RdBtnZeroDropClick);
    checked(RdBtnMaxRise, &TFrmMain::RdBtnMaxRiseClick);
    checked(RdBtn35mADrop, &TFrmMain::RdBtn35mADropClick);
    checked(RdBtnNumAII, &TFrmMain::RdBtnNumAIIClick);
    checked(RdBtnNumAIU, &TFrmMain::RdBtnNumAIUClick);
    checked(RdBtnNumAIUL, &TFrmMain::RdBtnNumAIULClick);
    checked(RdBtnNumAIOV, &TFrmMain::RdBtnNumAIOVClick);
    checked(RdBtnNumAOI, &TFrmMain::RdBtnNumAOIClick);
    checked(RdBtnNumAOU, &TFrmMain::RdBtnNumAOUClick);

    spin(SpnEdtAOZero, &TFrmMain::SpnEdtAOZeroChange, &TFrmMain::SpnEdtAOZeroEnter, &TFrmMain::SpnEdtAOZeroExit,
         &TFrmMain::SpnEdtAOZeroKeyPress);
    spin(SpnEdtAOEnd, &TFrmMain::SpnEdtAOEndChange, &TFrmMain::SpnEdtAOEndEnter, &TFrmMain::SpnEdtAOEndExit,
         &TFrmMain::SpnEdtAOEndKeyPress);

    connect(CmbBxDatalog, &QComboBox::currentIndexChanged, this,
            [this] { RunHandler([this] { CmbBxDatalogChange(CmbBxDatalog); }); });
    connect(CmbBxDatalog, &QComboBox::activated, this, [](int Index) { TProgramSettings::SetPeriod(Index); });
    connect(CmbBxPort, &TComboBox::DropDown, this, [this] { RunHandler([this] { CmbBxPortDropDown(CmbBxPort); }); });
    connect(TmrDatalog, &TTimer::Timer, this, [this] { RunHandler([this] { TmrDatalogTimer(TmrDatalog); }); });
}

bool TFrmMain::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::Show && Watched == PanelConnect)
        RunHandler([this] { FillPortList(); });
    // The configuration panel shows only after a connection was made: its port is the one to offer next time.
    // Written once the connect has finished: a settings file is not worth a moment of it.
    if (Event->type() == QEvent::Show && Watched == PanelConfig && !Model.ConnectedPort().empty())
        QTimer::singleShot(0, this, [port = RememberedPortText(CmbBxPort, QString::fromStdString(Model.ConnectedPort()))] {
            TProgramSettings::SetPort(port);
        });
    // The key reaches the port field through the combo box or its line edit, whichever holds
    // the focus; only that first delivery counts.
    if ((Watched == CmbBxPort || Watched == CmbBxPort->lineEdit()) && Event->type() == QEvent::KeyPress
        && Watched == QApplication::focusWidget()) {
        auto* key = static_cast<QKeyEvent*>(Event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            QChar c(13);
            RunHandler([&] { CmbBxPortKeyPress(CmbBxPort, c); });
        }
    }
    return QMainWindow::eventFilter(Watched, Event);
}

void TFrmMain::showEvent(QShowEvent* Event)
{
    QMainWindow::showEvent(Event);
    if (!FCentered) {
        FCentered = true;
        // Where the user left it, while that place is still on a screen; else the screen's centre.
        const auto saved = TProgramSettings::WindowPosition();
        const QRect at = saved ? QRect(*saved, frameGeometry().size()) : QRect();
        bool onScreen = false;
        for (const QScreen* screen : QGuiApplication::screens())
            onScreen = onScreen || (saved && screen->availableGeometry().contains(at.topLeft() + QPoint(40, 20)));
        if (onScreen)
            move(*saved);
        else if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
}

void TFrmMain::closeEvent(QCloseEvent* Event)
{
    if (FCentered)
        TProgramSettings::SetWindowPosition(pos());
    if (FrmLineLog != nullptr)
        FrmLineLog->close();
    CloseLoopTest();
    if (FrmHistory != nullptr)
        FrmHistory->close();
    RunHandler([this] { FormClose(this); });
    Event->accept();
}

// --- Helpers --------------------------------------------------------------------------------

void TFrmMain::CheckButton(QRadioButton* Button)
{
    RaisingFrom([Button] { Button->setChecked(true); });
}

void TFrmMain::SetSpinValue(TSpinEdit* Edit, int Value)
{
    RaisingFrom([Edit, Value] { Edit->SetValue(Value); });
}

void TFrmMain::ParkFocus(QWidget* Area)
{
    QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr && (focus == Area || Area->isAncestorOf(focus)))
        ClientArea->setFocus(Qt::OtherFocusReason);
}

void TFrmMain::LinkLost()
{
    // A closed port means the fault has been told already: by the line error that closed it, or
    // by an earlier failure of this action.
    if (ComPort.Active())
        ErrorBox(this, MsgLinkLost);
    ShowConnect();
    throw EAbort();
}

void TFrmMain::LinkLost(const QString& Detail)
{
    ErrorBox(this, ComPort.Active() ? MsgLinkLost + QStringLiteral("\r\r") + Detail : Detail);
    ShowConnect();
    throw EAbort();
}

// --- Start, close, menus --------------------------------------------------------------------

void TFrmMain::FormCreate(QObject*)
{
    // The language the user chose last time; before any choice, the system's.
    FChosenLang = StartLanguage();
    SetLang(FChosenLang);
    ShowChosenLang();
    PanelConnect->show();
    PanelConfig->hide();
    GrpBxSignalLimit->hide();
    PrgBarLoadEE->hide();
    PrgBarLoadEE->setValue(0);
    Model.Seed(static_cast<uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    ComPort.PurgeInput();
    ComPort.PurgeOutput();
    CmbBxPort->setCurrentIndex(-1);
    CmbBxPort->setEditText(TProgramSettings::Port());
    FillPortList();
    // The hint stands in the status bar from the start, not only after a connection ends.
    StatusBar->SetPanelText(0, MsgSelectPort);
    if (const auto period = TProgramSettings::Period(); period && *period >= 0 && *period < CmbBxDatalog->count())
        CmbBxDatalog->setCurrentIndex(*period);
}

void TFrmMain::FillPortList()
{
    const std::vector<TPortInfo> ports = ViewPorts(System);
    if (PortItemsAre(CmbBxPort, ports))
        return;
    // The user's text stays, typed or chosen; an item is chosen only where it names the same port.
    // A port remembered by its stable name is shown under its name of today.
    const QString text = CurrentPortText(ports, CmbBxPort->currentText());
    SetPortItems(CmbBxPort, ports);
    CmbBxPort->setCurrentIndex(CmbBxPort->findText(text));
    CmbBxPort->setEditText(text);
}

void TFrmMain::CmbBxPortDropDown(QObject*)
{
    FillPortList();
}

void TFrmMain::FormClose(QObject*)
{
    // The window closes whatever the release does; a line that fails here has nobody left to tell.
    if (ComPort.Active())
        Model.ReleaseOutput();
    Model.Close();
}

void TFrmMain::MFileCloseClick(QObject*)
{
    close();
}

void TFrmMain::MenuHelpClick(QObject*)
{
    if (TAboutBox* box = AboutBox()) {
        box->SetLang(ChosenLang());
        TModalScope modal;
        box->exec();
    }
}

void TFrmMain::MenuAboutClick(QObject*)
{
    AboutProgramBox(this, AboutText.In(ChosenLang()).arg(QString::fromLatin1(kvt::ProgramVersion), DocumentationPlace(), RunningSystem()));
}

void TFrmMain::MLangCZClick(QObject*)
{
    ChooseLang(LangCzech);
}

void TFrmMain::MLangENClick(QObject*)
{
    ChooseLang(LangEnglish);
}

void TFrmMain::ChooseLang(int Lang)
{
    FChosenLang = Lang;
    SetLang(Lang);
    ShowChosenLang();
    TProgramSettings::SetLanguage(Lang);
}

// A checkable item checks or unchecks itself when chosen; the marks are set from the choice.
void TFrmMain::ShowChosenLang()
{
    MLangCZ->setChecked(FChosenLang == LangCzech);
    MLangEN->setChecked(FChosenLang == LangEnglish);
}

QString TFrmMain::ConfigTypeCaption(int ConfigType) const
{
    const std::string_view text =
        ChosenLang() == LangEnglish ? ConfigTypeTextEnglish(ConfigType) : ConfigTypeText(ConfigType);
    return Utf8(text);
}

QString* TFrmMain::MessageSlot(int Index)
{
    QString* all[] = {&MsgLinkLost,        &MsgBadPort,         &MsgDipNotPc,      &MsgCableLost, &MsgNoPeriod,
                        &MsgNoConverter,     &MsgConfigIs,        &MsgBadConfig,     &MsgSelectPort,
                        &MsgDropOnlyCurrent, &MsgBeginOutOfRange, &MsgEndOutOfRange, &MsgPowerCycle};
    return all[Index];
}

void TFrmMain::WriteCaptions(std::span<const TCaptionRow> Rows, int Lang)
{
    for (const TCaptionRow& row : Rows) {
        if (row.When == TModelCond::Model10 && DeviceSettings.DeviceModel != ModelKVT27)
            continue;
        if (row.When == TModelCond::Model12 && DeviceSettings.DeviceModel != ModelKVT27L)
            continue;
        const QString text = row.Text.In(Lang);
        const QString target = QString::fromLatin1(row.Target);
        if (target == objectName()) {
            setWindowTitle(text);
            continue;
        }
        QObject* o = findChild<QObject*>(target);
        if (auto* w = qobject_cast<QWidget*>(o); w != nullptr && PgControl->indexOf(w) >= 0)
            PgControl->setTabText(PgControl->indexOf(w), text);
        else if (auto* g = qobject_cast<QGroupBox*>(o))
            g->setTitle(text);
        else if (auto* b = qobject_cast<QAbstractButton*>(o))
            b->setText(text);
        else if (auto* l = qobject_cast<QLabel*>(o))
            l->setText(text);
        else if (auto* m = qobject_cast<QMenu*>(o))
            m->setTitle(text);
        else if (auto* a = qobject_cast<QAction*>(o))
            a->setText(text);
    }
}

void TFrmMain::WriteModelCaptions(int Lang)
{
    WriteCaptions(ModelCaptionTable, Lang);
}

void TFrmMain::SetLang(int Lang)
{
    if (Lang != LangCzech && Lang != LangEnglish)
        return;
    const QString statusBefore = StatusBar->PanelText(0);
    WriteCaptions(CaptionTable, Lang);
    WriteCaptions(ExtraCaptionTable, Lang);
    MCommFind->setText(FindMenuCaption.In(Lang));
    WriteModelCaptions(Lang);
    for (const TMessageRow& row : MessageTable)
        *MessageSlot(static_cast<int>(row.Slot)) = row.Text.In(Lang);
    MsgFieldIncomplete = FieldIncompleteText.In(Lang);
    MsgRangeEmpty = RangeEmptyText.In(Lang);
    CsvFilter = CsvFilterText.In(Lang);
    if (FrmLineLog != nullptr)
        FrmLineLog->SetLang(Lang);
    FMnemonics->Apply(Lang);
    RetranslateStatus(statusBefore, Lang);
    UseQtTranslations(Lang);
}

// The texts the window itself put in the status bar follow the language; others stay.
void TFrmMain::RetranslateStatus(const QString& Before, int Lang)
{
    for (int other : {LangCzech, LangEnglish}) {
        const QString word = StatusConverter.In(other);
        if (Before == MessageText(TMessageSlot::MsgSelectPort, other)) {
            StatusBar->SetPanelText(0, MsgSelectPort);
            return;
        }
        if (Before.startsWith(word)) {
            StatusBar->SetPanelText(0, StatusConverter.In(Lang) + Before.mid(word.size()));
            return;
        }
    }
}

} // namespace kvt::ui
