// Value types of the grid control: cell addresses and ranges, the cell
// object, the item record callers read and write cells through, the record of
// grid notifications, and the numeric constants (cell states, item masks,
// notification codes, line modes) that dialogs and the grid share.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/gdi.h"
#include "platform/ui/types.h"

// ---------------------------------------------------------------------------
// Constants
// ---------------------------------------------------------------------------

// Cell state bits.
constexpr unsigned CELL_FOCUSED = 0x01;     // the focus cell
constexpr unsigned CELL_SELECTED = 0x02;    // member of the selection
constexpr unsigned CELL_DROPTARGET = 0x04;  // under a drag (framed)
constexpr unsigned CELL_READONLY = 0x08;    // cannot be edited, cleared or pasted into
constexpr unsigned CELL_MODIFIED = 0x20;    // the user changed its text

// Which fields of a GridItem take part in SetItem / GetItem.
constexpr unsigned ITEM_TEXT = 0x01;
constexpr unsigned ITEM_IMAGE = 0x02;
constexpr unsigned ITEM_DATA = 0x04;
constexpr unsigned ITEM_STATE = 0x08;
constexpr unsigned ITEM_BKCOLOR = 0x10;
constexpr unsigned ITEM_FGCOLOR = 0x20;
constexpr unsigned ITEM_FORMAT = 0x40;
constexpr unsigned ITEM_FONT = 0x80;

// Grid line modes.
constexpr int GRID_LINES_NONE = 0;
constexpr int GRID_LINES_HORZ = 1;
constexpr int GRID_LINES_VERT = 2;
constexpr int GRID_LINES_BOTH = 3;

// A colour field holding this value takes the grid's colour.
constexpr ui::Color GRID_DEFAULT_COLOUR = 0xFF000000u;

// Notification codes the grid sends to its owner (WM_NOTIFY, GridNotify).
constexpr int GVN_ITEMCHANGING = ui::lvn::ItemChanging;      // -100
constexpr int GVN_ITEMCHANGED = ui::lvn::ItemChanged;        // -101
constexpr int GVN_BEGINDRAG = ui::lvn::BeginDrag;            // -109
constexpr int GVN_BEGINLABELEDIT = ui::lvn::BeginLabelEdit;  // -175
constexpr int GVN_ENDLABELEDIT = ui::lvn::EndLabelEdit;      // -176

// Sent to the owner when an in-place drop-down closes: wParam points to the
// chosen item's text (std::wstring), lParam to a GridNotify.
constexpr ui::MsgId WM_GRID_LISTCLOSED = ui::wm::User + 1000;  // 2024

// Control id of a grid made by CGridCtrl::Create, and of its in-place editors.
constexpr unsigned GRID_CONTROL_ID = 311;
constexpr unsigned GRID_EDITOR_ID = 8;
// Id of the edit child inside an editable drop-down.
constexpr unsigned GRID_COMBO_EDIT_ID = 1001;

// Timer of the automatic scrolling while a selection is dragged.
constexpr std::uintptr_t GRID_SCROLL_TIMER = 513;

// Standard edit commands the grid answers.
constexpr unsigned ID_EDIT_COPY = 57634;
constexpr unsigned ID_EDIT_CUT = 57635;
constexpr unsigned ID_EDIT_PASTE = 57637;
constexpr unsigned ID_EDIT_SELECT_ALL = 57642;

// ---------------------------------------------------------------------------
// Addresses and ranges
// ---------------------------------------------------------------------------

// A cell address; (-1, -1) is no cell.
struct CCellID {
  int row = -1;
  int col = -1;
  constexpr CCellID() = default;
  constexpr CCellID(int r, int c) : row(r), col(c) {}
  // Both numbers non-negative (the grid checks them against its counts).
  constexpr bool IsValid() const { return row >= 0 && col >= 0; }
  constexpr bool operator==(const CCellID&) const = default;
};

// A block of cells, inclusive of its last row and column.
struct CellRange {
  int minRow = -1, minCol = -1, maxRow = -1, maxCol = -1;
  constexpr CellRange() = default;
  constexpr CellRange(int r1, int c1, int r2, int c2) : minRow(r1), minCol(c1), maxRow(r2), maxCol(c2) {}
  constexpr bool InRange(int r, int c) const { return r >= minRow && r <= maxRow && c >= minCol && c <= maxCol; }
  constexpr bool InRange(CCellID id) const { return InRange(id.row, id.col); }
  constexpr bool operator==(const CellRange&) const = default;
};

// ---------------------------------------------------------------------------
// Cells and items
// ---------------------------------------------------------------------------

// One cell of the grid.
class CGridCell {
 public:
  virtual ~CGridCell() = default;

  unsigned state = 0;
  unsigned format = 0;  // ui::dt flags
  std::wstring text;
  int image = -1;  // index into the grid's image list, -1 none
  ui::Color bkColour = GRID_DEFAULT_COLOUR;
  ui::Color fgColour = GRID_DEFAULT_COLOUR;
  ui::LogFont font;
  ui::LParam itemData = 0;
};

// Several properties of one cell at once; mask says which take part.
struct GridItem {
  int row = 0;
  int col = 0;
  unsigned mask = 0;
  unsigned state = 0;
  unsigned format = 0;
  std::wstring text;
  int image = -1;
  ui::Color bkColour = GRID_DEFAULT_COLOUR;
  ui::Color fgColour = GRID_DEFAULT_COLOUR;
  ui::LParam itemData = 0;
  ui::LogFont font;
};

// Payload of the grid's WM_NOTIFY messages.
struct GridNotify {
  ui::NotifyHeader hdr;
  int row = -1;
  int col = -1;
};

// Payload an in-place editor sends to the grid when an edit ends: the header
// (code GVN_ENDLABELEDIT) and the item (row, column, ITEM_TEXT | ITEM_DATA,
// the final text, and as item data the key that ended the edit).
struct GridEditEnd {
  ui::NotifyHeader hdr;
  GridItem item;
};

// What the left mouse button is doing.
enum class GridMouseState : int {
  Idle = 0,
  SelectingAll = 1,
  SelectingColumns = 2,
  SelectingRows = 3,
  SelectingCells = 4,
  OverRowBorder = 6,
  SizingRow = 7,
  OverColumnBorder = 8,
  SizingColumn = 9,
  EditPending = 10,
  DragPending = 11,
  Dragging = 12,
};
