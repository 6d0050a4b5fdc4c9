// Prompts: each reads the next input token (see input.h). An empty queue
// answers like Escape (kCancel). Point tokens pass through the input point
// manager (monitors, then the filter); keyboard and mouse tokens pass through
// the window-message filters and watches before the prompt returns.
//
// Results: kNormal (value given), kNone (Enter), kCancel (Escape), kKeyword
// (a keyword of the last initGet, or any text with kArbitraryInput; read it
// with getInput), kError (a failed pick).
#pragma once

#include <string>

#include "platform/editor/status.h"
#include "platform/geom/geom.h"

namespace ed {

// Sets flags (kNoNull, kNoZero, kNoNegative, kArbitraryInput, ...) and
// keywords for the next prompt only. Keywords are separated by blanks; a
// keyword's capital letters are its short form ("Undo" answers "U", "u",
// "und", "undo"); a keyword without capitals must be typed whole or by a
// unique prefix. "L1 L2 _G1 G2" gives local words and, after "_", the global
// words getInput reports. With kArbitraryInput and no keywords any text is a
// keyword.
int initGet(int flags, const std::wstring& keywords = L"");

// The text of the last keyword (or arbitrary text) a prompt returned with
// kKeyword; the global form when the keyword had one. kNormal, or kError when
// the last prompt returned no keyword.
int getInput(std::wstring& out);

// A point. base (may be null) is the rubber band's start and the origin of
// "@dx,dy" relative input. Typed "x,y[,z]" is a point; other text is a
// keyword or re-prompts with "点无效。".
int getPoint(const geom::Point3d* base, const std::wstring& prompt, geom::Point3d& out);
// The other corner of a rectangle from base.
int getCorner(const geom::Point3d& base, const std::wstring& prompt, geom::Point3d& out);
// A distance: a typed number, or a point whose distance from base (or from a
// first point asked for when base is null) is taken.
int getDist(const geom::Point3d* base, const std::wstring& prompt, double& out);
// An angle in radians: a typed number in degrees, or a point whose direction
// from base (or a first point) is taken.
int getAngle(const geom::Point3d* base, const std::wstring& prompt, double& out);
// A string. With allowSpaces a text token is taken whole and Space is a
// character; without, a Space token (or the first blank) ends the reply.
// Enter gives kNormal with an empty string.
int getString(bool allowSpaces, const std::wstring& prompt, std::wstring& out);
// A keyword from the last initGet.
int getKeyword(const std::wstring& prompt, std::wstring& out);
// An integer, a real. Text that is no number re-prompts ("需要整数值。",
// "需要数值。"); kNoZero / kNoNegative values re-prompt too.
int getInt(const std::wstring& prompt, int& out);
int getReal(const std::wstring& prompt, double& out);

// How many pixels one drawing unit takes in the view (for pixel to world
// conversions): the view scale. Default 1 unit per pixel.
double viewUnitsPerPixel();
void setViewUnitsPerPixel(double units);
// Converts a view pixel position to drawing coordinates.
geom::Point3d pixelToWorld(long x, long y);

// The aperture (pick box half size) in drawing units.
double pickAperture();
void setPickAperture(double units);

// Parses "x,y" or "x,y,z" (blanks allowed around the numbers).
bool parsePoint(const std::wstring& text, geom::Point3d& out);
// Parses a whole number text; false for anything else.
bool parseReal(const std::wstring& text, double& out);

}  // namespace ed
