#include "ctl/UpdateProgress.h"

#include "ctl/Output.h"

namespace ctl {

UpdateProgress::UpdateProgress(Output& output, uint64_t total, std::string event, const char* verb,
                               std::string label)
    : m_output(output),
      m_total(total),
      m_event(std::move(event)),
      m_label(std::move(label)),
      m_bar(output.out(), verb, total) {}

void UpdateProgress::report(int percent, uint64_t bytes) {
    const bool percentChanged = percent != m_percent;
    const uint64_t step = m_total / 100 > 0 ? m_total / 100 : 1;
    if (m_output.json()) {
        if (percentChanged || !m_reported || bytes >= m_bytes + step) {
            m_output.object({{"event", m_event}, {"percent", percent}, {"bytes", bytes}});
            m_output.out().flush();
            m_bytes = bytes;
            m_reported = true;
        }
    } else if (m_output.terminal()) {
        m_bar.update(percent, bytes);
    } else if (percent / 10 != m_percent / 10 || (percentChanged && m_percent < 0)) {
        // Plain text (a file, a pipe) gets a line per tenth.
        m_output.line(m_label + ": " + std::to_string(percent) + " %");
        m_output.out().flush();
    }
    m_percent = percent;
}

void UpdateProgress::end() {
    m_bar.finish();
}

}  // namespace ctl
