#include "tests/integration/CtlAgainstSim.h"

#include <sstream>

#include "fota/PackageWriter.h"

namespace integration {

std::string writeCtlPackage(std::size_t imageSize, std::size_t secondSize) {
    fota::PackageWriter writer;
    writer.addEntry(2, std::vector<uint8_t>(imageSize, 0x5A));
    if (secondSize != 0) {
        writer.addEntry(3, std::vector<uint8_t>(secondSize, 0xA5));
    }
    const auto path = testing_support::makeTempFolder("ctlpackage") / "package.bin";
    writer.writeFile(path);
    return path.string();
}

std::vector<nlohmann::json> jsonLines(const std::string& text) {
    std::vector<nlohmann::json> objects;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        objects.push_back(nlohmann::json::parse(line, nullptr, false));
    }
    return objects;
}

nlohmann::json lastObject(const std::string& text) {
    const std::vector<nlohmann::json> objects = jsonLines(text);
    return objects.empty() ? nlohmann::json(nlohmann::json::value_t::discarded) : objects.back();
}

nlohmann::json withoutError(nlohmann::json object) {
    if (!object.is_object() || !object.contains("error") || !object["error"].is_string() ||
        object["error"].get<std::string>().empty()) {
        return nullptr;
    }
    object.erase("error");
    return object;
}

}  // namespace integration
