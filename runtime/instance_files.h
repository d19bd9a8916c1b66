// The files an instance holds open in its metadata directory.
#pragma once

#include "runtime/runtime_api.h"

struct metadata_v4_metadata_context {
    int fd;  // <metadir>/metadata, -1 once closed
};

// Closes and frees the meta record and the metadata context (vexa_free_all).
void vexa_close_instance_files();
