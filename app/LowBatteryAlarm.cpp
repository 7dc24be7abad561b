#include "app/LowBatteryAlarm.h"

int LowBatteryAlarm::OnLevel(int level) {
    if (level < 1 || level > 100) {
        return 0;
    }
    if (level > kFirstMark + kRearmMargin) {
        m_firstDone = false;
    }
    if (level > kSecondMark + kRearmMargin) {
        m_secondDone = false;
    }
    if (level <= kSecondMark && !m_secondDone) {
        m_secondDone = true;
        m_firstDone = true;
        return kSecondMark;
    }
    if (level <= kFirstMark && !m_firstDone) {
        m_firstDone = true;
        return kFirstMark;
    }
    return 0;
}
