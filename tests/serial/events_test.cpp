// The event thread and line errors: a hang-up of the other end reaches OnLineError once, on the
// user-interface thread, and the port can be closed from there.
#include "pty_support.h"

#include "serial/comthread.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>

namespace {

struct TLineErrorLog {
    std::atomic<int> Calls{0};
    TLineErrors Last;
    std::thread::id Thread;
    void operator()(TLineErrors Errors)
    {
        Last = Errors;
        Thread = std::this_thread::get_id();
        ++Calls;
    }
};

} // namespace

TEST(ComPortEvents, TheThreadRunsOnlyWhileOpenWithALineEventHandler)
{
    TPty Pty;
    TComPort Port;
    Port.SetDeviceName(Pty.SlavePath());
    Port.Open();
    EXPECT_EQ(TComThread::RunningCount(), 0);
    Port.SetOnLineError([](TCustomComPort*, TLineErrors) {});
    EXPECT_EQ(TComThread::RunningCount(), 1);
    Port.SetOnRxChar([](TCustomComPort*) {}); // a second handler: the same thread
    EXPECT_EQ(TComThread::RunningCount(), 1);
    Port.SetOnLineError(nullptr);
    Port.SetOnRxChar(nullptr);
    EXPECT_TRUE(EventThreadsEnded());

    Port.SetOnLineError([](TCustomComPort*, TLineErrors) {});
    EXPECT_EQ(TComThread::RunningCount(), 1);
    Port.Close(); // never waits for the thread, which still ends promptly
    EXPECT_TRUE(EventThreadsEnded());
}

TEST(ComPortEvents, AHangUpReachesOnLineErrorOnceOnTheUserInterfaceThread)
{
    TUiLoop Ui;
    char Dir[] = "/tmp/kvt-serial-events-XXXXXX";
    ASSERT_NE(::mkdtemp(Dir), nullptr);
    const std::string Log = std::string(Dir) + "/port.log";
    TPty Pty;
    TComPort Port;
    ConfigureLikeTheProgram(Port, Pty.SlavePath());
    TLineErrorLog Errors;
    Port.SetOnLineError([&](TCustomComPort*, TLineErrors E) { Errors(E); });
    Port.Open();
    Port.SetLogFile(Log);

    Pty.CloseMaster();
    ASSERT_TRUE(Ui.RunUntil([&] { return Errors.Calls > 0; }));
    EXPECT_EQ(Errors.Last, TLineErrors{leIO});
    EXPECT_EQ(Errors.Thread, Ui.Id());
    Ui.RunFor(300ms); // the hang-up stays, but is not reported again
    EXPECT_NO_THROW(Port.WaitForWrite());
    EXPECT_EQ(Errors.Calls, 1);
    EXPECT_TRUE(Port.Active());

    Port.SetLogFile("");
    std::ifstream In(Log);
    std::string Line;
    ASSERT_TRUE(std::getline(In, Line));
    EXPECT_NE(Line.find(" LineError event\r"), std::string::npos) << Line;
    std::remove(Log.c_str());
    ::rmdir(Dir);
}

TEST(ComPortEvents, AHandlerMayCloseThePortFromInsideTheDispatch)
{
    TUiLoop Ui;
    std::vector<std::string> Shown;
    TCustomComPort::SetExceptionDisplay([&](const std::exception& E) { Shown.push_back(E.what()); });
    TPty Pty;
    TComPort Port;
    Port.SetDeviceName(Pty.SlavePath());
    int Calls = 0, AfterClose = 0;
    Port.SetAfterClose([&](TCustomComPort*) { ++AfterClose; });
    Port.SetOnLineError([&](TCustomComPort* Sender, TLineErrors) {
        ++Calls;
        static_cast<TComPort*>(Sender)->SetActive(false);
    });
    // Nothing may run once the handler has closed the port.
    Port.SetOnRxChar([&](TCustomComPort*) { ++Calls; });
    Port.Open();

    Pty.CloseMaster();
    ASSERT_TRUE(Ui.RunUntil([&] { return !Port.Active(); }));
    EXPECT_TRUE(Ui.RunUntil([] { return TComThread::RunningCount() == 0; }));
    Ui.RunFor(200ms);
    EXPECT_EQ(Calls, 1);
    EXPECT_EQ(AfterClose, 1);
    EXPECT_TRUE(Shown.empty());
    TCustomComPort::SetExceptionDisplay(nullptr);
}

TEST(ComPortEvents, ATransfersCheckMaySeeTheHangUpFirstThenTheDispatchFindsNothing)
{
    TUiLoop Ui;
    TPty Pty;
    TComPort Port;
    ConfigureLikeTheProgram(Port, Pty.SlavePath());
    TLineErrorLog Errors;
    Port.SetOnLineError([&](TCustomComPort*, TLineErrors E) { Errors(E); });
    Port.Open();
    Pty.CloseMaster();
    // The user-interface thread is busy in a transfer: the dispatch waits meanwhile.
    Port.WaitForWrite();
    EXPECT_EQ(Errors.Calls, 1);
    EXPECT_EQ(Errors.Last, TLineErrors{leIO});
    Ui.RunFor(300ms);
    EXPECT_EQ(Errors.Calls, 1);
}

