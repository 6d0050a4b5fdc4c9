#include "module/toolkit/layers.h"

#include <cmath>

#include "platform/editor/cmdline.h"
#include "platform/editor/prompts.h"
#include "platform/editor/sysvars.h"

namespace {

cad::Database* dbOrWorking(cad::Database* db) { return db ? db : cad::workingDatabase(); }

// The layer record of that name, open for the given mode; empty when the
// name is empty or the layer is missing.
cad::ObjectPtr<cad::LayerRecord> openLayer(const std::wstring& name, cad::Database* db,
                                           cad::OpenMode mode) {
  cad::ObjectPtr<cad::LayerRecord> rec;
  db = dbOrWorking(db);
  if (!db || name.empty()) return rec;
  cad::ObjectId id = db->layerId(name);
  if (!id.isNull()) rec.open(id, mode);
  return rec;
}

cad::Color colorOfValue(ColorRef value) {
  if (value == 0) return cad::Color::byLayer();
  cad::Rgb c = cad::Rgb::fromColorRef(value);
  return cad::Color::fromRgb(c);
}

}  // namespace

// ---------------------------------------------------------------------------
// Layers
// ---------------------------------------------------------------------------

cad::ObjectId GetOrCreateLayer(const std::wstring& name, cad::Database* db) {
  cad::ObjectId id;
  cad::Database* target = dbOrWorking(db);
  if (!target) return id;
  // A layer that exists is found without opening the table for write (every
  // entity written names its layer).
  id = target->layerId(name);
  if (id.isNull()) {
    cad::ObjectPtr<cad::LayerTable> table(target->layerTableId(), cad::OpenMode::ForWrite);
    if (!table) return id;
    id = table->getAt(name);
    if (id.isNull()) {
      auto rec = std::make_unique<cad::LayerRecord>();
      if (rec->setName(name) != cad::Status::Ok) return id;
      rec->setIsFrozen(false);
      rec->setIsOff(false);
      rec->setIsLocked(false);
      rec->setVPDFLT(false);
      rec->setColor(cad::Color::fromRgb(255, 255, 255));
      cad::LayerRecord* raw = rec.get();
      if (table->add(raw, &id) == cad::Status::Ok) {
        rec.release();
        raw->close();
      } else {
        id = cad::ObjectId();
      }
    }
  }
  SetCurrentLayer(name, nullptr);
  return id;
}

bool SetCurrentLayer(const std::wstring& name, cad::Database* db) {
  db = dbOrWorking(db);
  if (!db || name.empty()) return false;
  cad::ObjectId id = db->layerId(name);
  if (id.isNull()) return false;
  return db->setClayer(id) == cad::Status::Ok;
}

void SetLayerOff(const std::wstring& name, bool off, cad::Database* db) {
  if (auto rec = openLayer(name, db, cad::OpenMode::ForWrite)) rec->setIsOff(off);
}

void SetLayerLocked(const std::wstring& name, bool locked, cad::Database* db) {
  if (auto rec = openLayer(name, db, cad::OpenMode::ForWrite)) rec->setIsLocked(locked);
}

void SetLayerFrozen(const std::wstring& name, bool frozen, cad::Database* db) {
  // Freezing the current layer is refused by the database; that is left so.
  if (auto rec = openLayer(name, db, cad::OpenMode::ForWrite)) rec->setIsFrozen(frozen);
}

bool GetLayerFlags(const std::wstring& name, bool* off, bool* frozen, bool* locked,
                   cad::Database* db) {
  auto rec = openLayer(name, db, cad::OpenMode::ForRead);
  if (!rec) return false;
  if (off) *off = rec->isOff();
  if (frozen) *frozen = rec->isFrozen();
  if (locked) *locked = rec->isLocked();
  return true;
}

void SetLayerColorRGB(const std::wstring& name, ColorRef value, cad::Database* db) {
  auto rec = openLayer(name, db, cad::OpenMode::ForWrite);
  if (!rec) return;
  // A layer takes neither by-block (index 0) nor by-layer (256): the search
  // runs over the real colour indexes, and the value 0 gives white (7).
  if (value == 0) {
    rec->setColor(cad::Color::fromIndex(7));
    return;
  }
  const cad::Rgb want = cad::Rgb::fromColorRef(value);
  for (int i = 1; i <= 255; ++i)
    if (cad::aciToRgb(i) == want) {
      rec->setColor(cad::Color::fromIndex(i));
      return;
    }
  rec->setColor(cad::Color::fromRgb(want));
}

void SetLayerColor(const std::wstring& name, const cad::Color& color, cad::Database* db) {
  if (auto rec = openLayer(name, db, cad::OpenMode::ForWrite)) rec->setColor(color);
}

