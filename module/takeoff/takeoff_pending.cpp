// Stand-ins for the calculators and result writers whose bodies have not
// landed yet: each computes and writes nothing and lets the run go on, so a
// take-off fills 构件算量.DB with the kinds that are computed.
#include "module/takeoff/kind_dispatch.h"
#include "module/takeoff/result_writers.h"


void BuildFloorCircuitRows(const std::wstring&, std::vector<CircuitRow>& rows) { rows.clear(); }
void AddSundryWorks(const std::wstring&) {}
bool WriteGjParamTable() { return true; }
bool WriteQtyTable() { return true; }
bool WriteFloorDetailTable(const std::wstring&) { return true; }
bool WriteDisciplineFloorDetailTable(const std::wstring&, int) { return true; }
bool WriteMethodSummary(const std::wstring&) { return true; }
bool WriteDisciplineMethodSummary(const std::wstring&, int) { return true; }
void AttributeCircuitQuantities(std::vector<CircuitRow>&) {}
void WriteCircuitDetailTable(const std::vector<CircuitRow>&) {}
void WriteCircuitSummaryTable(const std::vector<CircuitRow>&) {}
