// The state of the suite's windows beside the drawing: the four host combos
// and their lists, the elevation palette, the offset window, toolbar buttons,
// the tooltip, the answer of the next modal window and a log of window calls.
// One instance per process, shared by the window and base libraries.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace suite {

struct HostState {
  std::recursive_mutex mutex;

  // Folders: the suite folder (its 系统文件 holds the component library), the
  // projects folder and the open project.
  std::wstring baseDir, suiteDir, projectsRoot, project;

  // Combos by name: "楼层", "分类", "构件", "编号".
  std::map<std::wstring, std::wstring> combo;

  // The elevation palette.
  bool paletteOpen = false;
  std::wstring paletteName;
  double shown[3] = {0, 0, 0};
  bool pending = false;
  int pendingCount = 0;
  double pendingValues[3] = {0, 0, 0};

  // The offset window.
  double offset[3] = {0, 0, 0};

  std::map<std::wstring, int> buttons;

  int tooltipMode = 0;
  std::wstring tooltipText;

  // Next modal answer: -1 none, 0 cancel, 1 confirm; text for windows that
  // hand back a text.
  int dialogAnswer = -1;
  std::wstring dialogText;

  std::vector<std::wstring> log;
};

HostState& hostState();

// The combo lists as the suite fills them: floors from the project's 007.DB,
// the categories of the component library 系统文件\构件库.DB in the suite
// folder (empty lists, with a notice, when it cannot be read), the types of
// the current category, the numbers of the current component in the current
// floor's component table.
std::vector<std::wstring> comboList(const std::wstring& combo);
// Sets a combo as its setter does; the dependent lists follow (category ->
// component -> number; floor -> number). False for an unknown combo name.
bool setCombo(const std::wstring& combo, const std::wstring& value);
// Reloads after the folders changed: the floor combo takes the first floor
// when it shows none of the project's floors.
void refreshProject();

void logCall(const std::wstring& line);

}  // namespace suite
