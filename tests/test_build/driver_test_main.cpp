// vexa_out_fbdev_test: the driver's own main with what only tests may use: "script:" items and
// --fault NAME.
#include "driver/driver_main.h"
#include "test_build/fault_switch.h"
#include "test_build/scripted_item.h"

int main(int argc, char** argv) {
    vexa_script_register();
    vexa_fault_switch_install();
    return driver_main(argc, argv);
}
