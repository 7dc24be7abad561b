#include "ctl/ProgressBar.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace ctl {

void ProgressBar::update(int percent, uint64_t bytes) {
    const int shown = std::clamp(percent, 0, 100);
    const int filled = shown * kWidth / 100;
    char amount[32];
    std::snprintf(amount, sizeof(amount), "%.1f MiB",
                  static_cast<double>(bytes) / (1024.0 * 1024.0));
    char line[128];
    std::snprintf(line, sizeof(line), "\r[%s%s] %3d %%  %s %s", std::string(filled, '#').c_str(),
                  std::string(kWidth - filled, '-').c_str(), shown, amount, m_verb);
    m_out << line << std::flush;
    m_drawn = true;
}

void ProgressBar::finish() {
    if (m_drawn) {
        m_out << '\n' << std::flush;
        m_drawn = false;
    }
}

}  // namespace ctl
