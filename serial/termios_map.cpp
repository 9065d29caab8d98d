#include "serial/termios_map.h"

#include <cerrno>
#include <optional>

namespace kvt::serial {

namespace {

struct TSpeed {
    uint32_t Rate;
    speed_t Code;
};
const TSpeed StandardSpeeds[] = {{50, B50}, {75, B75}, {110, B110}, {134, B134}, {150, B150}, {200, B200},
    {300, B300}, {600, B600}, {1200, B1200}, {1800, B1800}, {2400, B2400}, {4800, B4800}, {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
    {460800, B460800}, {500000, B500000}, {576000, B576000}, {921600, B921600}, {1000000, B1000000},
    {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000},
    {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000}};

std::optional<speed_t> StandardSpeed(uint32_t Rate)
{
    for (const TSpeed& s : StandardSpeeds)
        if (s.Rate == Rate)
            return s.Code;
    return std::nullopt;
}

} // namespace

int MapLineSettings(const TLineConfig& C, termios& T, uint32_t& CustomRate)
{
    // fBinary (always set): raw bytes both ways, no line editing, echo, signals, CR/LF
    // translation or output processing. XON/XOFF is part of that cooked set on Linux and is
    // switched on in a fresh terminal, where it would swallow frame bytes 11h and 13h; so it
    // starts off here and only XOnXOff turns it on (xcDefault therefore means off).
    T.c_iflag &= ~(IGNBRK | BRKINT | IGNPAR | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON | IXOFF
        | IXANY | IMAXBEL | IUTF8);
    T.c_oflag &= ~OPOST;
    T.c_lflag &= ~(ISIG | ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE | IEXTEN | NOFLSH
        | TOSTOP);
    // The receiver is on and the modem status lines do not gate the data (a carrier loss does
    // not hang the port up).
    T.c_cflag |= CREAD | CLOCAL;
    // Together with O_NONBLOCK: an empty queue gives EAGAIN, so a read of 0 bytes is a hang-up.
    T.c_cc[VMIN] = 1;
    T.c_cc[VTIME] = 0;

    CustomRate = 0;
    if (C.BaudRate != brDefault) {
        int32_t Rate = C.BaudRate == brCustom ? C.CustomBaudRate : BaudRateValue(C.BaudRate);
        if (Rate <= 0)
            return EINVAL;
        if (auto Code = StandardSpeed(static_cast<uint32_t>(Rate))) {
            ::cfsetispeed(&T, *Code);
            ::cfsetospeed(&T, *Code);
        } else {
            CustomRate = static_cast<uint32_t>(Rate);
        }
    }

    switch (C.DataBits) {
    case dbDefault: break;
    // termios has no size below 5 bits; the driver's refusal is what Win-style drivers give too.
    case db4: return EINVAL;
    case db5: T.c_cflag = (T.c_cflag & ~CSIZE) | CS5; break;
    case db6: T.c_cflag = (T.c_cflag & ~CSIZE) | CS6; break;
    case db7: T.c_cflag = (T.c_cflag & ~CSIZE) | CS7; break;
    case db8: T.c_cflag = (T.c_cflag & ~CSIZE) | CS8; break;
    }

    switch (C.Parity) {
    case paDefault: break;
    case paNone: T.c_cflag &= ~(PARENB | PARODD | CMSPAR); break;
    case paOdd: T.c_cflag = (T.c_cflag & ~CMSPAR) | PARENB | PARODD; break;
    case paEven: T.c_cflag = (T.c_cflag & ~(PARODD | CMSPAR)) | PARENB; break;
    case paMark: T.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case paSpace: T.c_cflag = (T.c_cflag & ~PARODD) | PARENB | CMSPAR; break;
    }

    switch (C.StopBits) {
    case sbDefault: break;
    case sb1: T.c_cflag &= ~CSTOPB; break;
    case sb2: T.c_cflag |= CSTOPB; break;
    // A UART sends 1.5 stop bits for CSTOPB at 5 data bits; with larger characters there is no
    // such setting, and the request is refused.
    case sb1_5:
        if ((T.c_cflag & CSIZE) != CS5)
            return EINVAL;
        T.c_cflag |= CSTOPB;
        break;
    }

    // Options, always written:
    // - opCheckParity: INPCK. A byte with a parity error then arrives as NUL, the only
    //   replacement termios has (Characters.Error cannot be chosen); opUseErrorChar adds nothing.
    //   Parity errors are reported as line errors only with this option, as with fParity.
    // - opOutputCTSFlow: CRTSCTS, which Linux couples with RTS input handshake (rcHandshake).
    // - opOutputDSRFlow, opDSRSensitivity: Linux has no DSR flow control or DSR gating; no effect.
    // - opTXContinueOnXOff: Linux always goes on sending after it has sent XOFF; no effect.
    // - opDiscardNullBytes: done by the port's read, not the driver.
    // - opAbortOnError: no equivalent; transfers are not aborted by line errors.
    if (C.Options.Contains(opCheckParity))
        T.c_iflag |= INPCK;
    else
        T.c_iflag &= ~INPCK;
    if (C.Options.Contains(opOutputCTSFlow) || C.RTS == rcHandshake)
        T.c_cflag |= CRTSCTS;
    else
        T.c_cflag &= ~CRTSCTS;

    // XOnXOff: fOutX (stop sending on XOFF) is IXON, fInX (send XOFF when the input fills) IXOFF.
    // XOnLimit and XOffLimit have no equivalent: the tty layer uses its own thresholds.
    if (C.XOnXOff == xcOutput || C.XOnXOff == xcInputOutput)
        T.c_iflag |= IXON;
    if (C.XOnXOff == xcInput || C.XOnXOff == xcInputOutput)
        T.c_iflag |= IXOFF;

    // Characters, always written: XOn and XOff as START and STOP, Eof as EOF (used only by
    // cooked mode). Error and Event have no termios place: see opCheckParity and OnRxFlag.
    T.c_cc[VSTART] = static_cast<cc_t>(C.XOn);
    T.c_cc[VSTOP] = static_cast<cc_t>(C.XOff);
    T.c_cc[VEOF] = static_cast<cc_t>(C.Eof);
    return 0;
}

} // namespace kvt::serial
