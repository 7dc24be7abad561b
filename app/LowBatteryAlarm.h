#pragma once

// Decides when to warn that the earbuds run low: once when the lower bud falls to 20 % and once
// at 10 %, each once per discharge. A warning is armed again only when the level has climbed
// a few points above its mark, so a level that wavers around the mark warns once.
class LowBatteryAlarm {
public:
    static constexpr int kFirstMark = 20;
    static constexpr int kSecondMark = 10;
    static constexpr int kRearmMargin = 5;

    // The lower bud's level (1-100; anything else is ignored). Returns the mark a warning is
    // due for (kFirstMark or kSecondMark), or 0. A fall past both marks at once warns for the
    // lower one only.
    int OnLevel(int level);

private:
    bool m_firstDone = false;
    bool m_secondDone = false;
};
