#include "services/WebApiAnswer.h"

#include <functional>
#include <initializer_list>
#include <nlohmann/json.hpp>

namespace {

using Json = nlohmann::json;

base::Error fieldError(const char* name, const char* fault) {
    return base::Error(fault).within(std::string("field \"") + name + "\"");
}

base::Error requiredText(const Json& object, const char* name, std::string& out) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_string()) {
        return fieldError(name, "missing or not a text");
    }
    out = found->get<std::string>();
    return out.empty() ? fieldError(name, "empty") : base::Error();
}

base::Error optionalText(const Json& object, const char* name, std::string& out) {
    const auto found = object.find(name);
    if (found == object.end() || found->is_null()) {
        out.clear();
        return {};
    }
    if (!found->is_string()) {
        return fieldError(name, "not a text");
    }
    out = found->get<std::string>();
    return {};
}

base::Error readFlag(const Json& object, std::uint8_t& flag) {
    const auto found = object.find("flag");
    if (found == object.end() || found->is_null()) {
        flag = 0;
        return {};
    }
    if (!found->is_number_integer()) {
        return fieldError("flag", "not a whole number");
    }
    const std::int64_t value = found->get<std::int64_t>();
    if (value < 0 || value > 255) {
        return fieldError("flag", "outside 0..255");
    }
    flag = static_cast<std::uint8_t>(value);
    return {};
}

base::Error readNotes(const Json& object, std::map<std::string, std::string>& notes) {
    notes.clear();
    const auto found = object.find("notes");
    if (found == object.end() || found->is_null()) {
        return {};
    }
    if (!found->is_object()) {
        return fieldError("notes", "not an object");
    }
    for (const auto& [code, text] : found->items()) {
        if (text.is_string()) {
            notes.emplace(code, text.get<std::string>());
        }
    }
    return {};
}

// The first error of a list of field readings, or no error.
base::Error firstOf(std::initializer_list<std::function<base::Error()>> readings) {
    for (const auto& reading : readings) {
        if (base::Error error = reading()) {
            return error;
        }
    }
    return {};
}

const base::Error kNotAnObject("the answer is not a JSON object");

}  // namespace

base::Error WebApiAnswer::ParseFirmwareVersion(const std::string& text,
                                               WEBAPI_FIRMWARE_VERSION& answer) {
    const Json object = Json::parse(text, nullptr, false);
    if (!object.is_object()) {
        return kNotAnObject;
    }
    WEBAPI_FIRMWARE_VERSION parsed;
    base::Error error = firstOf({
        [&] { return requiredText(object, "version", parsed.version); },
        [&] { return requiredText(object, "url", parsed.url); },
        [&] { return readFlag(object, parsed.flag); },
        [&] { return readNotes(object, parsed.notes); },
        [&] { return optionalText(object, "extra", parsed.extra); },
        [&] { return optionalText(object, "notesKorean", parsed.notesKorean); },
    });
    if (!error) {
        answer = std::move(parsed);
    }
    return error;
}

base::Error WebApiAnswer::ParseTesselVersion(const std::string& text,
                                             WEBAPI_TESSEL_VERSION& answer) {
    const Json object = Json::parse(text, nullptr, false);
    if (!object.is_object()) {
        return kNotAnObject;
    }
    WEBAPI_TESSEL_VERSION parsed;
    base::Error error = firstOf({
        [&] { return requiredText(object, "version", parsed.version); },
        [&] { return requiredText(object, "url", parsed.url); },
        [&] { return optionalText(object, "notice", parsed.notice); },
    });
    if (!error) {
        answer = std::move(parsed);
    }
    return error;
}
