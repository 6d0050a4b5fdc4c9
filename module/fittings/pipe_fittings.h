// Pipe fittings at the junctions of pipe runs: a cap (堵头) at a free end, an
// elbow (弯头) where two ends meet, a tee (三通) where three meet and a cross
// (四通) where four meet; a tap at a pipe end adds an arm of its own.
//
// A fitting is a point component: a reference to the empty block "sys$" +
// type on the layer of its type (the discipline word + the fitting word, as
// 管道三通), numbered type "-" the arms' diameters joined by "*" (管道三通-
// 50*50*32), with one cross bar per arm on the type's "边线" layer as its
// figure. Two extended-data records carry the junction to the 3D model:
// - "图形参数" on the fitting: one item per arm, "%f,%f,%f,%f" of the arm's
//   unit direction (from the junction into the pipe) and its diameter;
// - "管件" on the pipes and taps: the handles of the fittings they meet.
#pragma once

#include <string>
#include <vector>

#include "platform/cad/ids.h"
#include "platform/geom/geom.h"

namespace cad {
class Database;
}

// The discipline words: plumbing pipes and HVAC water pipes.
inline constexpr const wchar_t* kPlumbingWord = L"管道";
inline constexpr const wchar_t* kWaterPipeWord = L"水管";

// The fitting word of a junction of n arms (1 to 4), empty otherwise.
std::wstring FittingWord(std::size_t arms);

// Makes the fittings of the pipes (linear components of the discipline; other
// ids are passed over). Ends closer than or at 10 (3D) meet. The fittings
// standing closer than 10 to an end of these pipes are replaced, with their
// cross bars. The end of another pipe of the discipline's types that reaches
// a junction of these pipes counts as an arm of it (that pipe is not
// redrawn; its link to the replaced fitting becomes one to the new). A
// junction of more than four arms gets no fitting. Answers how many
// fittings were made.
int GeneratePipeFittings(const std::wstring& word, cad::ObjectIdArray ids);

// One fitting at the point: the block reference, its cross bars and its
// data; the null id when the arms are not 1 to 4 (or the two lists differ in
// length) or the fitting cannot be written, in which case nothing is left.
cad::ObjectId CreatePipeFitting(const std::vector<geom::Vector3d>& directions, const std::vector<double>& diameters,
                                const std::wstring& word, cad::Database* db, const geom::Point3d& point);
