// The exports of the sibling module Zeb.Arx, for callers that look them up by
// name in the loaded module (os::findFunction<ZebArx_DaMain_W_fn>(h, ...)).
#pragma once

extern "C" {

// The open project's paths, each into a caller buffer of kZebPathCapacity
// characters (terminating zero included; longer paths are cut):
//   installDir   the suite's installation folder
//   suiteDir     the suite folder whose "系统文件" holds the component library
//   unused       left empty
//   projectsRoot the folder that holds the project folders
//   projectName  the open project
// Paths are Windows style ('\' separators). Answers 1 when a project is open
// (the host was given a project whose folder exists), else 0 and the buffers
// are set empty. Null buffers are skipped.
int ZebArx_DaMain_W(wchar_t* installDir, wchar_t* suiteDir, wchar_t* unused,
                    wchar_t* projectsRoot, wchar_t* projectName);
using ZebArx_DaMain_W_fn = int (*)(wchar_t*, wchar_t*, wchar_t*, wchar_t*, wchar_t*);

// Rebuilds the sibling's own components of a type and number (all of them
// when every text is empty). The sibling draws no components of its own, so
// this records the request and answers 1.
int ZebArx_Rebuild_W(const wchar_t* type, const wchar_t* number, const wchar_t* extra);
using ZebArx_Rebuild_W_fn = int (*)(const wchar_t*, const wchar_t*, const wchar_t*);

// Control interface for tests and scripts: every request the sibling received
// (its commands and its exports), one line each, oldest first. Writes at most
// capacity characters, zero included, and answers the full length.
int ZebArx_CallLog_W(wchar_t* out, int capacity);
using ZebArx_CallLog_W_fn = int (*)(wchar_t*, int);
void ZebArx_ClearCallLog(void);
using ZebArx_ClearCallLog_fn = void (*)(void);

}  // extern "C"

// Size of each ZebArx_DaMain_W buffer.
inline constexpr int kZebPathCapacity = 260;
