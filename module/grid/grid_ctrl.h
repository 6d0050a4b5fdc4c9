// CGridCtrl: a spreadsheet-like table of text cells inside dialogs, with
// fixed heading rows and columns, selection, keyboard and mouse navigation,
// in-place editing with drop-down cells, clipboard and drag and drop,
// printing, title tips and painting.
//
// The material-table dialog creates one with Create over a static frame; the
// support dialog subclasses a dialog control of the window class
// "KivGridCtrl". Cells are addressed by 0-based row and column. Rectangles of
// cells are inclusive of their last pixel: a cell at (x, y) covers x to
// x + width - 1 and y to y + height - 1.
#pragma once

#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "module/grid/grid_types.h"
#include "module/grid/title_tip.h"
#include "platform/ui/gdi.h"
#include "platform/ui/ole.h"
#include "platform/ui/wnd.h"

class CGridCtrl;

// Drop target of a grid: forwards the drag calls to the grid it belongs to.
class CGridDropTarget : public ui::DropTarget {
 public:
  ~CGridDropTarget() override;
  bool Register(CGridCtrl* grid);
  void Revoke();
  bool registered() const { return registered_; }

  unsigned OnDragEnter(ui::Wnd* wnd, ui::DataObject* data, unsigned keyState, ui::Point p) override;
  unsigned OnDragOver(ui::Wnd* wnd, ui::DataObject* data, unsigned keyState, ui::Point p) override;
  void OnDragLeave(ui::Wnd* wnd) override;
  bool OnDrop(ui::Wnd* wnd, ui::DataObject* data, unsigned effect, ui::Point p) override;
  unsigned OnDragScroll(ui::Wnd* wnd, unsigned keyState, ui::Point p) override;

 private:
  CGridCtrl* grid_ = nullptr;
  bool registered_ = false;
};

class CGridCtrl : public ui::Wnd {
 public:
  static constexpr const wchar_t* kClassName = L"KivGridCtrl";
  // Registers "KivGridCtrl" unless it exists (the constructor does it).
  static bool RegisterWindowClass();

  CGridCtrl();
  ~CGridCtrl() override;

  // ---- window (creation, geometry, scrolling) ---------------------------
  bool Create(const ui::Rect& rect, ui::Wnd* parent);
  using ui::Wnd::Create;
  void PreSubclassWindow() override;

  ui::LResult NotifyParent(int row, int col, int code);

  CCellID FirstVisibleCell() const;
  CCellID CellFromPoint(ui::Point p, bool allowFixed = true) const;
  bool CellOrigin(int row, int col, ui::Point* out) const;
  bool CellRect(int row, int col, ui::Rect* out) const;
  bool TextRect(int row, int col, ui::Rect* out) const;
  void VisibleRange(CellRange* out, ui::Rect* outEdges = nullptr) const;
  void FullyVisibleRange(CellRange* out) const;
  bool IsCellVisible(int row, int col) const;
  bool IsCellVisible(CCellID c) const { return IsCellVisible(c.row, c.col); }
  void EnsureCellVisible(int row, int col);
  bool IsOverRowBorder(ui::Point p) const;
  bool IsOverColumnBorder(ui::Point p) const;
  void UpdateScrollBars();
  void SetScrollPosition(int position, int bar);
  int GetScrollPosition(int bar) const;
  virtual ui::Size GetCellExtent(int row, int col, ui::DC* dc);
  bool AutoSizeColumn(int col);
  bool AutoSizeRow(int row);
  void AutoSize();

  // ---- cell model -------------------------------------------------------
  bool SetRowCount(int count);
  bool SetColumnCount(int count);
  bool SetFixedRowCount(int count);
  bool SetFixedColumnCount(int count);
  int GetRowCount() const { return rowCount; }
  int GetColumnCount() const { return columnCount; }
  int GetFixedRowCount() const { return fixedRowCount; }
  int GetFixedColumnCount() const { return fixedColumnCount; }
  int AppendRow();
  bool DeleteAllCells();