TEST(ComPortEvents, AWriteMeetingAHangUpEndsAsTheLineErrorHandlerDecides)
{
    TUiLoop Ui;
    for (bool CloseInHandler : {false, true}) {
        TPty Pty;
        TComPort Port;
        ConfigureLikeTheProgram(Port, Pty.SlavePath());
        TLineErrorLog Errors;
        Port.SetOnLineError([&](TCustomComPort* Sender, TLineErrors E) {
            Errors(E);
            if (CloseInHandler)
                Sender->Close();
        });
        Port.Timeouts().SetWriteMultiplier(0);
        Port.Timeouts().SetWriteConstant(0);
        Port.Open();
        Port.WriteString(std::string(1 << 20, 'x')); // more than the queue takes: still sending
        ASSERT_TRUE(Port.WritePending());
        Pty.CloseMaster();
        if (CloseInHandler) {
            // Like any line error in a transaction: the next step fails on the closed port.
            EXPECT_NO_THROW(Port.WaitForWrite());
            EXPECT_FALSE(Port.Active());
            char Reply[7];
            EXPECT_THROW(Port.Read(Reply, 7, true), EComError);
        } else {
            int Code = 0;
            try {
                Port.WaitForWrite();
            } catch (const EComError& E) {
                Code = E.ErrorCode();
            }
            EXPECT_EQ(Code, EIO);
        }
        EXPECT_EQ(Errors.Calls, 1);
        EXPECT_EQ(Errors.Last, TLineErrors{leIO});
    }
}

TEST(ComPortEvents, UnsynchronisedHandlersRunOnTheEventThreadAndACloseThereIsHandedOver)
{
    TUiLoop Ui;
    TPty Pty;
    TComPort Port;
    Port.SetDeviceName(Pty.SlavePath());
    Port.SetSynchronizeEvents(false);
    TLineErrorLog Errors;
    std::thread::id ClosedOn;
    Port.SetBeforeClose([&](TCustomComPort*) { ClosedOn = std::this_thread::get_id(); });
    Port.SetOnLineError([&](TCustomComPort* Sender, TLineErrors E) {
        Errors(E);
        Sender->Close();
    });
    Port.Open();
    Pty.CloseMaster();
    ASSERT_TRUE(Ui.RunUntil([&] { return !Port.Active(); }));
    EXPECT_NE(Errors.Thread, Ui.Id());
    EXPECT_EQ(ClosedOn, Ui.Id());
    EXPECT_TRUE(Ui.RunUntil([] { return TComThread::RunningCount() == 0; }));
}

TEST(ComPortEvents, AnErrorInAHandlerIsShownAndTheThreadGoesOn)
{
    TUiLoop Ui;
    std::vector<std::string> Shown;
    TCustomComPort::SetExceptionDisplay([&](const std::exception& E) { Shown.push_back(E.what()); });
    TPty Pty;
    TComPort Port;
    ConfigureLikeTheProgram(Port, Pty.SlavePath());
    std::atomic<int> Received{0};
    Port.SetOnRxChar([&](TCustomComPort*) {
        if (++Received == 1)
            throw std::runtime_error("handler failed");
    });
    Port.Open();
    Pty.Write("a");
    ASSERT_TRUE(Ui.RunUntil([&] { return Received == 1; }));
    EXPECT_EQ(Shown, std::vector<std::string>{"handler failed"});
    char Byte;
    Port.Read(&Byte, 1, true); // taking the input re-arms the event
    Pty.Write("b");
    EXPECT_TRUE(Ui.RunUntil([&] { return Received == 2; }));
    EXPECT_EQ(TComThread::RunningCount(), 1);
    TCustomComPort::SetExceptionDisplay(nullptr);
}

TEST(ComPortEvents, ADispatchStillQueuedWhenThePortGoesTouchesNothing)
{
    TUiLoop Ui;
    TPty Pty;
    int Calls = 0;
    {
        TComPort Port;
        Port.SetDeviceName(Pty.SlavePath());
        Port.SetOnLineError([&](TCustomComPort*, TLineErrors) { ++Calls; });
        Port.Open();
        Pty.CloseMaster();
        auto End = std::chrono::steady_clock::now() + 5s;
        while (Ui.Queued() == 0 && std::chrono::steady_clock::now() < End)
            std::this_thread::sleep_for(5ms);
        ASSERT_EQ(Ui.Queued(), 1u);
    }
    Ui.RunFor(100ms);
    EXPECT_EQ(Calls, 0);
    EXPECT_TRUE(EventThreadsEnded());
}
