// The steps shared by the air-duct fitting commands (bend, riser elbow, tee,
// cross, reducer, offset bend): the host combos, the duct picks, the data of
// each picked duct, the cut points, the redrawn duct pieces, the fitting's
// block reference, its plan figure and its geometry record.
//
// A fitting is made in two halves. First every pick is taken and every check
// made while the drawing stays untouched; then one transaction erases the
// picked ducts, draws their pieces, inserts and marks the fitting, draws its
// figure and stores its record. Any failure in the second half rolls the
// transaction back, so a refused or failed fitting leaves the drawing exactly
// as it was (current layer included), and the command says why.
#pragma once

#include <string>
#include <vector>

#include "module/toolkit/bulge.h"
#include "module/toolkit/strings.h"
#include "platform/cad/ids.h"
#include "platform/cad/values.h"
#include "platform/geom/geom.h"

// Fitting geometry uses these values of pi.
inline constexpr double kFitPi = 3.14159265;
inline constexpr double kFitHalfPi = 1.570796325;

// Messages shared by the duct fitting commands.
inline constexpr const wchar_t* kPickDuctPrompt = L"\n请选择管道:";
inline constexpr const wchar_t* kPickOtherDuctPrompt = L"\n请再选择一根管道:";
inline constexpr const wchar_t* kNeedHorizontal = L"\n请选择水平管线!";
inline constexpr const wchar_t* kDuctTooShort = L"\n管道太短，无法生成配件!";
inline constexpr const wchar_t* kNoSection = L"\n管道没有截面尺寸，无法生成配件!";
inline constexpr const wchar_t* kFittingFailed = L"\n配件未能生成，图形未改变!";

// One picked duct.
struct DuctPick {
  cad::ObjectIdArray picked;  // the pick: the duct and its decorations, highlighted
  cad::ObjectId primary;      // the duct's primary entity
  std::wstring layer;         // its layer, the duct's component name
  std::wstring number;        // 编号
  StringArray attrs;          // 属性 lines; the first is the primary handle
  double width = 0, height = 0;  // section: x and y extents of the section figure
  std::wstring kind;             // 特殊 类型: 斜管, 立管, 贯通管
  double startElev = 0, endElev = 0;
  geom::Point3d start, end;  // plan vertices, read by ReadDuctEnds

  const std::wstring& key() const;  // the primary handle ("" when none)
};

// The state of one fitting command.
struct DuctFittingJob {
  std::wstring type;    // the fitting type: 弯头, 三通, 四通, 大小头, 来回弯
  std::wstring name;    // the fitting's component name (combo 构件)
  std::wstring number;  // the fitting's number (combo 编号)
  std::wstring floor;   // combo 楼层
  // Of the first duct's component name on the floor.
  StringArray params, formulas, coords;
  bool dataLoaded = false;
  // The picked ducts, in pick order: every pick still highlighted loses its
  // highlight when the job ends, whichever way the command ends.
  DuctPick ducts[3];

  DuctFittingJob() = default;
  DuctFittingJob(const DuctFittingJob&) = delete;
  DuctFittingJob& operator=(const DuctFittingJob&) = delete;
  ~DuctFittingJob();
};

// Makes the combos show the fitting type and reads them. False when no
// fitting number is chosen: "GjType\n" is then sent to the host.
bool PrepareDuctFitting(const std::wstring& type, DuctFittingJob& job);

// Picks an air-duct component (on the layers of the types of the category
// 风管 that are neither off nor locked: ducts, their edge lines and labels,
// so an edge line lying on top of a duct gives the duct) until one with a
// primary entity is picked; fills picked, primary, layer, number and attrs
// and keeps the pick highlighted. ed::kNormal, or ed::kCancel (Escape,
// Enter, Space, right click) with the pick's highlight removed.
int PickDuct(const std::wstring& prompt, DuctPick& duct);
// Removes a pick's highlight and forgets the pick.
void DropPick(DuctPick& duct);

// The kinds of the special data a fitting command looks at.
inline constexpr const wchar_t* kKindSloped = L"斜管";
inline constexpr const wchar_t* kKindRiser = L"立管";

// Picks the first duct (job.ducts[0]) until one of section size and of the
// kind 斜管 (or 立管 when risers are accepted) is picked; another kind is
// refused with kNeedHorizontal. ed::kNormal or ed::kCancel.
int PickFirstDuct(DuctFittingJob& job, bool acceptRiser);

