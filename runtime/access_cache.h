// The media side's own view of the frame access cache (the driver's calls are in runtime_api.h).
#pragma once

#include <cstddef>

#include "runtime/records.h"

size_t vexa_global_access_cache_mapping_count(const vexa_global_access_cache* cache);
// Unmaps everything and frees the cache.
void vexa_global_access_cache_destroy(vexa_global_access_cache* cache);
