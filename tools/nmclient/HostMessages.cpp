#include "nmclient/HostMessages.h"

#include <initializer_list>
#include <limits>
#include <optional>

#include <nlohmann/json.hpp>

namespace nmclient {
namespace {

using Json = nlohmann::json;

// A whole number that fits int64_t; nothing for any other value or a missing member.
std::optional<int64_t> IntegerMember(const Json& object, const char* name) {
    const auto value = object.find(name);
    if (value == object.end() || !value->is_number_integer()) {
        return std::nullopt;
    }
    if (value->is_number_unsigned() &&
        value->get<uint64_t>() > uint64_t{std::numeric_limits<int64_t>::max()}) {
        return std::nullopt;
    }
    return value->get<int64_t>();
}

bool HasText(const Json& object, const char* name, std::string_view text) {
    const auto value = object.find(name);
    return value != object.end() && value->is_string() &&
           value->get_ref<const std::string&>() == text;
}

HostMessage Malformed(std::string problem) {
    HostMessage message;
    message.kind = MessageKind::kMalformed;
    message.problem = std::move(problem);
    return message;
}

// Fills the named integers, or says which one is missing.
std::optional<std::string> ReadIntegers(
    const Json& object, std::initializer_list<std::pair<const char*, int64_t*>> fields) {
    for (const auto& [name, target] : fields) {
        const auto value = IntegerMember(object, name);
        if (!value) {
            return "no integer \"" + std::string(name) + "\"";
        }
        *target = *value;
    }
    return std::nullopt;
}

HostMessage OpenReply(const Json& object) {
    HostMessage m;
    m.kind = MessageKind::kOpenReply;
    const auto missing = ReadIntegers(
        object,
        {{"status", &m.status}, {"device", &m.device}, {"maxx", &m.maxx}, {"maxy", &m.maxy}});
    return missing ? Malformed("OPEN reply with " + *missing) : m;
}

HostMessage Point(const Json& object) {
    HostMessage m;
    m.kind = MessageKind::kPoint;
    int64_t p = 0;
    if (const auto missing = ReadIntegers(object, {{"X", &m.x}, {"Y", &m.y}, {"P", &p}})) {
        return Malformed("POINT with " + *missing);
    }
    if (p != 0 && p != 1) {
        return Malformed("POINT with P = " + std::to_string(p));
    }
    m.down = p == 1;
    return m;
}

}  // namespace

HostMessage ClassifyFrame(std::string_view text) {
    const Json json = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
    if (json.is_discarded()) {
        return Malformed("not JSON");
    }
    if (!json.is_object()) {
        return {};
    }
    if (HasText(json, "command", "OPEN")) {
        return OpenReply(json);
    }
    if (HasText(json, "command", "POINT")) {
        return Point(json);
    }
    if (!json.contains("command") && HasText(json, "text", "EXITING...")) {
        HostMessage goodbye;
        goodbye.kind = MessageKind::kGoodbye;
        return goodbye;
    }
    return {};
}

std::string JsonLine(std::string_view text) {
    const bool oneLine = text.find_first_of("\r\n") == std::string_view::npos;
    if (oneLine && Json::accept(text.begin(), text.end())) {
        return std::string(text);
    }
    return Json(std::string(text)).dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace nmclient
