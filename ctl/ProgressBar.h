#pragma once

#include <cstdint>
#include <ostream>

namespace ctl {

// The progress of a firmware update on a terminal: one line redrawn in place,
// "[##########----------]  50 %   1.2 MiB sent". finish() ends the line.
class ProgressBar {
public:
    static constexpr int kWidth = 30;

    // verb follows the amount: "sent", "received".
    explicit ProgressBar(std::ostream& out, const char* verb = "sent") : m_out(out), m_verb(verb) {}

    void update(int percent, uint64_t bytes);
    void finish();

private:
    std::ostream& m_out;
    const char* m_verb;
    bool m_drawn = false;
};

}  // namespace ctl
