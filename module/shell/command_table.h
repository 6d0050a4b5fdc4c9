// The command table: every command this module registers, its group, names,
// flags and handler; and the shell's own command handlers.
#pragma once

#include <cstddef>
#include <string>

using CommandHandler = void (*)();

// One row of the command table.
struct CommandEntry {
  const wchar_t* group;
  const wchar_t* globalName;
  const wchar_t* localName;
  int flags;  // kModal or kTransparent
  CommandHandler handler;
};

constexpr int kModal = 0;
constexpr int kTransparent = 1;

// The three command groups of this module.
inline constexpr const wchar_t* kGroupKivZeb = L"KivZeb";
inline constexpr const wchar_t* kGroupAcZeb = L"AcZeb";
inline constexpr const wchar_t* kGroupKivXeb = L"KivXeb";
// The sibling module's group and the commands this module takes over from it.
inline constexpr const wchar_t* kSiblingGroup = L"Zeb";
extern const wchar_t* const kReplacedSiblingCommands[9];

// The 189 rows, in registration order.
const CommandEntry* CommandTable();
std::size_t CommandTableSize();

// The empty handler: the command exists and does nothing.
void CmdNothing();

// Project open and floor switch
void CmdDaMain();
void CmdKivSwitchFloor();
// Rebuild commands
void CmdGjRebuildAll();
void CmdGjRebuildCur();
// Project archive
void CmdKivSaveAs();
// Small commands and launchers
void CmdKivLineLen();
void CmdKivColorManage();
void CmdKivTotalRule();
void CmdKivPiece();
void CmdKivPieceLoad();
void CmdKivPickupElev();
void CmdKivInputSnapAll();
void CmdKivInputSnapPart();
void CmdDeviceConv();
void CmdPipeConv();
void CmdPipeLineConv();
void CmdWaterPipeConv();
void CmdAirDuctConv();
void CmdTableConv();
// Developer test commands
void CmdKivGetPoint();
void CmdKivWriteDwg();
void CmdKivReadDwg();
void CmdKivGjType();
// Raster image commands
void CmdKivInPutImages();
void CmdKivClearImage();
void CmdKivImageScale();
void CmdKivImageFront();
void CmdKivImageBack();
void CmdKivImageManage();
void CmdKivImageHide();
void CmdKivImageShow();
void CmdKivImageShowAll();
