// A drawing for the circuit conversion: converted devices (boxes and lamps
// as point components) and wiring lines and polylines on a source layer.
#pragma once

#include "module/conversion/circuit_conv.h"
#include "module/conversion/circuit_trace.h"
#include "module/conversion/device_conv.h"
#include "module/model/point_blocks.h"
#include "platform/editor/input.h"
#include "tests/module/conversion/network_fixture.h"

namespace convtest {

class CircuitDrawing : public DialogDrawing {
 protected:
  void TearDown() override {
    DestroyConvDialog(g_pipeLineConvDlg);
    DestroyConvDialog(g_pipeLineSelDlg);
    DestroyConvDialog(g_deviceConvDlg);
    ClearCircuitState();
    DialogDrawing::TearDown();
  }
  // A device as the device conversion makes it: a 300 x 300 block on the
  // type's layer, stamped as a point component at an elevation.
  cad::ObjectId device(const std::wstring& type, Point3d at, double elevation = 1500,
                       const std::wstring& number = L"") {
    const std::wstring block = L"设备_" + type;
    squareBlock(block, 150);
    GetOrCreateLayer(type, db());
    cad::ObjectId id = InsertBlockRef(block, at, 0, cad::Scale3d{}, geom::Vector3d(0, 0, 1), type, db());
    const std::wstring n = number.empty() ? type + L"1" : number;
    const geom::Vector3d none(0, 0, 0);
    SetPointGjSpecial(&n, id, &elevation, &none);
    return id;
  }
  cad::ObjectId box(Point3d at, double elevation = 1500) { return device(L"配电箱", at, elevation, L"AL1"); }
  cad::ObjectId lamp(Point3d at, double elevation = 3000) { return device(L"点状灯具", at, elevation, L"灯1"); }
  cad::ObjectId wire(Point3d a, Point3d b) { return line(L"ZEB_照明", a, b); }

  static CircuitTraceResult trace(const cad::ObjectIdArray& wiring, double merge = 1500, double connect = 50) {
    CircuitTraceOptions o;
    o.merge = merge;
    o.connect = connect;
    return TraceCircuits(wiring, o);
  }
};

}  // namespace convtest
