// Stand-ins for the circuit rows and tables whose bodies have not landed
// yet: each computes and writes nothing and lets the run go on.
#include "module/takeoff/result_writers.h"

void BuildFloorCircuitRows(const std::wstring&, std::vector<CircuitRow>& rows) { rows.clear(); }
void AttributeCircuitQuantities(std::vector<CircuitRow>&) {}
void WriteCircuitDetailTable(const std::vector<CircuitRow>&) {}
void WriteCircuitSummaryTable(const std::vector<CircuitRow>&) {}
