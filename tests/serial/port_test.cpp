// Opening, closing, settings and errors of the port, against a pseudo-terminal.
#include "pty_support.h"

#include "serial/termios2_linux.h"
#include "tests/platform/closed_streams.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <vector>

namespace {

const char ClosedText[] = "Can't perform this operation on a closed port";
const char OpenText[] = "Can't perform this operation on an open port";

template <typename F>
EComError CatchComError(F&& Call)
{
    try {
        Call();
    } catch (const EComError& E) {
        return E;
    }
    ADD_FAILURE() << "no EComError";
    return EComError("", -1);
}

} // namespace

TEST(ComPortLifecycle, OpenAndCloseRunTheirEventsInOrder)
{
    TPty Pty;
    std::vector<std::string> Events;
    {
        TComPort Port;
        Port.SetDeviceName(Pty.SlavePath());
        Port.SetBeforeOpen([&](TCustomComPort*) { Events.push_back("BeforeOpen"); });
        Port.SetAfterOpen([&](TCustomComPort* P) { Events.push_back(P == &Port ? "AfterOpen" : "?"); });
        Port.SetBeforeClose([&](TCustomComPort*) { Events.push_back("BeforeClose"); });
        Port.SetAfterClose([&](TCustomComPort*) { Events.push_back("AfterClose"); });

        Port.SetActive(true);
        EXPECT_TRUE(Port.Active());
        Port.SetActive(true); // already open: nothing
        Port.SetActive(false);
        EXPECT_FALSE(Port.Active());
        Port.SetActive(false);
        Port.BeginLoading(); // a stored Active takes effect once loading ends
        Port.SetActive(true);
        EXPECT_FALSE(Port.Active());
        Port.Loaded();
        Events.push_back("destroy");
    }
    EXPECT_EQ(Events, (std::vector<std::string>{"BeforeOpen", "AfterOpen", "BeforeClose", "AfterClose",
                          "BeforeOpen", "AfterOpen", "destroy", "BeforeClose", "AfterClose"}));
}

TEST(ComPortLifecycle, FailedOpensLeaveNothingBehindAndALaterOpenWorks)
{
    TPty Pty;
    TComPort First;
    First.SetDeviceName(Pty.SlavePath());
    First.SetOnLineError([](TCustomComPort*, TLineErrors) {});
    First.Open();

    TComPort Port;
    bool AfterOpen = false;
    Port.SetAfterOpen([&](TCustomComPort*) { AfterOpen = true; });
    Port.SetOnLineError([](TCustomComPort*, TLineErrors) {});
    const int Descriptors = OpenDescriptorCount();

    Port.SetDeviceName("/dev/kvt-no-such-port");
    EComError Missing = CatchComError([&] { Port.Open(); });
    EXPECT_EQ(Missing.ErrorCode(), ENOENT);
    EXPECT_STREQ(Missing.what(), "No such file or directory");
    EXPECT_FALSE(Port.Active());

    // In use by First: refused with the system's code, also for root (which TIOCEXCL lets through).
    Port.SetDeviceName(Pty.SlavePath());
    EComError Busy = CatchComError([&] { Port.Open(); });
    EXPECT_EQ(Busy.ErrorCode(), EBUSY);
    EXPECT_STREQ(Busy.what(), "Device or resource busy");
    EXPECT_FALSE(Port.Active());
    EXPECT_FALSE(AfterOpen);
    EXPECT_EQ(OpenDescriptorCount(), Descriptors);

    First.Close();
    Port.Open();
    EXPECT_TRUE(Port.Active());
    EXPECT_TRUE(AfterOpen);
    Port.Close();
}

TEST(ComPortLifecycle, ThePortNeverTakesAStandardStream)
{
    TPty Pty;
    TComPort Port;
    Port.SetDeviceName(Pty.SlavePath());
    Port.SetOnLineError([](TCustomComPort*, TLineErrors) {}); // the event thread's wake descriptor too
    bool Taken = false;
    {
        TWithoutStandardStreams Closed;
        Port.Open();
        for (int Fd = 0; Fd <= 2; ++Fd)
            Taken = Taken || !TWithoutStandardStreams::Closed(Fd);
        Port.Close();
    }
    EXPECT_FALSE(Taken);
}

