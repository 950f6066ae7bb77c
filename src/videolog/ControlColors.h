#pragma once

#include <cstdint>

// Colours of the level meter and the position bar: packed 0x00BBGGRR values (red in the low
// byte, blue in the high byte), the way the playback window's skin table writes them. Every
// helper works on the three bytes separately and rounds to the nearest integer, halves to even.
using TColor = uint32_t;

constexpr TColor ColorRGB(uint8_t r, uint8_t g, uint8_t b) {
    return TColor{r} | (TColor{g} << 8) | (TColor{b} << 16);
}
constexpr uint8_t RedOf(TColor c) {
    return static_cast<uint8_t>(c & 0xFF);
}
constexpr uint8_t GreenOf(TColor c) {
    return static_cast<uint8_t>((c >> 8) & 0xFF);
}
constexpr uint8_t BlueOf(TColor c) {
    return static_cast<uint8_t>((c >> 16) & 0xFF);
}

constexpr TColor kColorBlack = ColorRGB(0, 0, 0);
constexpr TColor kColorWhite = ColorRGB(255, 255, 255);

// Each byte divided by 1.5: how an unlit meter segment shows its zone colour.
TColor DarkenedColor(TColor c);
// Each byte halved: the slider's frame.
TColor HalvedColor(TColor c);
// Each byte times Factor, at most 255: the bar frame is the surrounding colour brightened.
TColor BrightenedColor(TColor c, double Factor);
// Each byte 255 - byte: the meter's lines over unlit segments.
TColor InvertedColor(TColor c);
// Step Step of Steps from From to To: each byte From + Step * (To - From) / Steps, kept in
// 0..255. Steps of 0 or less gives From.
TColor BlendColor(TColor From, TColor To, int32_t Steps, int32_t Step);
