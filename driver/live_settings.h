// Settings changed while the driver runs, through the control socket.
#pragma once

#include <string>

// The live-setting hook: a new "item" restarts the display loop with it; any other setting is
// applied as from the file, start-up-only ones aside.
void driver_on_set(void* context, const char* name, const std::string& value);
