#include "module/toolkit/xdata.h"

namespace {

bool endsWithMarker(const std::wstring& s) {
  return s.size() >= 2 && s.compare(s.size() - 2, 2, kXdataContinuation) == 0;
}

// The string records of one item.
void appendItemRecords(const std::wstring& item, cad::ValueChain& chain) {
  if (item.size() <= kXdataPieceChars && !endsWithMarker(item)) {  // the usual item: one record
    chain.emplace_back(cad::xd::kString, item);
    return;
  }
  size_t pos = 0;
  while (item.size() - pos > kXdataPieceChars) {
    chain.emplace_back(cad::xd::kString, item.substr(pos, kXdataPieceChars) + kXdataContinuation);
    pos += kXdataPieceChars;
  }
  std::wstring last = item.substr(pos);
  if (endsWithMarker(last)) {
    // Stored bare, the item's own ending would read as a continuation and
    // join the next item: mark it and end the item with an empty record.
    chain.emplace_back(cad::xd::kString, last + kXdataContinuation);
    chain.emplace_back(cad::xd::kString, std::wstring());
  } else {
    chain.emplace_back(cad::xd::kString, last);
  }
}

bool registerForWrite(cad::Database* db, const std::wstring& app) {
  cad::Database* working = cad::workingDatabase();
  if (!db || db == working) return working && working->registerApp(app) == cad::Status::Ok;
  return RegisterAppInDb(db, app) == cad::Status::Ok;
}

// Adds a record's text to its application's value: a piece ending in the
// continuation marker runs on into the next record, any other ends an item.
void appendRecord(const cad::TypedValue& v, std::wstring& value) {
  const std::wstring& text = v.str();
  if (endsWithMarker(text)) {
    value.append(text, 0, text.size() - 2);
  } else {
    value += text;
    value += L"\r\n";
  }
}

bool isTextRecord(const cad::TypedValue& v) { return v.code == cad::xd::kString || v.code == cad::xd::kHandle; }

// The lines of the groups of that application (the object's other groups
// are passed over unread: components are read by the hundred thousand).
void readLines(const cad::DbObject* obj, const std::wstring& app, StringArray& out) {
  std::wstring value;
  bool inGroup = false;
  auto flush = [&] {
    if (!inGroup) return;
    StringArray lines;
    SplitLines(TrimWhiteRight(value), lines);
    out.insert(out.end(), lines.begin(), lines.end());
    value.clear();
  };
  for (const auto& v : obj->xDataView()) {
    if (v.code == cad::xd::kAppName) {
      flush();
      inGroup = v.str() == app;
    } else if (inGroup && isTextRecord(v)) {
      appendRecord(v, value);
    }
  }
  flush();
}

}  // namespace

namespace {

void appendItems(StringArray& lines, cad::ValueChain& chain) {
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (const auto& item : lines) appendItemRecords(item, chain);
}

}  // namespace

bool WriteXdataLines(cad::DbObject* obj, const std::wstring& app, StringArray& lines,
                     cad::Database* db) {
  if (!obj) return false;
  cad::ValueChain chain = obj->xData(app);
  if (chain.empty()) {
    registerForWrite(db, app);  // a failure shows in the set below
    chain.emplace_back(cad::xd::kAppName, app);
  }
  appendItems(lines, chain);
  return obj->setXData(chain) == cad::Status::Ok;
}

void AppendXdataGroup(cad::ValueChain& chain, const std::wstring& app, StringArray& lines,
                      cad::Database* db) {
  registerForWrite(db, app);  // a failure shows when the chain is set
  chain.emplace_back(cad::xd::kAppName, app);
  appendItems(lines, chain);
}

bool SetXdataLines(cad::ObjectId id, const std::wstring& app, StringArray& lines,
                   cad::Database* db) {
  cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForWrite);
  if (!obj) return false;
  return WriteXdataLines(obj.get(), app, lines, db);
}

bool SetXdataString(cad::ObjectId id, const std::wstring& app, const std::wstring& text,
                    cad::Database* db) {
  StringArray lines{text};
  return SetXdataLines(id, app, lines, db);
}

