// Death tests that need a fresh process (nothing converted yet, the C library's generator
// untouched): the child is started anew from the test program, not forked from the test.
#pragma once

namespace test_common {

// Call at the start of such a test. In a cross-build the child is started through the emulator:
// nothing here relies on the kernel running foreign binaries by itself.
void use_fresh_process_death_tests();

}  // namespace test_common
