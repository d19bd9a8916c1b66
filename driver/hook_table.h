// Which driver functions the runtime calls back.
#pragma once

// Points the runtime's four hook pointers at the driver's hooks (report, reset, async message,
// set, in that order).
void install_driver_hooks();
// The reset hook as installed in the runtime (normally driver_on_reset_media_item).
void call_reset_hook();
