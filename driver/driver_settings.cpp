#include "driver/driver_settings.h"

bool autostart_item = false;
bool restart_flag = false;
