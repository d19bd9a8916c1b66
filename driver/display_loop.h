// The display loop: connection cycles, and one frame drawn per inner iteration.
#pragma once

#include <cstdint>

// Returns only once a shutdown was requested (DIE4 non-zero).
void run_display_loop();

extern uint64_t next_autostart_at;  // time of the next autostart attempt (us)
