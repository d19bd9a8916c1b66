// A reply packet under construction: the name/value pairs a status request collects, in order.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct comm_socket_v4_packet {
    std::vector<std::pair<std::string, std::string>> pairs;
};
