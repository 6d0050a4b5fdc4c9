// Stand-ins for the run callbacks until their real bodies land: each makes
// nothing, so a command that stores them lays nothing.
#include "module/layout/run_callbacks.h"

#define KIV_PENDING_CREATE(Name)                                                                              \
  cad::ObjectId Name(const std::wstring&, const std::wstring&, const geom::Point3d&, const geom::Point3d&, \
                     double, int) {                                                                           \
    return cad::ObjectId();                                                                                   \
  }
#define KIV_PENDING_DECORATE(Name) \
  void Name(const std::wstring&, cad::ObjectId) {}

KIV_PENDING_CREATE(CreatePipeGj)
KIV_PENDING_DECORATE(DecoratePipeGj)
KIV_PENDING_CREATE(CreatePipeLineGj)
KIV_PENDING_DECORATE(DecoratePipeLineGj)
KIV_PENDING_CREATE(CreateWireGj)
KIV_PENDING_DECORATE(DecorateWireGj)
KIV_PENDING_DECORATE(DecorateConduitGj)
KIV_PENDING_CREATE(CreateCableGj)
KIV_PENDING_DECORATE(DecorateCableGj)
KIV_PENDING_CREATE(CreateTrayGj)
KIV_PENDING_DECORATE(DecorateTrayGj)
KIV_PENDING_CREATE(CreateBridgeGj)
KIV_PENDING_DECORATE(DecorateBridgeGj)
KIV_PENDING_CREATE(CreateDuctGj)
KIV_PENDING_DECORATE(DecorateDuctGj)
KIV_PENDING_CREATE(CreateGrooveGj)
KIV_PENDING_DECORATE(DecorateGrooveGj)
