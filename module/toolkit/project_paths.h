// The paths of the project's files and of the suite's tables, built from the
// path globals that the project open sets. Everything here is Windows style,
// as the suite's libraries take it.
#pragma once

#include <string>

#include "module/toolkit/globals.h"

// The row of a component table whose 构件分类 opens the installation section
// (plumbing, electrical and HVAC rows follow it). In a floor's component
// table it shows that the section was already copied from the library.
inline constexpr const wchar_t* kInstallSectionMarker = L"***给排水***";

// The open project's folder: projects root, a backslash, project name.
inline std::wstring ProjectFolderPath() { return g_projectRoot + L"\\" + g_projectName; }
// The floor table of the project (one row per floor).
inline std::wstring FloorTablePath() { return ProjectFolderPath() + L"\\007.DB"; }
// The component table of one floor.
inline std::wstring FloorGjTablePath(const std::wstring& floor) {
  return ProjectFolderPath() + L"\\" + floor + L".DB";
}
// The component library of the suite folder the project uses.
inline std::wstring GjLibraryPath() { return g_systemDir + L"\\构件库.DB"; }
// The component library as installed (the colours' defaults).
inline std::wstring InstalledGjLibraryPath() { return g_baseDir + L"\\系统文件\\构件库.DB"; }
// The graph library of the installation.
inline std::wstring GraphLibraryPath() { return g_baseDir + L"\\系统文件\\图形库.DB"; }
// The rule table template of the installation and the project's own rule
// table; ext is ".DB" (the table) or ".MB" (its memo file).
inline std::wstring RuleTemplatePath(const std::wstring& ext) {
  return g_baseDir + L"\\系统文件\\计算规则" + ext;
}
inline std::wstring ProjectRulePath(const std::wstring& ext) {
  return ProjectFolderPath() + L"\\计算规则" + ext;
}
