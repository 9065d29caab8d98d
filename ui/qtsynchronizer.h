// Hands the serial component's event-thread dispatches to the Qt user-interface thread.
#pragma once

#include <functional>

namespace kvt::ui {

// Runs Call on the thread of the application object and returns when it has run there; an
// exception it raises is raised again in the caller. Called on that thread itself, it runs Call
// directly. When the application ends while a call is waiting, the call is dropped and the
// waiting thread goes on.
void RunOnGuiThread(const std::function<void()>& Call);

// Makes RunOnGuiThread the serial component's synchronizer. Needs the application object.
void InstallQtSynchronizer();

} // namespace kvt::ui
