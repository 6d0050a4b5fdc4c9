#include "platform/cad/color.h"

#include <array>
#include <cmath>

namespace cad {

namespace {

// The index palette: 1..9 fixed colours, 10..249 twenty-four hues in steps
// of 15 degrees, each at five brightness levels in full and half saturation,
// 250..255 greys.
std::array<Rgb, 256> buildPalette() {
  std::array<Rgb, 256> p{};
  p[0] = {0, 0, 0};
  p[1] = {255, 0, 0};
  p[2] = {255, 255, 0};
  p[3] = {0, 255, 0};
  p[4] = {0, 255, 255};
  p[5] = {0, 0, 255};
  p[6] = {255, 0, 255};
  p[7] = {255, 255, 255};
  p[8] = {128, 128, 128};
  p[9] = {192, 192, 192};
  const double levels[5] = {255, 165, 127, 76, 38};
  for (int i = 10; i < 250; ++i) {
    int hueStep = (i - 10) / 10;
    int j = (i - 10) % 10;
    double v = levels[j / 2];
    double sat = (j % 2) ? 0.5 : 1.0;
    double h = hueStep * 15.0 / 60.0;  // sector 0..6
    int sector = int(h) % 6;
    double f = h - std::floor(h);
    double lo = v * (1 - sat);
    double dn = v * (1 - sat * f);        // falling
    double up = v * (1 - sat * (1 - f));  // rising
    double r = 0, g = 0, b = 0;
    switch (sector) {
      case 0: r = v; g = up; b = lo; break;
      case 1: r = dn; g = v; b = lo; break;
      case 2: r = lo; g = v; b = up; break;
      case 3: r = lo; g = dn; b = v; break;
      case 4: r = up; g = lo; b = v; break;
      default: r = v; g = lo; b = dn; break;
    }
    p[i] = {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)};
  }
  const std::uint8_t greys[6] = {0, 101, 102, 153, 204, 255};
  for (int i = 0; i < 6; ++i) p[250 + i] = {greys[i], greys[i], greys[i]};
  return p;
}

const std::array<Rgb, 256>& palette() {
  static const auto p = buildPalette();
  return p;
}

}  // namespace

Rgb aciToRgb(int index) {
  if (index <= 0 || index >= 256) return {255, 255, 255};
  return palette()[std::size_t(index)];
}

int nearestAci(Rgb c) {
  int best = 7;
  long bestD = -1;
  for (int i = 1; i < 256; ++i) {
    const Rgb& q = palette()[std::size_t(i)];
    long dr = long(q.r) - c.r, dg = long(q.g) - c.g, db = long(q.b) - c.b;
    long d = dr * dr + dg * dg + db * db;
    if (bestD < 0 || d < bestD) { bestD = d; best = i; }
  }
  return best;
}

Color Color::fromIndex(int index) {
  Color c;
  if (index <= 0) { c.method_ = Method::ByBlock; c.index_ = 0; }
  else if (index >= 256) { c.method_ = Method::ByLayer; c.index_ = 256; }
  else { c.method_ = Method::ByAci; c.index_ = std::int16_t(index); c.rgb_ = aciToRgb(index); }
  return c;
}

Color Color::fromRgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  Color c;
  c.method_ = Method::ByRgb;
  c.rgb_ = {r, g, b};
  c.index_ = std::int16_t(nearestAci(c.rgb_));
  return c;
}

Rgb Color::rgb() const {
  if (method_ == Method::ByRgb || method_ == Method::ByAci) return rgb_;
  return {255, 255, 255};
}

}  // namespace cad
