#include "ctl/ProgressBar.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace ctl {

namespace {

constexpr uint64_t kKiB = 1024;
constexpr uint64_t kMiB = 1024 * kKiB;

}  // namespace

std::string ProgressBar::amount(uint64_t bytes, uint64_t scale) {
    const uint64_t largest = std::max(bytes, scale);
    char text[32];
    if (largest < kKiB) {
        std::snprintf(text, sizeof(text), "%llu B", static_cast<unsigned long long>(bytes));
    } else if (largest < kMiB) {
        std::snprintf(text, sizeof(text), "%.1f KiB", static_cast<double>(bytes) / kKiB);
    } else {
        std::snprintf(text, sizeof(text), "%.1f MiB", static_cast<double>(bytes) / kMiB);
    }
    return text;
}

void ProgressBar::update(int percent, uint64_t bytes) {
    const int shown = std::clamp(percent, 0, 100);
    const int filled = shown * kWidth / 100;
    // Trailing blanks wipe what a longer earlier line left behind.
    char line[160];
    std::snprintf(line, sizeof(line), "\r[%s%s] %3d %%  %s %s   ", std::string(filled, '#').c_str(),
                  std::string(kWidth - filled, '-').c_str(), shown, amount(bytes, m_total).c_str(),
                  m_verb);
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
