#pragma once

// Runs an event handler raised by the user. A run-time error that the handler does not handle
// itself is shown in a message box instead of taking the program down.

#include <functional>

namespace Events {
void raise(const std::function<void()>& handler);
}
