// Standard input while a command holds something for the user: Enter, or the input's end.
#pragma once

namespace kvt::ctl {

enum class TInputEvent {
    Nothing, // nothing within the time (or a line still being typed)
    Line,    // a line ended: Enter
    End,     // the input's end: Ctrl-D, a closed pipe, an empty file
};

// Waits at most Ms milliseconds for standard input; what was typed is taken and dropped.
TInputEvent WaitForInput(int Ms);

} // namespace kvt::ctl
