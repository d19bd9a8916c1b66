#include "runtime/control_requests.h"

#include <cinttypes>
#include <cstring>
#include <vector>

#include "runtime/comm_packet.h"
#include "runtime/json_text.h"
#include "runtime/runtime_api.h"
#include "runtime/runtime_internal.h"
#include "runtime/status_file.h"

namespace {
bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void error_reply(std::string* reply, const char* message) {
    reply->assign("{\"error\":");
    json_append_string(reply, message);
    reply->push_back('}');
}

void status_reply(std::string* reply) {
    const char* state = output_media_item_state_text();
    reply->assign("{\"status\":");
    json_append_string(reply, state ? state : "");
    reply->append(",\"ready\":" + std::to_string(vexa_current_ready()));
    reply->append(",\"item\":");
    json_append_string(reply, output_media_item);
    reply->append(",\"frames\":" + std::to_string(output_play_shown_frames));
    reply->append(",\"dropped\":" + std::to_string(output_play_dropped_frames));

    comm_socket_v4_packet packet;
    if (vexa_on_report) vexa_on_report(nullptr, &packet);
    for (const auto& pair : packet.pairs) {
        reply->push_back(',');
        json_append_string(reply, pair.first);
        reply->push_back(':');
        json_append_string(reply, pair.second);
    }
    reply->push_back('}');
}

int set_reply(std::string text, std::string* reply) {
    // divide_name_equ_value_pair works in place on a C string: an embedded zero ends the request.
    std::vector<char> line(text.begin(), text.end());
    line.push_back('\0');
    char* name = nullptr;
    char* value = nullptr;
    divide_name_equ_value_pair(line.data(), &name, &value);
    if (!name || !value) {
        error_reply(reply, "set needs NAME=VALUE");
        return 0;
    }
    if (!vexa_on_set) {
        error_reply(reply, "settings are not accepted yet");
        return 0;
    }
    vexa_on_set(nullptr, name, std::string(value));
    reply->assign("{\"ok\":true}");
    return 1;
}
}  // namespace

int handle_request_line(const char* line, size_t length, std::string* reply) {
    reply->clear();
    if (!line) length = 0;
    size_t begin = 0, end = length;
    while (begin < end && is_blank(line[begin])) ++begin;
    while (end > begin && is_blank(line[end - 1])) --end;
    const std::string request(line ? line + begin : "", end - begin);

    if (request == "status") {
        status_reply(reply);
        return 0;
    }
    if (request.compare(0, 4, "set ") == 0) return set_reply(request.substr(4), reply);
    if (request == "start") {
        if (output_media_item.empty()) {
            error_reply(reply, "no item to start");
            return 0;
        }
        if (vexa_start_item(output_media_item.c_str()) != 0) {
            error_reply(reply, "the item could not be started");
            return 1;
        }
        reply->assign("{\"ok\":true}");
        return 1;
    }
    if (request == "reset") {
        if (output_on_reset_media_item) output_on_reset_media_item();
        reply->assign("{\"ok\":true}");
        return 1;
    }
    error_reply(reply, "unknown request");
    return 0;
}
