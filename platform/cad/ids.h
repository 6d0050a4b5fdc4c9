// Object ids and handles.
//
// An ObjectId is a process-wide value: it names one object of one database,
// stays comparable (and hashable) after the object is erased or even after
// its database is destroyed, and can be opened without naming the database.
// A Handle is the object's persistent number inside its database; its text is
// upper-case hexadecimal without leading zeros.
#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cad {

class Database;
class DbObject;

struct Handle {
  std::uint64_t value = 0;
  constexpr Handle() = default;
  constexpr explicit Handle(std::uint64_t v) : value(v) {}
  bool isNull() const { return value == 0; }
  std::wstring text() const;   // "1A2F"
  std::string textUtf8() const;
  // Parses hexadecimal text (either case, no prefix); nullopt when not hex.
  static std::optional<Handle> parse(std::wstring_view hex);
  static std::optional<Handle> parse(std::string_view hex);
  auto operator<=>(const Handle&) const = default;
};

class ObjectId {
 public:
  constexpr ObjectId() = default;
  static const ObjectId kNull;

  bool isNull() const { return raw_ == 0; }
  // True when the id resolves to an object of a live database (erased or not).
  bool isValid() const;
  // True when the object is erased, or vanished with an aborted transaction,
  // or its database is gone.
  bool isErased() const;
  Handle handle() const;         // null handle when not valid
  Database* database() const;    // null when the database is gone
  std::uint64_t raw() const { return raw_; }
  static ObjectId fromRaw(std::uint64_t r) { ObjectId i; i.raw_ = r; return i; }

  explicit operator bool() const { return raw_ != 0; }
  auto operator<=>(const ObjectId&) const = default;

 private:
  std::uint64_t raw_ = 0;  // database serial in the high 24 bits, slot index + 1 below
};

using ObjectIdArray = std::vector<ObjectId>;

}  // namespace cad

template <>
struct std::hash<cad::ObjectId> {
  std::size_t operator()(const cad::ObjectId& id) const noexcept {
    return std::hash<std::uint64_t>()(id.raw());
  }
};
template <>
struct std::hash<cad::Handle> {
  std::size_t operator()(const cad::Handle& h) const noexcept {
    return std::hash<std::uint64_t>()(h.value);
  }
};
