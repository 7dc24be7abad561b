#include "ctl/FirmwareFlowCommands.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

#include "ctl/CommandArguments.h"
#include "ctl/CtlLink.h"
#include "ctl/FlowEvents.h"
#include "ctl/Interruption.h"
#include "ctl/Output.h"
#include "ctl/TerminalText.h"
#include "ctl/UpdateProgress.h"
#include "flow/FirmwareUpdateFlow.h"
#include "platform/Paths.h"
#include "platform/bluetooth/BluetoothAddress.h"
#include "services/WebApiData.h"
#include "services/WebApiFailure.h"

namespace ctl {
namespace {

using Clock = std::chrono::steady_clock;
using Kind = FlowEvent::Kind;
using platform::bluetooth::formatAddress;

constexpr int kDefaultSeconds = 15;
// The version request (at most 60 s) and the size request (at most 30 s) bound the answer.
constexpr std::chrono::seconds kAnswerBound{100};
// Long enough to stand for "no deadline": the web library ends a stalled download and the
// link's receive watchdog a silent transfer.
constexpr std::chrono::hours kForever{24 * 365};
// How often the wait for the update's next event looks whether the user interrupted it.
constexpr std::chrono::milliseconds kInterruptionCheck{200};

// A command's update flow on a link of its own. The link hands every event to the flow as well
// as to its own queue; it is shut down before the flow goes, so no event reaches a flow that is
// gone.
class FlowSession {
public:
    explicit FlowSession(const std::string& backend)
        : m_link(backend), m_flow(m_link.handle(), &m_events) {
        m_link.alsoTell(&m_flow);
    }
    ~FlowSession() { m_link.handle().shutdown(); }
    FlowSession(const FlowSession&) = delete;
    FlowSession& operator=(const FlowSession&) = delete;

