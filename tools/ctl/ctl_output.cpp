// kvt27ctl output: the loop test.
#include "tools/ctl/ctl_command.h"

#include "model/loop_test.h"
#include "platform/text_file.h"
#include "tools/ctl/ctl_input.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace kvt::ctl {

namespace {

using Clock = std::chrono::steady_clock;

// Seconds, whole or with a point: 0.1 s .. 24 h.
Clock::duration ParseHold(const std::string& Text)
{
    char* end = nullptr;
    const double s = std::strtod(Text.c_str(), &end);
    if (Text.empty() || *end != '\0' || !std::isfinite(s) || s < 0.1 || s > 86400)
        throw ECtlError(ExitUsage, "--hold: expected seconds 0.1..86400, got " + MessageQuote(Text));
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}

} // namespace

int OutputCommand(const TCommandEnv& Env)
{
    const std::string& text = Env.Positional[0];
    std::string why;
    const std::optional<TLoopValue> value = ParseLoopValue(text, why);
    if (!value)
        throw ECtlError(ExitUsage, MessageQuote(text) + " " + why);
    const bool hold = Env.Values.count("--hold") != 0;
    const Clock::duration holdTime = hold ? ParseHold(Env.Values.at("--hold")) : Clock::duration::zero();

    TCtlSession& s = Env.Connect(true);
    const TLoopPlan plan = PlanLoopValue(*value, s.Settings(), s.Model().OutCodeMax());
    if (plan.Refusal == TLoopPlan::TRefusal::OutOfRange)
        throw ECtlError(ExitUsage, MessageQuote(text) + " " + plan.Why + "; nothing was driven");
    if (plan.Refusal == TLoopPlan::TRefusal::Refused)
        throw ECtlError(ExitRefused, plan.Why + "; nothing was driven");

    TLoopTest loop(s.Model());
    std::string ended;
    int status = ExitOk;
    // Whatever ends the test from here on, the output is given back while the line can take it.
    try {
        const TOutcome driven = loop.Drive(plan);
        if (!driven.Ok())
            s.Fail(driven);
        Env.Print("driving " + LoopValueText(plan) + ", code " + std::to_string(plan.Code) + ", on " + s.Device() + "\n");
        Env.Context.Err << "kvt27ctl: Enter ends the loop test" << (hold ? " before the time" : "") << "\n";
        Env.Context.Err.flush();
        // An input at its end from the start (/dev/null) ends nothing when a time is given.
        const bool noInput = hold && WaitForInput(0) == TInputEvent::End;
        const auto until = hold ? Clock::now() + holdTime : Clock::time_point::max();
        for (;;) {
            if (const int signal = Env.Stopped()) {
                ended = "stopped by " + StopSignalName(signal);
                status = 128 + signal;
                break;
            }
            const auto now = Clock::now();
            if (now >= until) {
                ended = "the time is up";
                break;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
            const int step = static_cast<int>(std::min<long long>(left + 1, 100));
            TInputEvent e = TInputEvent::Nothing;
            if (noInput)
                std::this_thread::sleep_for(std::chrono::milliseconds(step));
            else
                e = WaitForInput(step);
            if (e == TInputEvent::Line) {
                ended = "Enter";
                break;
            }
            if (e == TInputEvent::End) {
                ended = "the end of the input";
                break;
            }
        }
    } catch (...) {
        if (loop.Driven()) {
            const TOutcome released = loop.Release();
            if (!released.Ok())
                Env.Context.Err << "kvt27ctl: the output could not be released: " << s.FailureText(released)
                                << "; the converter may still drive it\n";
            else
                Env.Context.Err << "kvt27ctl: the output was released\n";
        }
        throw;
    }
    const TOutcome released = loop.Release();
    if (!released.Ok()) {
        Env.Context.Err << "kvt27ctl: " << ended << "; the output could not be released: " << s.FailureText(released)
                        << "; the converter may still drive it\n";
        return ExitNoAnswer;
    }
    if (status != ExitOk) {
        Env.Context.Err << "kvt27ctl: " << ended << "; the output was released\n";
        return status;
    }
    Env.Print("released the output (" + ended + ")\n");
    return ExitOk;
}

} // namespace kvt::ctl
