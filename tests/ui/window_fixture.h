// A fixture that drives the real main window offscreen against the converter simulator on a
// pseudo-terminal. Message boxes, the save dialog and the waits go through a recording seam.
//
//   class MyTest : public kvt::ui::test::TWindowTest {};
//   TEST_F(MyTest, Something) {
//       ASSERT_TRUE(ConnectToSim(PcConfig(10)));   // start the simulator, the window, connect
//       Click(Control<QRadioButton>("RdBtnAIUH"));
//       EXPECT_EQ(LastWrite(4), 4);
//       EXPECT_TRUE(Boxes().empty());
//   }
#pragma once

#include "protocol/commands.h"
#include "protocol/frame.h"
#include "tools/sim/simulator.h"
#include "ui/errorreport.h"
#include "ui/frmmain.h"
#include "ui/uiseam.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QString>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvt::ui::test {

// One message box as the window asked for it.
struct TBox {
    TBoxKind Kind;
    QString Text;
    QString Detail;
};

// Stands in for the user at every modal dialog and for the waits.
class TRecordingSeam : public TUiSeam {
public:
    std::vector<TBox> Boxes;
    // Runs while a box "is open", e.g. to let queued events run as a modal loop would.
    std::function<void(const TBox&)> OnBox;

    // Answers of the save dialog in order; none left means the user cancels.
    std::deque<std::optional<QString>> SaveAnswers;
    std::vector<QString> SaveFilters;
    std::vector<QString> SaveFolders;

    // Answers of the open dialog in order; none left means the user cancels.
    std::deque<std::optional<QString>> OpenAnswers;
    // The questions asked (Kind Plain), and the answers in order; none left means No.
    std::vector<TBox> Questions;
    std::deque<bool> AskAnswers;
    // The choices offered (Text and the items as Detail, one a line), and the answers in order
    // (an index; none left means the user cancels).
    std::vector<TBox> Choices;
    std::deque<int> ChooseAnswers;

    // Waits the window asked for; they also pass for real unless RealSleep is false.
    std::vector<int> Sleeps;
    bool RealSleep = true;

    // Maps every timer period (identity when empty).
    std::function<int(int)> IntervalMap;

    void ShowBox(QWidget* Parent, TBoxKind Kind, const QString& Text, const QString& Detail) override;
    std::optional<QString> SaveFileName(QWidget* Parent, const QString& Filter, const QString& Folder) override;
    std::optional<QString> OpenFileName(QWidget* Parent, const QString& Filter, const QString& Folder) override;
    bool Ask(QWidget* Parent, const QString& Text, const QString& Detail) override;
    std::optional<int> Choose(QWidget* Parent, const QString& Text, const QStringList& Items) override;
    void Sleep(int Ms) override;
    int TimerInterval(int Ms) override;
};

// The application object, created once per test program with the program's runtime installed.
QApplication& EnsureApplication();
// Forgets everything the program remembered (the tests' own settings folder).
void ClearProgramSettings();

// A converter in the PC configuration (ConfigType 15) with the simulator's default words.
sim::TConverterConfig PcConfig(int Model);
// The same with another ConfigType.
sim::TConverterConfig DipConfig(int Model, int ConfigType);

class TWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The simulator, started on a fresh pseudo-terminal.
    sim::TSimulator& StartSim(const sim::TConverterConfig& Config);
    sim::TSimulator& Sim() { return *FSim; }
    // The window, created and shown (once per test).
    TFrmMain& Window();
    // Types Text into the port field as the user would.
    void TypePort(const QString& Text);
    // Presses the connect button and lets pending events run.
    void PressConnect();
    // StartSim, Window, TypePort with the simulator's device, PressConnect; true when the
    // configuration panel is shown afterwards. Needs the connect panel (end a connection first).
    bool ConnectToSim(const sim::TConverterConfig& Config);

    template <typename T = QObject>
    T* Control(const char* Name)
    {
        T* c = Window().findChild<T*>(QString::fromLatin1(Name));
        if (c == nullptr)
            ADD_FAILURE() << "no control named " << Name;
        return c;
    }

    // A real mouse click on a button, after choosing its tab if it lies on another page (a
    // disabled or hidden button ignores it, as for the user).
    void Click(QAbstractButton* Button);
    // Triggers a menu item by its name.
    void Choose(const char* ActionName);
    // Lets queued events run for about Ms milliseconds.
    static void Pump(int Ms = 0);
    // Pumps until Done() or the time is up; returns Done().
    static bool WaitUntil(const std::function<bool()>& Done, int Ms = 5000);

    // What the simulator received, in order (frames with a good CRC), and a way to start afresh.
    // Frames that get no reply (drive, release) may still be on the line when the window's call
    // returns: wait for them with WaitUntil. The words it stores: Sim().Word(Address).
    std::vector<TFrame> Frames();
    void ClearFrames();
    // The commands of Frames(), and the frames of one command.
    std::vector<int> Commands();
    std::vector<TFrame> FramesOf(uint8_t Command);
    // Word addresses of the CmdReadWord frames, in order.
    std::vector<int> ReadAddresses();
    // The value of the last CmdWriteWord to Address, or -1.
    int LastWrite(uint8_t Address);
    // Every CmdWriteWord as (address, value), in order.
    std::vector<std::pair<int, int>> Writes();

    TRecordingSeam& Seam() { return *FSeam; }
    const std::vector<TBox>& Boxes() { return FSeam->Boxes; }
    std::vector<QString> BoxTexts();
    QString StatusPanel(int Index); // 0-based, as the window numbers its panels

private:
    std::unique_ptr<TUiSeam> FSavedSeam;
    TRecordingSeam* FSeam = nullptr;
    std::unique_ptr<sim::TSimulator> FSim;
    std::unique_ptr<TFrmMain> FWindow;
    std::string FHistoryDir;
};

} // namespace kvt::ui::test
