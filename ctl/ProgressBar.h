#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace ctl {

// The progress of a firmware update on a terminal: one line redrawn in place,
// "[##########----------]  50 %   1.2 MiB sent". finish() ends the line.
class ProgressBar {
public:
    static constexpr int kWidth = 30;

    // verb follows the amount: "sent", "received". The amount is shown in the unit that fits
    // total (bytes, KiB or MiB), so that a package of some kilobytes never reads "0.0 MiB".
    explicit ProgressBar(std::ostream& out, const char* verb = "sent", uint64_t total = 0)
        : m_out(out), m_verb(verb), m_total(total) {}

    void update(int percent, uint64_t bytes);
    void finish();

    // bytes in the unit that fits scale (the larger of the total and the amount itself):
    // "512 B", "95.7 KiB", "1.2 MiB".
    static std::string amount(uint64_t bytes, uint64_t scale);

private:
    std::ostream& m_out;
    const char* m_verb;
    uint64_t m_total;
    bool m_drawn = false;
};

}  // namespace ctl
