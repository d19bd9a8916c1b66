#include "runtime/left_over.h"

#include <unistd.h>

#include <cstdio>

#include "platform/taken_record.h"
#include "runtime/instance_lock.h"
#include "runtime/runtime_api.h"

namespace {
int g_result = 0;

std::string what_was_taken(const platform::TakenState& state) {
    std::string what;
    const auto add = [&what](const std::string& part) {
        what += (what.empty() ? "" : ", ") + part;
    };
    if (state.console_taken) add("console");
    if (state.mode_saved) add(std::string(state.device) + " mode");
    if (state.map_saved) add("colour map");
    return what.empty() ? "nothing" : what;
}
}  // namespace

std::string vexa_taken_record_path(const std::string& metadir) { return metadir + "/taken"; }

int vexa_give_back_left_over(const std::string& metadir) {
    const std::string path = vexa_taken_record_path(metadir);
    platform::TakenState record;
    if (platform::taken_read_record(path.c_str(), &record) != 0) {
        // A record cut short or of another build cannot be trusted with a device.
        unlink(path.c_str());
        return g_result = 0;
    }
    const std::string what = what_was_taken(record);
    if (platform::taken_give_back(record, false) != 0) {
        std::fprintf(stderr, "Could not give back all that pid %d left taken (%s)\n",
                     record.owner_pid, what.c_str());
        return g_result = -1;
    }
    std::fprintf(stderr, "Gave back what pid %d left taken: %s\n", record.owner_pid, what.c_str());
    unlink(path.c_str());
    return g_result = 1;
}

int vexa_left_over_result() { return g_result; }

int vexa_restore_left_over() {
    // The derivation takes the instance lock, gives back what the record names and removes a
    // stale control socket; a running instance refuses it all.
    if (vexa_standard_to_derived_params() != 0 || !vexa_file_metadir) return -1;
    const int result = vexa_left_over_result();
    if (result == 0) std::fprintf(stderr, "Nothing left taken in %s\n", vexa_file_metadir);
    if (result >= 0) {
        vexa_status_write(0, "Stopped");
        vexa_ready_write(0, "Stopped");
    }
    vexa_instance_lock_release();
    return result < 0 ? -1 : 0;
}
