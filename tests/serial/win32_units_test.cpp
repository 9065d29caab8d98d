// The Win32 backend's pure parts: control block and comm timeouts from the port's properties, the
// system's answers (line errors, read and wait outcomes, among them those wine gives on a
// pseudo-terminal), port names and the port list. Built with mingw-w64, run under wine.
#include "protocol/commands.h"
#include "protocol/frame.h"
#include "serial/comport.h"
#include "serial/comthread.h"
#include "serial/enumports_win32.h"
#include "serial/port_access.h"
#include "platform/syserror.h"
#include "serial/win32_comm.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>
#include <mutex>

using namespace kvt::serial::win32;
using namespace std::chrono;

namespace {

// A control block as a driver might hold it, every field away from what the port would write.
DCB DriverDcb()
{
    DCB d{};
    d.DCBlength = sizeof d;
    d.BaudRate = 38400;
    d.ByteSize = 7;
    d.Parity = EVENPARITY;
    d.StopBits = TWOSTOPBITS;
    d.fDtrControl = DTR_CONTROL_HANDSHAKE;
    d.fRtsControl = RTS_CONTROL_TOGGLE;
    d.fOutX = 1;
    d.fInX = 1;
    d.XonLim = 7;
    d.XoffLim = 9;
    d.XonChar = 'a';
    d.XoffChar = 'b';
    d.ErrorChar = 'c';
    d.EofChar = 'd';
    d.EvtChar = 'e';
    d.fParity = d.fOutxCtsFlow = d.fOutxDsrFlow = d.fDsrSensitivity = 1;
    d.fTXContinueOnXoff = d.fErrorChar = d.fNull = d.fAbortOnError = 1;
    d.fBinary = 0;
    return d;
}

} // namespace

TEST(Win32Dcb, TheConvertersLineAndTheDefaults)
{
    // The program's settings: 4800 8N1, DTR inactive, RTS active, no options, XON/XOFF as it was.
    TLineConfig Program;
    Program.BaudRate = br4800;
    Program.DataBits = db8;
    Program.Parity = paNone;
    Program.StopBits = sb1;
    Program.DTR = dcDisable;
    Program.RTS = rcEnable;
    DCB d = DriverDcb();
    ASSERT_EQ(MapDcb(Program, d), 0u);
    EXPECT_EQ(d.BaudRate, 4800u);
    EXPECT_EQ(d.ByteSize, 8);
    EXPECT_EQ(d.Parity, NOPARITY);
    EXPECT_EQ(d.StopBits, ONESTOPBIT);
    EXPECT_EQ(d.fDtrControl, unsigned(DTR_CONTROL_DISABLE));
    EXPECT_EQ(d.fRtsControl, unsigned(RTS_CONTROL_ENABLE));
    EXPECT_EQ(d.fOutX, 1u);
    EXPECT_EQ(d.fInX, 1u);
    EXPECT_EQ(d.fBinary, 1u);
    EXPECT_EQ(d.fParity + d.fOutxCtsFlow + d.fOutxDsrFlow + d.fDsrSensitivity + d.fTXContinueOnXoff + d.fErrorChar
            + d.fNull + d.fAbortOnError,
        0u);
    EXPECT_EQ(LineLevelFunctions(Program), (std::vector<DWORD>{CLRDTR, SETRTS}));
    EXPECT_NEAR((duration<double, std::milli>(CharTime(d)).count()), 10.0 / 4.8, 0.001);

    // Every property at its default keeps the driver's line, but the characters, the limits, the
    // eight option flags and fBinary are always written.
    d = DriverDcb();
    ASSERT_EQ(MapDcb(TLineConfig{}, d), 0u);
    EXPECT_EQ(d.BaudRate, 38400u);
    EXPECT_EQ(d.ByteSize, 7);
    EXPECT_EQ(d.Parity, EVENPARITY);
    EXPECT_EQ(d.StopBits, TWOSTOPBITS);
    EXPECT_EQ(d.fDtrControl, unsigned(DTR_CONTROL_HANDSHAKE));
    EXPECT_EQ(d.fRtsControl, unsigned(RTS_CONTROL_TOGGLE));
    EXPECT_EQ(d.fOutX + d.fInX, 2u);
    EXPECT_EQ(d.XonChar, 17);
    EXPECT_EQ(d.XoffChar, 19);
    EXPECT_EQ(d.ErrorChar + d.EofChar + d.EvtChar, 0);
    EXPECT_EQ(d.XonLim + d.XoffLim, 0);
    EXPECT_EQ(d.fParity + d.fNull + d.fAbortOnError, 0u);
    EXPECT_EQ(d.fBinary, 1u);
    EXPECT_TRUE(LineLevelFunctions(TLineConfig{}).empty());
}