void GetLayerColor(const std::wstring& name, cad::Color& out, cad::Database* db) {
  out = cad::Color::fromIndex(0);
  if (auto rec = openLayer(name, db, cad::OpenMode::ForRead)) out = rec->color();
}

void GetLayerNames(StringArray& out, cad::Database* db) {
  out.clear();
  db = dbOrWorking(db);
  if (!db) return;
  cad::ObjectPtr<cad::LayerTable> table(db->layerTableId(), cad::OpenMode::ForRead);
  if (!table) return;
  for (const auto& n : table->names()) out.push_back(n);
}

// ---------------------------------------------------------------------------
// Linetype and text style
// ---------------------------------------------------------------------------

void SetEntityLinetype(cad::ObjectId id, const std::wstring& linetype, double scale) {
  cad::Database* db = cad::workingDatabase();
  if (!db) return;
  db->loadLineTypeFile(linetype, kLinetypeFile);  // already loaded or unknown: fine
  std::wstring name = db->linetypeId(linetype).isNull() ? kFallbackLinetype : linetype;
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
  if (!ent) return;
  ent->setLinetype(name, true);
  ent->setLinetypeScale(scale, true);
}

cad::ObjectId GetOrCreateTextStyle(const std::wstring& style, const std::wstring& font,
                                   const std::wstring& bigFont) {
  cad::ObjectId id;
  if (style.empty()) return id;
  cad::Database* db = cad::workingDatabase();
  if (!db) return id;
  cad::ObjectPtr<cad::TextStyleTable> table(db->textStyleTableId(), cad::OpenMode::ForWrite);
  if (!table) return id;
  id = table->getAt(style);
  if (!id.isNull() || font.empty()) return id;
  auto rec = std::make_unique<cad::TextStyleRecord>();
  if (rec->setName(style) != cad::Status::Ok) return id;
  if (bigFont.empty()) {
    rec->setFont(font, false, false, 134, 49);
  } else {
    rec->setFileName(font);
    rec->setBigFontFileName(bigFont);
  }
  rec->setTextSize(10);
  cad::TextStyleRecord* raw = rec.get();
  if (table->add(raw, &id) == cad::Status::Ok) {
    rec.release();
    raw->close();
  } else {
    id = cad::ObjectId();
  }
  return id;
}

void SetDefaultTextStyle() {
  if (GetOrCreateTextStyle(kSystemTextStyle, L"simplex.shx", L"hztxt.shx").isNull()) return;
  ed::setVar(L"TEXTSTYLE", std::wstring(kSystemTextStyle));
  ed::setVar(L"DIMTXSTY", std::wstring(kSystemTextStyle));
}

// ---------------------------------------------------------------------------
// Entity properties
// ---------------------------------------------------------------------------

void SetEntityColorRGB(cad::ObjectId id, ColorRef value) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
  if (ent) SetEntityColorRGBOpen(ent.get(), value);
}

void SetEntityColorRGBOpen(cad::Entity* ent, ColorRef value) {
  if (ent) ent->setColor(colorOfValue(value), true);
}

void SetEntityColor(cad::ObjectId id, const cad::Color& color) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
  if (ent) ent->setColor(color, true);
}

void GetEntityColor(cad::ObjectId id, cad::Color& out) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  if (ent) out = ent->color();
}

bool IsEntityVisible(cad::ObjectId id) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  return ent && ent->visible();
}

void SetEntityVisible(cad::ObjectId id, int flag) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForWrite);
  if (ent) ent->setVisibility(flag != 0, true);
}

void ShowAllEntities(int flag, cad::Database* db) {
  if (flag != 0 && flag != 1) return;
  db = dbOrWorking(db);
  if (!db) return;
  const bool show = flag == 1;
  for (cad::ObjectId id : db->modelSpaceEntities()) {
    cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
    if (!ent || ent->visible() == show) continue;
    if (ent->upgradeOpen() == cad::Status::Ok) ent->setVisibility(show, true);
  }
}

void GetEntityLayer(cad::ObjectId id, std::wstring& layer) {
  layer.clear();
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  if (ent) layer = ent->layer();
}

std::wstring GetHandleText(cad::ObjectId id) {
  cad::ObjectPtr<cad::DbObject> obj(id, cad::OpenMode::ForRead);
  if (!obj) return {};
  return obj->handle().text();
}

void HighlightEntity(cad::ObjectId id, int flag) {
  cad::ObjectPtr<cad::Entity> ent(id, cad::OpenMode::ForRead);
  if (!ent) return;
  if (flag == 1)
    ent->highlight();
  else
    ent->unhighlight();
}

// ---------------------------------------------------------------------------
// Host display queries
// ---------------------------------------------------------------------------

void GetCmdLineText(std::wstring& out) { out = ed::commandWindowText(); }

double GetPixelSize() {
  return std::fabs(ed::pixelToWorld(0, 0).y - ed::pixelToWorld(0, 1).y);
}
