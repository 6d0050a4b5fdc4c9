#include "module/takeoff/kind_dispatch.h"

#include <unordered_map>

namespace {

struct KindGroup {
  KindCalculator calc;
  const wchar_t* kinds;
};

constexpr KindGroup kGroups[] = {
    {KindCalculator::LinearRun,
     L"给水管,热给水管,热回水管,污水管,废水管,雨水管,中水管,消防管,喷淋管,软管道,其它管道,管道沟槽,导管,"
     L"线槽,软导管,母线馈线,桥架,托盘,组合式桥架,避雷带,接地母线,避雷引下线,电缆沟槽,热供水管,"
     L"热回水管(暖通),冷供水管,冷回水管,冷却水管,凝结水管,软水管,其它水管,暖通管道沟槽"},
    {KindCalculator::Wire, L"照明导线,动力导线,消防导线,其它导线,电缆"},
    {KindCalculator::WireConduit, L"导线·导管"},
    {KindCalculator::CountedItem,
     L"阀门,法兰,喷淋头,普通水嘴,冷热水嘴,排水附件,管道补偿器,管道仪器,管道套管,管道堵头,管道弯头,管道三通,"
     L"管道四通,浴盆,洗脸盆,淋浴器,大便器,小便器,其它卫生器具,给排水设备,消防设备,其它设备,检查井,点状灯具,"
     L"块状灯具,插座,开关,接线盒,管线套管,其它电器具,动力设备,电消防设备,配电箱,配电柜,配电盘,元件装置,"
     L"其它电设备,接地极,接地跨接线,避雷针,电缆井,电气支架,设备基础,送风口,新风口,回风口,排风口,排烟口,"
     L"空调机组,风机盘管,通风机,除尘设备,其它风口,其它风设备,风阀,风法兰,导流片,风帽,静压箱,消声器,过滤器,"
     L"水阀,水法兰,水管补偿器,水管仪器,暖通套管,冷水机组,锅炉,水泵,冷却塔,散热器,暖风机,地暖盘管,其它暖设备,"
     L"弯头,三通,四通,来回弯,大小头,水管堵头,水管弯头,水管三通,水管四通,风管支架,水管支架,暖通设备基础,"
     L"暖通检查井"},
    {KindCalculator::SupportWeight, L"管道支架"},
    {KindCalculator::DuctArea, L"送风管,新风管,回风管,排风管,除尘排烟管,柔性风管,其它风管"},
};

const std::unordered_map<std::wstring, KindCalculator>& calculatorByKind() {
  static const std::unordered_map<std::wstring, KindCalculator> map = [] {
    std::unordered_map<std::wstring, KindCalculator> m;
    for (const KindGroup& g : kGroups) {
      StringArray kinds;
      SplitToArray(g.kinds, L",", kinds);
      for (const std::wstring& k : kinds) m.emplace(k, g.calc);
    }
    return m;
  }();
  return map;
}

}  // namespace

KindCalculator KindCalculatorOf(const std::wstring& name) {
  auto it = calculatorByKind().find(name);
  return it == calculatorByKind().end() ? KindCalculator::None : it->second;
}

void DispatchKindCalculator(const std::wstring& name, StringArray& doneKinds, cad::Database* db) {
  switch (KindCalculatorOf(name)) {
    case KindCalculator::LinearRun: CalcLinearRunQuantities(doneKinds, name); break;
    case KindCalculator::Wire: CalcWireQuantities(doneKinds, name, db); break;
    case KindCalculator::WireConduit: CalcWireConduitQuantities(doneKinds, name, db); break;
    case KindCalculator::CountedItem: CalcCountedItemQuantities(doneKinds, name); break;
    case KindCalculator::SupportWeight: CalcSupportWeightQuantities(doneKinds, name); break;
    case KindCalculator::DuctArea: CalcDuctAreaQuantities(doneKinds, name); break;
    case KindCalculator::None: break;
  }
}