    CtlLink& link() { return m_link; }
    FirmwareUpdateFlow& flow() { return m_flow; }
    FlowEvents& events() { return m_events; }

private:
    CtlLink m_link;
    FlowEvents m_events;
    FirmwareUpdateFlow m_flow;
};

// Connects and waits until the earbuds have told their version. Null after saying why.
BluetoothDevice* connectForUpdate(FlowSession& session, const Invocation& invocation,
                                  Output& output) {
    const std::optional<uint64_t> address = addressArgument(invocation.args[0], output);
    const std::optional<int> seconds = secondsOption(invocation, kDefaultSeconds, output);
    if (!address || !seconds) {
        return nullptr;
    }
    Clock::time_point deadline;
    BluetoothDevice* device =
        session.link().checkAndConnect(*address, std::chrono::seconds(*seconds), output, &deadline);
    if (device == nullptr) {
        return nullptr;
    }
    while (session.flow().currentVersion().empty()) {
        const std::optional<LinkEvent> event = session.link().next(deadline);
        if (!event) {
            output.error("the earbuds did not report their firmware version within " +
                         std::to_string(*seconds) + " s");
            return nullptr;
        }
        if (event->kind == LinkEvent::Kind::Disconnected) {
            output.error("the earbuds went away before they reported their firmware version");
            return nullptr;
        }
    }
    return device;
}

// A refusal with its word, the text for people, and the same text as the object's detail.
int refuse(Output& output, const char* why, const std::string& message) {
    output.error(message);
    output.object({{"event", "refused"}, {"why", why}, {"detail", message}});
    return kExitFailure;
}

// The update server's offer for the connected earbuds; empty (error set) when it cannot be had.
std::optional<FirmwareOffer> requestOffer(FlowSession& session, base::Error& error) {
    if (!session.flow().RequestLatestVersion()) {
        error = base::Error("the request could not be started", WEBAPI_ERROR_NETWORK)
                    .within("version check");
        return std::nullopt;
    }
    error = base::Error("no answer within " + std::to_string(kAnswerBound.count()) + " s",
                        WEBAPI_ERROR_NETWORK)
                .within("version check");
    const Clock::time_point deadline = Clock::now() + kAnswerBound;
    while (const std::optional<FlowEvent> event = session.events().next(deadline)) {
        if (event->kind == Kind::Offer) {
            return event->offer;
        }
        if (event->kind == Kind::CheckFailed) {
            error = event->error();
            return std::nullopt;
        }
    }
    return std::nullopt;
}

int runCheckCommand(const Invocation& invocation, Output& output) {
    if (!platform::bluetooth::parseAddress(invocation.args[0])) {
        addressArgument(invocation.args[0], output);
        return kExitUsage;
    }
    FlowSession session(invocation.global.backend);
    BluetoothDevice* device = connectForUpdate(session, invocation, output);
    if (device == nullptr) {
        // As status says it: the earbuds could not be reached.
        output.object(
            {{"connected", false},
             {"address", formatAddress(*platform::bluetooth::parseAddress(invocation.args[0]))}});
        return kExitFailure;
    }
    base::Error error;
    const std::optional<FirmwareOffer> offer = requestOffer(session, error);
    if (!offer) {
        // What the earbuds told, and the word fw update --latest uses for an unreachable server.
        const services::WebApiFailure problem = services::WebApiFailure::of(error.code());
        const std::string text = problem.englishText(error);
        output.error(text);
        output.object({{"model", device->modelCode()},
                       {"current", shown(session.flow().currentVersion())},
                       {"latest", nullptr},
                       {"newer", false},
                       {"why", problem.why},
                       {"detail", text}});
        return kExitFailure;
    }
    output.object({{"model", device->modelCode()},
                   {"current", offer->currentVersion},
                   {"latest", offer->newVersion},
                   {"newer", offer->offered},
                   {"size", offer->size},
                   {"url", offer->url},
                   {"notes", offer->shownNotes}});
    output.line("Earbuds:  " + printable(device->name) + " (" + formatAddress(device->address) +
                "), model " + device->modelCode());
    output.line("Current:  " + printable(offer->currentVersion));
    output.line("Latest:   " + printable(offer->newVersion) + " (" + offer->sizeText + ")");
    output.line(offer->offered ? "A newer firmware is available: auralis-ctl fw update " +
                                     formatAddress(device->address) + " --latest"
                               : "The earbuds are up to date.");
    if (offer->offered && !offer->shownNotes.empty()) {
        output.line("What's new:");
        output.line(printable(offer->shownNotes, true));
    }
    return kExitSuccess;
}

// Starts the download, or sends the package kept from a failed update again when there is one.
bool startUpdate(FirmwareUpdateFlow& flow, Output& output) {
    if (flow.CheckStart() == fota::UpdateStart::AskResend && flow.HasKeptPackage()) {
        output.line("The last update did not succeed: sending its package again.");
        return flow.Resend();
    }
    return flow.StartDownload();
}

std::string finishText(bool success, int reason) {
    if (success) {
        return "Firmware update finished: the earbuds report success and restart.";
    }
    if (reason == FirmwareUpdateFlow::kReasonRetry) {
        return "The earbuds ended the update and ask for it to be started again (reason 14).";
    }
    if (reason == BluetoothHandle::kFotaReasonPackageUnreadable) {
        return "Firmware update failed: the package could not be read.";
    }
    return "Firmware update failed: the earbuds report reason " + std::to_string(reason) +
           "; they were reset and unpaired.";
}

std::string linkLossText(FlowLinkLoss cause) {
    switch (cause) {
        case FlowLinkLoss::NotReady:
            return "the earbuds did not accept the transfer; nothing was sent (keep both earbuds "
                   "connected and try again)";
        case FlowLinkLoss::Closed:
            return "the link to the earbuds was lost; the update stopped";
        case FlowLinkLoss::Silent:
            break;
    }
    return "the earbuds stopped answering for 20 s; the update stopped";
}

// The final object of an update that ended without the earbuds' verdict.
int linkLost(Output& output) {
    output.object({{"event", "finish"}, {"success", false}, {"reason", kFinishReasonLinkLost}});
    return kExitFailure;
}

// The final object of an update the user interrupted (Ctrl-C, SIGTERM). Leaving the session
// cancels the download, whose partial file goes with it, and closes the link.
int interrupted(Output& output, bool copying) {
    output.error(copying ? "interrupted during the transfer; the earbuds keep the firmware they had"
                         : "interrupted during the download; nothing was sent to the earbuds");
    output.object({{"event", "finish"}, {"success", false}, {"reason", kFinishReasonInterrupted}});
    return kExitFailure;
}

// Follows the update from its start to the earbuds' verdict, the first refusal or an
// interruption by the user.
int followUpdate(FlowSession& session, const FirmwareOffer& offer, Output& output) {
    UpdateProgress download(output, offer.size, "download", "received", "download");
    UpdateProgress transfer(output, offer.size, "progress", "sent", "progress");
    const Clock::time_point never = Clock::now() + kForever;
    bool copying = false;
    for (;;) {
        // Short slices, so that an interruption ends the wait soon.
        const std::optional<FlowEvent> event =
            session.events().next(std::min(never, Clock::now() + kInterruptionCheck));
        if (Interruption::requested()) {
            download.end();
            transfer.end();
            return interrupted(output, copying);
        }
        if (!event) {
            if (Clock::now() >= never) {
                break;
            }
            continue;
        }
        switch (event->kind) {
            case Kind::DownloadProgress:
                download.report(event->number, event->bytes);
                break;
            case Kind::Phase:
                if (event->number == FirmwareUpdateFlow::PH_COPY) {
                    copying = true;
                    download.end();
                    output.line("Copying the firmware to the earbuds.");
                    output.out().flush();
                }
                break;
            case Kind::TransferProgress:
                transfer.report(event->number, event->bytes);
                break;
            case Kind::InternetUnavailable: {
                download.end();
                const services::WebApiFailure problem = services::WebApiFailure::of(event->number);
                const std::string text = problem.englishText(event->error());
                if (event->number == WEBAPI_ERROR_NO_TEMP_FOLDER) {
                    return refuse(output, problem.why, text);
                }
                return refuse(output, problem.why, "the download failed: " + text);
            }
            case Kind::PackageRefused:
                download.end();
                return refuse(output, "invalid-package",
                              "the update failed: the downloaded package is unsound (" +
                                  event->text +
                                  "); it was deleted and the earbuds left as they "
                                  "were");
            case Kind::PairLost:
                download.end();
                output.error(
                    "the connection to the earbuds was lost during the download; the download "
                    "was stopped and nothing was sent to them");
                return linkLost(output);
            case Kind::BluetoothUnavailable:
                transfer.end();
                output.error(linkLossText(static_cast<FlowLinkLoss>(event->number)));
                return linkLost(output);
            case Kind::DeviceLost:
                transfer.end();
                output.error("the connection to the earbuds was lost");
                return linkLost(output);
            case Kind::Finish:
                transfer.end();
                if (!event->flag && output.json()) {
                    output.error(finishText(event->flag, event->number));
                }
                output.object(
                    {{"event", "finish"}, {"success", event->flag}, {"reason", event->number}});
                output.line(finishText(event->flag, event->number));
                return event->flag ? kExitSuccess : kExitFailure;
            default:
                break;
        }
    }
    return linkLost(output);
}

}  // namespace

int runUpdateLatest(const Invocation& invocation, Output& output) {
    if (!platform::bluetooth::parseAddress(invocation.args[0])) {
        addressArgument(invocation.args[0], output);
        return kExitUsage;
    }
    const Interruption interruption;
    FlowSession session(invocation.global.backend);
    BluetoothDevice* device = connectForUpdate(session, invocation, output);
    if (device == nullptr) {
        return linkLost(output);
    }
    base::Error error;
    const std::optional<FirmwareOffer> offer = requestOffer(session, error);
    if (!offer) {
        const services::WebApiFailure problem = services::WebApiFailure::of(error.code());
        return refuse(output, problem.why, problem.englishText(error));
    }
    if (!offer->offered) {
        output.object({{"event", "up-to-date"},
                       {"current", offer->currentVersion},
                       {"latest", offer->newVersion}});
        output.line("Already up to date: the earbuds run " + printable(offer->currentVersion) +
                    ", the newest firmware is " + offer->newVersion + ".");
        return kExitSuccess;
    }
    switch (session.flow().CheckStart()) {
        case fota::UpdateStart::NotWorn:
            return refuse(output, "not-worn",
                          "both earbuds must be connected (in the ear or out of the case) for an "
                          "update");
        case fota::UpdateStart::BatteryLow:
            return refuse(output, "battery-low",
                          "a bud's battery is at " + std::to_string(fota::kMinimumBattery) +
                              " % or less; charge the earbuds and try again");
        default:
            break;
    }
    output.line("Updating " + printable(device->name) + " from " +
                printable(offer->currentVersion) + " to " + printable(offer->newVersion) + " (" +
                offer->sizeText + ").");
    output.out().flush();
    if (!startUpdate(session.flow(), output)) {
        // Only an offer without a download address leaves nothing to start.
        return refuse(output, "server-error",
                      "the update could not be started: the update server gave no package");
    }
    return followUpdate(session, *offer, output);
}

void addFirmwareCheckCommand(CommandTable& table) {
    table.add({.words = {"fw", "check"},
               .argsUsage = "ADDRESS",
               .summary = "compare the earbuds' firmware with the newest on the update server",
               .options = {{"--seconds", "", "N",
                            "how long to look for the earbuds and wait for their version "
                            "(default 15)"}},
               .minArgs = 1,
               .maxArgs = 1,
               .run = runCheckCommand});
}

}  // namespace ctl
