#include "nmclient/HostMessages.h"

#include <initializer_list>
#include <optional>

#include "nmclient/Json.h"

namespace nmclient {
namespace {

std::optional<int64_t> IntegerMember(const JsonValue& object, std::string_view name) {
    const JsonValue* value = object.Find(name);
    if (value == nullptr || value->type != JsonValue::Type::kNumber) {
        return std::nullopt;
    }
    return value->integer;
}

bool IsText(const JsonValue* value, std::string_view text) {
    return value != nullptr && value->type == JsonValue::Type::kString && value->text == text;
}

HostMessage Malformed(std::string problem) {
    HostMessage message;
    message.kind = MessageKind::kMalformed;
    message.problem = std::move(problem);
    return message;
}

// Fills the named integers, or says which one is missing.
std::optional<std::string> ReadIntegers(
    const JsonValue& object, std::initializer_list<std::pair<std::string_view, int64_t*>> fields) {
    for (const auto& [name, target] : fields) {
        const auto value = IntegerMember(object, name);
        if (!value) {
            return "no integer \"" + std::string(name) + "\"";
        }
        *target = *value;
    }
    return std::nullopt;
}

HostMessage OpenReply(const JsonValue& object) {
    HostMessage m;
    m.kind = MessageKind::kOpenReply;
    const auto missing = ReadIntegers(
        object,
        {{"status", &m.status}, {"device", &m.device}, {"maxx", &m.maxx}, {"maxy", &m.maxy}});
    return missing ? Malformed("OPEN reply with " + *missing) : m;
}

HostMessage Point(const JsonValue& object) {
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
    const auto json = ParseJson(text);
    if (!json) {
        return Malformed("not JSON");
    }
    if (json->type != JsonValue::Type::kObject) {
        return {};
    }
    const JsonValue* command = json->Find("command");
    if (IsText(command, "OPEN")) {
        return OpenReply(*json);
    }
    if (IsText(command, "POINT")) {
        return Point(*json);
    }
    if (command == nullptr && IsText(json->Find("text"), "EXITING...")) {
        HostMessage goodbye;
        goodbye.kind = MessageKind::kGoodbye;
        return goodbye;
    }
    return {};
}

std::string JsonLine(std::string_view text) {
    const bool oneLine = text.find_first_of("\r\n") == std::string_view::npos;
    if (oneLine && ParseJson(text)) {
        return std::string(text);
    }
    return QuoteJson(text);
}

}  // namespace nmclient
