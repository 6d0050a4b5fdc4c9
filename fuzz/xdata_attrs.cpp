// Component data helpers on any texts. The input is cut at the byte 0x1E:
// the first piece names the application (empty: "属性"), the others are the
// items. Written to an entity, the items read back as they were, also after
// the drawing went through a DXF file; the attribute-list and string helpers
// keep their documented promises on the same texts.
#include <algorithm>
#include <memory>
#include <optional>

#include "fuzz/fuzz_util.h"
#include "module/toolkit/strings.h"
#include "module/toolkit/xdata.h"
#include "platform/cad/database.h"
#include "platform/os/os.h"

namespace {

std::wstring joinedValue(const StringArray& items) {
  std::wstring v;
  for (const auto& s : items) v += s + L"\r\n";
  return v;
}

std::string u8(const std::wstring& s) { return os::toUtf8(s); }

// The value of the application's group; nullopt when the object has none.
std::optional<std::wstring> groupValue(cad::ObjectId id, const std::wstring& app) {
  StringArray names, values;
  ReadAllXdata(id, names, values);
  FUZZ_CHECK(names.size() == values.size(), "names and values differ in number");
  auto it = std::find(names.begin(), names.end(), app);
  if (it == names.end()) return std::nullopt;
  FUZZ_CHECK(std::count(names.begin(), names.end(), app) == 1, "the application twice: " + u8(app));
  return values[it - names.begin()];
}

// The items with their characters as code points, for messages.
std::string shown(const StringArray& items) {
  std::string out = "[";
  for (const auto& s : items) {
    out += " \"";
    for (wchar_t c : s) out += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : "<" + std::to_string(c) + ">";
    out += "\"";
  }
  return out + " ]";
}

bool hasLineBreak(const std::wstring& s) { return s.find_first_of(L"\r\n") != std::wstring::npos; }

void checkExtendedData(const std::wstring& app, const StringArray& items) {
  cad::Database db;
  cad::setWorkingDatabase(&db);
  struct Reset {
    ~Reset() { cad::setWorkingDatabase(nullptr); }
  } reset;
  cad::ObjectId id;
  FUZZ_CHECK(db.appendToModelSpace(std::make_unique<cad::Line>(geom::Point3d(0, 0), geom::Point3d(1, 0)), &id) ==
                 cad::Status::Ok,
             "no entity");

  StringArray lines = items;
  const bool ok = SetXdataLines(id, app, lines, nullptr);
  StringArray kept = items;
  while (!kept.empty() && kept.back().empty()) kept.pop_back();
  FUZZ_CHECK(lines == kept, "the trailing empty items are not all removed from the caller's list");
  if (!ok) {
    FUZZ_CHECK(!groupValue(id, app), "a refused write left data of " + u8(app));
    return;
  }
  if (kept.empty()) return;  // an application without items has no group
  const auto value = groupValue(id, app);
  FUZZ_CHECK(value.has_value(), "the written group is missing");
  FUZZ_CHECK(*value == joinedValue(kept), "the items read back differ: \"" + u8(*value) + "\"");

  // The lines reader gives the items back when they hold no line break, the
  // first starts and the last ends in no white space: it trims the whole
  // value, so leading empty items and blanks are lost too (a finding).
  const std::wstring ends = kept.front() + L"x" + kept.back();
  if (std::none_of(kept.begin(), kept.end(), hasLineBreak) && !kept.front().empty() && TrimWhite(ends) == ends) {
    StringArray back;
    GetXdataLines(id, app, back);
    FUZZ_CHECK(back == kept, "GetXdataLines differs from the items written: " + shown(back) + " / " + shown(kept));
  }

  // Through a drawing file: every group of the entity as before.
  cad::Database again(false);
  FUZZ_CHECK(again.readDxfText(db.dxfText()) == cad::Status::Ok, "the saved drawing is refused: " + again.lastFileError());
  cad::ObjectId id2 = again.getObjectId(id.handle());
  FUZZ_CHECK(!id2.isNull(), "the entity is lost");
  StringArray n1, v1, n2, v2;
  ReadAllXdata(id, n1, v1);
  ReadAllXdata(id2, n2, v2);
  FUZZ_CHECK(n1 == n2, "the applications changed in the file");
  for (size_t i = 0; i < v1.size(); ++i)
    FUZZ_CHECK(v1[i] == v2[i], "the data of " + u8(n1[i]) + " changed in the file: \"" + u8(v2[i]) + "\"");
}

void checkAttributes(const std::wstring& key, const StringArray& items) {
  // Setting a value makes it the value of its name; only a new name adds an item.
  if (key.find(L'=') == std::wstring::npos) {
    StringArray attrs = items;
    const std::wstring value = items.empty() ? L"v" : items.back();
    const bool had = std::any_of(items.begin(), items.end(), [&](const std::wstring& s) {
      return s.find(L'=') == key.size() && s.compare(0, key.size(), key) == 0;
    });
    SetAttrValue(attrs, key, value);
    FUZZ_CHECK(attrs.size() == items.size() + (had ? 0 : 1), "SetAttrValue added or lost items");
    FUZZ_CHECK(GetAttrValue(attrs, key) == value, "GetAttrValue after SetAttrValue differs");
  }

  // Joining what was split gives the trimmed text.
  const std::wstring text = items.empty() ? std::wstring() : items.front();
  const std::wstring sep = key.empty() ? L"," : key;
  StringArray pieces;
  SplitToArray(text, sep, pieces);
  std::wstring joined;
  JoinArray(pieces, sep, joined);
  FUZZ_CHECK(joined == TrimWhite(text), "split and join changed the text");

  // Replacing ends, and leaves no searched text where it could go on for ever.
  if (items.size() >= 2 && !key.empty() && text.size() <= 512) {
    const std::wstring& replacement = items[1];
    const bool once = replacement.find(key) != std::wstring::npos;
    if (once || replacement.size() < key.size()) {
      std::wstring t = text;
      ReplaceAll(t, key, replacement);
      if (!once) FUZZ_CHECK(t.find(key) == std::wstring::npos, "ReplaceAll left the searched text");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto parts = fuzz::split(fuzz::asText(data, size), '\x1e');
  std::wstring app = os::fromUtf8(parts[0]);
  StringArray items;
  for (size_t i = 1; i < parts.size(); ++i) items.push_back(os::fromUtf8(parts[i]));
  checkExtendedData(app.empty() ? kXdataAttrs : app, items);
  checkAttributes(app, items);
  return 0;
}
