// kvt27-sim's settings from the command line and from a key = value file. Every option has the
// same key in the file: "--firmware 1300000000" and "firmware = 1300000000" do the same.
#pragma once

#include "tools/sim/converter.h"
#include "tools/sim/simulator.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kvt::sim {

struct TSimSetup {
    TConverterConfig Converter;
    TFaults Faults;
    bool Trace = false;
    bool Help = false;
    bool Version = false;
    std::string Link;  // a symbolic link to create to the device
    bool Register = true;  // list the device for the program and kvt27ctl while running
};

class TSimOptionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Collects options and config files, then builds the setup: the model's default words first,
// then every word given, whatever the order of the options.
class TSimOptions {
public:
    // One setting; throws TSimOptionError with a readable message.
    void Apply(const std::string& Key, const std::string& Value);
    // A config file: "key = value" lines, "#" starts a comment, an optional UTF-8 byte-order
    // mark; at most 1 MiB, a regular file. A file may include others ("config = FILE") but not
    // itself. Throws TSimOptionError naming the file and the line.
    void LoadFile(const std::string& Path);
    void ParseText(const std::string& Text, const std::string& Origin);
    // argv without the program name.
    void ParseArgs(const std::vector<std::string>& Args);
    TSimSetup Build() const;

private:
    struct TLoading {
        uint64_t Device;
        uint64_t Inode;
        std::string Name;
    };
    TSimSetup FSetup;
    std::vector<std::pair<uint8_t, uint16_t>> FWords;
    std::vector<TLoading> FLoading; // the config files being read, outermost first
};

TSimSetup ParseSimArgs(const std::vector<std::string>& Args);

std::string SimHelpText();

} // namespace kvt::sim
