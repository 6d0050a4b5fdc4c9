#include "module/model/params.h"

#include <algorithm>
#include <memory>
#include <cwchar>
#include <cwctype>

#include "module/model/project_tables.h"
#include "module/toolkit/suite_call.h"
#include "platform/suite/suite_abi.h"

namespace {

// The window library computes a figure in place in a buffer of 204,800 bytes.
constexpr size_t kCoordBufferChars = 204800 / sizeof(wchar_t);
// The base library writes an expression's value into 100 characters; the
// buffer has room to spare.
constexpr size_t kExprBufferChars = 256;

const std::wstring kBaseMark = L"基点";
const std::wstring kFloorHeightName = L"层高";

bool holds(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

// The decimal number at the start of a text (leading blanks skipped): sign,
// digits, decimal point and exponent; 0 when the text does not start with
// one. Hexadecimal, "inf" and "nan" are no numbers here.
double decimalPrefix(const std::wstring& text) {
  size_t i = 0;
  while (i < text.size() && std::iswspace(text[i])) ++i;
  size_t j = i;
  if (j < text.size() && (text[j] == L'+' || text[j] == L'-')) ++j;
  if (j >= text.size() || !(std::iswdigit(text[j]) || text[j] == L'.')) return 0;
  if (text[j] == L'0' && j + 1 < text.size() && (text[j + 1] == L'x' || text[j + 1] == L'X')) return 0;
  const wchar_t* begin = text.c_str() + i;
  wchar_t* end = nullptr;
  double v = std::wcstod(begin, &end);
  return end == begin ? 0 : v;
}

std::wstring formatF(double v) {
  wchar_t buf[64];
  std::swprintf(buf, 64, L"%f", v);
  return buf;
}

// Moves every point of a coordinate line by minus the base point, written
// with two decimals; a value after ":" is kept as written.
std::wstring rebaseLine(const std::wstring& line, double baseX, double baseY) {
  StringArray pieces;
  SplitString(line, L"|", pieces);
  for (auto& piece : pieces) {
    if (piece.empty()) continue;
    std::wstring xText, rest, head, value;
    SplitHeadTail(piece, L",", xText, rest);
    SplitHeadTail(rest, L":", head, value);
    std::wstring suffix = value.empty() ? L"" : L":" + value;
    wchar_t buf[128];
    std::swprintf(buf, 128, L"%.2f,%.2f", decimalPrefix(xText) - baseX, decimalPrefix(rest) - baseY);
    piece = buf + suffix;
  }
  std::wstring out;
  JoinArray(pieces, L"|", out);
  return out;
}

// A text in a buffer of at least the library's size, larger when the text
// needs more, so that nothing is written past it. Only the text and its end
// are written: a take-off computes figures for every component, and
// clearing two buffers of this size each time costs more than the figure.
std::unique_ptr<wchar_t[]> inCoordBuffer(const std::wstring& text, size_t& size) {
  size = std::max(kCoordBufferChars, text.size() + 1);
  auto buffer = std::make_unique_for_overwrite<wchar_t[]>(size);
  std::copy(text.begin(), text.end(), buffer.get());
  buffer[text.size()] = L'\0';
  return buffer;
}

// Runs the window library on one number's parameter text and formula.
std::wstring computeFigure(const std::wstring& paramText, const std::wstring& formula) {
  size_t paramsSize = 0, size = 0;
  auto params = inCoordBuffer(paramText, paramsSize);
  auto buffer = inCoordBuffer(formula, size);
  // Without the library nothing can be computed: the number has no lines.
  if (!SuiteCall<decltype(WinDll_MathCoord_W)>::call(SuiteModule::Window, "WinDll_MathCoord_W", params.get(),
                                                    buffer.get()))
    return {};
  buffer[size - 1] = L'\0';
  return buffer.get();
}

}  // namespace

void ComputeGjCoords(const StringArray& formulas, StringArray& params, StringArray& out, double floorHeight) {
  if (floorHeight != 0) {
    const std::wstring height = formatF(floorHeight);
    for (auto& item : params) ReplaceAll(item, kFloorHeightName, height);
  }
  out.clear();
  for (const auto& item : params) {
    std::wstring number, paramText;
    SplitHeadTail(item, L"=", number, paramText);
    std::wstring formula = GetAttrValue(formulas, number);
    if (formula.empty()) continue;
    if (size_t cut = formula.find(L"********"); cut != std::wstring::npos) formula.erase(cut);

    std::wstring computed = computeFigure(paramText, formula);
    StringArray lines;
    SplitLines(computed, lines);

    if (holds(computed, kBaseMark)) {
      double baseX = 0, baseY = 0;
      auto base = std::find_if(lines.begin(), lines.end(), [](const auto& l) { return holds(l, kBaseMark); });
      if (base != lines.end()) {
        std::wstring xText, yText;
        SplitHeadTail(*base, L",", xText, yText);
        baseX = decimalPrefix(xText);
        baseY = decimalPrefix(yText);
        lines.erase(base);
      }
      for (auto& line : lines)
        if (!holds(line, L"[")) line = rebaseLine(line, baseX, baseY);
    }

    std::wstring text;
    for (const auto& line : lines)
      if (!line.empty() && !holds(line, L"[")) text += line + L"\r\n";
    out.push_back(number + L"=" + TrimWhiteRight(text));
  }
}

void ComputeGjCoordsOf(const StringArray& formulas, const std::wstring& number, const StringArray& lines,
                       std::wstring& out, double floorHeight) {
  std::wstring joined;
  JoinLines(lines, joined);
  StringArray params{number + L"=" + joined};
  StringArray result;
  ComputeGjCoords(formulas, params, result, floorHeight);
  out = GetAttrValue(result, number);
}

void ParseCoordList(const std::wstring& text, std::vector<geom::Point3d>& points, std::vector<double>& values) {
  points.clear();
  values.clear();
  StringArray pieces;
  SplitToArray(TrimWhiteRight(text), L"|", pieces);
  for (std::wstring piece : pieces) {
    if (piece.empty()) continue;
    if (size_t dots = piece.find(L".."); dots != std::wstring::npos) piece.erase(dots);
    std::wstring valueText;
    if (size_t colon = piece.find(L':'); colon != std::wstring::npos) {
      valueText = piece.substr(colon + 1);
      piece.erase(colon);
    }
    values.push_back(decimalPrefix(valueText));
    StringArray xyz;
    SplitString(piece, L",", xyz);
    double c[3] = {0, 0, 0};
    for (size_t i = 0; i < 3 && i < xyz.size(); ++i) c[i] = decimalPrefix(xyz[i]);
    points.push_back(geom::Point3d{c[0], c[1], c[2]});
  }
}

double EvalParamExpression(const std::wstring& name, const StringArray& attrs) {
  std::wstring text = GetAttrValue(attrs, name);
  ReplaceAll(text, kFloorHeightName, formatF(g_floorHeight));
  if (text.find_first_of(L"+-*/()") == std::wstring::npos) return decimalPrefix(text);
  std::vector<wchar_t> result(kExprBufferChars, L'\0');
  SuiteCall<decltype(Dll_ExpressMath_W)>::call(SuiteModule::Base, "Dll_ExpressMath_W", 0, text.c_str(),
                                               result.data(), 0);
  result.back() = L'\0';
  return decimalPrefix(result.data());
}
