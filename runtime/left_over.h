// What a run killed outright (SIGKILL) left taken, found through its record in the metadata
// directory and given back by the next run on that directory, or by --restore alone.
#pragma once

#include <string>

// The record file of a metadata directory.
std::string vexa_taken_record_path(const std::string& metadir);
// With the instance lock held: gives back what the record names, with one line saying what, and
// removes the record. 1 when something was given back, 0 when there was no record, -1 when giving
// back failed (the record is kept for another try).
int vexa_give_back_left_over(const std::string& metadir);
// Result of the last vexa_give_back_left_over (0 before any).
int vexa_left_over_result();
