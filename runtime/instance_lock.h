// The instance lock: one running driver per metadata directory. The runtime holds it for the life
// of the process and never hands it out, so the driver's unlocking of the meta record's locks
// cannot open the directory to a second instance.
#pragma once

#include <string>

// Takes <metadir>/owner.lock without waiting and writes this process's pid into it. 0 when taken
// (or already held by this process); -1 with a one-line reason naming the owner's pid.
int vexa_instance_lock_take(const std::string& metadir, std::string* reason);
// Lets the lock go (teardown, tests).
void vexa_instance_lock_release();
