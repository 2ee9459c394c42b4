// A desktop notification: the little message a desktop shows in its corner (and keeps in its
// list), sent to the session's notification service (org.freedesktop.Notifications) over the
// D-Bus session bus. A run started from a file manager has no terminal, so this is how its user
// learns how the run went.
//
// Sending never fails loudly: no session bus, no notification service, or a service that does
// not answer within a second means no notification, and nothing else changes. No bus is ever
// started for it. The bus is the session's (DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus).
//
//     platform::desktop::Notify("DUDEZ: all converted", "dudez: 2 names, 2 converted ...");
#pragma once

#include <string>

namespace platform::desktop {

// Sends the notification; true when the service took it.
bool Notify(const std::string& summary, const std::string& body);

} // namespace platform::desktop