bool SetGjXdataLines(cad::ObjectId id, const std::wstring& number, StringArray& attrs,
                     cad::Database* db) {
  cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForWrite);
  if (!obj) return false;
  return SetGjXdataLines(obj.get(), number, attrs, db);
}

bool SetGjXdataLines(cad::DbObject* obj, const std::wstring& number, StringArray& attrs,
                     cad::Database* db) {
  StringArray num{number};
  WriteXdataLines(obj, kXdataNumber, num, db);
  return WriteXdataLines(obj, kXdataAttrs, attrs, db);
}

bool SetGjXdata(cad::ObjectId id, const std::wstring& number, const std::wstring& attrText,
                cad::Database* db) {
  StringArray attrs{attrText};
  return SetGjXdataLines(id, number, attrs, db);
}

bool SetGjXdataOpen(cad::DbObject* ent, const std::wstring& number, const std::wstring& attrText,
                    cad::Database* db) {
  StringArray num{number}, attrs{attrText};
  WriteXdataLines(ent, kXdataNumber, num, db);
  return WriteXdataLines(ent, kXdataAttrs, attrs, db);
}

void ClearXdata(cad::ObjectId id, const std::wstring& apps) {
  cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForWrite);
  if (obj) ClearXdata(obj.get(), apps);
}

void ClearXdata(cad::DbObject* obj, const std::wstring& apps) {
  if (!obj) return;
  StringArray names;
  if (!apps.empty()) {
    SplitToArray(apps, L",", names);
  } else {
    for (const auto& v : obj->xDataView())
      if (v.code == cad::xd::kAppName) {
        const std::wstring& name = v.str();
        if (name.find(L"ACAD") == std::wstring::npos && name != kXdataExternalGj)
          names.push_back(name);
      }
  }
  // A group the object does not hold needs no write.
  for (const auto& name : names)
    if (!obj->xDataView(name).empty()) obj->setXData({cad::TypedValue(cad::xd::kAppName, name)});
}

cad::Status RegisterAppInDb(cad::Database* db, const std::wstring& app) {
  if (!db) return cad::Status::InvalidInput;
  cad::ObjectPtr<cad::RegAppTable> table(db->regAppTableId(), cad::OpenMode::ForWrite);
  if (!table) return table.status();
  if (table->has(app)) return cad::Status::Ok;
  auto rec = std::make_unique<cad::RegAppRecord>();
  cad::Status s = rec->setName(app);
  if (s != cad::Status::Ok) return s;
  cad::RegAppRecord* raw = rec.get();
  s = table->add(rec.get());
  if (s != cad::Status::Ok) return s;  // the record is deleted with rec
  rec.release();
  raw->close();
  return cad::Status::Ok;
}

void ReadAllXdata(cad::ObjectId id, StringArray& names, StringArray& values) {
  cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForRead);
  ReadAllXdata(obj ? obj.get() : nullptr, names, values);
}

void ReadAllXdata(const cad::DbObject* obj, StringArray& names, StringArray& values) {
  names.clear();
  values.clear();
  if (!obj) return;
  for (const auto& v : obj->xDataView()) {
    if (v.code == cad::xd::kAppName) {
      names.push_back(v.str());
      values.emplace_back();
    } else if (isTextRecord(v) && !values.empty()) {
      appendRecord(v, values.back());
    }
  }
}

void GetGjNumberAndAttrs(cad::ObjectId id, std::wstring& number, StringArray& attrs) {
  number.clear();
  attrs.clear();
  cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForRead);
  if (!obj) return;
  StringArray nums;
  readLines(obj.get(), kXdataNumber, nums);
  if (!nums.empty()) number = nums.front();
  readLines(obj.get(), kXdataAttrs, attrs);
}

void GetXdataLines(cad::ObjectId id, const std::wstring& app, StringArray& lines) {
  lines.clear();
  cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForRead);
  if (obj) readLines(obj.get(), app, lines);
}

void GetXdataLines(const cad::DbObject* obj, const std::wstring& app, StringArray& lines) {
  lines.clear();
  if (obj) readLines(obj, app, lines);
}
