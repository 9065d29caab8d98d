// The window's own texts for refusing a numeric range entry, Czech and English. "%1" and "%2"
// stand for the captions of the fields concerned.
#pragma once

namespace kvt::ui {

struct TEntryTexts {
    const char* FieldIncomplete[2];
    const char* RangeEmpty[2];
};

inline constexpr TEntryTexts EntryTexts = {
    {"Pole \xE2\x80\x9E%1\xE2\x80\x9C není úplně vyplněno. Zadejte číslo bez mezer mezi číslicemi.",
     "The field \"%1\" is empty or incomplete. Enter a number without gaps between its digits."},
    {"Pole \xE2\x80\x9E%1\xE2\x80\x9C a \xE2\x80\x9E%2\xE2\x80\x9C dávají stejnou hodnotu: rozsah by byl nulový. Nic nebylo uloženo.",
     "\"%1\" and \"%2\" give the same value: the range would be empty. Nothing was stored."},
};

} // namespace kvt::ui
