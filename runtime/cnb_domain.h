// The frame-buffer domain: numbered shared-memory buffers (memfd) that frames live in. A buffer
// number is what a frame's buffer references carry; readers map it through the access cache.
#pragma once

#include <cstddef>
#include <cstdint>

struct cnb_buffer_info {
    int fd;           // the buffer's memfd, owned by the domain
    uint64_t size;    // bytes
    uint64_t serial;  // unique for the process's life: tells a reused number from its old buffer
};

// Creates a buffer of `size` bytes (zero-filled). Returns its number, or -1 with a one-line reason
// on stderr.
int cnb_buffer_create(uint64_t size, const char* purpose);
// False when `number` names no live buffer.
bool cnb_buffer_lookup(int number, cnb_buffer_info* info);
// Frees the buffer; its number may be handed out again. Mappings made earlier stay valid.
void cnb_buffer_free(int number);
// Frees every buffer and leaves the domain (vexa_cnb null).
void cnb_domain_leave();
