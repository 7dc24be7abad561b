#include "services/WebApiAnswer.h"

#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

bool requiredText(const Json& object, const char* name, std::string& out) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_string()) {
        return false;
    }
    out = found->get<std::string>();
    return !out.empty();
}

bool optionalText(const Json& object, const char* name, std::string& out) {
    const auto found = object.find(name);
    if (found == object.end() || found->is_null()) {
        out.clear();
        return true;
    }
    if (!found->is_string()) {
        return false;
    }
    out = found->get<std::string>();
    return true;
}

bool readFlag(const Json& object, std::uint8_t& flag) {
    const auto found = object.find("flag");
    if (found == object.end() || found->is_null()) {
        flag = 0;
        return true;
    }
    if (!found->is_number_integer()) {
        return false;
    }
    const std::int64_t value = found->get<std::int64_t>();
    if (value < 0 || value > 255) {
        return false;
    }
    flag = static_cast<std::uint8_t>(value);
    return true;
}

bool readNotes(const Json& object, std::map<std::string, std::string>& notes) {
    notes.clear();
    const auto found = object.find("notes");
    if (found == object.end() || found->is_null()) {
        return true;
    }
    if (!found->is_object()) {
        return false;
    }
    for (const auto& [code, text] : found->items()) {
        if (text.is_string()) {
            notes.emplace(code, text.get<std::string>());
        }
    }
    return true;
}

}  // namespace

bool WebApiAnswer::ParseFirmwareVersion(const std::string& text, WEBAPI_FIRMWARE_VERSION& answer) {
    const Json object = Json::parse(text, nullptr, false);
    if (!object.is_object()) {
        return false;
    }
    WEBAPI_FIRMWARE_VERSION parsed;
    if (!requiredText(object, "version", parsed.version) ||
        !requiredText(object, "url", parsed.url) || !readFlag(object, parsed.flag) ||
        !readNotes(object, parsed.notes) || !optionalText(object, "extra", parsed.extra) ||
        !optionalText(object, "notesKorean", parsed.notesKorean)) {
        return false;
    }
    answer = std::move(parsed);
    return true;
}

bool WebApiAnswer::ParseTesselVersion(const std::string& text, WEBAPI_TESSEL_VERSION& answer) {
    const Json object = Json::parse(text, nullptr, false);
    if (!object.is_object()) {
        return false;
    }
    WEBAPI_TESSEL_VERSION parsed;
    if (!requiredText(object, "version", parsed.version) ||
        !requiredText(object, "url", parsed.url) ||
        !optionalText(object, "notice", parsed.notice)) {
        return false;
    }
    answer = std::move(parsed);
    return true;
}
