// Faults injected from the command line (--fault NAME, a testing aid): lets the start-up failure
// paths be driven through the real binary.
#pragma once

// True when --fault NAME was given.
bool vexa_fault(const char* name);
// Adds NAME to the faults in force (what --fault does); clear removes them all.
void vexa_fault_add(const char* name);
void vexa_fault_clear();
