// The window's own texts for refusing a numeric range entry, Czech and English. "%1" and "%2"
// stand for the captions of the fields concerned.
#pragma once

#include "ui/langtext.h"

namespace kvt::ui {

inline constexpr TLangText FieldIncompleteText = {
    "Pole \xE2\x80\x9E%1\xE2\x80\x9C není úplně vyplněno. Zadejte číslo bez mezer mezi číslicemi.",
    "The field \"%1\" is empty or incomplete. Enter a number without gaps between its digits."};
inline constexpr TLangText RangeEmptyText = {
    "Pole \xE2\x80\x9E%1\xE2\x80\x9C a \xE2\x80\x9E%2\xE2\x80\x9C dávají stejnou hodnotu: rozsah by byl nulový. Nic nebylo uloženo.",
    "\"%1\" and \"%2\" give the same value: the range would be empty. Nothing was stored."};

} // namespace kvt::ui
