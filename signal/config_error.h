// Why a configuration file, or a value for a settings word, cannot be used.
#pragma once

#include <stdexcept>
#include <string>

namespace kvt {

enum class TConfigFault {
    BadValue,    // the file does not parse, or a value lies outside what it may be
    Refused,     // this converter's model or configuration cannot take it
    CannotRead,  // the file cannot be read
    CannotWrite, // the file cannot be written
};

class EConfigError : public std::runtime_error {
public:
    EConfigError(TConfigFault Fault, const std::string& Message) : std::runtime_error(Message), Fault(Fault) {}
    TConfigFault Fault;
};

// What CheckWordValue finds.
enum class TValueCheck { Ok, BadValue, Refused };

} // namespace kvt
