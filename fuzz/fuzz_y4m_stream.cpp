// YUV4MPEG2 streams with any content: the stream header, then frame headers and frames read as the
// display loop reads them, from a file of the input's bytes.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "runtime/frame_slot.h"
#include "runtime/item_description.h"
#include "runtime/y4m_source.h"

namespace {
// Frames larger than this are not filled: the headers are what is fuzzed, and a buffer of
// hundreds of megabytes per input would only slow the search down.
constexpr uint64_t kLargestFilled = 4u << 20;
constexpr int kMaxFills = 4096;

int stream_fd() {
    static const int fd = memfd_create("vexa-fuzz-y4m", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    return fd;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int fd = stream_fd();
    if (ftruncate(fd, 0) != 0) std::abort();
    if (size && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    item_description spec;
    spec.type = item_description::kind::stream;
    spec.name = "/proc/self/fd/" + std::to_string(fd);
    open_outcome outcome;
    std::string error;
    std::unique_ptr<media_source> source = y4m_source_open(spec, &outcome, &error);
    if (!source) {
        // A regular file either opens or is broken, with a reason; it is never "not yet".
        if (outcome != open_outcome::broken || error.empty()) std::abort();
        return 0;
    }
    if (source->format().layout.buffer_bytes > kLargestFilled) return 0;
    vexa_frame_slot slot;
    fill_status status = fill_status::frame;
    for (int i = 0;
         i < kMaxFills && (status == fill_status::frame || status == fill_status::pending); ++i)
        status = source->fill(&slot, static_cast<uint64_t>(i));
    frame_slot_release(&slot);
    return 0;
}
