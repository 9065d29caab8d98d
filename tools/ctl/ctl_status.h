// kvt27ctl's exit statuses and the error that carries one up to the command line.
#pragma once

#include <stdexcept>
#include <string>

namespace kvt::ctl {

enum TExitStatus : int {
    ExitOk = 0,
    ExitFailure = 1,      // a file could not be written, or another failure
    ExitUsage = 2,        // a bad argument, a value out of its range, a file that does not parse
    ExitPortOpen = 3,     // the port cannot be opened
    ExitNoAnswer = 4,     // the converter does not answer, or the line failed
    ExitNotConverter = 5, // something answers, but not a KVT27 or KVT27L
    ExitRefused = 6,      // the converter's model or configuration does not allow it
    ExitInterrupted = 130 // stopped by Ctrl-C or SIGTERM
};

class ECtlError : public std::runtime_error {
public:
    ECtlError(int Status, const std::string& Message) : std::runtime_error(Message), FStatus(Status) {}
    int Status() const noexcept { return FStatus; }

private:
    int FStatus;
};

} // namespace kvt::ctl
