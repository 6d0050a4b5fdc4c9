// Pictures of a drawing: model space seen from above (looking down the z
// axis), fitted to what is drawn with a margin, on a dark background as a CAD
// window shows it, written as a PNG file so a person can see what a command
// drew. Colours as the drawing gives them (true colour, colour index, by layer,
// by block); invisible entities and layers that are off or frozen are left out.
#pragma once

#include <filesystem>
#include <string>

#include "platform/cad/color.h"
#include "platform/geom/geom.h"

namespace cad {
class Database;
}

namespace host {

// The background: a dark slate grey. Colour index 7 shows white on it.
inline constexpr cad::Rgb kRenderBackground{33, 40, 48};
inline constexpr int kRenderDefaultWidth = 1600, kRenderDefaultHeight = 1200;
inline constexpr int kRenderMaxSide = 16384;

// Renders the model space of db into a width x height PNG file (an empty
// drawing gives a blank picture). False with a message when the size is out
// of range, the file's folder does not exist or the file cannot be written.
bool renderDrawingToPng(const cad::Database& db, const std::filesystem::path& file, int width, int height,
                        std::wstring& error);

// A part of the drawing to show instead of all of it: the rectangle of the
// plan between two corners (x, y at elevation 0), filling the picture.
struct RenderWindow {
  geom::Point2d a, b;
};

// Renders the model space of db seen from the direction viewDir (a vpoint:
// from where the viewer looks at the drawing), parallel projection, fitted
// like renderDrawingToPng, or to the window when one is given: shaded (faces
// of meshes and bodies filled, lit, far ones first) or as wireframe.
bool renderViewToPng(const cad::Database& db, const std::filesystem::path& file, int width, int height,
                     const geom::Vector3d& viewDir, bool shaded, std::wstring& error,
                     const RenderWindow* window = nullptr);

// Registers `.render PATH [WIDTH HEIGHT] [x1,y1 x2,y2]`: renders the current
// drawing in the current view (from above until a vpoint changes it), all of
// it or the window.
void registerRenderDirective();

}  // namespace host