// The refusals of a second pick that differ between the commands.
struct SecondPickWords {
  const wchar_t* otherType;  // alert for a duct of another type; null: any type is taken
  const wchar_t* sameDuct;   // alert for the first duct picked again
};
// Picks the second duct (job.ducts[1]), refusing and asking again for one of
// another type, the first duct again (whose highlight stays), or one
// without a section size. Its kind is left to the caller. ed::kNormal or
// ed::kCancel.
int PickSecondDuct(DuctFittingJob& job, const SecondPickWords& words);

// Section and special data of a picked duct. The first call of a job reads
// the floor's parameter and coordinate rows of this duct's component name;
// later ducts use those of the first. The section is the extent of the
// number's section figure or, when the floor table gives no figure, the size
// parameters B (width) and H (height). False, with kNoSection printed, when
// neither gives a size.
bool ReadDuctData(DuctFittingJob& job, DuctPick& duct);
// The duct's first and last vertex (plan); false when its primary is no
// polyline of at least two vertices.
bool ReadDuctEnds(DuctPick& duct);

// The end of a duct farther from p (A on a tie) and the unit plan direction
// from that end toward p. Callers pass the end vertex as a, the start as b.
void FarEndToward(const geom::Point3d& a, const geom::Point3d& b, const geom::Point3d& p, geom::Point3d& far,
                  geom::Vector3d& dir);

// The point at distance t from x toward far (plan; z of x). False when the
// piece left from far to that point would be shorter than 1 (the duct is too
// short for the fitting).
bool CutPoint(const geom::Point3d& x, const geom::Point3d& far, double t, geom::Point3d& out);

// The plan intersection of two ducts' lines: the modes tried in order on
// both ducts, on duct 1 extended, on duct 2 extended, on both extended. The
// mode found (0 to 3) and the point; false when the lines do not meet
// (parallel ducts).
bool IntersectDucts(const DuctPick& d1, const DuctPick& d2, geom::Point3d& x, int& mode);

// Point on a straight duct: within 1.0 of an end, or on the line within the
// span between its ends (a point merely on the line's extension is not).
bool IsPointOnDuct(const geom::Point3d& p, const geom::Point3d& s, const geom::Point3d& e);

// A turn from a through b to c runs clockwise in plan.
bool TurnsClockwise(const geom::Point3d& a, const geom::Point3d& b, const geom::Point3d& c);

// The plan unit vector from a toward b (zero when they coincide).
geom::Vector3d PlanDir(const geom::Point3d& a, const geom::Point3d& b);
geom::Point3d AtElevation(const geom::Point3d& p, double z);

// The transaction of the second half of a fitting command. Started by the
// constructor; rolled back by the destructor unless committed, the current
// layer then set back.
class FittingEdit {
 public:
  FittingEdit();
  ~FittingEdit();
  FittingEdit(const FittingEdit&) = delete;
  FittingEdit& operator=(const FittingEdit&) = delete;
  bool ok() const { return started_; }
  void commit();

 private:
  bool started_ = false;
  cad::ObjectId savedLayer_;
};

// A duct piece drawn again through the duct callbacks: created and decorated.
// Null when nothing was made.
cad::ObjectId RedrawDuct(const std::wstring& name, const std::wstring& number, const geom::Point3d& start,
                         const geom::Point3d& end);

// Inserts the fitting: the block of its number (made empty when missing) on
// the layer of its name, which becomes current, marked as a point component
// at the elevation. Null when it could not be made or marked, or when it
// repeats a fitting already there ("输入重复" is printed then).
cad::ObjectId InsertDuctFitting(const DuctFittingJob& job, const geom::Point3d& position, double elevation);

// The fitting's plan figure: the outline on name + "边线" and the number as a
// 200 high label on name + "名", at labelWidth / 2 + 200 to the left of the
// anchor's reading direction (turned to read rightwards), both tagged with
// the fitting's number and primary handle. False when no outline results.
bool DrawDuctFittingFigure(const DuctFittingJob& job, cad::ObjectId fitting, const PointList& points,
                           const BulgeList& bulges, bool closed, const geom::Point3d& anchor,
                           const geom::Vector3d& direction, double labelWidth);

// Stores the record under the fitting's component name.
bool WriteFittingRecord(const DuctFittingJob& job, cad::ObjectId fitting, const cad::ValueChain& chain);

// DrawDuctFittingFigure (open outline, label width of the first duct) and
// WriteFittingRecord; false, with kFittingFailed printed, when either fails.
bool FinishDuctFitting(const DuctFittingJob& job, cad::ObjectId fitting, const PointList& points,
                       const BulgeList& bulges, const geom::Point3d& anchor, const geom::Vector3d& direction,
                       const cad::ValueChain& chain);

// The 3D refresh of each id under its name, after the edit is committed.
void RefreshAfterFitting(const std::vector<std::pair<std::wstring, cad::ObjectId>>& items);
