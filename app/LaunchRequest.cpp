#include "app/LaunchRequest.h"

#include <windows.h>
#include <objbase.h>

#include "system/Utf8.h"

const char kLaunchEventSwitch[] = "-launch-event";

namespace {

// In the session's namespace, which the elevated copy shares with its starter.
const char kEventPrefix[] = "Local\\VYN2005-launch-";

}  // namespace

LaunchRequestEvent::LaunchRequestEvent() {
    // A name nobody can guess, so no other program can have made it first.
    GUID guid = {};
    wchar_t text[40] = {};
    if (FAILED(CoCreateGuid(&guid)) || StringFromGUID2(guid, text, ARRAYSIZE(text)) == 0) return;
    const std::string name = kEventPrefix + Narrow(text);
    event_.reset(CreateEventW(nullptr, TRUE, FALSE, Widen(name).c_str()));
    if (event_ && GetLastError() == ERROR_ALREADY_EXISTS) event_.reset();
    if (event_) name_ = name;
}

bool LaunchRequestEvent::requested() const {
    return event_ && WaitForSingleObject(event_.get(), 0) == WAIT_OBJECT_0;
}

bool RequestLaunch(const std::string& name) {
    // Only an event of our own naming: the switch must not set anyone else's.
    if (name.compare(0, sizeof kEventPrefix - 1, kEventPrefix) != 0) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    UniqueKernelHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, Widen(name).c_str()));
    return event && SetEvent(event.get());
}
