#include "runtime/fault_points.h"

namespace {
vexa_fault_hook installed = nullptr;
}  // namespace

void vexa_fault_hook_install(vexa_fault_hook hook) { installed = hook; }

bool vexa_fault(const char* name) { return installed != nullptr && name && installed(name); }