TEST(Win32Dcb, EachSettingMapsToItsField)
{
    TLineConfig c;
    c.BaudRate = brCustom;
    c.CustomBaudRate = 250000;
    c.DataBits = db5;
    c.Parity = paSpace;
    c.StopBits = sb1_5;
    c.DTR = dcHandshake;
    c.RTS = rcToggle;
    c.XOnXOff = xcInput;
    c.XOnLimit = 100;
    c.XOffLimit = 200;
    c.Options = {opCheckParity, opDiscardNullBytes, opAbortOnError};
    DCB d = DriverDcb();
    ASSERT_EQ(MapDcb(c, d), 0u);
    EXPECT_EQ(d.BaudRate, 250000u);
    EXPECT_EQ(d.ByteSize, 5);
    EXPECT_EQ(d.Parity, SPACEPARITY);
    EXPECT_EQ(d.StopBits, ONE5STOPBITS);
    EXPECT_EQ(d.fDtrControl, unsigned(DTR_CONTROL_HANDSHAKE));
    EXPECT_EQ(d.fRtsControl, unsigned(RTS_CONTROL_TOGGLE));
    EXPECT_EQ(d.fOutX, 0u);
    EXPECT_EQ(d.fInX, 1u);
    EXPECT_EQ(d.XonLim, 100);
    EXPECT_EQ(d.XoffLim, 200);
    EXPECT_EQ(d.fParity, 1u);
    EXPECT_EQ(d.fNull, 1u);
    EXPECT_EQ(d.fAbortOnError, 1u);
    EXPECT_EQ(d.fOutxCtsFlow + d.fOutxDsrFlow + d.fDsrSensitivity + d.fTXContinueOnXoff + d.fErrorChar, 0u);
    EXPECT_TRUE(LineLevelFunctions(c).empty()); // the driver drives handshake and toggle lines

    c.BaudRate = br115200;
    c.Parity = paMark;
    c.StopBits = sb2;
    c.XOnXOff = xcOutput;
    ASSERT_EQ(MapDcb(c, d), 0u);
    EXPECT_EQ(d.BaudRate, 115200u);
    EXPECT_EQ(d.Parity, MARKPARITY);
    EXPECT_EQ(d.StopBits, TWOSTOPBITS);
    EXPECT_EQ(d.fOutX, 1u);
    EXPECT_EQ(d.fInX, 0u);

    c.BaudRate = brCustom;
    c.CustomBaudRate = 0;
    EXPECT_EQ(MapDcb(c, d), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(Win32Timeouts, FromThePortsPropertiesAndForEachRead)
{
    // The program's limits: 100 ms per byte plus 100 ms, each way.
    TTimeoutConfig Program;
    Program.ReadMultiplier = Program.ReadConstant = Program.WriteMultiplier = Program.WriteConstant = 100;
    const COMMTIMEOUTS t = CommTimeoutsFrom(Program);
    EXPECT_EQ(t.ReadIntervalTimeout, 0u);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 100u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 100u);
    TTimeoutConfig Odd;
    Odd.ReadInterval = -1;
    EXPECT_EQ(CommTimeoutsFrom(Odd).ReadIntervalTimeout, MAXDWORD); // the driver reads them unsigned

    // A wait for input is a one-byte read ending at its byte or its constant; the write limits stay.
    const COMMTIMEOUTS w = WithReadWait(t, 250);
    EXPECT_EQ(w.ReadIntervalTimeout, 0u);
    EXPECT_EQ(w.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(w.ReadTotalTimeoutConstant, 250u);
    EXPECT_EQ(w.WriteTotalTimeoutMultiplier, 100u);
    EXPECT_EQ(w.WriteTotalTimeoutConstant, 100u);
    EXPECT_EQ(WithReadWait(t, INFINITE).ReadTotalTimeoutConstant, 0u); // no limit at all
    const COMMTIMEOUTS q = WithQueuedRead(t);
    EXPECT_EQ(q.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(q.ReadTotalTimeoutMultiplier + q.ReadTotalTimeoutConstant, 0u);

    EXPECT_EQ(WaitMilliseconds(nanoseconds(-1)), INFINITE);
    EXPECT_EQ(WaitMilliseconds(nanoseconds(0)), 1u);
    EXPECT_EQ(WaitMilliseconds(microseconds(1500)), 2u);
    EXPECT_EQ(WaitMilliseconds(milliseconds(800)), 800u);
    EXPECT_EQ(WaitMilliseconds(hours(24 * 60)), INFINITE - 1);
}

TEST(Win32Answers, LineErrorsModemLinesAndHowCallsEnded)
{
    EXPECT_EQ(LineErrorsFrom(CE_BREAK | CE_DNS | CE_FRAME | CE_IOE | CE_MODE | CE_OOP | CE_OVERRUN | CE_PTO | CE_RXOVER
                  | CE_RXPARITY | CE_TXFULL),
        TLineErrors({leBreak, leDeviceNotSelected, leFrame, leIO, leMode, leOutOfPaper, leOverrun, leTimeout,
            leRxOverflow, leRxParity, leTxFull}));
    EXPECT_EQ(LineErrorsFrom(CE_FRAME | 0x2000 | 0x4000), TLineErrors({leFrame}));
    EXPECT_TRUE(LineErrorsFrom(0x2000).Empty());
    EXPECT_EQ(ModemStatusFrom(MS_CTS_ON | MS_RLSD_ON), TModemStatus({msCTS, msRLSD}));

    // Reads: Windows ends one at its limit with success; wine fails one that got nothing.
    EXPECT_EQ(ClassifyReadEnd(true, 0, 3), TReadEnd::Data);
    EXPECT_EQ(ClassifyReadEnd(true, 0, 0), TReadEnd::TimedOut);
    EXPECT_EQ(ClassifyReadEnd(false, ERROR_TIMEOUT, 0), TReadEnd::TimedOut);
    EXPECT_EQ(ClassifyReadEnd(false, ERROR_SEM_TIMEOUT, 0), TReadEnd::TimedOut);
    EXPECT_EQ(ClassifyReadEnd(false, ERROR_OPERATION_ABORTED, 0), TReadEnd::Aborted);
    EXPECT_EQ(ClassifyReadEnd(false, ERROR_BROKEN_PIPE, 0), TReadEnd::DeviceGone);  // wine after a hang-up
    EXPECT_EQ(ClassifyReadEnd(false, ERROR_ACCESS_DENIED, 0), TReadEnd::DeviceGone); // adapter pulled out
    EXPECT_EQ(ClassifyReadEnd(false, ERROR_INVALID_PARAMETER, 0), TReadEnd::Failed);
    EXPECT_TRUE(IsDeviceGone(ERROR_NOT_READY)); // wine's ClearCommError and WriteFile after a hang-up
    // Error 31 alone is no lost cable: it is one only when a second call fails too.
    EXPECT_FALSE(IsDeviceGone(ERROR_GEN_FAILURE));
    EXPECT_TRUE(MayBeDeviceGone(ERROR_GEN_FAILURE));
    EXPECT_EQ(ClassifyReadEnd(false, ERROR_GEN_FAILURE, 0), TReadEnd::MaybeGone);
    EXPECT_EQ(ClassifyWaitEnd(false, ERROR_GEN_FAILURE, false), TWaitEnd::MaybeGone);

    // Event waits: 995 that the waiter did not cause is a cancelled wait, waited again.
    EXPECT_EQ(ClassifyWaitEnd(true, 0, false), TWaitEnd::Events);
    EXPECT_EQ(ClassifyWaitEnd(false, ERROR_OPERATION_ABORTED, false), TWaitEnd::Aborted);
    EXPECT_EQ(ClassifyWaitEnd(false, ERROR_OPERATION_ABORTED, true), TWaitEnd::Woken);
    EXPECT_EQ(ClassifyWaitEnd(false, ERROR_NOT_SUPPORTED, false), TWaitEnd::Unsupported);
    EXPECT_EQ(ClassifyWaitEnd(false, ERROR_ACCESS_DENIED, false), TWaitEnd::DeviceGone);
    EXPECT_EQ(ClassifyWaitEnd(false, ERROR_INVALID_HANDLE, false), TWaitEnd::Failed);

    // Modem status and DTR/RTS fail with 50 on a pseudo-terminal under wine: no lines, no failure.
    EXPECT_TRUE(IsLineNotSupported(ERROR_NOT_SUPPORTED));
    EXPECT_FALSE(IsLineNotSupported(ERROR_ACCESS_DENIED));

    const std::string Text = kvt::platform::SysErrorMessage(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(Text.empty());
    EXPECT_NE(Text.back(), '.');
    EXPECT_EQ(Text.find('\n'), std::string::npos);
    EXPECT_EQ(kvt::platform::SysErrorMessage(0x7FFFFF00), "System error 2147483392");
}

// A wait cancelled now and then is waited again; a driver that fails every wait at once is given
// up for sampling only after several in a row (wine on a pseudo-terminal).
TEST(Win32Waits, CancelledWaitsAreRestartedUntilTheyKeepFailingAtOnce)
{
    TWaitRestarts Restarts;
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(Restarts.Again(false)) << "a wait that had waited, ended by the driver";
    for (int i = 1; i < TWaitRestarts::AtOnceLimit; ++i)
        EXPECT_TRUE(Restarts.Again(true));
    Restarts.Succeeded();
    for (int i = 1; i < TWaitRestarts::AtOnceLimit; ++i)
        EXPECT_TRUE(Restarts.Again(true));
    EXPECT_TRUE(Restarts.Again(false)) << "a real wait in between starts the count anew";
    for (int i = 1; i < TWaitRestarts::AtOnceLimit; ++i)
        EXPECT_TRUE(Restarts.Again(true));
    EXPECT_FALSE(Restarts.Again(true));
}

// What a wait for the device waits on: never nothing while a write is held by the driver (a busy
// loop on the user-interface thread), and a plain sleep where nothing can end it early.
TEST(Win32Waits, AWaitForTheDeviceHasSomethingToWaitOn)
{
    auto Plan = [](bool In, bool ReadPending, bool Out, bool WritePending) {
        const TIoWaitPlan p = PlanIoWait(In, ReadPending, Out, WritePending);
        return std::string(p.Read ? "R" : "") + (p.Write ? "W" : "") + (p.Sleep ? "S" : "");
    };
    EXPECT_EQ(Plan(true, true, false, false), "R");
    EXPECT_EQ(Plan(true, true, true, true), "RW");
    EXPECT_EQ(Plan(true, true, false, true), "R");   // a reply is waited for, the request's rest moves on its own
    EXPECT_EQ(Plan(false, false, true, true), "W");
    EXPECT_EQ(Plan(false, false, false, true), "W"); // the write's end empties the queue waited for
    EXPECT_EQ(Plan(false, false, false, false), "S");
    EXPECT_EQ(Plan(true, false, true, false), "S");

    // Cancelled I/O that the driver never ends is given up after the limit, not waited for forever.
    HANDLE Event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED Held{};
    Held.hEvent = Event;
    const auto Start = steady_clock::now();
    EXPECT_FALSE(EndCancelledIo(INVALID_HANDLE_VALUE, Held, 200));
    const auto Waited = steady_clock::now() - Start;
    EXPECT_GE(Waited, milliseconds(150));
    EXPECT_LT(Waited, seconds(2));
    SetEvent(Event); // the driver ends it
    EXPECT_TRUE(EndCancelledIo(INVALID_HANDLE_VALUE, Held, 200));
    CloseHandle(Event);
}

TEST(Win32Ports, NamesTheListAndAPortThatIsNotThere)
{
    EXPECT_EQ(kvt::PortDeviceName(" COM3 "), "\\\\.\\COM3");
    EXPECT_EQ(kvt::PortDeviceName("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(kvt::PortDeviceName("\\\\.\\COM12"), "\\\\.\\COM12");
    EXPECT_EQ(kvt::PortDeviceName(" "), "");
    EXPECT_NE(kvt::PortOpenFailureDetail(ERROR_ACCESS_DENIED, "Access denied").find("Another program"), std::string::npos);
    EXPECT_NE(kvt::PortOpenFailureDetail(ERROR_FILE_NOT_FOUND, "Not found").find("not there"), std::string::npos);

    // The list: plain strings only, in the registry's order, empty data included.
    const std::wstring Key = L"Software\\kvt27-test-serialcomm";
    RegDeleteTreeW(HKEY_CURRENT_USER, Key.c_str());
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, Key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
        ERROR_SUCCESS);
    auto Set = [&](const wchar_t* Name, DWORD Type, const wchar_t* Data) {
        RegSetValueExW(k, Name, 0, Type, reinterpret_cast<const BYTE*>(Data),
            static_cast<DWORD>((wcslen(Data) + 1) * sizeof(wchar_t)));
    };
    // Named so that the order of creation and that of the names agree (wine lists by name).
    Set(L"\\Device\\Serial0", REG_SZ, L"COM3");
    Set(L"\\Device\\Serial1", REG_EXPAND_SZ, L"COM7");
    Set(L"\\Device\\Serial2", REG_SZ, L"");
    const DWORD Number = 5;
    RegSetValueExW(k, L"\\Device\\Serial3", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&Number), sizeof Number);
    Set(L"\\Device\\Serial4", REG_SZ, L"COM1");
    RegCloseKey(k);
    std::vector<std::string> Names{"first"};
    kvt::serial::EnumSerialPortsUnder(HKEY_CURRENT_USER, Key, Names);
    kvt::serial::EnumSerialPortsUnder(HKEY_CURRENT_USER, Key, Names);
    EXPECT_EQ(Names, (std::vector<std::string>{"first", "COM3", "", "COM1", "COM3", "", "COM1"}));
    // A value that vanished between listing and reading (a port removed meanwhile) is left out.
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Key.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
    Names.clear();
    kvt::serial::ReadPortValues(k, {L"\\Device\\Serial0", L"\\Device\\Gone", L"\\Device\\Serial4"}, Names);
    RegCloseKey(k);
    EXPECT_EQ(Names, (std::vector<std::string>{"COM3", "COM1"}));
    RegDeleteTreeW(HKEY_CURRENT_USER, Key.c_str());
    Names.clear();
    kvt::serial::EnumSerialPortsUnder(HKEY_CURRENT_USER, Key, Names);
    EXPECT_TRUE(Names.empty());

    // A port that no device has (above what wine maps): the system's code, nothing left open, and a
    // later open may try again.
    TComPort Port;
    Port.SetDeviceName("\\\\.\\COM300");
    try {
        Port.SetActive(true);
        FAIL() << "opened a port that is not there";
    } catch (const EComError& e) {
        EXPECT_EQ(e.ErrorCode(), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(e.what(), kvt::platform::SysErrorMessage(ERROR_FILE_NOT_FOUND));
    }
    EXPECT_FALSE(Port.Active());
    Port.PurgeInput(); // closed: nothing, no error
    EXPECT_THROW(Port.ModemStatus(), EComError);
}

// The device manager's names of a port, and the list: its ports, then those of the device map it
// lacks, by number.
TEST(Win32Ports, DescriptionsFromTheDeviceManagerAndTheListByNumber)
{
    using kvt::serial::PortDescription;
    EXPECT_EQ(PortDescription("USB Serial Port (COM5)", "USB Serial Port", "COM5"), "USB Serial Port");
    EXPECT_EQ(PortDescription("Prolific USB-to-Serial Comm Port (com12)", "", "COM12"), "Prolific USB-to-Serial Comm Port");
    EXPECT_EQ(PortDescription("Communications Port", "", "COM1"), "Communications Port");
    EXPECT_EQ(PortDescription("", "USB Serial Device", "COM3"), "USB Serial Device");
    EXPECT_EQ(PortDescription("COM3", "", "COM3"), "");

    using kvt::serial::SerialNumberFromInstanceId;
    EXPECT_EQ(SerialNumberFromInstanceId("USB\\VID_0403&PID_6001\\A50285BI"), "A50285BI");
    EXPECT_EQ(SerialNumberFromInstanceId("USB\\VID_067B&PID_2303\\5&2B3C4F0&0&2"), ""); // made up by the system
    EXPECT_EQ(SerialNumberFromInstanceId("FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000"), "A50285BIA");
    EXPECT_EQ(SerialNumberFromInstanceId("ACPI\\PNP0501\\1"), "");

    auto Port = [](const char* Name, const char* Description) {
        return kvt::TPortInfo{Name, Description, {}, {}, {}, {}, false, {}};
    };
    const auto Ports = kvt::serial::MergePorts({Port("COM10", "USB Serial Port"), Port("COM3", "Communications Port"),
                                                   Port("com3", "listed twice")},
        {"COM3", "COM27", "COM4", ""});
    std::vector<std::string> Shown;
    for (const auto& p : Ports)
        Shown.push_back(kvt::PortDisplayText(p));
    EXPECT_EQ(Shown, (std::vector<std::string>{"COM3 \u2014 Communications Port", "COM4", "COM10 \u2014 USB Serial Port", "COM27"}));
}

// A hang-up reaches OnLineError from the event thread while nothing is transferred. Each case
// needs a simulator that hangs up at its second frame on the port named by KVT_TEST_PORT
// (scripts/wine-test.sh runs one for each); skipped otherwise.
namespace {

void HangUpReachesOnLineError(bool WithRxChar)
{
    const char* Name = std::getenv("KVT_TEST_PORT");
    if (Name == nullptr)
        GTEST_SKIP() << "no simulator (KVT_TEST_PORT)";
    TComPort Port;
    Port.SetDeviceName(kvt::PortDeviceName(Name));
    Port.SetBaudRate(br4800);
    Port.SetDataBits(db8);
    Port.SetParity(paNone);
    Port.SetStopBits(sb1);
    Port.FlowControl().SetDTR(dcDisable);
    Port.FlowControl().SetRTS(rcEnable);
    Port.Timeouts().SetReadMultiplier(100);
    Port.Timeouts().SetReadConstant(100);
    Port.Timeouts().SetWriteMultiplier(100);
    Port.Timeouts().SetWriteConstant(100);
    std::mutex Lock;
    std::condition_variable Told;
    std::vector<TLineErrors> Seen;
    const int Before = TComThread::RunningCount();
    Port.SetActive(true);
    EXPECT_EQ(TComThread::RunningCount(), Before);
    if (WithRxChar)
        Port.SetOnRxChar([](TCustomComPort*) {});
    Port.SetOnLineError([&](TCustomComPort*, TLineErrors Errors) {
        std::lock_guard<std::mutex> Guard(Lock);
        Seen.push_back(Errors);
        Told.notify_all();
    });
    EXPECT_EQ(TComThread::RunningCount(), Before + 1);

    // One transaction through the backend: identify, and its seven-byte reply.
    const kvt::TFrame Identify = kvt::BuildSendFrame(kvt::CmdIdentify, 7, 0);
    Port.Write(Identify.data(), static_cast<int32_t>(Identify.size()), true);
    uint8_t Reply[7] = {};
    Port.Read(Reply, 7, true);
    EXPECT_EQ(Reply[0], kvt::CmdIdentify);
    EXPECT_EQ(Reply[3], 7);
    EXPECT_NO_THROW(Port.ModemStatus()); // no modem lines on a pseudo-terminal: empty, no failure

    // The second frame makes the simulator hang up; nobody waits for the write.
    Port.WriteString(std::string(Identify.begin(), Identify.end()));
    {
        std::unique_lock<std::mutex> Guard(Lock);
        ASSERT_TRUE(Told.wait_for(Guard, std::chrono::seconds(5), [&] { return !Seen.empty(); }));
        EXPECT_TRUE(Seen.front().Contains(leIO));
    }
    Port.SetOnLineError(nullptr);
    Port.SetOnRxChar(nullptr);
    Port.SetActive(false);
    EXPECT_EQ(Seen.size(), 1u); // one hang-up, one report
}

} // namespace

// The driver's own wait: wine's WaitCommEvent for EV_ERR ends with ERROR_NOT_READY at the hang-up.
TEST(Win32Line, AHangUpEndsTheDriversWait)
{
    HangUpReachesOnLineError(false);
}

// The thread starts for OnRxChar; assigning OnLineError changes the mask, which ends the running
// wait with 995 (wine). That is the waiter's own wake, not a driver that cannot wait: the new mask
// is waited for and the hang-up still comes through it.
TEST(Win32Line, AMaskChangedWhileWaitingThenAHangUp)
{
    HangUpReachesOnLineError(true);
}

// A write that the driver holds (the other end of the line reads nothing) is waited for without
// spinning: the process time stays far below the time waited. Needs KVT_TEST_HELD_PORT, a port
// whose other end never reads (scripts/wine-test.sh gives one); skipped otherwise.
TEST(Win32Line, AHeldWriteIsWaitedForWithoutSpinning)
{
    const char* Name = std::getenv("KVT_TEST_HELD_PORT");
    if (Name == nullptr)
        GTEST_SKIP() << "no held port (KVT_TEST_HELD_PORT)";
    TComPort Port;
    Port.SetDeviceName(kvt::PortDeviceName(Name));
    Port.SetBaudRate(br4800);
    Port.Timeouts().SetWriteConstant(2500);
    Port.SetActive(true);
    auto ProcessTime = [] {
        FILETIME Created, Exited, Kernel, User;
        GetProcessTimes(GetCurrentProcess(), &Created, &Exited, &Kernel, &User);
        auto Ns = [](const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime) * 100; };
        return nanoseconds(Ns(Kernel) + Ns(User));
    };
    const std::vector<uint8_t> Data(1 << 20, 0x55);
    const auto Cpu = ProcessTime();
    const auto Start = steady_clock::now();
    EXPECT_THROW(Port.Write(Data.data(), static_cast<int32_t>(Data.size()), true), EComError); // "Timeout"
    const auto Wall = steady_clock::now() - Start;
    const auto Used = ProcessTime() - Cpu;
    Port.SetActive(false);
    EXPECT_GE(Wall, seconds(2));
    std::cout << duration_cast<milliseconds>(Used).count() << " ms of processor time in "
              << duration_cast<milliseconds>(Wall).count() << " ms\n";
    EXPECT_LT(Used * 10, Wall);
}
