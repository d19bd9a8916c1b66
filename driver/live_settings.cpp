#include "driver/live_settings.h"

#include <cstring>

#include "driver/driver_settings.h"
#include "driver/hook_table.h"
#include "driver/render_config.h"
#include "runtime/runtime_api.h"

void driver_on_set(void* /*context*/, const char* name, const std::string& value) {
    if (name == nullptr) return;
    if (std::strcmp(name, "item") == 0) {
        if (value == output_media_item) return;
        call_reset_hook();
        output_media_item_reconnect_at = 0;
        output_media_item_set_output_media_item(value.c_str());
        restart_flag = true;
        return;
    }
    apply_render_setting(name, value.c_str(), false);
}
