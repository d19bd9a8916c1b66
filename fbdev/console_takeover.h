// Taking the chosen device over from the kernel's framebuffer console.
#pragma once

#include "runtime/runtime_api.h"

// Asks whether a program runs (the X server check); the runtime's procfs scan unless a test
// installs another.
extern int (*fbdev_program_running)(const char* path, procfs_path_in_use_info* info,
                                    unsigned long info_count, unsigned int max_pids);

// The X11 check, then takes the console when it sits on `index` and the setting allows it.
void take_console_if_needed(int index);
