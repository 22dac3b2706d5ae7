#pragma once
// A desktop notification from the command line: the same message the window
// raises, sent to the freedesktop notification service on the session bus.
// Waits at most 2 s for the service; without one it says so on stderr.
//
// Usage: notify_desktop(title, body, form);

#include "cli/cli_form.h"

namespace cli {

void notify_desktop(const app::Text& title, const app::Text& body, const CliForm& form);

}  // namespace cli
