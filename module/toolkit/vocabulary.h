// The words of the component model that every layer of the module shares:
// the layers of a component type, the kinds of linear segments, the fields of
// the project's tables and the type lists of the component categories. Each
// is spelled once, here, exactly as drawings and tables store it.
#pragma once

#include "module/toolkit/strings.h"

// The layers of a component type NAME: NAME holds its figures, NAME + "名"
// its labels, NAME + "边线" the edge lines of its outlines and NAME + "3D"
// its 3D twins.
inline constexpr const wchar_t* kLabelLayerSuffix = L"名";
inline constexpr const wchar_t* kEdgeLayerSuffix = L"边线";
inline constexpr const wchar_t* k3dLayerSuffix = L"3D";
// The word (in any case) in the layers of the 3D model's solids, whose
// attribute "名称" names the component.
inline constexpr const wchar_t* k3dLayerMark = L"LAYER3D";
inline constexpr const wchar_t* k3dNameAttribute = L"名称";

// The kinds of a component segment's special data ("类型="): a sloped pipe
// drawn as a polyline, a riser drawn as a block reference, a pipe through the
// floor, and a point component.
inline constexpr const wchar_t* kGjKindSloped = L"斜管";
inline constexpr const wchar_t* kGjKindRiser = L"立管";
inline constexpr const wchar_t* kGjKindThrough = L"贯通管";
inline constexpr const wchar_t* kGjKindPoint = L"点构件";

// The fields of the component library and of a floor's component table.
inline constexpr const wchar_t* kFieldName = L"构件名称";
inline constexpr const wchar_t* kFieldNumber = L"编号";
inline constexpr const wchar_t* kFieldCategory = L"构件分类";
inline constexpr const wchar_t* kFieldParams = L"参数";
inline constexpr const wchar_t* kFieldColour = L"颜色";
inline constexpr const wchar_t* kFieldRules = L"定额";
inline constexpr const wchar_t* kFieldCoords = L"坐标";
inline constexpr const wchar_t* kFieldCoords3d = L"三维坐标";
inline constexpr const wchar_t* kFieldWidth = L"图形宽";
inline constexpr const wchar_t* kFieldHeight = L"图形高";
inline constexpr const wchar_t* kFieldLabels = L"标注";
inline constexpr const wchar_t* kFieldGrid = L"网格";

// The category table: the 31 category names in order, and parallel to them
// the comma list of each category's component types. Built at start-up.
extern StringArray g_gjCategories;
extern StringArray g_gjCategoryTypes;
// The 20 point types whose block and figure are made per component number.
extern StringArray g_numberedPointTypes;

// Empties and refills the three containers above.
void BuildGjCategoryTable();
