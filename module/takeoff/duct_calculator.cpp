// The duct calculator: an air duct is measured by its sheet surface, the
// perimeter of its cross-section times its run length. The section outline
// comes from the coordinate formula of the duct's number, evaluated with the
// duct's own parameters when it carries them.
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "module/model/params.h"
#include "module/takeoff/kind_dispatch.h"
#include "module/takeoff/linear_runs.h"
#include "module/takeoff/takeoff_state.h"
#include "module/toolkit/xdata.h"
#include "platform/editor/cmdline.h"

// The perimeter of a section outline text in millimetres; 0 for an empty
// outline. An outline whose last point is not its first is closed: a duct's
// section is always a closed figure.
double DuctSectionPerimeter(const std::wstring& outline) {
  std::wstring first = outline.substr(0, outline.find(L"\r\n"));
  PointList points;
  BulgeList bulges;
  ParseCoordList(first, points, bulges);
  if (points.size() < 2) return 0;
  const geom::Point3d& a = points.front();
  const geom::Point3d& b = points.back();
  if (std::hypot(a.x - b.x, a.y - b.y) > 1e-9) {
    points.push_back(a);
    bulges.push_back(0);
  }
  return GetOutlineLength(points, bulges);
}

void CalcDuctAreaQuantities(StringArray& doneKinds, const std::wstring& name) {
  if (KindCalculatorOf(name) != KindCalculator::DuctArea) {
    doneKinds.push_back(name);
    return;
  }
  // The formulas and the precomputed outlines of the kind's numbers, made
  // at the first duct measured.
  StringArray formulas, outlines;
  bool prepared = false;
  auto prepare = [&] {
    prepared = true;
    StringArray params;
    for (int r : g_floorGjTable->recordsOfKind(name)) {
      const std::wstring& number = g_floorGjTable->value(r, L"编号");
      const std::wstring& formula = g_floorGjTable->value(r, L"坐标");
      if (!formula.empty() && GetAttrValue(formulas, number).empty()) formulas.push_back(number + L"=" + formula);
      StringArray lines;
      FloorGjParamLines(name, number, lines);
      std::wstring joined;
      JoinLines(lines, joined);
      params.push_back(number + L"=" + joined);
    }
    ComputeGjCoords(formulas, params, outlines, 0);
  };
  std::unordered_set<std::wstring> named;
  // The section of a number's ducts without parameters of their own:
  // perimeter and its text, worked out at the number's first duct.
  struct Section {
    double perimeter = 0;
    std::wstring text;
  };
  std::unordered_map<std::wstring, Section> sections;
  Section own;
  std::wstring lengthText;
  auto filter = [](const GjData& gj) { return IsRunType(gj.type); };
  auto quantity = [&](const MeasuredGj& gj, GjQuantity& q) {
    if (!prepared) prepare();
    const std::wstring& number = gj.data->number;
    const Section* section;
    if (!gj.data->own.empty()) {
      std::wstring outline;
      ComputeGjCoordsOf(formulas, number, gj.data->own, outline, 0);
      own.perimeter = DuctSectionPerimeter(outline);
      PrecStrTo(own.perimeter / 1000.0, 3, own.text);
      section = &own;
    } else {
      auto [it, fresh] = sections.try_emplace(number);
      if (fresh) {
        it->second.perimeter = DuctSectionPerimeter(GetAttrValue(outlines, number));
        PrecStrTo(it->second.perimeter / 1000.0, 3, it->second.text);
      }
      section = &it->second;
    }
    const double s = section->perimeter;
    // A duct without a section is counted with area 0; the rest of the kind
    // is still measured.
    if (s <= 0 && named.insert(number).second)
      ed::printText(L"\n[" + g_runFloorName + L"]" + name + L" " + number + L": 没有截面(坐标)，面积按0计算。\n");
    PrecStrTo(MeasuredRunLength(gj) / 1000.0, 3, lengthText);
    q.name = name;
    // The value is the product of perimeter and length, so that the formula
    // evaluation reads it as arithmetic and the line shows its derivation.
    q.text.reserve(section->text.size() + lengthText.size() + 3);
    ((((q.text = L"(") += section->text) += L"*") += lengthText) += L")";
  };
  RunCalculatorSkeleton(doneKinds, name, filter, quantity);
}