  CGridCell* GetCell(int row, int col) const;
  virtual std::unique_ptr<CGridCell> CreateCell(int row, int col);
  virtual void EmptyCell(CGridCell* cell, int row, int col);

  virtual bool SetItem(const GridItem* item);
  bool GetItem(GridItem* item) const;
  virtual bool SetItemText(int row, int col, const std::wstring& text);
  virtual std::wstring GetItemText(int row, int col) const;
  bool SetItemData(int row, int col, ui::LParam data);
  ui::LParam GetItemData(int row, int col) const;
  bool SetItemState(int row, int col, unsigned state);
  unsigned GetItemState(int row, int col) const;
  unsigned GetItemFormat(int row, int col) const;
  const ui::LogFont* GetItemFont(int row, int col) const;
  bool SetItemComboList(int row, int col, const std::vector<std::wstring>& items);
  int FindDropList(int row, int col) const;
  // The items of a position's drop-down list, or null.
  const std::vector<std::wstring>* DropListItems(int row, int col) const;
  void MarkModified(int row, int col);

  int GetRowHeight(int row) const;
  int GetColumnWidth(int col) const;
  bool SetRowHeight(int row, int height);
  bool SetColumnWidth(int col, int width);
  int FixedRowsHeight() const;
  int FixedColumnsWidth() const;
  int TotalHeight() const;
  int TotalWidth() const;

  bool IsValidCell(CCellID c) const;
  bool IsValidCell(int row, int col) const { return IsValidCell(CCellID(row, col)); }
  bool IsValidRange(const CellRange& r) const;

  // ---- selection, focus, keyboard and mouse -----------------------------
  CCellID SetFocusCell(int row, int col);
  CCellID SetFocusCell(CCellID c) { return SetFocusCell(c.row, c.col); }
  CCellID GetFocusCell() const { return focusCell; }
  void SetSelectedRange(int firstRow, int firstCol, int lastRow, int lastCol);
  void SetSelectedRange(const CellRange& r) { SetSelectedRange(r.minRow, r.minCol, r.maxRow, r.maxCol); }
  virtual void SelectAllCells();
  void SelectColumnsTo(CCellID cell);
  void SelectRowsTo(CCellID cell);
  void SelectCellsTo(CCellID cell);
  void ExtendSelection(CCellID cell);
  void ResetSelection();
  CellRange SelectionBounds() const;
  // The selected cells, in key order.
  std::vector<CCellID> SelectedCells() const;
  bool IsCellSelected(int row, int col) const;
  virtual void OnFixedRowClick(CCellID cell);
  virtual void OnFixedColumnClick(CCellID cell);
  bool SortByColumn(int col, bool ascending);
  bool SortRange(int col, bool ascending, int low, int high);
  GridMouseState GetMouseState() const { return mouseState; }

  // ---- in-place editing -------------------------------------------------
  bool IsCellEditable(int row, int col) const;
  virtual void OnEditCell(int row, int col, unsigned key);
  virtual ui::Wnd* CreateInPlaceEditor(ui::Rect rect, unsigned style, unsigned id, int row, int col,
                                       const std::wstring& text, unsigned key);
  virtual void OnEndEditCell(int row, int col, const std::wstring& text);
  // The editor open over a cell, or null.
  ui::Wnd* ActiveEditor() const;

  // ---- clipboard and drag and drop --------------------------------------
  virtual std::unique_ptr<ui::DataObject> CopySelectionToDataSource();
  virtual bool PasteText(int row, int col, ui::DataObject* data);
  virtual void ClearSelectedCells();
  virtual void CutToClipboard();
  virtual void CopyToClipboard();
  virtual void PasteFromClipboard();
  // Whether each edit command is available now (its update handler).
  bool IsCommandEnabled(unsigned commandId) const;
  virtual std::unique_ptr<ui::ImageList> CreateDragImage(ui::Point* outSize);
  unsigned OnDragEnter(ui::DataObject* data, unsigned keyState, ui::Point p);
  unsigned OnDragOver(ui::DataObject* data, unsigned keyState, ui::Point p);
  void OnDragLeave();
  bool OnDrop(ui::DataObject* data, unsigned effect, ui::Point p);
  CCellID GetDragOverCell() const { return dragOverCell; }
  CGridDropTarget& GetDropTarget() { return dropTarget; }

