// The pipe-network passes of the pipe and water-pipe conversions:
// recognition (source entities of one row into runs and risers),
// auto-connect (collinear runs of one name across small gaps), risers at
// fixtures, breaking at crossings, and diameters from the "DN"/"de" texts.
//
// The passes work on a PipeNetwork: the segment lists that the conversion
// dialog holds while it converts, its translation and its gap limit. Every
// pass keeps the order of its lists as the scans of the whole list would,
// but finds its candidates through a plan R-tree or an end-point grid, so
// that a pass costs n log n rather than n².
//
// The passes act only on components whose name is one of the converted rows'
// names (CollectLinearComponents), so pipes of other names and disciplines
// are never joined, cut, erased or relabelled; the diameter pass only
// relabels runs that this conversion made.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "module/model/records.h"
#include "module/toolkit/entities.h"
#include "module/toolkit/strings.h"
#include "platform/cad/ids.h"

enum class NetworkVariant { Pipe, Water };

struct PipeNetwork {
  NetworkVariant variant = NetworkVariant::Pipe;
  double sourceX = 0, sourceY = 0, targetX = 0, targetY = 0;
  double gapLimit = 1500.0;
  GjSegmentArray allSegments;
  GjSegmentArray newSegments;
  // Entities made by this conversion (runs, risers, pieces).
  std::unordered_set<cad::ObjectId> made;
  // The bulge of every arc run of the lists (runs not listed are straight).
  // An arc is joined and labelled by its ends and never cut or merged.
  std::unordered_map<cad::ObjectId, double> bulges;
  // Counts for the closing report.
  int skippedEntities = 0;
  int unlabelledRuns = 0;

  geom::Vector3d translation() const { return {targetX - sourceX, targetY - sourceY, 0}; }
  void clear() {
    allSegments.clear();
    newSegments.clear();
    made.clear();
    bulges.clear();
    skippedEntities = unlabelledRuns = 0;
  }
};

// The placeholder number of rows whose runs take their number from the
// drawing's texts.
inline constexpr const wchar_t* kAutoNumber = L"自动识别";

// The fixture categories of the riser pass.
const wchar_t* FixtureCategories(NetworkVariant v);

// Every linear component of the drawing (special type 斜管, 立管 or 贯通管)
// whose name is in names, appended to allSegments in model-space order.
void CollectLinearComponents(PipeNetwork& net, const StringArray& names);

// The passes, in the order the conversion runs them.
void RecognisePipeRuns(PipeNetwork& net, const cad::ObjectIdArray* rowIds, const std::wstring& name,
                       const std::wstring& number, bool riser, double startElev, double endElev);
void AutoConnectPipes(PipeNetwork& net);
void GenerateRisersAtFixtures(PipeNetwork& net);
void BreakPipesAtIntersections(PipeNetwork& net);
void ApplyDiameterAnnotations(PipeNetwork& net);

// Index of the first segment with the id; -1 when none.
int FindSegmentIndex(const GjSegmentArray& segments, cad::ObjectId id);

// The diameter of a label: the number from its first decimal digit on, or
// nothing when it holds no digit or the number is not above 0.
bool DiameterOfLabel(const std::wstring& label, double& diameter);

// A size as the user writes it: at most three decimals, no trailing zeros
// ("25", "2.5").
std::wstring SizeText(double size);

// The bulge of a run in the network's lists (0 for a straight run).
double RunBulge(const PipeNetwork& net, cad::ObjectId id);

class LabelIndex;

// The TEXT entities of the drawing, indexed in plan once for the label
// searches of one conversion.
class DrawingTexts {
 public:
  DrawingTexts();
  ~DrawingTexts();
  DrawingTexts(const DrawingTexts&) = delete;
  DrawingTexts& operator=(const DrawingTexts&) = delete;
  // The pipe label of a run: of the "DN" and "de" texts within 300 of it
  // and parallel to it, the nearest; on a tie the "DN" one. An arc (bulge
  // not 0) is searched along the arc. Empty when there is none.
  std::wstring pipeLabel(const geom::Point3d& start, const geom::Point3d& end, double bulge) const;
  // The nearest text within the half-width that reads as a duct section:
  // the text up to its first blank, and its width and height.
  bool ductSection(const geom::Point3d& start, const geom::Point3d& end, double halfWidth, std::wstring& label,
                   double& b, double& h) const;

 private:
  std::unique_ptr<LabelIndex> index_;
};

// The points a label search walks along a run: its two ends, or for an
// arc the ends of 32 pieces along the arc.
PointList LabelSearchPoints(const geom::Point3d& start, const geom::Point3d& end, double bulge);

// A duct section text, up to its first blank: "800x400" (also with X, ×
// or *) gives B 800 and H 400; a round size "Φ400" or "D400" gives B = H =
// 400. False for any other text.
bool ParseSectionText(const std::wstring& text, double& b, double& h);
