#include "platform/cad/values.h"

#include <mutex>
#include <unordered_map>

namespace cad {

ValueType valueTypeOf(int code) {
  if (code < 0) return ValueType::None;
  if (code <= 4 || (code >= 6 && code <= 9)) return ValueType::String;
  if (code == 5 || code == 105) return ValueType::Handle;
  if (code >= 10 && code <= 39) return ValueType::Point;  // x of a point (y, z follow in files)
  if (code >= 40 && code <= 59) return ValueType::Real;
  if (code >= 60 && code <= 99) return ValueType::Int;
  if (code == 100 || code == 102) return ValueType::String;
  if (code >= 110 && code <= 139) return ValueType::Point;
  if (code >= 140 && code <= 149) return ValueType::Real;
  if (code >= 160 && code <= 179) return ValueType::Int;
  if (code >= 210 && code <= 239) return ValueType::Point;
  if (code >= 270 && code <= 289) return ValueType::Int;
  if (code >= 290 && code <= 299) return ValueType::Int;
  if (code >= 300 && code <= 309) return ValueType::String;
  if (code >= 310 && code <= 319) return ValueType::String;  // binary as hex text
  if (code >= 320 && code <= 369) return ValueType::Handle;
  if (code >= 370 && code <= 389) return ValueType::Int;
  if (code >= 390 && code <= 399) return ValueType::Handle;
  if (code >= 400 && code <= 409) return ValueType::Int;
  if (code >= 410 && code <= 419) return ValueType::String;
  if (code >= 420 && code <= 429) return ValueType::Int;
  if (code >= 430 && code <= 439) return ValueType::String;
  if (code >= 440 && code <= 459) return ValueType::Int;
  if (code >= 460 && code <= 469) return ValueType::Real;
  if (code >= 470 && code <= 481) return ValueType::String;
  if (code == 999) return ValueType::String;
  if (code >= 1000 && code <= 1009) return code == 1005 ? ValueType::Handle : ValueType::String;
  if (code >= 1010 && code <= 1039) return ValueType::Point;
  if (code >= 1040 && code <= 1059) return ValueType::Real;
  if (code >= 1060 && code <= 1071) return ValueType::Int;
  return ValueType::None;
}

namespace {
const std::wstring& emptyText() {
  static const std::wstring empty;
  return empty;
}
}  // namespace

SharedText::SharedText(std::wstring s) {
  if (s.empty()) return;
  // Kept for long: no room beyond the characters.
  if (s.capacity() > s.size() + 4) s.shrink_to_fit();
  size_ = std::uint32_t(std::min<std::size_t>(s.size(), UINT32_MAX));
  std::copy(s.begin(), s.begin() + std::min<std::size_t>(s.size(), kHead), head_);
  rep_ = new Rep;
  rep_->text = std::move(s);
}

const std::wstring& SharedText::str() const { return rep_ ? rep_->text : emptyText(); }

SharedText appNameText(const std::wstring& name) {
  static std::mutex mutex;
  static std::unordered_map<std::wstring, SharedText> names;
  std::lock_guard lock(mutex);
  auto it = names.find(name);
  if (it == names.end()) it = names.emplace(name, SharedText(name)).first;
  return it->second;
}

const std::wstring& TypedValue::str() const {
  if (auto p = std::get_if<SharedText>(&value)) return p->str();
  return emptyText();
}
std::wstring_view TypedValue::view() const {
  if (auto p = std::get_if<SharedText>(&value)) return p->view();
  return {};
}
double TypedValue::real() const {
  if (auto p = std::get_if<double>(&value)) return *p;
  if (auto p = std::get_if<std::int64_t>(&value)) return double(*p);
  return 0;
}
std::int64_t TypedValue::integer() const {
  if (auto p = std::get_if<std::int64_t>(&value)) return *p;
  return 0;
}
geom::Point3d TypedValue::point() const {
  if (auto p = std::get_if<geom::Point3d>(&value)) return *p;
  return {};
}

ValueChain xdataStrings(const std::wstring& app, const std::vector<std::wstring>& lines) {
  ValueChain c;
  c.reserve(lines.size() + 1);
  c.emplace_back(xd::kAppName, app);
  for (const auto& l : lines) c.emplace_back(xd::kString, l);
  return c;
}

static bool typeFits(const TypedValue& v) {
  switch (valueTypeOf(v.code)) {
    case ValueType::String:
    case ValueType::Handle: return v.isString();
    case ValueType::Real: return v.isReal() || v.isInt();
    case ValueType::Int: return v.isInt();
    case ValueType::Point: return v.isPoint();
    case ValueType::None: return false;
  }
  return false;
}

Status checkXDataChain(const ValueChain& chain) {
  if (chain.empty() || chain.front().code != xd::kAppName) return Status::BadXData;
  int depth = 0;
  for (const auto& v : chain) {
    if (v.code < 1000 || v.code > 1071) return Status::BadXData;
    if (!typeFits(v)) return Status::BadXData;
    if (v.code == xd::kAppName) {
      if (depth != 0 || v.str().empty()) return Status::BadXData;
      continue;
    }
    if (v.isString() && v.str().size() > xd::kMaxString) return Status::StringTooLong;
    if (v.code == xd::kControl) {
      if (v.str() == L"{") ++depth;
      else if (v.str() == L"}") { if (--depth < 0) return Status::BadXData; }
      else return Status::BadXData;
    }
    if (v.code == xd::kInt16 && (v.integer() < -32768 || v.integer() > 32767)) return Status::BadXData;
    if (v.code == xd::kInt32 && (v.integer() < INT32_MIN || v.integer() > INT32_MAX)) return Status::BadXData;
  }
  return depth == 0 ? Status::Ok : Status::BadXData;
}

static std::size_t utf8Length(const std::wstring& s) {
  std::size_t n = 0;
  for (wchar_t c : s) {
    auto u = std::uint32_t(c);
    n += u < 0x80 ? 1 : u < 0x800 ? 2 : u < 0x10000 ? 3 : 4;
  }
  return n;
}

std::size_t xdataSize(const ValueChain& chain) {
  std::size_t n = 0;
  for (const auto& v : chain) {
    n += 2;  // the group code
    if (v.code == xd::kAppName) n += 2;  // stored as a table reference
    else if (v.isString()) n += 3 + utf8Length(v.str());
    else if (v.isPoint()) n += 24;
    else if (v.code == xd::kInt16) n += 2;
    else if (v.code == xd::kInt32) n += 4;
    else n += 8;
  }
  return n;
}

}  // namespace cad
