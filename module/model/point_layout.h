// Placing point components one at a time, and the ghost of the component's
// figure that follows the cursor while the user picks.
//
// LayPointGj runs the whole dialogue of a point layout command (lamps,
// switches, sockets, boxes, sleeves, fixtures...): each picked point makes
// one component of the current point definition in a transaction of its
// own, left open so that "U" can take back the newest one; "R" lets the user
// pick placed components and turn them with the host's ROTATE. The
// elevation comes from the suite's one-elevation window, open next to the
// drawing for the whole command.
#pragma once
#include <string>

#include "module/toolkit/offset_input.h"

// Draws the figure of the number shown in the combo "编号" at the computed
// point, turned by the angle, while the state is 1. Object snap keeps to the
// monitor's layers as the base decides.
class CGjInputPointMonitor : public CAcEdInputPointMonitor {
 public:
  int monitorInputPoint(const ed::InputPointContext& ctx, ed::ViewportDraw& draw, bool& appendToTooltip,
                        std::wstring& additionalTooltip) override;
  double angle() const { return m_angle; }
  void setAngle(double a) { m_angle = a; }

 private:
  double m_angle = 0;  // radians, counter-clockwise about +Z
};

// The monitor of the running LayPointGj; null when none runs.
extern CGjInputPointMonitor* g_gjInputMonitor;

// The elevation the one-elevation window opens with: the parameter "底标高"
// of the number in the point definition; "层高" is g_floorHeight; a missing
// or non-numeric value is 0.
double InitialPointGjElevation(const std::wstring& number);

// One command's whole dialogue. Returns at once when no component number is
// chosen (the host was asked for one).
void LayPointGj();
