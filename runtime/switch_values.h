// Values of the standard switches that only the derivation reads.
#pragma once

extern const char* vexa_meta_switch;  // --meta DIR, null when not given
extern const char* vexa_sock_switch;  // --sock PATH, null when not given
