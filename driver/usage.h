// The switches the driver takes, as printed for --help and after a bad one.
#pragma once

void print_usage();
