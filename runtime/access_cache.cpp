// The frame access cache: read-only mappings of page-aligned ranges of frame buffers, kept while
// frames keep using them and unmapped once idle.
#include "runtime/access_cache.h"

#include <sys/mman.h>
#include <unistd.h>

#include <vector>

#include "runtime/cnb_domain.h"
#include "runtime/fault_points.h"
#include "runtime/runtime_api.h"

namespace {
// A mapping unused this long is given back.
constexpr uint64_t kIdleUs = 1000000;
// More live mappings than this and the least recently used goes first.
constexpr size_t kMaxMappings = 64;

struct cache_mapping {
    uint64_t serial;  // buffer identity
    int buffer;
    uint64_t start;  // page-aligned offset in the buffer
    uint64_t length;
    void* addr;
    uint64_t last_used_us;
};

uint64_t page_size() { return static_cast<uint64_t>(sysconf(_SC_PAGESIZE)); }
}  // namespace

struct vexa_global_access_cache {
    std::vector<cache_mapping> maps;
};

namespace {
void drop(vexa_global_access_cache* cache, size_t i) {
    munmap(cache->maps[i].addr, cache->maps[i].length);
    cache->maps[i] = cache->maps.back();
    cache->maps.pop_back();
}

void evict_least_recent(vexa_global_access_cache* cache) {
    size_t oldest = 0;
    for (size_t i = 1; i < cache->maps.size(); ++i)
        if (cache->maps[i].last_used_us < cache->maps[oldest].last_used_us) oldest = i;
    drop(cache, oldest);
}
}  // namespace

vexa_global_access_cache* vexa_global_access_cache_create() {
    if (vexa_fault("cache")) return nullptr;
    return new vexa_global_access_cache();
}

// The mode is the caller's access intent; every mapping is read-only, which serves all readers.
void* vexa_global_access_cache_quickfetch(vexa_global_access_cache* cache, uint32_t buffer,
                                          uint32_t offset, uint64_t length, int /*mode*/) {
    if (!cache || length == 0) return nullptr;
    cnb_buffer_info info{};
    if (buffer > INT32_MAX || !cnb_buffer_lookup(static_cast<int>(buffer), &info)) return nullptr;
    if (offset > info.size || length > info.size - offset) return nullptr;

    const uint64_t page = page_size();
    const uint64_t end = offset + length;
    const uint64_t now = monotonic_clock_us();
    for (cache_mapping& m : cache->maps) {
        if (m.serial == info.serial && m.start <= offset && end <= m.start + m.length) {
            m.last_used_us = now;
            return static_cast<uint8_t*>(m.addr) + (offset - m.start);
        }
    }

    const uint64_t start = offset / page * page;
    const uint64_t map_length = end - start;
    if (map_length > SIZE_MAX) return nullptr;
    void* addr = mmap(nullptr, static_cast<size_t>(map_length), PROT_READ, MAP_SHARED, info.fd,
                      static_cast<off_t>(start));
    if (addr == MAP_FAILED) return nullptr;
    if (cache->maps.size() >= kMaxMappings) evict_least_recent(cache);
    cache->maps.push_back({info.serial, static_cast<int>(buffer), start, map_length, addr, now});
    return static_cast<uint8_t*>(addr) + (offset - start);
}

void vexa_global_access_cache_cleanup_idle(vexa_global_access_cache* cache) {
    if (!cache) return;
    const uint64_t now = monotonic_clock_us();
    for (size_t i = cache->maps.size(); i-- > 0;) {
        const cache_mapping& m = cache->maps[i];
        cnb_buffer_info info{};
        bool buffer_gone = !cnb_buffer_lookup(m.buffer, &info) || info.serial != m.serial;
        bool idle = now >= m.last_used_us && now - m.last_used_us >= kIdleUs;
        if (buffer_gone || idle) drop(cache, i);
    }
}

// For the media side's teardown and its tests.
size_t vexa_global_access_cache_mapping_count(const vexa_global_access_cache* cache) {
    return cache ? cache->maps.size() : 0;
}

void vexa_global_access_cache_destroy(vexa_global_access_cache* cache) {
    if (!cache) return;
    while (!cache->maps.empty()) drop(cache, cache->maps.size() - 1);
    delete cache;
}
