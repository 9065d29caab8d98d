// The settings as the technician reads them, word by word and in engineering units, in the
// window's language: for the questions before a configuration or the settings as found are
// written, and for the work record.
#pragma once

#include "protocol/device_settings.h"
#include "signal/config_file.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

namespace kvt::ui {

// A number of a configuration file ("4.000", "-5.250") with the language's decimal separator.
QString LangNumber(const QString& Plain, int Lang);

// The caption of a writable settings word ("Počátek vstupu" / "Input range begin").
QString WordCaption(uint8_t Address, int Lang);

// The meaning of the word at Address in Settings, in engineering units: a kind, a range value with
// its unit (converted with the settings' own calibration and the kind in force), a filter, a
// reaction. Empty when it has none (an unknown kind).
QString WordMeaningText(uint8_t Address, const TDeviceSettings& Settings, int Lang);

// One line per planned write that writes: "Počátek vstupu: 4,000 mA → 0,000 mA   (InZero 10000 →
// 0)", old values from Before, new ones from Before with every write of Plan made.
QStringList ChangeLines(const std::vector<TPlannedWrite>& Plan, const TDeviceSettings& Before, int Lang);

} // namespace kvt::ui
