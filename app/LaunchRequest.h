#pragma once
// The elevated copy of an install does not start the application itself: it
// tells the non-elevated process that started it whether the user asked for
// the launch, and that process starts it with the user's own rights. The
// starter makes a named event under a fresh name and hands the name over on
// the copy's command line; the copy sets it. The event carries one bit and
// nothing else: what to start is read from the registry by the starter.
#include <string>

#include "system/UniqueHandle.h"

extern const char kLaunchEventSwitch[];  // "-launch-event NAME"

// The starter's side: the event, made when this is constructed.
class LaunchRequestEvent {
public:
    LaunchRequestEvent();
    // False when no event could be made (or its name was already taken).
    bool valid() const { return event_.valid(); }
    const std::string& name() const { return name_; }
    // True once the copy has asked for the launch.
    bool requested() const;

private:
    UniqueKernelHandle event_;
    std::string name_;
};

// The copy's side: sets the event `name` names. False when the name is not
// one a starter makes or the event cannot be opened.
bool RequestLaunch(const std::string& name);
