// The test build's fault points: the names in force, and the --fault NAME switch that adds one.
#pragma once

// Adds NAME to the faults in force (what --fault NAME does); clear removes them all.
void vexa_fault_add(const char* name);
void vexa_fault_clear();
// Makes --fault NAME one of the driver's switches, listed in its help.
void vexa_fault_switch_install();
