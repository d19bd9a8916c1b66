// The command line: the standard switches every output driver accepts.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/device_seam.h"
#include "runtime/extra_switches.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"
#include "runtime/switch_values.h"

namespace {
int g_argc = 0;
char** g_argv = nullptr;
int g_next = 0;
const vexa_extra_switches* g_extra = nullptr;

// Takes the value that follows a switch; null (with a message) when there is none.
const char* switch_value(const char* name) {
    const char* value = vexa_next_arg();
    if (!value) std::fprintf(stderr, "--%s needs a value\n", name);
    return value;
}
}  // namespace

const char* vexa_meta_switch = nullptr;
const char* vexa_sock_switch = nullptr;

int vexa_init_argv(int argc, char** argv) {
    if (argc < 1 || !argv) return -1;
    g_argc = argc;
    g_argv = argv;
    g_next = 1;  // argv[0] is the program
    return 0;
}

char* vexa_next_arg() {
    if (!g_argv || g_next >= g_argc) return nullptr;
    return g_argv[g_next++];
}

int vexa_argv_is_switch(char** arg) {
    if (!arg || !*arg || (*arg)[0] != '-') return 0;
    while (**arg == '-') ++*arg;
    return 1;
}

int vexa_argv_std_handle_switch(char* arg) {
    if (!arg) return 0;
    const char* value = nullptr;
    if (std::strcmp(arg, "file") == 0) {
        if (!(value = switch_value(arg))) return -1;
        vexa_file = value;
    } else if (std::strcmp(arg, "meta") == 0) {
        if (!(value = switch_value(arg))) return -1;
        vexa_meta_switch = value;
    } else if (std::strcmp(arg, "sock") == 0) {
        if (!(value = switch_value(arg))) return -1;
        vexa_sock_switch = value;
    } else if (std::strcmp(arg, "log") == 0) {
        vexa_stderr_to_log = true;
    } else if (std::strcmp(arg, "virtual-fb") == 0) {
        if (!(value = switch_value(arg))) return -1;
        std::string reason;
        if (platform::add_virtual_framebuffer(value, &reason) != 0) {
            std::fprintf(stderr, "--virtual-fb %s: %s\n", value, reason.c_str());
            return -1;
        }
    } else if (std::strcmp(arg, "snapshot") == 0) {
        if (!(value = switch_value(arg))) return -1;
        vexa_snapshot_path = value;
    } else if (std::strcmp(arg, "restore") == 0) {
        vexa_restore_only = true;
    } else if (std::strcmp(arg, "unpaced") == 0) {
        vexa_unpaced = true;
    } else {
        return g_extra != nullptr && g_extra->handle != nullptr ? g_extra->handle(arg) : 0;
    }
    return 1;
}

void vexa_std_help() {
    std::fputs(
        " --meta <dir>             metadata directory (default: /run/vexa/<config name> for root,\n"
        "                          else $XDG_RUNTIME_DIR/vexa/<config name>, else\n"
        "                          /tmp/vexa-<uid>/<config name>)\n"
        " --sock <path>            control socket (default: <metadata dir>/control.sock)\n"
        " --log                    write standard error to <metadata dir>/log\n"
        " --virtual-fb <spec>      emulate a framebuffer device: "
        "WxHxBPP[,bgr][,direct|pseudo|mono]\n"
        "                          [,green5][,stride=BYTES][,vyres=N][,id=NAME][,kms][,pci=BUSID]\n"
        "                          [,fbcon][,log=PATH]; repeat for fb1, fb2, ...\n"
        " --snapshot <path>        with virtual devices: write the screen as PNG after each frame\n"
        " --restore                give back the console, mode and colour map that a killed run\n"
        "                          on the metadata directory left taken, then exit\n"
        " --unpaced                deliver frames as fast as they are taken\n",
        stderr);
    if (g_extra != nullptr && g_extra->help != nullptr) std::fputs(g_extra->help, stderr);
}

void vexa_argv_set_extra_switches(const vexa_extra_switches* extra) { g_extra = extra; }
