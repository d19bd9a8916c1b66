// The driver's whole run: start-up, the display loop and teardown. The shipped binary and its test
// build share it.
#pragma once

// Every exit has status 1, an orderly stop included.
int driver_main(int argc, char** argv);
