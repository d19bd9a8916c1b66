// vexa_out_fbdev: the shipped driver.
#include "driver/driver_main.h"

int main(int argc, char** argv) { return driver_main(argc, argv); }
