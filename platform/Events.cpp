#include "platform/Events.h"

#include "platform/Desktop.h"
#include "platform/RuntimeError.h"

#include <new>

namespace Events {

void raise(const std::function<void()>& handler) {
    if (!handler)
        return;
    try {
        handler();
    } catch (const RuntimeError& error) {
        MsgBox(error.description(), MsgBoxStyle::Exclamation);
    } catch (const std::bad_alloc&) {
        MsgBox(RuntimeError::describe(ErrorNumber::OutOfMemory), MsgBoxStyle::Exclamation);
    }
}

} // namespace Events
