// Layers, entity properties and two queries of the host's windows.
//
// Each function opens what it needs, changes or reads it and closes it before
// returning. A database argument may be null, meaning the working database.
// Nothing is reported to the user: setters do nothing when the layer or the
// entity is missing, getters leave their documented defaults.
#pragma once

#include <cstdint>
#include <string>

#include "module/toolkit/strings.h"
#include "platform/cad/database.h"

// A colour value with red in the low byte, green in the next and blue in the
// third; 0 stands for the colour by layer in the entity setters.
using ColorRef = std::uint32_t;

// The text style of the module's labels.
inline constexpr const wchar_t* kSystemTextStyle = L"marlfont001";
// The linetype file and the linetype used when a name is not defined.
inline constexpr const wchar_t* kLinetypeFile = L"ACADISO.LIN";
inline constexpr const wchar_t* kFallbackLinetype = L"CONTINUOUS";

// ---------------------------------------------------------------------------
// Layers
// ---------------------------------------------------------------------------

// The layer's id; a missing layer is created (white true colour, on, thawed,
// unlocked). The layer of that name then becomes the current layer of the
// working drawing, also when another database was given (where the working
// drawing has no such layer, its current layer stays).
cad::ObjectId GetOrCreateLayer(const std::wstring& name, cad::Database* db);
// Makes the layer current; false when it is missing or cannot be current.
bool SetCurrentLayer(const std::wstring& name, cad::Database* db);
void SetLayerOff(const std::wstring& name, bool off, cad::Database* db);
void SetLayerLocked(const std::wstring& name, bool locked, cad::Database* db);
void SetLayerFrozen(const std::wstring& name, bool frozen, cad::Database* db);
// Fills the outputs that are given; false (outputs untouched) for an empty
// name or a missing layer.
bool GetLayerFlags(const std::wstring& name, bool* off, bool* frozen, bool* locked,
                   cad::Database* db);
// The first standard colour index 1..255 whose colour equals the value, else
// a true colour of the value; the value 0 gives index 7 (a layer has no
// colour by layer or by block).
void SetLayerColorRGB(const std::wstring& name, ColorRef value, cad::Database* db);
void SetLayerColor(const std::wstring& name, const cad::Color& color, cad::Database* db);
// Colour index 0 (by block) first; then the layer's colour when it exists.
void GetLayerColor(const std::wstring& name, cad::Color& out, cad::Database* db);
// Every layer name in the order of the layer table.
void GetLayerNames(StringArray& out, cad::Database* db);

// ---------------------------------------------------------------------------
// Linetype and text style (working database)
// ---------------------------------------------------------------------------

// Loads the linetype from the linetype file when needed; an undefined name
// gives "CONTINUOUS". Sets the linetype and its scale on the entity.
void SetEntityLinetype(cad::ObjectId id, const std::wstring& linetype, double scale);
// The style's id, creating it when missing and a font file is given (an empty
// big-font name makes a TrueType style). Null for an empty style name, or a
// missing style without font file.
cad::ObjectId GetOrCreateTextStyle(const std::wstring& style, const std::wstring& font,
                                   const std::wstring& bigFont);
// Makes "marlfont001" (simplex.shx with hztxt.shx) and sets TEXTSTYLE and
// DIMTXSTY to it.
void SetDefaultTextStyle();

// ---------------------------------------------------------------------------
// Entity properties
// ---------------------------------------------------------------------------

// A true colour of the value's bytes, or by layer for 0 (sub-entities too).
void SetEntityColorRGB(cad::ObjectId id, ColorRef value);
void SetEntityColorRGBOpen(cad::Entity* ent, ColorRef value);
void SetEntityColor(cad::ObjectId id, const cad::Color& color);
// The output is untouched when the entity cannot be opened.
void GetEntityColor(cad::ObjectId id, cad::Color& out);
// False when invisible or when the entity cannot be opened.
bool IsEntityVisible(cad::ObjectId id);
void SetEntityVisible(cad::ObjectId id, int flag);
// Flag 1 shows every hidden model-space entity, 0 hides every visible one;
// any other value changes nothing.
void ShowAllEntities(int flag, cad::Database* db);
// Empty when the entity cannot be opened.
void GetEntityLayer(cad::ObjectId id, std::wstring& layer);
// The handle as hexadecimal text; empty when the object cannot be opened.
std::wstring GetHandleText(cad::ObjectId id);
// Flag 1 highlights the whole entity, any other value removes the highlight.
void HighlightEntity(cad::ObjectId id, int flag);

// ---------------------------------------------------------------------------
// Host display queries
// ---------------------------------------------------------------------------

// The line the user currently sees on the command line ("命令:" when idle).
void GetCmdLineText(std::wstring& out);
// Drawing units per screen pixel in the current view.
double GetPixelSize();
