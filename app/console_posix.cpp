#include "app/console.h"

namespace kvt::app {

void UseParentConsole()
{
}

} // namespace kvt::app
