// Typed value chains: the group-coded values of extended data and xrecords.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/cad/ids.h"
#include "platform/cad/status.h"
#include "platform/geom/geom.h"

namespace cad {

// Group codes of extended data.
namespace xd {
constexpr int kAppName = 1001;   // starts one application's group
constexpr int kString = 1000;    // at most 255 characters
constexpr int kControl = 1002;   // "{" or "}"
constexpr int kLayer = 1003;     // layer name
constexpr int kBinary = 1004;    // bytes, kept as hex text
constexpr int kHandle = 1005;    // handle text
constexpr int kPoint = 1010;     // 3D point (1011..1013 are points too)
constexpr int kReal = 1040;      // 1041 distance and 1042 scale are reals too
constexpr int kInt16 = 1070;
constexpr int kInt32 = 1071;
constexpr std::size_t kMaxString = 255;
constexpr std::size_t kMaxBytesPerObject = 16383;
}  // namespace xd

// What kind of value a group code carries (DXF rules).
enum class ValueType { None, String, Real, Int, Point, Handle };
ValueType valueTypeOf(int code);

// Wide text that copies share: a copy takes a reference, not the characters.
// The text never changes once made, so sharing is safe; the count is atomic,
// so copies may live in different threads. A short text (a component number
// such as "12", an application name such as "编号") is also kept inside the
// value itself, so that reading it through view() touches no other memory.
class SharedText {
 public:
  SharedText() = default;  // the empty text
  explicit SharedText(std::wstring s);
  SharedText(const SharedText& o) noexcept : rep_(o.rep_), size_(o.size_) {
    std::copy(o.head_, o.head_ + kHead, head_);
    if (rep_) rep_->refs.fetch_add(1, std::memory_order_relaxed);
  }
  SharedText(SharedText&& o) noexcept : rep_(o.rep_), size_(o.size_) {
    std::copy(o.head_, o.head_ + kHead, head_);
    o.rep_ = nullptr;
    o.size_ = 0;
  }
  SharedText& operator=(SharedText o) noexcept {
    std::swap(rep_, o.rep_);
    std::swap(size_, o.size_);
    std::swap(head_, o.head_);
    return *this;
  }
  ~SharedText() {
    if (rep_ && rep_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete rep_;
  }

  const std::wstring& str() const;
  std::wstring_view view() const {
    return size_ <= kHead ? std::wstring_view(head_, size_) : std::wstring_view(rep_->text);
  }
  bool operator==(const SharedText& o) const { return rep_ == o.rep_ || view() == o.view(); }

 private:
  struct Rep {
    std::atomic<std::uint32_t> refs{1};
    std::wstring text;
  };
  static constexpr std::uint32_t kHead = 3;
  Rep* rep_ = nullptr;
  std::uint32_t size_ = 0;
  wchar_t head_[kHead] = {};
};

// One group-coded value. Strings are wide text (shared between copies of the
// value); handles are kept as text.
struct TypedValue {
  int code = 0;
  std::variant<std::monostate, SharedText, double, std::int64_t, geom::Point3d> value;

  TypedValue() = default;
  TypedValue(int c, std::wstring s) : code(c), value(SharedText(std::move(s))) {}
  TypedValue(int c, const wchar_t* s) : code(c), value(SharedText(s)) {}
  TypedValue(int c, SharedText s) : code(c), value(std::move(s)) {}
  TypedValue(int c, double d) : code(c), value(d) {}
  TypedValue(int c, int i) : code(c), value(std::int64_t(i)) {}
  TypedValue(int c, std::int64_t i) : code(c), value(i) {}
  TypedValue(int c, const geom::Point3d& p) : code(c), value(p) {}

  bool isString() const { return std::holds_alternative<SharedText>(value); }
  bool isReal() const { return std::holds_alternative<double>(value); }
  bool isInt() const { return std::holds_alternative<std::int64_t>(value); }
  bool isPoint() const { return std::holds_alternative<geom::Point3d>(value); }
  const std::wstring& str() const;     // empty string when not a string
  std::wstring_view view() const;      // the same without touching a short text's storage
  double real() const;                 // ints convert; 0 otherwise
  std::int64_t integer() const;        // 0 when not an int
  geom::Point3d point() const;         // origin when not a point
  bool operator==(const TypedValue&) const = default;
};

// Drawings hold many of these: a string value is no larger than a point.
static_assert(sizeof(TypedValue) <= 40);

using ValueChain = std::vector<TypedValue>;

// The one shared text of an application name: the 1001 values of every
// object's extended data refer to it, so looking a group up by name reads one
// text that stays at hand rather than one per object. Application names are
// few (each is registered), so they are kept for the life of the program.
SharedText appNameText(const std::wstring& name);

// Builds an extended data group: {1001 app} then one 1000 string per line.
ValueChain xdataStrings(const std::wstring& app, const std::vector<std::wstring>& lines);

// Checks an extended data chain before it is stored: it must begin with 1001,
// use only 1000..1071 codes with values of the right type, keep strings within
// 255 characters and braces balanced.
Status checkXDataChain(const ValueChain& chain);
// The stored size of a chain in bytes, counted as the file format does.
std::size_t xdataSize(const ValueChain& chain);

}  // namespace cad
