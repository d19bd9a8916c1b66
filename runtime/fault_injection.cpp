#include "runtime/fault_injection.h"

#include <set>
#include <string>

namespace {
std::set<std::string>& faults() {
    static std::set<std::string> names;
    return names;
}
}  // namespace

bool vexa_fault(const char* name) { return name && faults().count(name) != 0; }

void vexa_fault_add(const char* name) {
    if (name) faults().insert(name);
}

void vexa_fault_clear() { faults().clear(); }
