// The exported functions of the suite's libraries, with their exact C
// signatures. The libraries are loaded by file name and every function is
// looked up by name at the call; callers use the `<name>_fn` pointer types:
//
//   auto open = os::findFunction<DbDll_OpenDb_W_fn>(tableLib, "DbDll_OpenDb_W");
//
// Conventions: text is wide (wchar_t, zero-terminated); a "byte" answer is
// unsigned char 0 or 1; a table handle is an int > 0. Out buffers carry no
// size: each function says how much it writes at most (terminating zero
// included), and longer text is cut at a whole character.
#pragma once

#include <cstdint>

#define KIV_SUITE_FN(ret, name, args) \
  ret name args;                      \
  using name##_fn = ret(*) args;

extern "C" {

// ---------------------------------------------------------------------------
// Ravn.dll: tables (see platform/suite/README.md for the cursor rules)
// ---------------------------------------------------------------------------

// Handle of the table at path; a missing file gives an empty table at its end.
KIV_SUITE_FN(int, DbDll_OpenDb_W, (const wchar_t* path))
// Stores an open record, writes the table back when it changed, frees the handle.
KIV_SUITE_FN(unsigned char, DbDll_Close, (int h))
KIV_SUITE_FN(void, DbDll_First, (int h))
KIV_SUITE_FN(void, DbDll_Next, (int h))
KIV_SUITE_FN(void, DbDll_Prior, (int h))
KIV_SUITE_FN(void, DbDll_Last, (int h))
// Moves by distance records (negative: back), clamped; answers the records moved.
KIV_SUITE_FN(int, DbDll_MoveBy, (int h, int distance))
KIV_SUITE_FN(unsigned char, DbDll_Eof, (int h))
KIV_SUITE_FN(unsigned char, DbDll_Bof, (int h))
KIV_SUITE_FN(int, DbDll_RecNo, (int h))
KIV_SUITE_FN(int, DbDll_RecordCount, (int h))
KIV_SUITE_FN(unsigned char, DbDll_Locate_W, (int h, const wchar_t* field, const wchar_t* value))
KIV_SUITE_FN(unsigned char, DbDll_FindFirst, (int h))
KIV_SUITE_FN(unsigned char, DbDll_FindNext, (int h))
KIV_SUITE_FN(int, DbDll_FieldCount, (int h))
// Writes at most 260 characters.
KIV_SUITE_FN(void, DbDll_GetFieldName_W, (int h, int index, wchar_t* out))
KIV_SUITE_FN(unsigned char, DbDll_FindField_W, (int h, const wchar_t* name))
// Writes at most the field's read limit (README: ftString size + 1, else the
// handle's limit, 1,024,000 by default).
KIV_SUITE_FN(void, DbDll_FieldByName_AsString_W, (int h, const wchar_t* field, wchar_t* out))
// The same with the caller's capacity in characters (terminating zero included).
KIV_SUITE_FN(void, DbDll_FieldByName_AsStringN_W,
             (int h, const wchar_t* field, wchar_t* out, int capacity))
// Lowers (or raises, up to 1,024,000) the limit for fields other than ftString.
KIV_SUITE_FN(void, DbDll_SetReadLimit, (int h, int capacity))
KIV_SUITE_FN(void, DbDll_FieldByName_AsFloat_W, (int h, const wchar_t* field, double* out))
KIV_SUITE_FN(void, DbDll_FieldByName_AsInteger_W, (int h, const wchar_t* field, int* out))
KIV_SUITE_FN(unsigned char, DbDll_FieldByName_SaveToFile_W,
             (int h, const wchar_t* field, const wchar_t* path))
KIV_SUITE_FN(unsigned char, DbDll_FieldByName_LoadFromFile_W,
             (int h, const wchar_t* field, const wchar_t* path))
KIV_SUITE_FN(unsigned char, DbDll_WriteByName_AsString_W,
             (int h, const wchar_t* field, const wchar_t* text))
KIV_SUITE_FN(unsigned char, DbDll_WriteByName_AsFloat_W, (int h, const wchar_t* field, double value))
KIV_SUITE_FN(unsigned char, DbDll_WriteByName_AsInteger_W, (int h, const wchar_t* field, int value))
KIV_SUITE_FN(unsigned char, DbDll_Edit, (int h))
KIV_SUITE_FN(unsigned char, DbDll_Append, (int h))
KIV_SUITE_FN(unsigned char, DbDll_Insert, (int h))
KIV_SUITE_FN(unsigned char, DbDll_Post, (int h))
// Drops the record being changed without storing it.
KIV_SUITE_FN(unsigned char, DbDll_Cancel, (int h))
// Deletes the current record; the next one (or the new last) becomes current.
KIV_SUITE_FN(unsigned char, DbDll_Delete, (int h))

// ---------------------------------------------------------------------------
// Tolm.dll: base library
// ---------------------------------------------------------------------------

KIV_SUITE_FN(void, Dll_InitVar, (void* mainWindow))
// The folder of a path, without the trailing separator; at most 260 characters.
KIV_SUITE_FN(void, Dll_ExtractFileDir_W, (const wchar_t* path, wchar_t* outDir))
// flag 1: one file to one file. flag 0: the files matching the source pattern
// ("dir\*.*") into the folder of the target pattern, created when missing.
KIV_SUITE_FN(unsigned char, Dll_CopyFiles_W, (const wchar_t* from, const wchar_t* to, int flag))
// Deletes the files matching the pattern; answers 1 when none failed.
KIV_SUITE_FN(unsigned char, Dll_DelFiles_W, (const wchar_t* pattern))
// Packs the files matching the pattern (by file name) into a new zip archive.
KIV_SUITE_FN(unsigned char, Dll_ZipDir_W, (const wchar_t* archive, const wchar_t* pattern))
// Extracts one member into the folder, replacing a file of that name.
KIV_SUITE_FN(unsigned char, Dll_UnZipFile_W,
             (const wchar_t* archive, const wchar_t* member, const wchar_t* folder))
// Plain decimal text, at most 10 decimals, no trailing zeros, never an
// exponent ("3", "2.5", "-0.125"); at most 100 characters with the zero. A
// number whose text is longer (from about 1e99 on) is never cut: the text is
// empty (""), which callers take as "no text for this number".
KIV_SUITE_FN(void, Dll_PrecStr_W, (wchar_t* out, double value))
// Arithmetic: numbers, + - * /, brackets, unary signs, blanks. Writes the
// value as Dll_PrecStr_W text (at most 100 characters) and answers 1; on an
// expression it cannot evaluate (or division by zero) writes "0" and answers 0.
KIV_SUITE_FN(int, Dll_ExpressMath_W, (const wchar_t* expression, wchar_t* out, int flag))
// 0-based index of the "\r\n" line equal to text; -1 when none.
KIV_SUITE_FN(int, Dll_TStrsIndexOf_W, (const wchar_t* lines, const wchar_t* text))
// 0-based index of the first line whose name (before its first "=") equals name.
KIV_SUITE_FN(int, Dll_TStrsIndexOfName_W, (const wchar_t* lines, const wchar_t* name))
// The lines whose name is one of the comma-separated names, joined by "\r\n";
// answers their count; writes at most 20,480 characters.
KIV_SUITE_FN(int, Dll_TStrsIndexOfNames_W, (const wchar_t* lines, const wchar_t* names, wchar_t* out))
// The value of the line "key=value" (first match); empty when none.
KIV_SUITE_FN(void, Dll_TStrsGet_W, (const wchar_t* lines, const wchar_t* key, wchar_t* out))
// INI file value; empty when missing; at most 256 characters.
KIV_SUITE_FN(void, Dll_ReadIni_W,
             (const wchar_t* file, const wchar_t* section, const wchar_t* key, wchar_t* out))
// INI text in memory. The outputs are never longer than the input text.
KIV_SUITE_FN(void, Dll_MemIniReadSec_W, (const wchar_t* ini, wchar_t* out))
KIV_SUITE_FN(void, Dll_MemIniRead_W, (const wchar_t* ini, const wchar_t* section, wchar_t* out))
KIV_SUITE_FN(void, Dll_MemIniReadString_W,
             (const wchar_t* ini, const wchar_t* section, const wchar_t* key, wchar_t* out))
// Progress window: op 0 open (a = 1, b = steps, c = 1), op 2 show message and
// position c (answers 0 when the user cancelled), op 4 close.
KIV_SUITE_FN(unsigned char, Dll_ProgressWin_W,
             (const wchar_t* caption, const wchar_t* message, int a, int b, int c, int op))
// Creates an empty table from "name:type:size" lines joined by "\r\n",
// replacing the file.
KIV_SUITE_FN(unsigned char, Dll_DbCreateStru_W, (const wchar_t* path, const wchar_t* fields))
// The offset window: answers 1 and the typed offset (zeros when none).
KIV_SUITE_FN(unsigned char, Dll_OffsetWin,
             (int mode, int x, int y, double* dx, double* dy, double* z))
// The input window shown at the cursor; answers 1 while shown (mode 2) and
// leaves buffer as it was.
KIV_SUITE_FN(int, Dll_InputWinShow_W,
             (int mode, const wchar_t* text, int a, int b, wchar_t* buffer))

// Control interface of the base library (tests and scripts).
// Cancels the progress window at the k-th op-2 update from now (0: never).
KIV_SUITE_FN(void, KivTolm_CancelProgressAt, (int k))
// Progress state: answers the number of op-2 updates since the last open and
// writes open flag, steps and last position.
KIV_SUITE_FN(int, KivTolm_ProgressState, (int* open, int* steps, int* position))

// ---------------------------------------------------------------------------
// Pelk.dll: windows beside the drawing
// ---------------------------------------------------------------------------

KIV_SUITE_FN(void, WinDll_InitVar_W, (void* mainWindow, const wchar_t* baseDir))
// Current text of combo "楼层", "分类", "构件" or "编号"; at most 100 characters.
KIV_SUITE_FN(void, WinDll_CmbGetName_W, (const wchar_t* combo, wchar_t* out))
KIV_SUITE_FN(void, WinDll_CmbFloor_W, (const wchar_t* floor, int flag))
KIV_SUITE_FN(void, WinDll_CmbGjType_W, (const wchar_t* category))
KIV_SUITE_FN(void, WinDll_CmbGjName_W, (const wchar_t* name))
KIV_SUITE_FN(void, WinDll_CmbGjBh_W, (const wchar_t* number))
KIV_SUITE_FN(void, WinDll_SetElevation_W, (double start, double end))
// Answers 1 and the typed offset (zeros when none).
KIV_SUITE_FN(unsigned char, WinDll_GetOffset_W, (double* dx, double* dy))
// mode 1 create, 2 show text at the cursor, 3 blank, 4 close.
KIV_SUITE_FN(void, WinDll_Tooltip_W, (int mode, const wchar_t* text))
KIV_SUITE_FN(int, WinDll_TBarBtnStatus_W, (const wchar_t* key))
KIV_SUITE_FN(int, WinDll_GjPicture_A, (int w1, int w3, int w5))
KIV_SUITE_FN(int, WinDll_GjPicture_W, (int w1, int w3, int w5))
KIV_SUITE_FN(void, WinDll_TotalRule_W, (void))
KIV_SUITE_FN(void, WinDll_PieceLoad_W, (void))
KIV_SUITE_FN(void, WinDll_PieceMain_W, (int mode))
// Elevation palettes: mode 1 open at (x, y) with the values, 2 poll (answers 1
// and writes the values when the user changed them), 4 close.
KIV_SUITE_FN(unsigned char, WinDll_LayLinearGj_W,
             (int mode, int x, int y, double* start, double* end))
KIV_SUITE_FN(unsigned char, WinDll_InputTwoElev_W,
             (int mode, int x, int y, double* first, double* second))
KIV_SUITE_FN(unsigned char, WinDll_InputOneElev_W, (int mode, int x, int y, double* value))
// Modal: answers 1 and the typed values when confirmed, 0 when cancelled.
KIV_SUITE_FN(unsigned char, WinDll_ChangeOneElev_W, (int mode, int x, int y, double* value))
KIV_SUITE_FN(unsigned char, WinDll_ChangeTwoElev_W,
             (int mode, int x, int y, double* start, double* end))
// The palette with an elevation and a flag; category and name may be null;
// number is a writable buffer (left as it is).
KIV_SUITE_FN(unsigned char, WinDll_LayServicePipe_W,
             (int mode, int x, int y, double* elevation, const wchar_t* category,
              const wchar_t* name, wchar_t* number, int* flag))
// Computes the coordinate formula in formulaInOut with the "name=value"
// parameter lines, in place; writes at most 51,200 characters.
KIV_SUITE_FN(void, WinDll_MathCoord_W, (const wchar_t* parameters, wchar_t* formulaInOut))
// The rule-item text to store in 定额 (the items as given); at most 40,960.
KIV_SUITE_FN(int, WinDll_GetDe_W, (const wchar_t* items, wchar_t* out))
// Modal choice of the drop joint: non-zero when confirmed; buffers left as given.
KIV_SUITE_FN(int, WinDll_SelectDuctPipe_W, (int mode, int x, int y, wchar_t* name, wchar_t* number))
// The component-type definition window (modal); answers the dialog answer.
KIV_SUITE_FN(int, WinDll_GjType_W,
             (int mode, const wchar_t* floor, const wchar_t* category,
              const wchar_t* component, const wchar_t* number))
// The 3D quantity window: op 3 (answers 1 when the take-off is wanted), op 1
// (floor, name, number), op 1001 (filter text into d, at most 100), op 2
// (result text in d).
KIV_SUITE_FN(unsigned char, WinDll_TotalShow_W,
             (int op, const wchar_t* a, const wchar_t* b, const wchar_t* c, wchar_t* d))

// Control interface of the window library (tests, cadhost, sibling modules).
// Every text answer writes at most capacity characters, zero included, and
// answers the full length.
KIV_SUITE_FN(unsigned char, KivPelk_SetCombo_W, (const wchar_t* combo, const wchar_t* value))
KIV_SUITE_FN(int, KivPelk_GetCombo_W, (const wchar_t* combo, wchar_t* out, int capacity))
KIV_SUITE_FN(int, KivPelk_GetComboList_W, (const wchar_t* combo, wchar_t* out, int capacity))
// The suite folder (its 系统文件 holds 构件库.DB), the projects folder and the
// open project; null keeps a value. Reloads the combo lists.
KIV_SUITE_FN(void, KivPelk_SetProject_W,
             (const wchar_t* suiteDir, const wchar_t* projectsRoot, const wchar_t* project))
// The values the user types into the open palette (count 1..3).
KIV_SUITE_FN(void, KivPelk_SetPalette, (double v1, double v2, double v3, int count))
// which 0: the values the palette shows; answers 1 while a palette is open.
KIV_SUITE_FN(int, KivPelk_GetPalette, (double* values3))
KIV_SUITE_FN(void, KivPelk_SetButton_W, (const wchar_t* key, int on))
KIV_SUITE_FN(void, KivPelk_SetOffset, (double dx, double dy, double z))
// The answer of the next modal suite window: 1 confirm, 0 cancel, -1 none.
KIV_SUITE_FN(void, KivPelk_SetDialogAnswer, (int answer))
// Text of the tooltip; answers its mode (0 when never created).
KIV_SUITE_FN(int, KivPelk_GetTooltip_W, (wchar_t* out, int capacity))
KIV_SUITE_FN(int, KivPelk_CallLog_W, (wchar_t* out, int capacity))
KIV_SUITE_FN(void, KivPelk_Reset, (void))

}  // extern "C"

#undef KIV_SUITE_FN
