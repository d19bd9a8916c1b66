#include "driver/render_config.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/driver_settings.h"
#include "driver/hook_table.h"
#include "fbdev/device_settings.h"
#include "fbdev/vsync.h"
#include "runtime/runtime_api.h"

namespace {

// Drops the connection and the open framebuffer at the display loop's next chance, and lets the
// next connection be tried at once.
void request_restart() {
    call_reset_hook();
    restart_flag = true;
    output_media_item_reconnect_at = 0;
}

void apply_device(const char* value) {
    device_setting.clear();
    fb_index_setting = -1;
    if (std::strncmp(value, "pci:", 4) == 0) {
        device_setting = value;
    } else if (std::strncmp(value, "/dev/fb", 7) == 0) {
        fb_index_setting = static_cast<int>(std::strtol(value + 7, nullptr, 0));
    }
}

// Neither the item nor the connection depends on it: no restart.
void apply_vsync(const char* value) {
    char* end = nullptr;
    const long mode = std::strtol(value, &end, 10);
    if (end == value || *end != '\0' || mode < vsync_off || mode > vsync_flip) {
        std::fprintf(stderr, "WARNING: vsync=%s is not 0, 1 or 2; keeping %d\n", value,
                     vsync_setting);
        return;
    }
    change_vsync_setting(static_cast<int>(mode));
}

}  // namespace

void apply_render_setting(const char* name, const char* value, bool from_file) {
    if (std::strcmp(name, "autostart item") == 0) {
        autostart_item = static_cast<int>(std::strtol(value, nullptr, 10)) > 0;
    } else if (strcasecmp(name, "realtime process") == 0) {
        if (from_file) vexa_run_as_realtime = std::strtol(value, nullptr, 0) > 0;
    } else if (strcasecmp(name, "lock memory") == 0) {
        if (from_file) vexa_do_mlock = std::strtol(value, nullptr, 0) > 0;
    } else if (strcasecmp(name, "take framebuffer console") == 0) {
        const int take = value[0] == '\0' ? -1 : static_cast<int>(std::strtol(value, nullptr, 10));
        if (take != take_fbcon_setting) {
            request_restart();
            take_fbcon_setting = take;
        }
    } else if (strcasecmp(name, "device") == 0) {
        // Restarts even when unchanged, so setting it again reopens the device.
        apply_device(value);
        request_restart();
    } else if (strcasecmp(name, "vsync") == 0) {
        apply_vsync(value);
    }
}

int load_render_config(const char* path) {
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) return -1;

    // Defaults the file may override; no other setting is reset.
    output_media_item_set_output_media_item("");
    vexa_run_as_realtime = true;
    vexa_do_mlock = true;

    char line[1024];
    while (!std::feof(file) && !std::ferror(file)) {
        if (std::fgets(line, sizeof line, file) == nullptr) break;
        chomp(line);
        char* start = line + std::strspn(line, " \t");
        char* name = nullptr;
        char* value = nullptr;
        divide_name_equ_value_pair(start, &name, &value);
        if (name == nullptr || value == nullptr) continue;
        if (std::strcmp(name, "item") == 0) {
            // Every "item" line resets, whether or not it names the current item.
            call_reset_hook();
            output_media_item_reconnect_at = 0;
            output_media_item_set_output_media_item(value);
            restart_flag = true;
        } else {
            apply_render_setting(name, value, true);
        }
    }
    std::fclose(file);
    return 0;
}
