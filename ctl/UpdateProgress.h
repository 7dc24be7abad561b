#pragma once

#include <cstdint>
#include <string>

#include "ctl/ProgressBar.h"

namespace ctl {

class Output;

// The "reason" of a failed update's final {"event":"finish"} object when the update ended
// without the earbuds' verdict: the link could not be made or was lost (the earbuds stopped
// answering or closed it). The earbuds' own reasons are 0 and up, -1 an unreadable package.
constexpr int kFinishReasonLinkLost = -2;
// The "reason" when the user interrupted the update (Ctrl-C, SIGTERM) before the earbuds'
// verdict.
constexpr int kFinishReasonInterrupted = -3;

// Shows one stage of a firmware update (the download, the transfer): a bar on a terminal,
// a line per tenth otherwise, and in JSON an object {"event": event, "percent", "bytes"}
// whenever the percent changes or another hundredth of total has passed.
class UpdateProgress {
public:
    // event: the JSON event name ("download", "progress"); verb: the bar's word ("received",
    // "sent"); label: the plain-text line's start ("download", "progress").
    UpdateProgress(Output& output, uint64_t total, std::string event = "progress",
                   const char* verb = "sent", std::string label = "progress");

    void report(int percent, uint64_t bytes);
    // Ends the bar's line.
    void end();

private:
    Output& m_output;
    const uint64_t m_total;
    const std::string m_event;
    const std::string m_label;
    ProgressBar m_bar;
    int m_percent = -1;
    uint64_t m_bytes = 0;
    bool m_reported = false;
};

}  // namespace ctl
