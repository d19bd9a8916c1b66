// Shutdown signals.
#pragma once

// Each asks for an orderly stop; the tenth aborts at once.
void driver_on_signal(int signal_number);
