#include "driver/usage.h"

#include <cstdio>

#include "runtime/runtime_api.h"

void print_usage() {
    std::fprintf(stderr, "vexa_out_fbdev [options]\n");
    std::fprintf(stderr, "Linux framebuffer output driver for Orvane 4.x\n");
    std::fprintf(stderr, "\n");
    std::fprintf(stderr, " --file <path of rendermgr config file>\n");
    std::fprintf(stderr, " --version                print the version and exit\n");
    vexa_std_help();
}
