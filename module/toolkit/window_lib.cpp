#include "module/toolkit/window_lib.h"

#include <algorithm>
#include <vector>

#include "module/toolkit/suite_call.h"
#include "platform/suite/suite_abi.h"

namespace winlib {

namespace {

template <class Sig, class R, class... A>
R callOr(const char* name, R neutral, A&&... args) {
  return SuiteCall<Sig>::call(SuiteModule::Window, name, neutral, std::forward<A>(args)...);
}

template <class Sig, class... A>
bool callVoid(const char* name, A&&... args) {
  return SuiteCall<Sig>::call(SuiteModule::Window, name, std::forward<A>(args)...);
}

constexpr unsigned char kNo = 0;

}  // namespace

void InitVar(void* mainWindow, const std::wstring& baseDir) {
  callVoid<decltype(WinDll_InitVar_W)>("WinDll_InitVar_W", mainWindow, baseDir.c_str());
}

std::wstring CmbGetName(const std::wstring& combo) {
  // The library writes at most 100 characters; the buffer has room to spare.
  std::vector<wchar_t> buf(261, L'\0');
  callVoid<decltype(WinDll_CmbGetName_W)>("WinDll_CmbGetName_W", combo.c_str(), buf.data());
  buf.back() = L'\0';
  return buf.data();
}

void CmbFloor(const std::wstring& floor) {
  callVoid<decltype(WinDll_CmbFloor_W)>("WinDll_CmbFloor_W", floor.c_str(), 0);
}
void CmbGjType(const std::wstring& category) {
  callVoid<decltype(WinDll_CmbGjType_W)>("WinDll_CmbGjType_W", category.c_str());
}
void CmbGjName(const std::wstring& name) {
  callVoid<decltype(WinDll_CmbGjName_W)>("WinDll_CmbGjName_W", name.c_str());
}
void CmbGjBh(const std::wstring& number) {
  callVoid<decltype(WinDll_CmbGjBh_W)>("WinDll_CmbGjBh_W", number.c_str());
}

void SetElevation(double start, double end) {
  callVoid<decltype(WinDll_SetElevation_W)>("WinDll_SetElevation_W", start, end);
}

bool GetOffset(double& dx, double& dy) {
  double x = 0, y = 0;
  bool ok = callOr<decltype(WinDll_GetOffset_W)>("WinDll_GetOffset_W", kNo, &x, &y) != 0;
  dx = ok ? x : 0.0;
  dy = ok ? y : 0.0;
  return ok;
}

void Tooltip(int mode, const wchar_t* text) {
  callVoid<decltype(WinDll_Tooltip_W)>("WinDll_Tooltip_W", mode, text);
}

int TBarBtnStatus(const std::wstring& key) {
  return callOr<decltype(WinDll_TBarBtnStatus_W)>("WinDll_TBarBtnStatus_W", 0, key.c_str());
}

int GjPicture_A(int w1, int w3, int w5) {
  return callOr<decltype(WinDll_GjPicture_A)>("WinDll_GjPicture_A", 0, w1, w3, w5);
}
int GjPicture_W(int w1, int w3, int w5) {
  return callOr<decltype(WinDll_GjPicture_W)>("WinDll_GjPicture_W", 0, w1, w3, w5);
}
void TotalRule() { callVoid<decltype(WinDll_TotalRule_W)>("WinDll_TotalRule_W"); }
void PieceLoad() { callVoid<decltype(WinDll_PieceLoad_W)>("WinDll_PieceLoad_W"); }
void PieceMain(int mode) { callVoid<decltype(WinDll_PieceMain_W)>("WinDll_PieceMain_W", mode); }

bool LayLinearGj(int mode, int x, int y, double& start, double& end) {
  return callOr<decltype(WinDll_LayLinearGj_W)>("WinDll_LayLinearGj_W", kNo, mode, x, y, &start,
                                                &end) != 0;
}
bool InputTwoElev(int mode, int x, int y, double& first, double& second) {
  return callOr<decltype(WinDll_InputTwoElev_W)>("WinDll_InputTwoElev_W", kNo, mode, x, y,
                                                 &first, &second) != 0;
}
bool InputOneElev(int mode, int x, int y, double& value) {
  return callOr<decltype(WinDll_InputOneElev_W)>("WinDll_InputOneElev_W", kNo, mode, x, y,
                                                 &value) != 0;
}
bool ChangeOneElev(int mode, int x, int y, double& value) {
  return callOr<decltype(WinDll_ChangeOneElev_W)>("WinDll_ChangeOneElev_W", kNo, mode, x, y,
                                                  &value) != 0;
}
bool LayServicePipe(int mode, int x, int y, double& elevation, const wchar_t* category,
                    const wchar_t* name, std::wstring& number, int& flag) {
  std::vector<wchar_t> buf(number.begin(), number.end());
  buf.resize(std::max<size_t>(buf.size() + 1, 261), L'\0');
  bool r = callOr<decltype(WinDll_LayServicePipe_W)>("WinDll_LayServicePipe_W", kNo, mode, x, y,
                                                     &elevation, category, name, buf.data(),
                                                     &flag) != 0;
  buf.back() = L'\0';
  number = buf.data();
  return r;
}

}  // namespace winlib
