// Deaths that run no teardown: fatal signals (a crash, an abort) and terminating signals nobody
// handles. A handler gives back what was taken and marks the instance stopped, then lets the
// signal take its course, so the exit status and core dump stay the signal's own.
#pragma once

// Installs the handler for every such signal whose disposition is the default.
void vexa_install_fatal_signal_handlers();
// What the handler cleans up besides the device: the status file of the metadata directory and
// the control socket (null: none). Copied; call again with nulls once they are gone.
void vexa_fatal_signal_paths(const char* metadir, const char* socket_path);
