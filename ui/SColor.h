#pragma once

#include <cstdint>

// Colours are 32-bit words 0xTTBBGGRR: red in the lowest byte, then green, then blue, and the
// transparency T in the highest byte (0 = opaque, 255 = invisible).
class SColor {
public:
    explicit SColor(uint32_t value) : m_value(value) {}

    static constexpr uint32_t Make(uint8_t red, uint8_t green, uint8_t blue,
                                   uint8_t transparency = 0) {
        return static_cast<uint32_t>(red) | (static_cast<uint32_t>(green) << 8) |
               (static_cast<uint32_t>(blue) << 16) | (static_cast<uint32_t>(transparency) << 24);
    }
    // A fully transparent colour: filling with it changes nothing.
    static constexpr uint32_t kTransparent = 0xFF000000u;

    double Red() const { return (m_value & 0xFFu) / 255.0; }
    double Green() const { return ((m_value >> 8) & 0xFFu) / 255.0; }
    double Blue() const { return ((m_value >> 16) & 0xFFu) / 255.0; }
    // The alpha used for drawing: 1 - T/255.
    double Alpha() const { return 1.0 - ((m_value >> 24) & 0xFFu) / 255.0; }
    // Opaque colours replace the pixels under them (operator SOURCE); others blend (OVER).
    bool IsOpaque() const { return (m_value >> 24) == 0; }
    bool IsInvisible() const { return (m_value >> 24) == 0xFFu; }
    uint32_t Value() const { return m_value; }

private:
    uint32_t m_value;
};
