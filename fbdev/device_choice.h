// Which /dev/fbN to use, and what sysfs says about it.
#pragma once

#include <string>

// Chooses from the device settings: an explicit index, a "pci:" bus id found in sysfs, or fb0.
// The index, or -1 when none could be chosen.
int choose_fbdev_index();

// The bus id that /sys/class/graphics/fbN/device points at; empty when there is none.
std::string lookup_fbdev_bus_id(int index);

// The last path component of a link target when it starts with a hexadecimal digit (a bus id),
// else empty.
std::string bus_id_component(const std::string& link_target);
