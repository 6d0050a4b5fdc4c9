// The project open (DaMain), the floor switch (KivSwitchFloor) and the
// project archive (KivSaveAs): the parts they share and that tests reach.
#pragma once

#include <string>

#include "platform/os/os.h"

// Copies the installation section of the component library (the marker row
// "***给排水***" and every row after it) into the floor's component table,
// once: a table that already holds the marker row, or holds no record at all,
// is left alone. Only the library's first two fields are copied, by name,
// into the fields of the same name that the floor table has. Answers true
// when rows were appended (the caller then refreshes the combos).
bool SeedFloorGjTable(const std::wstring& floor);

// False, with a message naming the floor and its table, when the floor's
// component table is there but cannot be read (damaged); a floor without a
// table yet is fine.
bool CheckFloorGjTable(const std::wstring& floor);

// Points every raster picture on the layer "轴网" at the file of the same
// name in the project folder, where that file exists, and reloads it; a
// picture whose file is not there keeps its path and is reported.
void RelinkProjectImages();

// Copies the project's rule table (".DB" and ".MB") from the installation's
// template when the project has none yet; a project's own rules are never
// replaced. Answers how many files were copied.
int SeedProjectRuleTables();

// The archive's time stamp: hour, minute and second, each two characters
// wide and padded with a blank ("%2d_%2d_%2d": " 9_ 5_ 7").
std::wstring ArchiveStamp(const os::LocalTime& t);
// The folder under the temporary directory that the archive packs from.
std::wstring ArchiveCopyFolder(const std::wstring& stamp);
