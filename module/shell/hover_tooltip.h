// The component hover tooltip. While the cursor rests on a component during a
// point prompt, every entity of that component is selected (the pickfirst set)
// and the suite's tooltip shows its number, parameters and special data
// (toolbar button "BtnGjHint") and its computed quantities from the
// quantity table "构件算量.DB" (toolbar button "BtnZebHint").
//
// The work is done by an input point filter that never changes the point;
// InstallHoverTip puts it in the current document's filter slot after a point
// prompt, RemoveHoverTip takes it out before the next one.
#pragma once

#include <string>
#include <vector>

#include "module/toolkit/strings.h"
#include "platform/cad/ids.h"
#include "platform/editor/inputpoint.h"

class TooltipInputPointFilter : public ed::InputPointFilter {
 public:
  // For every computed point: ShowHoverTip with the entities under the pick
  // box. The point is never changed; always answers 0 (success).
  int processInputPoint(const ed::InputPointContext& ctx, bool& changedPoint, geom::Point3d& newPoint,
                        bool& displayOsnapGlyph, std::wstring& toolTip) override;

  // Finds the first aperture entity that belongs to a component (through its
  // label, edge-line and 3D layers too), selects the component's entities
  // and shows the tooltip text. With no aperture entity the tooltip is
  // blanked; when no entity yields a component it is left as it was.
  static void ShowHoverTip(const std::vector<cad::ObjectId>& apertureIds);
};

// The installed filter, or null.
extern TooltipInputPointFilter* g_hoverTipFilter;

// Installs the filter when a project is open, a hint button is down and the
// current document's filter slot is free.
void InstallHoverTip();
// With a project open: takes our filter out of the slot (a filter some other
// command registered stays), closes the tooltip and deletes the filter.
void RemoveHoverTip();

// The pieces of the text, exposed for the tests and the neighbours:
// The component name of a layer name: the layer (or, for a layer containing
// "LAYER3D" in any case, the attribute 名称 of attrs) with the first "名",
// then "3D", then "边线" removed, each only where present; "3D" and
// "LAYER3D" are found in either case, the name keeps its own case. Empty for
// an axis-grid layer ("轴网").
std::wstring HoverGjNameOfLayer(const std::wstring& layer, const StringArray& attrs);
// The shown form of the quantity lines of a 工程量 text: for each line of at
// least 8 "="-pieces, piece 3 ":" piece 4 "=" piece 6 "=" piece 7 "=" piece 8.
StringArray HoverQuantityLines(const std::wstring& pickedText);
// The quantity lines of a component on a floor from the project's quantity
// table (empty when the table, the floor's rows or the component's row are
// missing).
StringArray ReadHoverQuantities(const std::wstring& floor, const std::wstring& name, const std::wstring& number,
                                const std::wstring& handle);
