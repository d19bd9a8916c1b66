// Settings from the configuration file, one name=value a line.
#pragma once

// Reads name=value lines from the file. 0 once the file is open, -1 when it cannot be opened (then
// nothing is changed).
int load_render_config(const char* path);
// Applies one setting other than "item". Settings that only take effect at start-up ("realtime
// process", "lock memory") are ignored unless from_file is set.
void apply_render_setting(const char* name, const char* value, bool from_file);
