// The fonts of the window. The platform's DejaVu faces stand in for the small Windows fonts the
// layout was drawn for; the pixel sizes are chosen so every caption of both languages shows whole.
#pragma once

#include <QFont>

namespace kvt::ui {

QFont WindowFont();       // every control
QFont BoldFont();         // the group captions of the first two tabs, the datalog value
QFont MeasValueFont();    // the measured value below the tabs
QFont SmallFont();        // the scale marks under the output bars
QFont VersionFont();      // the program version line beside the load progress bar
QFont HelpFont();         // the help text, fixed pitch

} // namespace kvt::ui
