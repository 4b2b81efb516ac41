#pragma once
#include <string>

namespace kirvo {

// Shows a notification through the desktop's notification service
// (freedesktop.org, with notify-send) when a session bus is there to reach
// it. False when it was not shown: no bus, no notify-send, no service. Takes
// a few seconds at most and never fails otherwise.
bool ShowDesktopNotification(const std::string& title, const std::string& body);

}  // namespace kirvo
