#include "driver/render_config.h"

#include <strings.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/config_file.h"
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

// strtol's reading of text as an int. A number beyond the int range is refused with a warning, so
// that the setting keeps its value instead of taking a wrapped or clamped one.
bool setting_number(const char* name, const char* value, const char* text, int base, int* out) {
    errno = 0;
    const long number = std::strtol(text, nullptr, base);
    if (errno == ERANGE || number > INT_MAX || number < INT_MIN) {
        std::fprintf(stderr, "Warning: %s=%s is out of range, setting kept\n", name, value);
        return false;
    }
    *out = static_cast<int>(number);
    return true;
}

void apply_device(const char* name, const char* value) {
    int index = -1;
    if (std::strncmp(value, "/dev/fb", 7) == 0 &&
        !setting_number(name, value, value + 7, 0, &index))
        return;
    device_setting.clear();
    fb_index_setting = -1;
    if (std::strncmp(value, "pci:", 4) == 0) {
        device_setting = value;
    } else if (std::strncmp(value, "/dev/fb", 7) == 0) {
        fb_index_setting = index;
    }
}

void apply_config_line(char* line) {
    chomp(line);
    char* start = line + std::strspn(line, " \t");
    char* name = nullptr;
    char* value = nullptr;
    divide_name_equ_value_pair(start, &name, &value);
    if (name == nullptr || value == nullptr) return;
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
    int number = 0;
    if (std::strcmp(name, "autostart item") == 0) {
        if (setting_number(name, value, value, 10, &number)) autostart_item = number > 0;
    } else if (strcasecmp(name, "realtime process") == 0) {
        if (from_file && setting_number(name, value, value, 0, &number))
            vexa_run_as_realtime = number > 0;
    } else if (strcasecmp(name, "lock memory") == 0) {
        if (from_file && setting_number(name, value, value, 0, &number)) vexa_do_mlock = number > 0;
    } else if (strcasecmp(name, "take framebuffer console") == 0) {
        int take = -1;
        if (value[0] != '\0' && !setting_number(name, value, value, 10, &take)) return;
        if (take != take_fbcon_setting) {
            request_restart();
            take_fbcon_setting = take;
        }
    } else if (strcasecmp(name, "device") == 0) {
        // Restarts even when unchanged, so setting it again reopens the device.
        apply_device(name, value);
        request_restart();
    } else if (strcasecmp(name, "vsync") == 0) {
        apply_vsync(value);
    }
}

int load_render_config(const char* path) {
    std::string text;
    if (!read_config_text(path, &text)) return -1;

    // Defaults the file may override; no other setting is reset.
    output_media_item_set_output_media_item("");
    vexa_run_as_realtime = true;
    vexa_do_mlock = true;

    // Editors on other systems put a byte-order mark before the first name.
    size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    char line[kMaxConfigLine + 1];
    for (unsigned number = 1; start < text.size(); ++number) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const size_t length = end - start;
        if (length > kMaxConfigLine) {
            // Applying any piece of it could turn the tail of a comment into a setting.
            std::fprintf(stderr,
                         "Warning: configuration line %u is longer than %zu bytes, skipped\n",
                         number, kMaxConfigLine);
            start = end + 1;
            continue;
        }
        std::memcpy(line, text.data() + start, length);
        line[length] = '\0';
        start = end + 1;
        apply_config_line(line);
    }
    return 0;
}
