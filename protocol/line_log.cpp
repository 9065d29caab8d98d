#include "protocol/line_log.h"

#include "protocol/converter_session.h"
#include "protocol/frame_text.h"
#include "serial/sysfile.h"

#include <cstdio>
#include <ctime>

namespace kvt {

namespace {

// "12:04:31.207", in local time.
std::string TimeText(std::chrono::system_clock::time_point T)
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(T.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    serial::LocalTime(seconds, local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(ms % 1000));
    return text;
}

} // namespace

std::vector<std::string> TraceLines(const TExchange& X)
{
    std::vector<std::string> lines;
    const std::string time = TimeText(X.Started);
    if (X.LineOnly) {
        if (!X.Reply.empty())
            lines.push_back(time + "  <  " + HexBytes(X.Reply) + "  late, dropped");
        lines.push_back(time + "  !  " + TOutcome::Of(X).Describe());
        return lines;
    }
    lines.push_back(time + "  >  " + HexBytes(X.Request) + "  " + DescribeRequest(X.Request));
    const bool read = X.ExpectsReply && !X.Reply.empty() && (X.Fault == TFault::None || X.Fault == TFault::BadCrc
                                                              || X.Fault == TFault::WrongEcho);
    if (read) {
        const TFrame reply = FrameFromString(X.Reply);
        lines.push_back(time + "  <  " + HexBytes(reply) + "  " + DescribeReply(reply, X.Request[0]) +
                        (X.ElapsedMs >= 0 ? "   (" + std::to_string(X.ElapsedMs) + " ms)" : ""));
    }
    if (X.Fault != TFault::None)
        lines.push_back(time + "  !  " + TOutcome::Of(X).Describe());
    return lines;
}

void TLineLog::Add(const TExchange& X)
{
    if (FCapacity == 0)
        return;
    if (FItems.size() == FCapacity)
        FItems.pop_front();
    FItems.push_back(X);
    ++FTotal;
}

void TLineLog::Clear()
{
    FItems.clear();
}

std::vector<std::string> TLineLog::Lines(std::size_t From) const
{
    std::vector<std::string> lines;
    for (std::size_t i = From; i < FItems.size(); ++i)
        for (std::string& l : TraceLines(FItems[i]))
            lines.push_back(std::move(l));
    return lines;
}

std::string TLineLog::Text() const
{
    std::string text;
    for (const std::string& l : Lines())
        text += l + "\n";
    return text;
}

} // namespace kvt
