// The DXF reader's tokens, records and state, shared by the reading code and
// the entity kinds (dxf_kinds.cpp). Private to the kiv_cad library.
#pragma once

#include <charconv>
#include <cmath>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "platform/cad/geomutil.h"
#include "platform/cad/internal.h"

namespace cad {

extern const wchar_t* const kShapeApp;

namespace dxf {

inline constexpr double kDegToRad = geom::kPi / 180.0;

struct Tag {
  int code = 0;
  std::uint32_t line = 0;  // the line of the value
  std::string_view value;
};

struct BadFile {
  std::string message;
};

class Tokens {
 public:
  // mapped: the text is a private read-only mapping of the file, whose pages
  // may be handed back once read.
  explicit Tokens(std::string_view t, bool mapped = false) : text_(t), mapped_(mapped) {
    if (text_.size() >= 3 && std::memcmp(text_.data(), "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
  }
  bool next(Tag& t) {
    if (hasPeek_) { t = peek_; hasPeek_ = false; return true; }
    return read(t);
  }
  const Tag& peek() {
    if (!hasPeek_) {
      if (!read(peek_)) peek_ = Tag{-1, 0, {}};
      hasPeek_ = true;
    }
    return peek_;
  }
  std::size_t line() const { return line_; }
  std::size_t size() const { return text_.size(); }

  bool readLine(std::string_view& out) {
    if (pos_ >= text_.size()) return false;
    const char* start = text_.data() + pos_;
    const void* nl = std::memchr(start, '\n', text_.size() - pos_);
    std::size_t len = nl ? std::size_t(static_cast<const char*>(nl) - start) : text_.size() - pos_;
    out = std::string_view(start, len);
    if (!out.empty() && out.back() == '\r') out.remove_suffix(1);
    pos_ += len + (nl ? 1 : 0);
    ++line_;
    return true;
  }
  // The pages of a mapped file well behind the reader go back to the kernel,
  // so a load does not keep the whole file resident beside what it built.
  // Touched again they read again from the file: nothing is lost.
  static constexpr std::size_t kDropStep = std::size_t(1) << 20;
  void dropBehind() {
    const std::size_t page = std::size_t(::sysconf(_SC_PAGESIZE));
    const std::size_t end = (pos_ - kDropStep) / page * page;
    if (end > dropped_) ::madvise(const_cast<char*>(text_.data()) + dropped_, end - dropped_, MADV_DONTNEED);
    dropped_ = end;
  }
  // False for text in pages already handed back.
  bool resident(const char* p) const { return !mapped_ || p >= text_.data() + dropped_; }
  bool read(Tag& t) {
    if (mapped_ && pos_ > dropped_ + 2 * kDropStep) dropBehind();
    std::string_view c, v;
    if (!readLine(c)) return false;
    while (!c.empty() && (c.front() == ' ' || c.front() == '\t')) c.remove_prefix(1);
    while (!c.empty() && (c.back() == ' ' || c.back() == '\t')) c.remove_suffix(1);
    int code = 0;
    auto [p, ec] = std::from_chars(c.data(), c.data() + c.size(), code);
    if (ec != std::errc() || p != c.data() + c.size())
      throw BadFile{"line " + std::to_string(line_) + ": a group code was expected, found \"" + std::string(c.substr(0, 40)) + "\""};
    if (!readLine(v)) throw BadFile{"line " + std::to_string(line_) + ": the file ends after a group code"};
    t.code = code;
    t.line = std::uint32_t(line_);
    t.value = v;
    return true;
  }
  std::string_view text_;
  bool mapped_ = false;
  std::size_t dropped_ = 0;  // the mapping's pages before this went back
  std::size_t pos_ = 0;
  std::size_t line_ = 0;
  Tag peek_;
  bool hasPeek_ = false;
};

inline std::string unescape(std::string_view v) {
  if (v.find('^') == std::string_view::npos) return std::string(v);
  std::string r;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '^' && i + 1 < v.size()) {
      char n = v[i + 1];
      if (n == ' ') { r += '^'; ++i; continue; }
      if (n >= '@' && n <= '_') { r += char(n - 64); ++i; continue; }
    }
    r += v[i];
  }
  return r;
}

// One record (entity or object): its tags, split into the parts we read.
struct Record {
  std::string type;
  std::vector<Tag> tags;      // data tags, without 5, 330, 102 groups and extended data
  std::uint64_t handle = 0;
  std::uint64_t owner = 0;
  std::uint64_t xdict = 0;
  std::vector<std::uint64_t> reactors;
  std::vector<Tag> xdata;     // from the first 1001
  std::size_t line = 0;
};

class Reader {
 public:  // the entity kinds read through it
  Reader(Database& db, std::string_view text, std::vector<std::string>& notices, bool mapped = false)
      : db_(db), d_(db.impl()), tok_(text, mapped), notices_(notices) {
    // The standard records exist before the file names them (or does not).
    layers_[foldName(kLayerZero)] = d_.layerZero;
    styles_[foldName(kStandardStyle)] = d_.standardStyle;
    linetypes_[foldName(L"ByBlock")] = d_.byBlockLt;
    linetypes_[foldName(L"ByLayer")] = d_.byLayerLt;
    linetypes_[foldName(kContinuous)] = d_.continuous;
    blocks_[foldName(kModelSpace)] = d_.modelSpace;
    blocks_[foldName(kPaperSpace)] = d_.paperSpace;
  }
  void run();

