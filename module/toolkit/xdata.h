// Component data in the extended entity data of drawing entities.
//
// One storage scheme serves every kind of component data: an ordered list of
// text items stored under one application name. After the application record
// (1001) each item becomes one or more string records (1000):
// - an item of at most 250 characters is one record holding it unchanged (an
//   empty item gives an empty record);
// - a longer item is cut from its start into records of 250 characters
//   followed by the continuation marker "\r" (backslash, letter r), and a last
//   record of the 1 to 250 characters left, without marker;
// - an item whose last record would itself end with backslash and r is
//   written with the marker after it and an empty record following, so that
//   it reads back exactly (a reader drops the marker and the empty record
//   ends the item);
// - trailing empty items are not stored; empty items before the last
//   non-empty one are.
// Read back, an application's value is its items in order, each followed by
// "\r\n". Handle records (1005) read like string records; other codes are
// passed over.
//
// Operations that take an object id open the object, work and close it
// before they return; those that take an open object leave that to the
// caller. A database argument may be null, meaning the working database.
#pragma once

#include <string>

#include "module/toolkit/strings.h"
#include "platform/cad/database.h"

// The applications of component data.
inline constexpr const wchar_t* kXdataNumber = L"编号";       // the component number
inline constexpr const wchar_t* kXdataAttrs = L"属性";        // attribute lines
inline constexpr const wchar_t* kXdataSpecial = L"特殊";      // type and elevations
inline constexpr const wchar_t* kXdataFittingArms = L"图形参数";
inline constexpr const wchar_t* kXdataFittingLinks = L"管件";
inline constexpr const wchar_t* kXdataFloorHeating = L"地暖";
inline constexpr const wchar_t* kXdataExternalGj = L"构件";    // written outside the system

// Longest piece of an item in one record, and the marker that continues it.
constexpr size_t kXdataPieceChars = 250;
inline constexpr const wchar_t* kXdataContinuation = L"\\r";

// Appends the list to the application's group on an object open for write
// (the application is registered first when the object has no group of it).
// Removes the trailing empty items from the caller's list. True when the
// object accepted the new data.
bool WriteXdataLines(cad::DbObject* obj, const std::wstring& app, StringArray& lines,
                     cad::Database* db);
// The same by id; false when the entity cannot be opened for write.
bool SetXdataLines(cad::ObjectId id, const std::wstring& app, StringArray& lines,
                   cad::Database* db);
bool SetXdataString(cad::ObjectId id, const std::wstring& app, const std::wstring& text,
                    cad::Database* db);
// Appends a new group of the application holding the lines to a chain, to
// set several groups in one write (setXData replaces the groups it names).
// Registers the application; removes the trailing empty items of the list.
void AppendXdataGroup(cad::ValueChain& chain, const std::wstring& app, StringArray& lines,
                      cad::Database* db);
// Stamps a component: "编号" = [number], then "属性" = the attribute lines.
// The result is that of the "属性" write (false when the entity cannot be
// opened for write).
bool SetGjXdataLines(cad::ObjectId id, const std::wstring& number, StringArray& attrs,
                     cad::Database* db);
bool SetGjXdataLines(cad::DbObject* obj, const std::wstring& number, StringArray& attrs,
                     cad::Database* db);
bool SetGjXdata(cad::ObjectId id, const std::wstring& number, const std::wstring& attrText,
                cad::Database* db);
bool SetGjXdataOpen(cad::DbObject* ent, const std::wstring& number, const std::wstring& attrText,
                    cad::Database* db);

// Removes applications from an object: those of the comma list (the whole
// list trimmed, the names not one by one), or with an empty list every
// application whose name does not contain "ACAD" — except "构件", which
// other modules of the suite write and this module only reads.
void ClearXdata(cad::ObjectId id, const std::wstring& apps);
void ClearXdata(cad::DbObject* obj, const std::wstring& apps);

// Registers the application name in the database when it is not there yet.
cad::Status RegisterAppInDb(cad::Database* db, const std::wstring& app);

// Every application group of the object in order: its name, and its value
// (items each followed by "\r\n"). Both arrays are emptied first.
void ReadAllXdata(cad::ObjectId id, StringArray& names, StringArray& values);
void ReadAllXdata(const cad::DbObject* obj, StringArray& names, StringArray& values);
// The two line readers take the application's value trimmed of white space
// at both ends before they split it (as SplitLines does): blanks before the
// first line and after the last one, and empty items before the first
// non-empty one, do not read back. Every reader of this data does the same,
// so positional lists must not begin with an empty item.
// number = first line of "编号"; attrs = all lines of "属性".
void GetGjNumberAndAttrs(cad::ObjectId id, std::wstring& number, StringArray& attrs);
// The lines of the application's value (trimmed at both ends, see above).
void GetXdataLines(cad::ObjectId id, const std::wstring& app, StringArray& lines);
void GetXdataLines(const cad::DbObject* obj, const std::wstring& app, StringArray& lines);
