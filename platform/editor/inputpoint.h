// The input point manager of a document: one point filter and any number of
// point monitors, called for every point and hover token a prompt reads.
//
// For each such token the editor computes the point (the token's point, or
// the snap target when an entity under the aperture offers one and no
// monitor excludes it), calls every monitor (which may draw transient
// graphics and add tooltip text), then the filter (which may change the
// point). The prompt then uses the filtered point.
#pragma once

#include <string>
#include <vector>

#include "platform/cad/ids.h"
#include "platform/geom/geom.h"

namespace ed {

// Transient drawing recorded from monitors (what the viewport would show).
struct DrawCall {
  enum Kind { Color, Polyline, Text, Circle, Arc, Pline } kind = Color;
  int color = 0;                    // Color
  std::vector<geom::Point3d> pts;   // Polyline, Pline (vertices), Arc (start, mid, end)
  std::vector<double> bulges;       // Pline: one per vertex, the bulge of the segment that starts there
  geom::Point3d center;             // Circle
  double radius = 0;                // Circle; text height for Text
  std::wstring text;                // Text
};

class ViewportDraw {
 public:
  ViewportDraw() = default;
  ViewportDraw(const ViewportDraw&) = delete;
  ViewportDraw& operator=(const ViewportDraw&) = delete;
  class Traits {
   public:
    explicit Traits(ViewportDraw& d) : d_(d) {}
    void setColor(int colorIndex);
    int color() const { return d_.color_; }
   private:
    ViewportDraw& d_;
  };
  class Geometry {
   public:
    explicit Geometry(ViewportDraw& d) : d_(d) {}
    bool polyline(int n, const geom::Point3d* pts);
    bool polyline(const std::vector<geom::Point3d>& pts) { return polyline(int(pts.size()), pts.data()); }
    bool text(const geom::Point3d& pos, const geom::Vector3d& normal, const geom::Vector3d& dir,
              double height, double widthFactor, double oblique, const std::wstring& str);
    bool circle(const geom::Point3d& center, double radius, const geom::Vector3d& normal);
    bool circularArc(const geom::Point3d& start, const geom::Point3d& mid, const geom::Point3d& end);
    // A lightweight polyline given by its vertices and, per vertex, the bulge
    // of the segment that starts there (missing bulges are 0: straight).
    bool pline(const std::vector<geom::Point3d>& vertices, const std::vector<double>& bulges = {});
   private:
    ViewportDraw& d_;
  };

  Traits& subEntityTraits() { return traits_; }
  Geometry& geometry() { return geometry_; }
  const std::vector<DrawCall>& calls() const { return calls_; }
  void clear() { calls_.clear(); color_ = 0; }

 private:
  friend class Traits;
  friend class Geometry;
  int color_ = 0;
  std::vector<DrawCall> calls_;
  Traits traits_{*this};
  Geometry geometry_{*this};
};

// What the editor knows about one input point.
struct InputPointContext {
  bool pointComputed = true;
  int history = 0;                          // bit flags, reserved
  geom::Point3d lastPoint;                  // the base point of the prompt (if any)
  geom::Point3d rawPoint;                   // the cursor position
  geom::Point3d computedPoint;              // after object snap
  std::vector<cad::ObjectId> apertureEntities;  // under the aperture, in drawing order
  cad::ObjectId snapEntity;                 // the entity the snap came from (may be null)
  bool picking = false;                     // true for a pick or point token, false for hover
};

class InputPointFilter {
 public:
  virtual ~InputPointFilter() = default;
  // May set changedPoint and newPoint; may ask for the snap glyph and give a
  // tooltip. Returns 0 (any other value is ignored).
  virtual int processInputPoint(const InputPointContext& ctx, bool& changedPoint,
                                geom::Point3d& newPoint, bool& displayOsnapGlyph,
                                std::wstring& toolTip) = 0;
};

class InputPointMonitor {
 public:
  virtual ~InputPointMonitor() = default;
  // Sees every input point; may draw into draw and append tooltip text.
  virtual int monitorInputPoint(const InputPointContext& ctx, ViewportDraw& draw,
                                bool& appendToTooltip, std::wstring& additionalTooltip) = 0;
  // Asked before the snap target is taken from entity: true keeps the
  // entity out of the snap calculation.
  virtual bool excludeFromOsnapCalculation(const std::vector<cad::ObjectId>& nestedEntity,
                                           int gsSelectionMark) {
    return false;
  }
};

class InputPointManager {
 public:
  // One filter slot: registering fails (false) while another filter is in it.
  bool registerPointFilter(InputPointFilter* f);
  // Removes whichever filter is current.
  bool revokePointFilter();
  InputPointFilter* currentPointFilter() const { return filter_; }

  bool addPointMonitor(InputPointMonitor* m);
  bool removePointMonitor(InputPointMonitor* m);
  const std::vector<InputPointMonitor*>& monitors() const { return monitors_; }

  // Runs the monitors and the filter over a point; returns the point the
  // prompt should use. Records tooltips and drawing (see below).
  geom::Point3d process(InputPointContext ctx);

  // What the last process() produced.
  const ViewportDraw& lastDraw() const { return draw_; }
  const std::wstring& lastTooltip() const { return tooltip_; }
  bool lastOsnapGlyph() const { return glyph_; }
  // Every tooltip text ever produced, and how many points were processed.
  const std::vector<std::wstring>& tooltips() const { return tooltips_; }
  int processedCount() const { return processed_; }

 private:
  InputPointFilter* filter_ = nullptr;
  std::vector<InputPointMonitor*> monitors_;
  ViewportDraw draw_;
  std::wstring tooltip_;
  bool glyph_ = false;
  std::vector<std::wstring> tooltips_;
  int processed_ = 0;
};

}  // namespace ed
