// LayPFittings, FloorPFittings, LayWPFittings and FloorWPFittings: the pipes
// the user picks, or every pipe of the floor, are cut at their crossings and
// get their fittings, which then go into the floor's component table.
#include <string>
#include <unordered_set>

#include "module/fittings/fittings_commands.h"
#include "module/fittings/fitting_common.h"
#include "module/fittings/pipe_break.h"
#include "module/fittings/pipe_fittings.h"
#include "module/layout/run_callbacks.h"
#include "module/model/component_types.h"
#include "module/model/draw_engine.h"
#include "module/model/floor_table_writer.h"
#include "module/model/linear_entities.h"
#include "module/model/picking.h"
#include "module/model/special_data.h"
#include "module/toolkit/collect.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/layers.h"
#include "module/toolkit/project_paths.h"
#include "module/toolkit/table_lib.h"
#include "module/toolkit/vocabulary.h"
#include "module/toolkit/window_lib.h"
#include "module/toolkit/xdata.h"
#include "platform/editor/cmdline.h"

namespace {

struct FittingCommand {
  const wchar_t* word;         // discipline word, also the pipe category
  const wchar_t* prompt;       // of the pick commands
  CreateGjCb create;           // of the floor commands
};

cad::ObjectId createLinearGj(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                             const geom::Point3d& end, double bulge, int vertical) {
  cad::ObjectId id;
  CreateLinearGjEntity(id, name, number, start, end, bulge, vertical);
  return id;
}

const FittingCommand kPlumbing{kPlumbingWord, L"\n选择要生成连接件的管道：", &createLinearGj};
const FittingCommand kWaterPipes{kWaterPipeWord, L"\n选择要生成连接件的水管：", &CreatePipeGj};

// The floor's rows of the fitting types whose number no fitting of the
// drawing carries any more (a fitting that was made again with other arms,
// or is gone) are removed, so no fitting is counted under an old number.
// Rows without a number (the types' own rows) stay.
void dropStaleFittingRows(const std::wstring& fittingTypes) {
  StringArray types;
  SplitToArray(fittingTypes, L",", types);
  const std::unordered_set<std::wstring> typeSet(types.begin(), types.end());
  std::unordered_set<std::wstring> inUse;
  cad::ObjectIdArray found;
  CollectIdsByLayerAndNumber(fittingTypes, L"", found, nullptr);
  for (cad::ObjectId id : found) {
    std::wstring number;
    StringArray attrs;
    GetGjNumberAndAttrs(id, number, attrs);
    if (!number.empty()) inUse.insert(LayerOf(id) + L"\n" + number);
  }
  tablelib::Table t(FloorGjTablePath(winlib::CmbGetName(winlib::kComboFloor)));
  if (!t) return;
  tablelib::First(t);
  while (!tablelib::Eof(t)) {
    const std::wstring name = tablelib::FieldAsString(t, kFieldName, tablelib::kNameChars);
    const std::wstring number = tablelib::FieldAsString(t, kFieldNumber, tablelib::kNameChars);
    if (typeSet.count(name) && !number.empty() && !inUse.count(name + L"\n" + number) && tablelib::Delete(t))
      continue;  // the next row is current now
    tablelib::Next(t);
  }
}

// Cut, fit and record: the common tail of the four commands.
void fitPipes(const FittingCommand& c, const std::wstring& pipeTypes, const cad::ObjectIdArray& pipes) {
  cad::ObjectIdArray pieces;
  BreakPipesAtIntersections(pipeTypes, pieces, pipes);
  const int made = GeneratePipeFittings(c.word, pieces);
  const std::wstring fittingTypes = CategoryTypeList(std::wstring(c.word) + L"配件");
  WriteGjToFloorTable(fittingTypes);
  dropStaleFittingRows(fittingTypes);
  ed::print(L"\n生成管件%d个\n", made);
}

void layFittings(const FittingCommand& c) {
  const std::wstring pipeTypes = CategoryTypeList(c.word);
  cad::ObjectIdArray picked;
  if (!SelectGjObjects(GetGjLayersOfTypes(pipeTypes, L"图层"), L"", c.prompt, true, false, 0, picked)) return;
  HighlightEntities(picked, 0);
  cad::ObjectIdArray primaries, pipes;
  FilterPrimaryGjIds(primaries, picked);
  geom::Point3d s, e;
  for (cad::ObjectId id : primaries)
    if (GetGjEndPoints3d(id, s, e)) pipes.push_back(id);
  if (pipes.empty()) {
    ed::print(L"\n没有选中管道\n");
    return;
  }
  g_createGjCb = &CreatePipeGj;
  g_decorateGjCb = &DecoratePipeGj;
  fitPipes(c, pipeTypes, pipes);
}

void floorFittings(const FittingCommand& c) {
  EraseLayerEntities(GetGjLayersOfTypes(CategoryTypeList(std::wstring(c.word) + L"配件"), L"图层"));
  const std::wstring pipeTypes = CategoryTypeList(c.word);
  cad::ObjectIdArray pipes;
  CollectIdsByLayerAndNumber(pipeTypes, L"", pipes, nullptr);
  g_createGjCb = c.create;
  g_decorateGjCb = &DecoratePipeGj;
  fitPipes(c, pipeTypes, pipes);
}

}  // namespace

void CmdLayPFittings() { layFittings(kPlumbing); }
void CmdFloorPFittings() { floorFittings(kPlumbing); }
void CmdLayWPFittings() { layFittings(kWaterPipes); }
void CmdFloorWPFittings() { floorFittings(kWaterPipes); }