  // ---- printing ---------------------------------------------------------
  virtual void BeginPrinting(ui::DC* dc, ui::PrintInfo* info);
  virtual void PrintPage(ui::DC* dc, ui::PrintInfo* info);
  virtual void EndPrinting(ui::DC* dc, ui::PrintInfo* info);
  virtual void PrintColumnHeadings(ui::DC* dc, ui::PrintInfo* info);
  virtual void PrintHeader(ui::DC* dc, ui::PrintInfo* info);
  virtual void PrintFooter(ui::DC* dc, ui::PrintInfo* info);
  int GetPrintRowsHeight() const { return printRowsHeight; }

  // ---- title tips ----------------------------------------------------------
  CTitleTip& GetTitleTip() { return titleTip; }

  // ---- painting ---------------------------------------------------------
  virtual void OnDraw(ui::DC* dc);
  virtual bool DrawFixedCell(ui::DC* dc, int row, int col, ui::Rect rect, bool erase);
  virtual bool DrawCell(ui::DC* dc, int row, int col, ui::Rect rect, bool erase);
  bool RedrawCell(int row, int col, ui::DC* dc = nullptr);
  bool RedrawCell(CCellID c, ui::DC* dc = nullptr) { return RedrawCell(c.row, c.col, dc); }
  bool InvalidateCell(CCellID c);

  // ---- messages ---------------------------------------------------------
  ui::LResult WindowProc(ui::MsgId msg, ui::WParam wp, ui::LParam lp) override;
  void OnPaint() override;
  bool OnEraseBkgnd(ui::DC* dc) override;
  void OnHScroll(unsigned code, unsigned pos, ui::ScrollBar* bar) override;
  void OnVScroll(unsigned code, unsigned pos, ui::ScrollBar* bar) override;
  bool OnMouseWheel(unsigned flags, int delta, ui::Point screenPoint) override;
  void OnSize(unsigned type, int cx, int cy) override;
  void OnSysColorChange() override;
  void OnLButtonDown(unsigned flags, ui::Point p) override;
  void OnLButtonUp(unsigned flags, ui::Point p) override;
  void OnLButtonDblClk(unsigned flags, ui::Point p) override;
  void OnMouseMove(unsigned flags, ui::Point p) override;
  void OnTimer(std::uintptr_t id) override;
  bool OnSetCursor(ui::Wnd* wnd, unsigned hitTest, unsigned message) override;
  void OnCaptureChanged(ui::Wnd* wnd) override;
  void OnKeyDown(unsigned key, unsigned repeat, unsigned flags) override;
  void OnChar(unsigned ch, unsigned repeat, unsigned flags) override;
  unsigned OnGetDlgCode() override;
  bool OnCommand(ui::WParam wp, ui::LParam lp) override;
  bool OnNotify(ui::WParam wp, ui::LParam lp, ui::LResult* result) override;

  // ---- settings (dialogs set these directly) ----------------------------
  ui::Color cellTextColour;
  ui::Color cellBackColour;
  ui::Color outerBackColour;
  ui::Color fixedTextColour;
  ui::Color fixedBackColour;
  ui::Color lineColour = ui::RGB(0xC0, 0xC0, 0xC0);
  int lineMode = GRID_LINES_BOTH;
  bool editingEnabled = true;
  bool dragDropEnabled = false;
  bool wholeRowMode = false;
  bool singleRowMode = false;
  bool redrawEnabled = true;
  bool selectionEnabled = true;
  bool sortByHeader = true;
  bool tabKeyInGrid = true;
  bool bufferedPaint = true;
  bool titleTipsEnabled = true;
  ui::ImageList* imageList = nullptr;
  int borderGrip = 3;
  bool rowResizeEnabled = true;
  bool columnResizeEnabled = true;
  int wheelLines = 3;
  int dropListStyle = 2;  // 2 editable drop-down, 3 drop-down list
  int scrollTimerInterval = 25;

