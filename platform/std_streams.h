// The standard streams of a program started with some of them closed. Any descriptor opened
// later would take the lowest free number: a serial port on 1 or 2 would get the results and
// messages meant for the user, and send them to the converter.
#pragma once

namespace kvt::platform {

// Which standard streams were closed when the program started.
struct TClosedStreams {
    bool In = false;
    bool Out = false;
    bool Err = false;
};

// Puts /dev/null on each of descriptors 0, 1 and 2 that is closed and says which were closed.
// Called first in main, before anything opens a descriptor. On Windows ports and files are
// handles that never become a standard stream: nothing is done there and nothing is reported.
TClosedStreams OpenClosedStandardStreams() noexcept;

#ifndef _WIN32
// Keeps a descriptor that must never be taken for a standard stream off 0, 1 and 2: Fd itself when
// it is above 2 (or negative), otherwise a close-on-exec copy above 2, and Fd is closed. -1 with
// errno set when no copy can be made.
int KeepOffStandardStreams(int Fd) noexcept;
#endif

} // namespace kvt::platform