TEST(ComPortLifecycle, ClosedPortRefusesOperationsButPurgesQuietly)
{
    TComPort Port;
    bool Before = false;
    Port.SetBeforeRead([&](TCustomComPort*, const void*, int32_t, bool) { Before = true; });
    Port.SetBeforeWrite([&](TCustomComPort*, const void*, int32_t, bool) { Before = true; });
    char Buffer[7];
    for (auto Call : std::vector<std::function<void()>>{[&] { Port.Read(Buffer, 7, true); },
             [&] { Port.Write(Buffer, 7, true); }, [&] { Port.WriteString("abc"); }, [&] { Port.WaitForRead(); },
             [&] { Port.WaitForWrite(); }, [&] { Port.ModemStatus(); }, [&] { Port.CheckLineErrors(); }}) {
        EComError E = CatchComError(Call);
        EXPECT_STREQ(E.what(), ClosedText);
        EXPECT_EQ(E.ErrorCode(), 0);
    }
    EXPECT_FALSE(Before);
    Port.PurgeInput();
    Port.PurgeOutput();
    EXPECT_FALSE(Port.ReadPending());
    EXPECT_FALSE(Port.WritePending());
}

TEST(ComPortSettings, SomeSettingsAreRefusedWhileOpenAndKeepTheirValue)
{
    TPty Pty;
    TComPort Port;
    Port.SetDeviceName(Pty.SlavePath());
    Port.Open();
    Port.SetDeviceName(Pty.SlavePath()); // unchanged: no error
    Port.SetSynchronizeEvents(true);
    Port.SetPriorityClass(pcDefault);

    EXPECT_STREQ(CatchComError([&] { Port.SetDeviceName("/dev/null"); }).what(), OpenText);
    EXPECT_STREQ(CatchComError([&] { Port.SetSynchronizeEvents(false); }).what(), OpenText);
    EXPECT_STREQ(CatchComError([&] { Port.SetPriorityClass(pcHigh); }).what(), OpenText);
    EXPECT_EQ(Port.DeviceName(), Pty.SlavePath());
    EXPECT_TRUE(Port.SynchronizeEvents());
    EXPECT_EQ(Port.PriorityClass(), pcDefault);
    EXPECT_TRUE(Port.Active());
}

TEST(ComPortSettings, OnErrorSeesEveryErrorAndMayTurnItIntoASilentAbort)
{
    TComPort Port;
    std::vector<std::string> Seen;
    TComAction Choice = caRaise;
    Port.SetOnError([&](TCustomComPort*, const EComError& E, TComAction& Action) {
        Seen.push_back(E.what());
        EXPECT_EQ(Action, caRaise);
        Action = Choice;
    });
    char Buffer[1];
    EXPECT_THROW(Port.Read(Buffer, 1, true), EComError);
    Choice = caAbort;
    EXPECT_THROW(Port.Read(Buffer, 1, true), EAbort);
    Port.SetDeviceName("/dev/kvt-no-such-port");
    EXPECT_THROW(Port.Open(), EAbort);
    EXPECT_EQ(Seen, (std::vector<std::string>{ClosedText, ClosedText, "No such file or directory"}));
}

// A pseudo-terminal keeps 8 data bits without parity whatever it is told (the C library reports
// such a change as EINVAL); the rest of the mapping is covered without a device.
TEST(ComPortSettings, LineSettingsReachTheDriver)
{
    TPty Pty;
    TComPort Port;
    Port.SetDeviceName(Pty.SlavePath());
    Port.SetBaudRate(br4800);
    Port.SetStopBits(sb2);
    Port.FlowControl().SetXOnXOff(xcInputOutput);
    Port.Characters().SetXOn(1);
    Port.Characters().SetXOff(2);
    Port.SetOptions({opCheckParity, opOutputCTSFlow});
    Port.Open();
    termios T = Pty.Settings();
    EXPECT_EQ(cfgetospeed(&T), B4800);
    EXPECT_TRUE(T.c_cflag & CSTOPB);
    EXPECT_TRUE(T.c_cflag & CRTSCTS);
    EXPECT_EQ(T.c_iflag & (IXON | IXOFF | INPCK), tcflag_t(IXON | IXOFF | INPCK));
    EXPECT_EQ(T.c_cc[VSTART], 1);
    EXPECT_EQ(T.c_cc[VSTOP], 2);

    // Re-applied while open, one setting at a time.
    Port.FlowControl().SetXOnXOff(xcOutput);
    EXPECT_EQ(Pty.Settings().c_iflag & (IXON | IXOFF), tcflag_t(IXON));
    Port.SetStopBits(sb1);
    EXPECT_FALSE(Pty.Settings().c_cflag & CSTOPB);

    // Rates without a termios constant, and any rate through CustomBaudRate.
    uint32_t Rate = 0;
    Port.SetBaudRate(br14400);
    ASSERT_EQ(kvt::serial::GetLineSpeed(Pty.Master(), Rate), 0);
    EXPECT_EQ(Rate, 14400u);
    EXPECT_EQ(Port.CustomBaudRate(), 14400);
    Port.SetCustomBaudRate(12345);
    EXPECT_EQ(Port.BaudRate(), brCustom);
    ASSERT_EQ(kvt::serial::GetLineSpeed(Pty.Master(), Rate), 0);
    EXPECT_EQ(Rate, 12345u);
    Port.SetBaudRate(br9600);
    EXPECT_EQ(cfgetospeed(&(T = Pty.Settings())), B9600);
}

