// Named points where a start-up step can be made to fail (cnb, lockfd, cache, selftest, realtime,
// mlock), so that its failure path can be driven through a whole driver. The shipped driver
// installs no hook, and then no point ever fails.
#pragma once

// Says whether the named point fails now.
using vexa_fault_hook = bool (*)(const char* name);

// Installs the hook (null removes it).
void vexa_fault_hook_install(vexa_fault_hook hook);
// True when the installed hook fails this point; false without a hook.
bool vexa_fault(const char* name);
