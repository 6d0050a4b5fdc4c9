// Supports along drawn runs: the dialog "生成支架" lists one row per run
// number (spacing, support number, range of runs); OK puts a support every
// spacing along each run of each row, at the run's elevation there and
// turned along the run (upright: never upside down).
#pragma once

#include <string>
#include <vector>

#include "module/grid/grid_ctrl.h"
#include "module/toolkit/strings.h"
#include "platform/cad/ids.h"
#include "platform/geom/geom.h"
#include "platform/ui/dialog.h"

namespace support_ids {
constexpr int kTemplate = 231, kGrid = 311, kDefineTypes = 313;
}

// One support along a run: plan position with the run's elevation as z, and
// the rotation of its block.
struct SupportPlace {
  geom::Point3d position;
  double rotation = 0;
};

// The distances along a run of length L at which supports stand: s, 2s, ...
// as long as they lie on the run (the end included). Empty for a spacing
// below 1 mm (which could never reach the end) or a run without length.
std::vector<double> SupportDistances(double length, double spacing);

// Turns and raises the support points of one run from start to end (plan
// points; bulge of its first segment) whose elevations are zs and ze: a
// straight run turns each support along the run, an arc along its tangent at
// the point; an angle in [pi/2, 3pi/2) is turned half round so the support
// stands upright. z is the run's elevation at the point (on the plane
// through both ends, level across the run). Empty for a run without chord.
std::vector<SupportPlace> OrientSupports(const std::vector<geom::Point3d>& points, const geom::Point3d& start,
                                         const geom::Point3d& end, double bulge, double zs, double ze);

// Puts the supports of every run that is a curve (runs that cannot be read,
// and risers, are passed over): point components of the support type and
// number, stamped with their elevation, figures drawn. Answers how many.
int PlaceSupportsOnRuns(const cad::ObjectIdArray& runs, double spacing, const std::wstring& supportType,
                        const std::wstring& supportNumber);

class CSupportWnd : public ui::Dialog {
 public:
  CSupportWnd();
  ~CSupportWnd() override;
  void DoDataExchange(ui::DataExchange* dx) override;
  bool OnInitDialog() override;

  void SetPipeCategory(const std::wstring& category) { pipeCategory_ = category; }
  void SetSupportCategory(const std::wstring& type) { supportType_ = type; }
  bool LoadPipeTypes();
  bool LoadSupportNumbers();
  void OnGridListChosen(const std::wstring& chosen, int row, int col);
  void OnDefineGjType();
  // Places the supports of every row; closes the dialog with OK.
  void PlaceSupports();

  CGridCtrl& grid() { return grid_; }
  const StringArray& supportNumbers() const { return supportNumbers_; }
  // The runs of a row's range.
  const cad::ObjectIdArray& rowRuns(int row) const;

 private:
  void sizeGrid();
  void setRowRuns(int row, const cad::ObjectIdArray& ids);
  void collectRuns(const std::wstring& number, cad::ObjectIdArray& out) const;
  CGridCtrl grid_;
  StringArray pipeTypes_;
  StringArray supportNumbers_;
  std::wstring pipeCategory_;
  std::wstring supportType_;
  // The runs of each row, owned here; the range cell's item data is the index.
  std::vector<cad::ObjectIdArray> runs_;
};

// The handlers' common work: combos, the dialog, placement on OK.
void RunSupportCommand(const std::wstring& supportType, const std::wstring& pipeCategory);
