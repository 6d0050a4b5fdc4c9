// The table of entity kinds the DXF reader and writer dispatch through.
// Private to the kiv_cad library.
#pragma once

#include <string_view>

#include "platform/cad/dxf_reader.h"
#include "platform/cad/dxf_writer.h"

namespace cad::dxf {

// Where an entity is written: its handle, its owner's, and whether it is in paper space.
struct Place {
  std::uint64_t me = 0, owner = 0;
  bool paper = false;
};

struct EntityKind {
  Kind kind;
  const char* types[2];                                // the DXF types read into this kind
  std::unique_ptr<Entity> (*read)(Fields& f);          // null when read through another kind's type
  void (*write)(Writer& w, const Entity& e, const Place& at);
  const wchar_t* marker = nullptr;                     // our marker that makes a read stand-in this kind
  std::unique_ptr<Entity> (*fromMarker)(Reader& rd, std::unique_ptr<Entity> standIn, const ValueChain& marker) = nullptr;
};

const EntityKind* kindForType(std::string_view dxfType);
const EntityKind* kindFor(Kind kind);
const EntityKind* kindForMarker(std::wstring_view marker);

}  // namespace cad::dxf
