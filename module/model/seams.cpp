// The seams table of the component model (see seams.h).
#include "module/model/seams.h"

#include "module/model/draw_engine.h"
#include "module/model/lines_to_gj.h"
#include "module/model/multi_line.h"
#include "module/model/point_layout.h"
#include "module/model/vertical_gj.h"
#include "platform/editor/cmdline.h"

namespace {

void NoRefreshOfEntity(const std::wstring&, cad::ObjectId, cad::Database*) {}
void NoRefreshOfType(const std::wstring&, const cad::ObjectIdArray&, cad::Database*) {}

bool RebuildOfTypeNotBuilt(const std::wstring& type, const std::wstring&, const cad::ObjectIdArray&) {
  ed::print(L"\n%s的重建尚未提供\n", type.c_str());
  return false;
}

bool RebuildOfAllNotBuilt() {
  ed::printText(L"\n各类构件的重建尚未提供\n");
  return false;
}

}  // namespace

GjSeams DefaultGjSeams() {
  GjSeams s;
  s.layLinearGjByPoints = &LayLinearGjByPoints;
  s.layMultiLinearGj = &LayMultiLinearGj;
  s.layVerticalGj = &LayVerticalGj;
  s.lineToGj = &LineToGj;
  s.layPointGj = &LayPointGj;
  s.refreshSolid3dOfEntity = &NoRefreshOfEntity;
  s.refreshSolid3dOfType = &NoRefreshOfType;
  s.rebuildGjByType = &RebuildOfTypeNotBuilt;
  s.rebuildAllGjTypes = &RebuildOfAllNotBuilt;
  return s;
}

GjSeams& Seams() {
  static GjSeams seams = DefaultGjSeams();
  return seams;
}