  Database& db_;
  Database::Impl& d_;
  Tokens tok_;
  std::vector<std::string>& notices_;
  std::unordered_map<std::uint64_t, ObjectId> byFileHandle_;
  std::unordered_map<std::wstring, ObjectId> layers_, styles_, linetypes_, blocks_;
  std::unordered_map<std::wstring, std::uint64_t> blockRecordHandles_;
  std::unordered_map<std::uint32_t, int> stdIndex_;  // standard objects waiting for a file handle
  std::uint64_t handseed_ = 0;
  std::wstring clayer_, textstyle_, celtype_, dimtxsty_;
  double ltscale_ = 1;
  std::string version_;
  int unknownCount_ = 0;
  std::unordered_map<std::string, int> skipped_;

  // References resolved at the end.
  struct DictRef { ObjectId dict; std::wstring key; std::uint64_t h; };
  std::vector<DictRef> dictRefs_;
  struct XDictRef { ObjectId obj; std::uint64_t h; };
  std::vector<XDictRef> xdictRefs_;
  struct OwnerRef { ObjectId obj; std::uint64_t h; };
  std::vector<OwnerRef> ownerRefs_;
  struct InsertRef { ObjectId ref; std::wstring name; };
  std::vector<InsertRef> insertRefs_;
  struct ImageRef { ObjectId img; std::uint64_t h; };
  std::vector<ImageRef> imageRefs_;
  struct HatchRef { ObjectId hatch; std::size_t loop; std::vector<std::uint64_t> hs; };
  std::vector<HatchRef> hatchRefs_;
  ObjectId rootDict_;
  std::vector<std::uint64_t> attrHandles_, attrXdicts_;
  std::set<std::string> unknownTypes_;
  std::string lastLayerRaw_;
  ObjectId lastLayerId_;
  std::unordered_map<std::string, SharedText> knownApps_;  // raw name -> registered name
  std::unordered_set<std::uint64_t> rawHandles_;  // handles of records kept as they are
  // One above the highest handle a kept value names. A reference may name
  // no record (a damaged file); the handles given to new records start above
  // it, or such a reference would come to name one of them.
  std::uint64_t referenced_ = 0;
  void noteReference(std::uint64_t h) {
    if (h < 0xFFFFFFF00000ull && h >= referenced_) referenced_ = h + 1;
  }
  bool nodSeen_ = false;
  [[noreturn]] void fail(const std::string& m) { throw BadFile{"line " + std::to_string(tok_.line()) + ": " + m}; }
  std::wstring wtext(std::string_view v, const char* what) {
    bool bad = false;
    // Most texts hold no caret escapes: decoded without a copy.
    std::wstring r = v.find('^') == std::string_view::npos ? fromUtf8(v, &bad) : fromUtf8(unescape(v), &bad);
    if (bad) notices_.push_back(std::string("invalid UTF-8 in ") + what + " replaced");
    return r;
  }
  // Texts of extended data and xrecords repeat from record to record ("主键",
  // "管径=DN100"): a small cache by the file's bytes makes each such text once
  // and lets the values share it. Entries are replaced as others come, so the
  // cache stays small however many distinct texts a file has.
  struct CachedText {
    std::string_view raw;
    SharedText text;
  };
  static constexpr std::size_t kTextCache = 1024;
  std::vector<CachedText> textCache_ = std::vector<CachedText>(kTextCache);
  SharedText sharedText(std::string_view v, const char* what) {
    CachedText& c = textCache_[std::hash<std::string_view>()(v) % kTextCache];
    // An entry whose bytes lie in pages already handed back is not compared
    // (that would read them in again): it is simply replaced.
    if (c.raw.data() && tok_.resident(c.raw.data()) && c.raw == v) {
      c.raw = v;  // the latest place: it stays in the pages the reader still holds
      return c.text;
    }
    const std::size_t notices = notices_.size();
    c.text = SharedText(wtext(v, what));
    // A text that needed repair is made afresh each time, each with its notice.
    c.raw = notices_.size() == notices ? v : std::string_view();
    return c.text;
  }
  std::wstring wname(std::string_view v, const char* what) {
    bool bad = false;
    std::wstring r = fromUtf8(unescape(v), &bad);
    if (bad) fail(std::string("invalid UTF-8 in ") + what + " name");
    return r;
  }
  [[noreturn]] static void badValue(const Tag& t, const char* expected) {
    throw BadFile{"line " + std::to_string(t.line) + ": group " + std::to_string(t.code) + ": " + expected +
                  " was expected, found \"" + std::string(t.value.substr(0, 40)) + "\""};
  }
  // A real value; infinities and NaN are refused.
  static double num(const Tag& t) {
    double v = 0;
    std::string_view s = t.value;
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || p != s.data() + s.size() || !std::isfinite(v)) badValue(t, "a number");
    return v;
  }
  // A whole number within the range of its group code's type (16, 32 or 64
  // bits; unsigned values of the width are accepted too).
  static std::int64_t inum(const Tag& t) {
    double v = num(t);
    int c = t.code;
    double lo = -9.2e18, hi = 9.2e18;
    if ((c >= 60 && c <= 79) || (c >= 170 && c <= 179) || (c >= 270 && c <= 289) || (c >= 370 && c <= 389) ||
        (c >= 400 && c <= 409) || (c >= 1060 && c <= 1070)) {
      lo = -32768;
      hi = 65535;
    } else if ((c >= 90 && c <= 99) || (c >= 420 && c <= 429) || (c >= 440 && c <= 449) || c == 1071) {
      lo = -2147483648.0;
      hi = 4294967295.0;
    }
    if (!(v >= lo && v <= hi)) badValue(t, "a whole number in range");
    return std::llround(v);
  }
  static int inum32(const Tag& t) { return int(inum(t)); }
  // A tag kept to be written back as it came: its value must be what its
  // group code says, so that the saved file reads again.
  RawTag kept(const Tag& t) {
    switch (valueTypeOf(t.code)) {
      case ValueType::Point:
      case ValueType::Real: num(t); break;
      case ValueType::Int: inum(t); break;
      case ValueType::Handle: noteReference(hnum(t)); break;
      default: break;
    }
    return {t.code, std::string(t.value)};
  }
  static std::uint64_t hnum(const Tag& t) {
    auto h = Handle::parse(t.value);
    if (!h) badValue(t, "a handle");
    return h->value;
  }

