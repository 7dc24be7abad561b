#include "app/SupportReport.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <sstream>

#include "base/Log.h"
#include "platform/CapturedRun.h"
#include "platform/Paths.h"
#include "services/EnvironVar.h"

namespace {
constexpr auto kReportTimeout = std::chrono::seconds(120);
}  // namespace

std::string SupportReport::DefaultPath() {
    const char* home = std::getenv("HOME");
    const std::string folder = home != nullptr && home[0] == '/'
                                   ? std::string(home)
                                   : platform::paths::userFolder().string();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[64];
    std::strftime(name, sizeof(name), "auralis-report-%Y%m%d-%H%M%S.tar.gz", &local);
    return folder + "/" + name;
}

SupportReport SupportReport::Save(const std::string& path) {
    const std::string ctl = EnvironVar::GetInstallPath() + "/auralis-ctl";
    const platform::process::CapturedRun run =
        platform::process::runCaptured(ctl, {"--json", "report", path}, kReportTimeout);
    SupportReport report;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json answer = nlohmann::json::parse(line, nullptr, false);
        if (answer.is_object() && answer.value("event", "") == "report") {
            report.saved = run.succeeded();
            report.path = answer.value("path", path);
            report.bytes = answer.value("bytes", std::uintmax_t{0});
        }
    }
    _Log(report.saved ? LOG_INFO : LOG_WARNING, "SupportReport::Save", __LINE__,
         "report %s: exit %d, %ju bytes", path.c_str(), run.exitStatus, report.bytes);
    return report;
}
