#include "driver/hook_table.h"

#include "driver/live_settings.h"
#include "driver/media_hooks.h"
#include "driver/status_report.h"
#include "runtime/runtime_api.h"

void install_driver_hooks() {
    vexa_on_report = driver_on_report;
    output_on_reset_media_item = driver_on_reset_media_item;
    output_driver_on_async_output_message = driver_on_async_output_message;
    vexa_on_set = driver_on_set;
}

void call_reset_hook() {
    if (output_on_reset_media_item != nullptr) output_on_reset_media_item();
}