  void expectSectionEnd(const Tag& t) {
    (void)t;
  }
  void readRecord(Record& r);
  ObjectId place(std::unique_ptr<DbObject> obj, const Record& r, ObjectId owner);
  void header();
  void tables();
  void blocksSection();
  void entitiesSection();
  void objectsSection();
  void skipSection();
  void classes();
  // Reads the tags of a record kept as it is (its handles are reserved).
  bool readRaw(std::vector<RawTag>& out);
  void reserveHandle(std::uint64_t h);
  // Keeps the tags of a modelled table record that are not in `modelled`.
  void keepExtras(ObjectId id, const Record& r, std::initializer_list<int> modelled);
  // Reads one entity starting at its type tag (already consumed into r.type);
  // follows VERTEX/ATTRIB sequences. Returns the entity or null when skipped.
  std::unique_ptr<Entity> entity(Record& r, std::vector<std::unique_ptr<Attribute>>* attrs);
  void common(Entity& e, const Record& r);
  void applyXData(DbObject& o, const Record& r, ValueChain* shape);
  void appendTo(ObjectId block, std::unique_ptr<Entity> e, const Record& r,
                std::vector<std::unique_ptr<Attribute>>* attrs);
  ObjectId layerFor(const std::wstring& name);
  std::unique_ptr<DbObject> object(Record& r, ObjectId& dictOut);
  void finish();
  // Gives every dictionary entry and extension dictionary reference of the
  // file an owner, repairing what would not load again: an object claimed
  // twice keeps its first (or its own recorded) owner, and entries naming
  // the dictionary itself, the named objects dictionary, tables, records or
  // entities are dropped, each with a notice.
  void resolveOwnership();
  void rekey(ObjectId id, std::uint64_t h);
};

// The fields of one entity record, as the entity kinds read them.
struct Fields {
  Reader& rd;
  Record& r;
  std::vector<std::unique_ptr<Attribute>>* attrs;  // where a block reference's attributes go (or null)
  double get(int code, double def = 0) const {
    for (const auto& t : r.tags) if (t.code == code) return Reader::num(t);
    return def;
  }
  // A whole number of the record (checked against its group code's range).
  int geti(int code, int def = 0) const {
    for (const auto& t : r.tags) if (t.code == code) return Reader::inum32(t);
    return def;
  }
  bool has(int code) const {
    for (const auto& t : r.tags) if (t.code == code) return true;
    return false;
  }
  Point3d pt(int code) const { return Point3d(get(code), get(code + 10), get(code + 20)); }
  Vector3d nrm() const {
    Vector3d n(get(210, 0), get(220, 0), get(230, 1));
    return n.isZeroLength() ? Vector3d(0, 0, 1) : n.normal();
  }
  std::wstring text(int code) const {
    for (const auto& t : r.tags) if (t.code == code) return rd.wtext(t.value, "text");
    return std::wstring();
  }
  ObjectId styleOf() const {
    std::wstring s = text(7);
    auto it = rd.styles_.find(foldName(s.empty() ? std::wstring(kStandardStyle) : s));
    return it == rd.styles_.end() ? rd.d_.standardStyle : it->second;
  }
};

}  // namespace dxf
}  // namespace cad
