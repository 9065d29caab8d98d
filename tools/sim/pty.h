// A pseudo-terminal whose slave side is a raw serial line for a client program.
#pragma once

#include <string>

namespace kvt::sim {

class TPseudoTerminal {
public:
    TPseudoTerminal() = default;
    ~TPseudoTerminal();
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

    // Creates the pair and puts the line into raw mode; throws std::runtime_error.
    void Open();
    // Closes both sides: a client that has the slave open sees a hang-up.
    void Close();

    bool IsOpen() const { return FMaster >= 0; }
    int Master() const { return FMaster; }  // non-blocking
    const std::string& SlavePath() const { return FSlavePath; }

private:
    int FMaster = -1;
    // Held open for the whole life of the line: the termios settings (raw, no echo) then survive a
    // client's close and re-open, and the master does not see a hang-up between clients.
    int FSlaveHold = -1;
    std::string FSlavePath;
};

} // namespace kvt::sim
