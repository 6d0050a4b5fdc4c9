// Services of the component model (module/model) that the shell's project
// commands call: the floor levels, the colour manager and the save dialog of
// the archive.
//
#pragma once

#include <string>

// Sets g_floorHeight and g_floorBaseElev from the floor shown in the combo
// "楼层".
void LoadCurFloorLevels();
// The work of KivColorManage: shows the colour manager unless it is visible.
void OpenColorManager();
// Destroys the colour manager, when there is one, and clears its pointer.
void CloseColorManager();
// The archive's save dialog (default extension "GCK", the default name filled
// in). True with the chosen full path when the user confirms.
bool AskArchivePath(const std::wstring& defaultPath, std::wstring& chosen);
