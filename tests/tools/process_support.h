// A program run as a user runs it: its stdout, stderr and exit status, with extra environment.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

struct TRun {
    int Status = -1; // the exit status, 128 + the signal for a program killed by one
    std::string Out;
    std::string Err;
};

// A running program, stdin /dev/null; killed by the destructor if it still runs. The descriptors
// in Closed (0, 1, 2) are closed when it starts.
class TChild {
public:
    TChild(const std::vector<std::string>& Argv, const std::vector<std::string>& Extra,
        const std::vector<int>& Closed = {}, bool InputPipe = false);
    ~TChild();
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    pid_t Pid() const { return FPid; }
    // One line of stdout, waiting at most Timeout.
    std::string ReadLine(std::chrono::milliseconds Timeout);
    // Closes the reading end of its stdout, as "| head" does when it has enough.
    void CloseOut();
    // With InputPipe: its stdin is a pipe, written and closed from here.
    void WriteIn(const std::string& Text);
    void CloseIn();
    // Collects everything and the exit status.
    TRun Wait(std::chrono::milliseconds Timeout = std::chrono::seconds(60));

private:
    bool Pump(int Ms);

    pid_t FPid = -1;
    int FOut = -1;
    int FErr = -1;
    int FIn = -1;
    std::string FOutText, FErrText;
};

// Argv run to its end, with Extra ("NAME=value") on top of this process's environment.
TRun RunProgram(const std::vector<std::string>& Argv, const std::vector<std::string>& Extra = {},
    const std::vector<int>& Closed = {});
