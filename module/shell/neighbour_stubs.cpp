// Placeholder handlers of the commands owned by subsystems that are built
// later: each command is registered and does nothing yet. They are weak: a
// subsystem that lands defines its handlers in its own folder, which takes
// their place in the plug-in, and then removes them from this file.
#include "module/shell/neighbour_commands.h"
#include "module/shell/neighbour_services.h"

#define KIV_PLACEHOLDER __attribute__((weak))

// Services: the layout commands' rebuild routines and the 3D refresh.
KIV_PLACEHOLDER void RebuildGjByType(const std::wstring&, const std::wstring&, const cad::ObjectIdArray&) {}
KIV_PLACEHOLDER void RebuildAllGjTypes() {}
KIV_PLACEHOLDER void RefreshSolid3dOfEntity(const std::wstring&, cad::ObjectId, cad::Database*) {}
KIV_PLACEHOLDER void RefreshSolid3dOfType(const std::wstring&, const cad::ObjectIdArray&, cad::Database*) {}

// Discipline layout commands
KIV_PLACEHOLDER void CmdLayPipe() {}
KIV_PLACEHOLDER void CmdServicePipe() {}
KIV_PLACEHOLDER void CmdDrainPipe() {}
KIV_PLACEHOLDER void CmdPipe_Vert() {}
KIV_PLACEHOLDER void CmdThroughPipe() {}
KIV_PLACEHOLDER void CmdMultiPipe() {}
KIV_PLACEHOLDER void CmdLineToPipe() {}
KIV_PLACEHOLDER void CmdPipeJoin() {}
KIV_PLACEHOLDER void CmdHosePipe() {}
KIV_PLACEHOLDER void CmdPGradient() {}
KIV_PLACEHOLDER void CmdGPS_Acc() {}
KIV_PLACEHOLDER void CmdGPS_Valve() {}
KIV_PLACEHOLDER void CmdFaucet() {}
KIV_PLACEHOLDER void CmdDrainAcc() {}
KIV_PLACEHOLDER void CmdGPS_Sleeve() {}
KIV_PLACEHOLDER void CmdGPS_Instr() {}
KIV_PLACEHOLDER void CmdGPS_Compensator() {}
KIV_PLACEHOLDER void CmdShower() {}
KIV_PLACEHOLDER void CmdShowerRect() {}
KIV_PLACEHOLDER void CmdShowerOnLine() {}
KIV_PLACEHOLDER void CmdShowerSector() {}
KIV_PLACEHOLDER void CmdSprayLine() {}
KIV_PLACEHOLDER void CmdShower_Sel() {}
KIV_PLACEHOLDER void CmdSanitaryEquip() {}
KIV_PLACEHOLDER void CmdSanitaryEquip_Sel() {}
KIV_PLACEHOLDER void CmdGPS_Equip() {}
KIV_PLACEHOLDER void CmdGPS_Equip_Sel() {}
KIV_PLACEHOLDER void CmdPipeSupport() {}
KIV_PLACEHOLDER void CmdPipeSupport_Sel() {}
KIV_PLACEHOLDER void CmdPipeSupport_Auto() {}
KIV_PLACEHOLDER void CmdPipeGroove() {}
KIV_PLACEHOLDER void CmdGPS_Manhole() {}
KIV_PLACEHOLDER void CmdLayPipeLine() {}
KIV_PLACEHOLDER void CmdPipeLine_Sel() {}
KIV_PLACEHOLDER void CmdMultiPipeLine() {}
KIV_PLACEHOLDER void CmdPipeLine_Vert() {}
KIV_PLACEHOLDER void CmdLineToPL() {}
KIV_PLACEHOLDER void CmdHosePipeLine() {}
KIV_PLACEHOLDER void CmdBreakPipeLine() {}
KIV_PLACEHOLDER void CmdJoinPipeLine() {}
KIV_PLACEHOLDER void CmdLight() {}
KIV_PLACEHOLDER void CmdLightRect() {}
KIV_PLACEHOLDER void CmdLightSector() {}
KIV_PLACEHOLDER void CmdLightOnLine() {}
KIV_PLACEHOLDER void CmdSwitch() {}
KIV_PLACEHOLDER void CmdSwitch_Sel() {}
KIV_PLACEHOLDER void CmdSocket() {}
KIV_PLACEHOLDER void CmdSocket_Sel() {}
KIV_PLACEHOLDER void CmdInstallation() {}
KIV_PLACEHOLDER void CmdInstallation_Sel() {}
KIV_PLACEHOLDER void CmdDistributionBox() {}
KIV_PLACEHOLDER void CmdDistriBox_Sel() {}
KIV_PLACEHOLDER void CmdElement() {}
KIV_PLACEHOLDER void CmdElement_Sel() {}
KIV_PLACEHOLDER void CmdBridge_Hor() {}
KIV_PLACEHOLDER void CmdBridge_Vert() {}
KIV_PLACEHOLDER void CmdLineToBridge() {}
KIV_PLACEHOLDER void CmdCable_Hor() {}
KIV_PLACEHOLDER void CmdCable_Vert() {}
KIV_PLACEHOLDER void CmdCable_Sel() {}
KIV_PLACEHOLDER void CmdLineToCable() {}
KIV_PLACEHOLDER void CmdBus_Hor() {}
KIV_PLACEHOLDER void CmdBus_Vert() {}
KIV_PLACEHOLDER void CmdLineToBus() {}
KIV_PLACEHOLDER void CmdLBand_Auto() {}
KIV_PLACEHOLDER void CmdLightningBand() {}
KIV_PLACEHOLDER void CmdLineToLBand() {}
KIV_PLACEHOLDER void CmdDownLead() {}
KIV_PLACEHOLDER void CmdLightningRod() {}
KIV_PLACEHOLDER void CmdEarthBus_Hor() {}
KIV_PLACEHOLDER void CmdEarthBus_Vert() {}
KIV_PLACEHOLDER void CmdLineToEarthBus() {}
KIV_PLACEHOLDER void CmdEarthLead() {}
KIV_PLACEHOLDER void CmdEarthedPole() {}
KIV_PLACEHOLDER void CmdJunctionBox() {}
KIV_PLACEHOLDER void CmdJBox_Auto() {}
KIV_PLACEHOLDER void CmdDQ_Sleeve() {}
KIV_PLACEHOLDER void CmdCableGroove() {}
KIV_PLACEHOLDER void CmdCablePit() {}
KIV_PLACEHOLDER void CmdDQ_Support() {}
KIV_PLACEHOLDER void CmdDQ_Support_Auto() {}
KIV_PLACEHOLDER void CmdDQ_EquipFoundation() {}
KIV_PLACEHOLDER void CmdLayAirDuct() {}
KIV_PLACEHOLDER void CmdAirDuct_Vert() {}
KIV_PLACEHOLDER void CmdLineToDuct() {}
KIV_PLACEHOLDER void CmdAirDuct_Sel() {}
KIV_PLACEHOLDER void CmdLayWaterPipe() {}
KIV_PLACEHOLDER void CmdWaterPipe_Vert() {}
KIV_PLACEHOLDER void CmdThroughWP() {}
KIV_PLACEHOLDER void CmdLineToWP() {}
KIV_PLACEHOLDER void CmdMultiWaterP() {}
KIV_PLACEHOLDER void CmdWaterPJoin() {}
KIV_PLACEHOLDER void CmdHoseWaterP() {}
KIV_PLACEHOLDER void CmdWPGradient() {}
KIV_PLACEHOLDER void CmdAirOpening() {}
KIV_PLACEHOLDER void CmdOpeningOnLine() {}
KIV_PLACEHOLDER void CmdOpeningRect() {}
KIV_PLACEHOLDER void CmdOpenningSector() {}
KIV_PLACEHOLDER void CmdOpeningSide() {}
KIV_PLACEHOLDER void CmdSideOnLine() {}
KIV_PLACEHOLDER void CmdVentilate() {}
KIV_PLACEHOLDER void CmdDamper() {}
KIV_PLACEHOLDER void CmdDuctFlange() {}
KIV_PLACEHOLDER void CmdFlange_Auto() {}
KIV_PLACEHOLDER void CmdCowl() {}
KIV_PLACEHOLDER void CmdVane() {}
KIV_PLACEHOLDER void CmdOtherComponent() {}
KIV_PLACEHOLDER void CmdWaterHeatingE() {}
KIV_PLACEHOLDER void CmdRadiator() {}
KIV_PLACEHOLDER void CmdCoil() {}
KIV_PLACEHOLDER void CmdLineToCoil() {}
KIV_PLACEHOLDER void CmdNT_Valve() {}
KIV_PLACEHOLDER void CmdNT_Sleeve() {}
KIV_PLACEHOLDER void CmdNT_Instr() {}
KIV_PLACEHOLDER void CmdNT_Compensator() {}
KIV_PLACEHOLDER void CmdNT_Manhole() {}
KIV_PLACEHOLDER void CmdNT_Support() {}
KIV_PLACEHOLDER void CmdDuctRack_Sel() {}
KIV_PLACEHOLDER void CmdDuctRack_Auto() {}
KIV_PLACEHOLDER void CmdPipeRack_Sel() {}
KIV_PLACEHOLDER void CmdPipeRack_Auto() {}
KIV_PLACEHOLDER void CmdNT_Groove() {}
KIV_PLACEHOLDER void CmdNT_EquipFoundation() {}
// Quantity take-off
KIV_PLACEHOLDER void CmdZebTotalAll() {}
KIV_PLACEHOLDER void CmdZebTotalCur() {}
KIV_PLACEHOLDER void CmdZebTotalGj() {}
KIV_PLACEHOLDER void CmdZebTotal3d() {}
KIV_PLACEHOLDER void CmdZebTotalArea() {}
KIV_PLACEHOLDER void CmdZebAllArea() {}
// Fittings, component editing and checks
KIV_PLACEHOLDER void CmdKivChangeElev() {}
KIV_PLACEHOLDER void CmdGPS_ValidCheck() {}
KIV_PLACEHOLDER void CmdDQ_ValidCheck() {}
KIV_PLACEHOLDER void CmdGPS_Adaption() {}
KIV_PLACEHOLDER void CmdNT_Adaption() {}
KIV_PLACEHOLDER void CmdLayPFittings() {}
KIV_PLACEHOLDER void CmdFloorPFittings() {}
KIV_PLACEHOLDER void CmdLayWPFittings() {}
KIV_PLACEHOLDER void CmdFloorWPFittings() {}
KIV_PLACEHOLDER void CmdDuctJoin() {}
KIV_PLACEHOLDER void CmdDuctRotate() {}
KIV_PLACEHOLDER void CmdLinkOpening() {}
KIV_PLACEHOLDER void CmdDuctBend() {}
KIV_PLACEHOLDER void CmdDuctTee() {}
KIV_PLACEHOLDER void CmdDuctCross() {}
KIV_PLACEHOLDER void CmdDuctReducer() {}
KIV_PLACEHOLDER void CmdDuctFittings() {}
// 3D model
KIV_PLACEHOLDER void CmdKivSolid3d() {}
KIV_PLACEHOLDER void CmdKivSolidAll3d() {}
KIV_PLACEHOLDER void CmdKivSolid2d() {}
