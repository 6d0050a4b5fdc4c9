// Entity and layer colours: colour index (0 by block, 1..255, 256 by layer)
// or a true colour.
#pragma once

#include <cstdint>

namespace cad {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
  // Packed 0xRRGGBB, as true colour is stored in files (group 420).
  std::uint32_t packed() const { return (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b; }
  static Rgb fromPacked(std::uint32_t v) { return {std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)}; }
  // The window system's 0x00BBGGRR order.
  std::uint32_t colorRef() const { return (std::uint32_t(b) << 16) | (std::uint32_t(g) << 8) | r; }
  static Rgb fromColorRef(std::uint32_t v) { return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16)}; }
};

// The 256-entry colour index palette (index 0 and 256 give white/black placeholders:
// they are resolved through the block or the layer).
Rgb aciToRgb(int index);
// The palette index 1..255 closest to the colour.
int nearestAci(Rgb c);

class Color {
 public:
  enum class Method : std::uint8_t { ByLayer, ByBlock, ByAci, ByRgb };
  constexpr Color() = default;
  static Color byLayer() { return Color(); }
  static Color byBlock() { Color c; c.method_ = Method::ByBlock; c.index_ = 0; return c; }
  static Color fromIndex(int index);           // 0 by block, 256 by layer, 1..255
  static Color fromRgb(std::uint8_t r, std::uint8_t g, std::uint8_t b);
  static Color fromRgb(Rgb c) { return fromRgb(c.r, c.g, c.b); }

  Method method() const { return method_; }
  bool isByLayer() const { return method_ == Method::ByLayer; }
  bool isByBlock() const { return method_ == Method::ByBlock; }
  bool isByAci() const { return method_ == Method::ByAci; }
  bool isByRgb() const { return method_ == Method::ByRgb; }
  // 256 by layer, 0 by block, the index, or for a true colour the nearest index.
  int colorIndex() const { return index_; }
  // The displayed colour: the palette colour or the true colour (by layer/block: white).
  Rgb rgb() const;
  void setColorIndex(int index) { *this = fromIndex(index); }
  void setRgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { *this = fromRgb(r, g, b); }
  bool operator==(const Color&) const = default;

 private:
  Method method_ = Method::ByLayer;
  std::int16_t index_ = 256;
  Rgb rgb_{};
};

}  // namespace cad
