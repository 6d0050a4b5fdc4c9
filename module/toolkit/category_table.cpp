// The component categories of the suite with their types, and the numbered
// point types. The type names are the vocabulary of the whole module (layer
// names, table rows, rebuild dispatch, take-off, 3D): they are spelled here
// exactly as the suite spells them.
#include "module/toolkit/vocabulary.h"

namespace {

struct CategoryRow {
  const wchar_t* category;
  const wchar_t* types;
};

// Rows 1-10 are the suite's building categories, 11-16 plumbing, 17-22
// electrical, 23-31 HVAC.
const CategoryRow kCategories[] = {
    {L"轴网", L"轴网"},
    {L"基础", L"砼条基,砖条基,基础梁,满基,独基,承台,桩,集水井,土方"},
    {L"墙", L"砼墙,砖墙,间壁墙,电梯井墙,填充墙,玻璃幕墙"},
    {L"门窗洞", L"门,窗,洞,飘窗,老虎窗"},
    {L"柱", L"砼柱,砖柱,构造柱,暗柱"},
    {L"梁", L"框架梁,次梁,圈梁,过梁"},
    {L"板.楼梯", L"现浇板,预制板,楼梯"},
    {L"装饰", L"房间,楼梯面,天棚,墙面,屋面"},
    {L"零星构件", L"阳台,雨蓬,挑檐,散水,水沟,台阶,坡道,脚手架,平整场地,建筑面积,后浇带"},
    {L"多义构件", L"线构件,面构件,体构件"},
    {L"管道", L"给水管,热给水管,热回水管,污水管,废水管,雨水管,中水管,消防管,喷淋管,软管道,其它管道"},
    {L"管道附件", L"阀门,法兰,喷淋头,普通水嘴,冷热水嘴,排水附件,管道补偿器,管道仪器,管道套管"},
    {L"卫生器具", L"浴盆,洗脸盆,淋浴器,大便器,小便器,其它卫生器具"},
    {L"设备", L"给排水设备,消防设备,其它设备"},
    {L"排水零星", L"检查井,管道支架,管道沟槽"},
    {L"管道配件", L"管道堵头,管道弯头,管道三通,管道四通"},
    {L"管线", L"照明导线,动力导线,消防导线,导管,线槽,软导管,导线·导管,其它导线"},
    {L"照明器具", L"点状灯具,块状灯具,插座,开关,其它电器具"},
    {L"设备、箱柜", L"动力设备,电消防设备,其它电设备,配电箱,配电柜,配电盘,元件装置"},
    {L"电缆桥架", L"电缆,母线馈线,桥架,托盘,组合式桥架"},
    {L"防雷接地", L"接地极,接地母线,接地跨接线,避雷针,避雷引下线,避雷带"},
    {L"附件、零星", L"接线盒,管线套管,电缆沟槽,电缆井,电气支架,设备基础"},
    {L"风管", L"送风管,新风管,回风管,排风管,除尘排烟管,柔性风管,其它风管"},
    {L"水管", L"热供水管,热回水管(暖通),冷供水管,冷回水管,冷却水管,凝结水管,软水管,其它水管"},
    {L"风口设备", L"送风口,新风口,回风口,排风口,其它风口,空调机组,风机盘管,通风机,除尘设备,其它风设备"},
    {L"风管部件", L"风阀,风法兰,导流片,风帽,静压箱,消声器,过滤器"},
    {L"风管配件", L"弯头,三通,四通,大小头,来回弯"},
    {L"水暖附件", L"水阀,水法兰,水管补偿器,水管仪器,暖通套管"},
    {L"水暖设备", L"冷水机组,锅炉,水泵,冷却塔,散热器,暖风机,地暖盘管,其它暖设备"},
    {L"暖通零星", L"风管支架,水管支架,暖通设备基础,暖通检查井,暖通管道沟槽"},
    {L"水管配件", L"水管堵头,水管弯头,水管三通,水管四通"},
};

// 排烟口 is made per number although no category lists it.
const wchar_t* const kNumberedPointTypes[] = {
    L"管道补偿器", L"管道套管", L"检查井", L"配电箱", L"配电柜", L"配电盘", L"电缆井",
    L"设备基础", L"管线套管", L"送风口", L"新风口", L"回风口", L"排风口", L"排烟口",
    L"其它风口", L"静压箱", L"水管补偿器", L"暖通套管", L"暖通检查井", L"暖通设备基础",
};

}  // namespace

StringArray g_gjCategories;
StringArray g_gjCategoryTypes;
StringArray g_numberedPointTypes;

void BuildGjCategoryTable() {
  g_gjCategories.clear();
  g_gjCategoryTypes.clear();
  for (const auto& row : kCategories) {
    g_gjCategories.emplace_back(row.category);
    g_gjCategoryTypes.emplace_back(row.types);
  }
  g_numberedPointTypes.clear();
  for (const wchar_t* t : kNumberedPointTypes) g_numberedPointTypes.emplace_back(t);
}
