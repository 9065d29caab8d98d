// A text of the window in its two languages, and the one way the window turns the program's
// UTF-8 literals into Qt's strings.
#pragma once

#include <QString>

#include <string_view>

namespace kvt::ui {

constexpr int LangCzech = 0;
constexpr int LangEnglish = 1;

// UTF-8 text of the program (a literal, a text of signal/ or protocol/) as Qt shows it.
inline QString Utf8(std::string_view Text)
{
    return QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
}

struct TLangText {
    const char* Czech; // UTF-8
    const char* English;
    // The text in Lang; anything but LangEnglish is Czech.
    QString In(int Lang) const { return Utf8(Lang == LangEnglish ? English : Czech); }
};

} // namespace kvt::ui
