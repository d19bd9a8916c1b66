// The frame access cache: ranges inside a buffer map, ranges outside do not, mappings are reused
// while in use and given back once idle.
#include "runtime/access_cache.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "media_fixture.h"
#include "runtime/cnb_domain.h"
#include "runtime/runtime_api.h"

namespace {
using namespace media_test;

class AccessCacheTest : public MediaTest {
  protected:
    void SetUp() override {
        MediaTest::SetUp();
        vexa_clock_override = fake_clock;
        cache = vexa_global_access_cache_create();
        page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
        size = 3 * page + 100;
        buffer = cnb_buffer_create(size, "test");
        ASSERT_GE(buffer, 0);
        cnb_buffer_info info{};
        ASSERT_TRUE(cnb_buffer_lookup(buffer, &info));
        // Every byte holds its offset's low bits, so a pointer shows what it points at.
        writer = static_cast<uint8_t*>(
            mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, info.fd, 0));
        ASSERT_NE(MAP_FAILED, writer);
        for (uint64_t i = 0; i < size; ++i) writer[i] = static_cast<uint8_t>(i * 7);
    }
    void TearDown() override {
        munmap(writer, size);
        vexa_global_access_cache_destroy(cache);
        cnb_buffer_free(buffer);
        MediaTest::TearDown();
    }
    void* fetch(uint32_t offset, uint64_t length) {
        return vexa_global_access_cache_quickfetch(cache, static_cast<uint32_t>(buffer), offset,
                                                   length, 2);
    }

    vexa_global_access_cache* cache = nullptr;
    uint64_t page = 0, size = 0;
    int buffer = -1;
    uint8_t* writer = nullptr;
};

TEST_F(AccessCacheTest, RangesInsideMapAndOthersDoNot) {
    struct range {
        const char* name;
        uint64_t offset, length;
        bool maps;
    } const cases[] = {
        {"whole buffer", 0, size, true},
        {"last byte", size - 1, 1, true},
        {"mid page", page + 5, 10, true},
        {"across pages", page - 3, page + 6, true},
        {"one past the end", size - 1, 2, false},
        {"starts at the end", size, 1, false},
        {"far outside", UINT32_MAX, 1, false},
        {"length overflows", 10, UINT64_MAX, false},
        {"empty range", 0, 0, false},
    };
    for (const range& r : cases) {
        SCOPED_TRACE(r.name);
        auto* p = static_cast<uint8_t*>(fetch(static_cast<uint32_t>(r.offset), r.length));
        EXPECT_EQ(r.maps, p != nullptr);
        if (!p) continue;
        EXPECT_EQ(static_cast<uint8_t>(r.offset * 7), p[0]);
        EXPECT_EQ(static_cast<uint8_t>((r.offset + r.length - 1) * 7), p[r.length - 1]);
        // The mapping starts on the page the range starts in.
        EXPECT_EQ(0u, (reinterpret_cast<uintptr_t>(p) - r.offset % page) % page);
    }
    EXPECT_EQ(nullptr, vexa_global_access_cache_quickfetch(cache, 60000, 0, 1, 2)) << "no buffer";
    EXPECT_EQ(nullptr, vexa_global_access_cache_quickfetch(nullptr, buffer, 0, 1, 2));
}

TEST_F(AccessCacheTest, MappingsAreReusedAndSeeLaterWrites) {
    void* a = fetch(page + 5, 10);
    void* b = fetch(page + 5, 10);
    void* c = fetch(page + 6, 4);
    EXPECT_EQ(a, b);
    EXPECT_EQ(static_cast<uint8_t*>(a) + 1, c);
    EXPECT_EQ(1u, vexa_global_access_cache_mapping_count(cache));
    writer[page + 5] = 0xAB;
    EXPECT_EQ(0xAB, *static_cast<uint8_t*>(a));
}

TEST_F(AccessCacheTest, CleanupUnmapsIdleMappingsOnly) {
    fetch(0, 10);
    fake_now_us += 600000;
    fetch(2 * page, 10);
    EXPECT_EQ(2u, vexa_global_access_cache_mapping_count(cache));
    vexa_global_access_cache_cleanup_idle(cache);
    EXPECT_EQ(2u, vexa_global_access_cache_mapping_count(cache));
    fake_now_us += 500000;  // the first is idle for 1.1 s, the second for 0.5 s
    vexa_global_access_cache_cleanup_idle(cache);
    EXPECT_EQ(1u, vexa_global_access_cache_mapping_count(cache));
    fetch(2 * page, 10);  // still in use: kept
    fake_now_us += 900000;
    vexa_global_access_cache_cleanup_idle(cache);
    EXPECT_EQ(1u, vexa_global_access_cache_mapping_count(cache));
}

TEST_F(AccessCacheTest, FreedBufferIsNotServedFromAnOldMapping) {
    ASSERT_NE(nullptr, fetch(0, 10));
    cnb_buffer_free(buffer);
    EXPECT_EQ(nullptr, fetch(0, 10));
    const int reused = cnb_buffer_create(size, "test");
    ASSERT_EQ(buffer, reused) << "the number comes back";
    auto* p = static_cast<uint8_t*>(fetch(0, 10));
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0, p[1]) << "the new buffer, not the old mapping";
    vexa_global_access_cache_cleanup_idle(cache);
    EXPECT_EQ(1u, vexa_global_access_cache_mapping_count(cache)) << "the stale mapping is gone";
}

}  // namespace
