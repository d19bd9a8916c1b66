// Control requests as a client may send them: any bytes, split into lines as the server does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/comm_packet.h"
#include "runtime/control_requests.h"
#include "runtime/runtime_api.h"

namespace {
std::string g_notes;  // reported back, so that arbitrary text goes through the JSON quoting

void report(void*, comm_socket_v4_packet* packet) {
    comm_socket_v4_packet_write_nv_pair(packet, "*active", "0");
    comm_socket_v4_packet_write_nv_pair(packet, "*last notes", g_notes.c_str());
}

void set(void*, const char* name, const std::string& value) {
    if (!name) std::abort();
    g_notes = value;
}

int reset() { return 0; }

// A reply must be one line of JSON text: no raw control characters, valid UTF-8 (checked by the
// quoting itself), an object.
void check_reply(const std::string& reply) {
    if (reply.size() < 2 || reply.front() != '{' || reply.back() != '}') std::abort();
    for (unsigned char c : reply)
        if (c < 0x20) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vexa_on_report = report;
    vexa_on_set = set;
    output_on_reset_media_item = reset;
    const char* text = reinterpret_cast<const char*>(data);
    std::string reply;
    size_t start = 0;
    while (start <= size) {
        const void* newline = std::memchr(text + start, '\n', size - start);
        const size_t end =
            newline ? static_cast<size_t>(static_cast<const char*>(newline) - text) : size;
        handle_request_line(text + start, end - start, &reply);
        check_reply(reply);
        start = end + 1;
    }
    return 0;
}
