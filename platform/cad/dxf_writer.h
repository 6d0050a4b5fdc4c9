// The DXF writer's output primitives and state, shared by the writing code
// and the entity kinds (dxf_kinds.cpp). Private to the kiv_cad library.
#pragma once

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "platform/cad/geomutil.h"
#include "platform/cad/internal.h"

#include <sys/mman.h>

namespace cad {

extern const wchar_t* const kShapeApp;

namespace dxf {

using namespace gu;

inline constexpr double kRadToDeg = 180.0 / geom::kPi;

// Text values may not hold line breaks: control characters are written in
// caret form (^J), and a caret itself as "^ ".
inline std::string escapeText(const std::string& s) {
  std::string r;
  bool needs = false;
  for (char c : s)
    if (static_cast<unsigned char>(c) < 32 || c == '^') { needs = true; break; }
  if (!needs) return s;
  for (char c : s) {
    auto u = static_cast<unsigned char>(c);
    if (u < 32) { r += '^'; r += char(u + 64); }
    else if (c == '^') r += "^ ";
    else r += c;
  }
  return r;
}

// A database that cannot be written as a file that loads again.
struct WriteError {
  std::string message;
};

// The text of a large drawing is tens of megabytes filled once from start to
// end: backing it with huge pages spares a page fault every 4 KB. Only a
// hint; the kernel may ignore it.
inline void adviseHugePages(char* p, std::size_t n) {
  constexpr std::uintptr_t huge = std::uintptr_t(2) << 20;
  std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(p) + huge - 1) & ~(huge - 1);
  std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(p) + n) & ~(huge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

class Writer {
 public:  // the entity kinds write through it
  explicit Writer(const Database& db) : db_(db), d_(db.impl()) {
    next_ = d_.nextHandle;
    // About 300 bytes an object: the text grows without copying.
    out_.reserve(std::max<std::size_t>(1 << 20, d_.slots.size() * 320));
    adviseHugePages(out_.data(), out_.capacity());
    written_.reserve(d_.slots.size() * 2);
  }

  void run();
  std::string take() { return std::move(out_); }

  const Database& db_;
  const Database::Impl& d_;
  std::string out_;
  std::uint64_t next_;
  char buf_[64];

  std::uint64_t fresh() { return next_++; }
  // Every record's own handle goes through here: no handle is written twice.
  void own(std::uint64_t h) {
    if (h == 0 || !written_.insert(h).second)
      throw WriteError{"handle " + Handle(h).textUtf8() + " would be written twice"};
  }
  void ownHandle(int c, std::uint64_t h) {
    own(h);
    handle(c, h);
  }
  // Tags kept from a file, as they came (their own handles are checked).
  void raw(const std::vector<RawTag>& tags) {
    for (const auto& t : tags) {
      if (t.code == 5 || t.code == 105) {
        auto hv = Handle::parse(t.value);
        own(hv ? hv->value : 0);
      }
      str(t.code, t.value);
    }
  }
  const std::vector<RawTag>* extrasOf(const DbObject& o) const {
    auto it = d_.keep.recordExtras.find(slotIndexOf(o.objectId()));
    return it == d_.keep.recordExtras.end() ? nullptr : &it->second;
  }
  // A standard object the file layout needs; its absence stops the save.
  template <class T>
  const T& required(ObjectId id, const char* what) const {
    const T* o = get<T>(id);
    if (!o || o->isErased()) throw WriteError{std::string("the drawing has no ") + what};
    return *o;
  }
  // Group codes right-aligned in three columns, as other writers do.
  void code(int c) {
    char* end = std::to_chars(buf_ + 8, buf_ + sizeof buf_, c).ptr;
    char* begin = buf_ + 8;
    while (end - begin < 3) *--begin = ' ';
    *end++ = '\n';
    out_.append(begin, std::size_t(end - begin));
  }
  void str(int c, std::string_view v) {
    code(c);
    out_.append(v);
    out_ += '\n';
  }
  void wstr(int c, const std::wstring& v) { str(c, escapeText(toUtf8(v))); }
  void integer(int c, long long v) {
    code(c);
    char* end = std::to_chars(buf_, buf_ + sizeof buf_, v).ptr;
    *end++ = '\n';
    out_.append(buf_, std::size_t(end - buf_));
  }
  void real(int c, double v) {
    code(c);
    if (v == 0) v = 0;  // no "-0"
    // The shortest text that reads back as the same number.
    int n = int(std::to_chars(buf_, buf_ + 40, v).ptr - buf_);
    // Keep a decimal point so that readers see a real.
    if (!std::memchr(buf_, '.', std::size_t(n)) && !std::memchr(buf_, 'e', std::size_t(n)) &&
        !std::memchr(buf_, 'n', std::size_t(n)) && !std::memchr(buf_, 'i', std::size_t(n))) {
      buf_[n++] = '.';
      buf_[n++] = '0';
    }
    buf_[n++] = '\n';
    out_.append(buf_, std::size_t(n));
  }
  void point(int c, const Point3d& p, bool z = true) {
    real(c, p.x);
    real(c + 10, p.y);
    if (z) real(c + 20, p.z);
  }
  void vec(int c, const Vector3d& v) { point(c, Point3d(v.x, v.y, v.z)); }
  void handle(int c, std::uint64_t h) {
    code(c);
    int n = std::snprintf(buf_, sizeof buf_, "%llX\n", static_cast<unsigned long long>(h));
    out_.append(buf_, std::size_t(n));
  }
  void normal(const Vector3d& n) {
    if (!isZAxis(n)) vec(210, n);
  }

  std::uint64_t h(ObjectId id) const { return id.handle().value; }
  template <class T>
  const T* get(ObjectId id) const {
    Slot* s = const_cast<Database::Impl&>(d_).slot(id);
    return s && !s->vanished ? dynamic_cast<const T*>(s->obj.get()) : nullptr;
  }
  bool live(ObjectId id) const {
    Slot* s = const_cast<Database::Impl&>(d_).slot(id);
    return s && !s->vanished && !s->obj->isErased();
  }
  std::wstring styleName(ObjectId id) const {
    auto* s = get<TextStyleRecord>(id);
    return s && s->kind() == Kind::TextStyleRecord ? s->name() : std::wstring(kStandardStyle);
  }

  void header();
  bool modelledVar(std::string_view name, std::string_view fileValue);
  Extents3d modelExtents() const;
  bool extentsVar(std::string_view name);
  std::optional<Extents3d> extents_;
  void classes();
  void tables();
  void tableHead(const char* name, std::uint64_t handle, int count, const char* subclass = nullptr);
  void recordHead(const char* type, const DbObject& o, std::uint64_t table, const char* subclass);
  template <class R>
  std::vector<const R*> records(ObjectId table, const char* what) const;
  void extras(const DbObject& o, std::initializer_list<std::pair<int, const char*>> defaults);
  void blocks();
  void blockEntities(const BlockRecord& b, bool paper);
  void entities();
  void objects();
  void madeUpObjects();
  void xdata(const DbObject& o, const ValueChain* extra = nullptr);
  void extDictRef(const DbObject& o);
  void entityHead(const char* type, std::uint64_t handle, const Entity& e, std::uint64_t owner, bool paper);
  void entity(const Entity& e, std::uint64_t owner, bool paper);
  void textBody(const Text& t, int vertCode);
  void seqend(std::uint64_t owner, const Entity& e, bool paper);
  void vertexHead(std::uint64_t owner, const Entity& e, bool paper, const char* sub);
  void subHead(const char* type, std::uint64_t owner, bool paper, const std::wstring& layer);
  void vertices(std::uint64_t owner, const Entity& e, bool paper, const std::vector<Point3d>& pts, const char* sub,
                int flags);
  void circleBody(const Point3d& center, const Vector3d& n, double radius, double thickness);
  template <class A>
  void attributeBody(const A& a, const char* sub, const std::wstring* prompt);
  void object(const DbObject& o, std::uint64_t owner);
  void values(const ValueChain& chain);

  std::uint64_t groupDict_ = 0, layoutDict_ = 0, modelLayout_ = 0, paperLayout_ = 0, imageDict_ = 0;
  std::unordered_map<std::uint64_t, std::vector<std::uint64_t>> imageReactors_;  // def -> images
  std::vector<ObjectId> looseImageDefs_;
  std::unordered_set<std::uint64_t> written_;     // handles of the records written so far
  std::unordered_set<std::uint32_t> objectsDone_;  // slots of the objects written so far
  bool makeLayouts_ = false;                       // the drawing has no layout dictionary of its own
  void objectTree(ObjectId id, std::uint64_t owner);
  const FileKeep::Table* keptTable(const char* name) const {
    for (const auto& t : d_.keep.tables)
      if (t.name == name) return &t;
    return nullptr;
  }
  // Writes a kept table; false when the file had none of that name.
  bool keptTableOut(const char* name) {
    const FileKeep::Table* t = keptTable(name);
    if (!t) return false;
    str(0, "TABLE");
    raw(t->head);
    for (const auto& r : t->records) {
      str(0, r.type);
      raw(r.tags);
    }
    str(0, "ENDTAB");
    return true;
  }
};

// The layer name written for an entity: "0" when it names none.
inline std::wstring layerName(const Entity& e) {
  std::wstring layer = e.layer();
  return layer.empty() ? std::wstring(L"0") : layer;
}

}  // namespace dxf
}  // namespace cad
