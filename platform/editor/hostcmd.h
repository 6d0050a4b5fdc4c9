// The host's own commands that modules run nested (and scripts type): QSAVE,
// ARC, ROTATE, -ARRAY (polar), SCALE, DRAWORDER, ZOOM, IMAGE, VPOINT, -VIEW,
// SHADEMODE, and the simple drawing commands LINE, CIRCLE and ERASE.
//
// command() runs one of them synchronously inside the current command with
// a typed argument list. The arguments are answered to the command's prompts
// in order; a pause argument takes one input from the input queue instead;
// when the arguments run out the command goes on reading the queue. The
// reactors see the nested command start and end (or be cancelled); what it
// changes belongs to the open transaction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/cad/ids.h"
#include "platform/editor/selection.h"
#include "platform/geom/geom.h"

namespace ed {

struct CmdArg {
  enum Kind { Str, Real, Int, Point, Entity, SelectionSet, Pause } kind = Str;
  std::wstring str;          // Str ("" answers Enter)
  double real = 0;           // Real
  int integer = 0;           // Int
  geom::Point3d point;       // Point
  cad::ObjectId id;          // Entity
  SelSet ss = 0;             // SelectionSet

  CmdArg() = default;
  CmdArg(const wchar_t* s);  // L"\\" is a pause
  CmdArg(std::wstring s);
  CmdArg(double r) : kind(Real), real(r) {}
  CmdArg(int i) : kind(Int), integer(i) {}
  CmdArg(const geom::Point3d& p) : kind(Point), point(p) {}
  CmdArg(cad::ObjectId e) : kind(Entity), id(e) {}
  static CmdArg selection(SelSet s) { CmdArg a; a.kind = SelectionSet; a.ss = s; return a; }
  static CmdArg pause() { CmdArg a; a.kind = Pause; return a; }
};

// Runs a command with arguments (the first argument is the command name,
// e.g. {L"SCALE", id, L"", base, L"R", 1.0, 2.0}); several commands may
// follow one another in one list. Returns kNormal, kCancel (cancelled, or
// the input ran out), kError (unknown command or bad argument), kReject.
int command(const std::vector<CmdArg>& args);

// Queues a LISP expression to run at the next prompt; only the form
// (command "name" "arg" ...) (any case, "t" values kept as strings) is
// understood. kNormal, or kError when the text is not of that form.
int queueExpr(const std::wstring& expr);
// Parses (command "a" "b" ...) into its strings; false when not that form.
bool parseCommandExpr(const std::wstring& expr, std::vector<std::wstring>& out);

// Registers the host commands in the command stack (group "ACAD"); done
// once by the editor at start-up and again after a test cleared the stack.
void registerHostCommands();

// The view as the zoom, vpoint and shademode commands leave it.
struct ViewState {
  geom::Point3d min{0, 0, 0}, max{1000, 1000, 0};  // the visible window
  geom::Vector3d viewDir{0, 0, 1};
  std::wstring shadeMode = L"2D";
  std::wstring namedView;    // the last -VIEW preset, e.g. "_seiso"
  int zoomCount = 0;
};
const ViewState& viewState();
void resetViewState();

// Drawing order: the order in which entities are drawn (front last).
std::vector<cad::ObjectId> drawOrder();

// Attached raster images: the image definition ids by source file.
struct ImageAttachment {
  cad::ObjectId imageDef;
  cad::ObjectId image;
  std::wstring path;
};
const std::vector<ImageAttachment>& imageAttachments();

// Saves the current drawing to its file (QSAVE): kNormal or kError.
int quickSave();

}  // namespace ed