TEST(ComPortSettings, DefaultsKeepTheDriversLineButTheDataStaysRaw)
{
    TPty Pty;
    termios Cooked = Pty.Settings();
    cfsetispeed(&Cooked, B1200);
    cfsetospeed(&Cooked, B1200);
    Cooked.c_cflag |= CSTOPB;
    Cooked.c_iflag |= ICRNL | IXON;
    Cooked.c_lflag |= ICANON | ECHO;
    Cooked.c_oflag |= OPOST | ONLCR;
    Pty.SetSettings(Cooked);

    TComPort Port;
    Port.SetDeviceName(Pty.SlavePath());
    Port.Open();
    termios T = Pty.Settings();
    EXPECT_EQ(cfgetospeed(&T), B1200);
    EXPECT_TRUE(T.c_cflag & CSTOPB);
    // Binary frames: CR, LF, XON and XOFF pass unchanged in both directions, nothing is echoed.
    const std::string Frame("\x13\r\n\x11\x00\xFF\x0A", 7);
    Pty.Write(Frame);
    std::string Got(7, '\0');
    Port.Timeouts().SetReadConstant(2000);
    Port.Read(Got.data(), 7, true);
    EXPECT_EQ(Got, Frame);
    Port.Write(Frame.data(), 7, true);
    EXPECT_EQ(Pty.Read(8, 300ms), Frame);
}

TEST(ComPortSettings, SettersCompareFirstAndReapplyOnlyOnChange)
{
    TPty Pty;
    TComPort Port;
    ConfigureLikeTheProgram(Port, Pty.SlavePath());
    Port.Open();
    termios Marked = Pty.Settings();
    Marked.c_cc[VSTART] = 5; // a change the port would undo if it re-applied
    Pty.SetSettings(Marked);

    Port.SetBaudRate(br4800);
    Port.SetParity(paNone);
    Port.Characters().SetXOn(17);
    Port.FlowControl().SetRTS(rcEnable);
    Port.SetCustomBaudRate(0);
    EXPECT_EQ(Pty.Settings().c_cc[VSTART], 5);
    EXPECT_EQ(Port.BaudRate(), br4800);

    Port.SetStopBits(sb2);
    EXPECT_EQ(Pty.Settings().c_cc[VSTART], 17);
    EXPECT_TRUE(Pty.Settings().c_cflag & CSTOPB);
}

TEST(ComPortSettings, SettingsWithoutALinuxEquivalentAreRefusedNotDropped)
{
    TPty Pty;
    TComPort Port;
    Port.SetDeviceName(Pty.SlavePath());
    Port.SetDataBits(db4);
    EXPECT_EQ(CatchComError([&] { Port.Open(); }).ErrorCode(), EINVAL);
    EXPECT_FALSE(Port.Active());

    Port.SetDataBits(db8);
    Port.Open();
    // 1.5 stop bits exist for 5-bit characters only; the property keeps its value, the port stays open.
    EXPECT_EQ(CatchComError([&] { Port.SetStopBits(sb1_5); }).ErrorCode(), EINVAL);
    EXPECT_EQ(Port.StopBits(), sb1_5);
    EXPECT_TRUE(Port.Active());
    // A pseudo-terminal has no modem lines: an empty status, not an error.
    EXPECT_TRUE(Port.ModemStatus().Empty());
}
