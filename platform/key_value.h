// The "key = value" lines of the program's configuration files and the simulator's config.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvt::platform {

// Text without the blanks (space, tab, CR, LF) at either end.
std::string Trim(std::string_view Text);

// A line that says something.
struct TKeyValueLine {
    int Number = 0;        // counted from 1 over every line of the text
    std::string Key;       // trimmed; the whole line when it has no '='
    std::string Value;     // trimmed, after the first '='
    bool HasValue = false; // the line has an '='
};

// The lines of Text in order, each without its comment ('#' to the end of the line); lines with
// nothing but blanks and a comment are left out. What a key or a value may be is the caller's.
std::vector<TKeyValueLine> KeyValueLines(std::string_view Text);

} // namespace kvt::platform
