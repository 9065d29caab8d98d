#include "serial/comlog.h"
#include "platform/sysfile.h"

#include <cerrno>
#include <cstdio>
#include <mutex>

namespace kvt::serial {

std::string FormatLogData(const void* Data, int32_t Length)
{
    static const char Hex[] = "0123456789ABCDEF";
    std::string Text;
    if (Data == nullptr || Length <= 0)
        return Text;
    auto Bytes = static_cast<const uint8_t*>(Data);
    Text.reserve(static_cast<size_t>(Length) * 5);
    for (int32_t i = 0; i < Length; ++i) {
        if (i > 0)
            Text += ", ";
        Text += '$';
        Text += Hex[Bytes[i] >> 4];
        Text += Hex[Bytes[i] & 0x0F];
    }
    return Text;
}

std::string FormatLogTime(std::time_t Time)
{
    std::tm Local{};
    if (!kvt::platform::LocalTime(Time, Local))
        return {};
    char Buffer[128];
    size_t n = std::strftime(Buffer, sizeof Buffer, "%x %X", &Local);
    return std::string(Buffer, n);
}

std::string FormatLogLine(const std::string& TimeText, const std::string& Message, const void* Data,
    int32_t Length)
{
    return TimeText + " " + Message + FormatLogData(Data, Length) + "\r\n";
}

int AppendLogLine(const std::string& FileName, const std::string& Message, const void* Data, int32_t Length)
{
    // One line at a time, also when an unsynchronised event thread logs beside a transfer.
    static std::mutex Lock;
    std::lock_guard<std::mutex> Guard(Lock);

    std::FILE* File = kvt::platform::OpenFileUtf8(FileName, "ab");
    if (File == nullptr)
        return errno != 0 ? errno : EIO;
    const std::string Parts[] = {FormatLogTime(std::time(nullptr)) + " ", Message, FormatLogData(Data, Length),
        "\r\n"};
    int Error = 0;
    for (const std::string& Part : Parts) {
        if (Part.empty())
            continue;
        if (std::fwrite(Part.data(), 1, Part.size(), File) != Part.size() || std::fflush(File) != 0) {
            Error = errno != 0 ? errno : EIO;
            break;
        }
    }
    if (std::fclose(File) != 0 && Error == 0)
        Error = errno != 0 ? errno : EIO;
    return Error;
}

} // namespace kvt::serial
