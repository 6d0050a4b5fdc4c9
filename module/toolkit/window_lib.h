// The suite's window library (Pelk.dll): the host combos of the current
// floor, category, component name and number, the elevation and offset
// palettes, tooltips, toolbar states and the rule and piece windows. Each
// function looks its export up by name at the call. Without the library every
// call gives a neutral answer: empty texts, unchanged values, false, 0.
#pragma once

#include <string>

namespace winlib {

// The combo names.
inline constexpr const wchar_t* kComboFloor = L"楼层";
inline constexpr const wchar_t* kComboCategory = L"分类";
inline constexpr const wchar_t* kComboName = L"构件";
inline constexpr const wchar_t* kComboNumber = L"编号";

// Palette modes.
constexpr int kPaletteOpen = 1;
constexpr int kPalettePoll = 2;
constexpr int kPaletteClose = 4;

// Tooltip modes.
constexpr int kTipCreate = 1;
constexpr int kTipShow = 2;
constexpr int kTipBlank = 3;
constexpr int kTipClose = 4;

// Called once at start-up, before any other call.
void InitVar(void* mainWindow, const std::wstring& baseDir);

// The current text of a named combo.
std::wstring CmbGetName(const std::wstring& combo);
void CmbFloor(const std::wstring& floor);  // the library's second argument is 0
void CmbGjType(const std::wstring& category);
void CmbGjName(const std::wstring& name);
void CmbGjBh(const std::wstring& number);

void SetElevation(double start, double end);
// The offset typed by the user; false (and zeros) when none can be had.
bool GetOffset(double& dx, double& dy);

// mode 1 create, 2 show the text at the cursor, 3 blank, 4 close; text may be
// null.
void Tooltip(int mode, const wchar_t* text);
// Non-zero while the toolbar button ("BtnGjHint", "BtnZebHint") is on.
int TBarBtnStatus(const std::wstring& key);

int GjPicture_A(int w1, int w3, int w5);
int GjPicture_W(int w1, int w3, int w5);
void TotalRule();
void PieceLoad();
void PieceMain(int mode);

// Elevation palettes: mode 1 opens at the screen point (x, y) showing the
// values, mode 2 polls and answers true when the user changed the values
// (which it writes back), mode 4 closes (x and y 0).
bool LayLinearGj(int mode, int x, int y, double& start, double& end);
bool InputTwoElev(int mode, int x, int y, double& first, double& second);
bool InputOneElev(int mode, int x, int y, double& value);
bool ChangeOneElev(int mode, int x, int y, double& value);
// The service-pipe palette: an elevation and a flag; category and name may be
// null; number is handed over in a writable buffer.
bool LayServicePipe(int mode, int x, int y, double& elevation, const wchar_t* category,
                    const wchar_t* name, std::wstring& number, int& flag);

}  // namespace winlib
