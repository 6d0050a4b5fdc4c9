// Numbers, texts, string lists and attribute lists: the small operations on
// wide texts that every part of the module uses to pass component data around.
//
// - A string array is an ordered, growable array of texts (StringArray); a
//   string list is a linked list of texts (StringList), kept by the few callers
//   that hold their lists in that form.
// - A line break is "\r\n"; joined lines carry none after the last line.
// - A comma list is names joined by "," with no blanks.
// - An attribute list is a string array of items name "=" value: the name is
//   the text before the first "=", the value everything after it. An item
//   without "=" stays in the list but never matches a name.
//
// None of these functions shows a message or throws.
#pragma once

#include <list>
#include <string>
#include <string_view>
#include <vector>

using StringArray = std::vector<std::wstring>;
using StringList = std::list<std::wstring>;

// ---------------------------------------------------------------------------
// Numbers
// ---------------------------------------------------------------------------

// Rounds half up (towards +infinity) at n decimals; n may be 0 or negative.
// RoundTo(2.5, 0) = 3, RoundTo(-2.5, 0) = -2, RoundTo(1234, -2) = 1200.
double RoundTo(double x, int n);
// RoundTo(x, n) written with "%.*lf" (n > 0) or "%.lf" (no decimal point).
std::wstring FormatNumber(double x, int n);
// RoundTo(x, n) written by the base library's number formatting, which picks
// its own decimals. Empty when the base library cannot be reached.
std::wstring PrecStr(double x, int n);
// The same into out (emptied when the base library cannot be reached), for
// loops that format many numbers into one buffer.
void PrecStrTo(double x, int n, std::wstring& out);
// The text read as std::wcstod reads it (its longest number prefix; 0 when
// there is none). A plain decimal ("2800.0", "-150", "0.125") is converted
// without the locale-aware reader: both round to the nearest double.
double ReadNumber(std::wstring_view text);

// ---------------------------------------------------------------------------
// Joining and splitting
// ---------------------------------------------------------------------------

void JoinArray(const StringArray& items, const std::wstring& sep, std::wstring& out);
void JoinList(const StringList& items, const std::wstring& sep, std::wstring& out);
void JoinLines(const StringArray& items, std::wstring& out);  // sep "\r\n"

// Splits a text at every occurrence of sep (which must not be empty). The
// whole text is trimmed of white space first; the pieces are not trimmed one
// by one and empty pieces stay. An empty text gives no items; a text of white
// space alone gives one empty item.
void SplitToArray(const std::wstring& text, const std::wstring& sep, StringArray& out);
void SplitToList(const std::wstring& text, const std::wstring& sep, StringList& out);
void SplitLines(const std::wstring& text, StringArray& out);  // sep "\r\n"
void SplitString(const std::wstring& text, const std::wstring& sep, StringArray& out);

// head = text before the first sep, tail = text after it; both empty when the
// text holds no sep.
void SplitHeadTail(const std::wstring& text, const std::wstring& sep, std::wstring& head,
                   std::wstring& tail);

// Replaces every occurrence of searched by replacement, searching again from
// the start after each replacement (so text formed by a replacement is matched
// again). An empty searched text changes nothing; a searched text that the
// replacement contains (which would never end) replaces each occurrence of the
// original text once instead.
void ReplaceAll(std::wstring& text, const std::wstring& searched, const std::wstring& replacement);

// Removes white space at the start and at the end (the platform's wide
// character classification of space).
std::wstring TrimWhite(const std::wstring& text);
// The same as a view into text (no copy).
std::wstring_view TrimWhiteView(std::wstring_view text);
std::wstring TrimWhiteRight(const std::wstring& text);

// ---------------------------------------------------------------------------
// Lookups and attribute lists
// ---------------------------------------------------------------------------

// Index of the line equal to text, by the base library; -1 for an empty
// array (the library is not asked). Without the base library an exact search
// answers.
int TStrsIndexOf(const StringArray& items, const std::wstring& text);
// Index of the first attribute line whose name matches, by the base library
// (asked for an empty list too); -1 when none. Without the base library an
// exact search of the names answers.
int TStrsIndexOfName(const StringArray& attrs, const std::wstring& name);

// The value of the first item whose name equals key exactly (case-sensitive,
// no trimming); empty when no item matches.
void FindAttrValue(const StringArray& attrs, const std::wstring& key, std::wstring& value);
std::wstring GetAttrValue(const StringArray& attrs, const std::wstring& key);
// Replaces the item that the base library finds for name by name "=" value,
// or appends it when none is found.
void SetAttrValue(StringArray& attrs, const std::wstring& name, const std::wstring& value);