  // Read-only views of the derived sizes.
  int GetCellMargin() const { return cellMargin; }
  int GetDefaultRowHeight() const { return defaultRowHeight; }
  int GetDefaultColumnWidth() const { return defaultColumnWidth; }
  const ui::LogFont& GetDefaultFont() const { return defaultFont; }
  int GetVertScrollMax() const { return vertScrollMax; }
  int GetHorzScrollMax() const { return horzScrollMax; }
  // Reads "WheelScrollLines" again (construction does it once).
  static int ReadWheelLines();

 protected:
  using GridRow = std::vector<std::unique_ptr<CGridCell>>;
  struct _comboitem {
    int row = 0;
    int col = 0;
    std::vector<std::wstring> items;
  };

  // Column in the high half, row in the low half: the selection runs column
  // by column. Wide enough that no two cells of any grid share a key.
  static std::uint64_t selectionKey(int row, int col) {
    return (std::uint64_t(std::uint32_t(col)) << 32) | std::uint32_t(row);
  }
  bool isFixed(int row, int col) const { return row < fixedRowCount || col < fixedColumnCount; }
  bool isShiftDown() const;
  bool isCtrlDown() const;
  void readSysColours();
  void applyFont(const ui::LogFont& lf);
  void redrawFixedOf(int row, int col, bool rowChanged, bool colChanged);
  void startDrag();
  int textHeightOfEmpty();
  void drawCellLines(ui::DC* dc, int row, int col, const ui::Rect& r, bool firstRowOfPage);
  void hideTitleTip();
  void takeFocus();
  bool handleScroll(bool horizontal, unsigned code, unsigned pos);

  // Cell model.
  int rowCount = 0;
  int fixedRowCount = 0;
  int columnCount = 0;
  int fixedColumnCount = 0;
  std::vector<int> rowHeights;
  std::vector<int> columnWidths;
  int cellMargin = 0;
  int defaultColumnWidth = 30;
  int defaultRowHeight = 10;
  ui::LogFont defaultFont;
  std::vector<GridRow> rows;
  std::map<std::uint64_t, CCellID> selectedCells;
  std::vector<_comboitem> dropLists;

  // Window.
  ui::Color sysColours[4]{};
  int vertScrollMax = 0;
  int horzScrollMax = 0;
  ui::Font printFont;
  ui::Font gridFont;
  bool oleStarted = false;
  CTitleTip titleTip;
  CGridDropTarget dropTarget;

  // Selection and mouse.
  GridMouseState mouseState = GridMouseState::Idle;
  ui::Point clickPoint;
  ui::Point lastMousePoint;
  CCellID clickCell;
  CCellID anchorCell;
  CCellID focusCell;
  std::uintptr_t scrollTimer = 0;
  std::map<std::uint64_t, CCellID> keptSelection;
  bool sortAscending = true;
  int sortColumn = -1;

  // Drag and drop.
  CCellID dragOverCell;

  // Printing.
  ui::Size printCharSize;
  int printRowsHeight = 0;
  ui::Size printLogicalSize;
  ui::Size printDeviceSize;
  bool printReady_ = false;
  // First row of each page, worked out by BeginPrinting.
  std::vector<int> printPageStarts_;

  friend class CGridDropTarget;
};

// Writes the headings into row 0, one per column from column 0, centred both
// ways on a single line with an end ellipsis.
void SetGridHeadings(CGridCtrl& grid, std::initializer_list<const wchar_t*> headings);
