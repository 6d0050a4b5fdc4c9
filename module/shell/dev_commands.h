// Developer test commands: KivGetPoint (a warning-sign block at the origin),
// KivWriteDwg (a drawing file into the graph library), KivReadDwg (a test
// xrecord in a copy of a drawing) and KivGjType (a line appended to every
// row of the component library).
#pragma once

#include <string>

// The drawing files the developer commands read and write. Fixed names on
// the developer's drive; tests point them elsewhere.
struct DevDrawingFiles {
  std::wstring graph = L"E:\\Graph.Dwg";      // loaded by KivWriteDwg, written by KivReadDwg
  std::wstring graph33 = L"E:\\Graph33.Dwg";  // read by KivReadDwg
};
DevDrawingFiles& devDrawingFiles();

// The layer and the block of KivGetPoint.
inline constexpr const wchar_t* kPromptRecordName = L"marl_prompt_record";
// The dictionary and key of KivReadDwg's test xrecord.
inline constexpr const wchar_t* kTestXrecordKey = L"JIEGOUSHUJU";

void CmdKivGetPoint();
void CmdKivWriteDwg();
void CmdKivReadDwg();
void CmdKivGjType();
