#include "test_build/fault_switch.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "runtime/extra_switches.h"
#include "runtime/fault_points.h"
#include "runtime/runtime_api.h"

namespace {
std::set<std::string>& faults() {
    static std::set<std::string> names;
    return names;
}

bool in_force(const char* name) { return faults().count(name) != 0; }

int handle_switch(char* arg) {
    if (std::strcmp(arg, "fault") != 0) return 0;
    const char* value = vexa_next_arg();
    if (value == nullptr) {
        std::fprintf(stderr, "--%s needs a value\n", arg);
        return -1;
    }
    vexa_fault_add(value);
    return 1;
}

const vexa_extra_switches fault_switch{
    handle_switch,
    " --fault <name>           testing aid: make a start-up step fail (cnb, lockfd, cache,\n"
    "                          selftest, realtime, mlock)\n",
};
}  // namespace

void vexa_fault_add(const char* name) {
    if (name == nullptr) return;
    faults().insert(name);
    vexa_fault_hook_install(in_force);
}

void vexa_fault_clear() { faults().clear(); }

void vexa_fault_switch_install() { vexa_argv_set_extra_switches(&fault_switch); }
