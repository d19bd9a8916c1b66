// Switches beyond the standard ones. A test build of the driver adds its own here, so the shipped
// driver neither takes nor lists them.
#pragma once

struct vexa_extra_switches {
    // Called with a switch name the standard ones do not take: > 0 handled, < 0 malformed (value
    // missing), 0 not one of these. It takes a switch's value with vexa_next_arg.
    int (*handle)(char* arg);
    const char* help;  // lines printed after the standard help
};

// Adds the switches (null removes them).
void vexa_argv_set_extra_switches(const vexa_extra_switches* extra);
