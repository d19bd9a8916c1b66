// The driver's whole run: start-up, the display loop and teardown. The shipped binary and its test
// build share it.
#pragma once

// Every run exits with status 1, an orderly stop included; only --version returns 0.
int driver_main(int argc, char** argv);
