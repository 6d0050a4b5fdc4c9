#include "platform/cad/status.h"

namespace cad {

const char* statusText(Status s) {
  switch (s) {
    case Status::Ok: return "ok";
    case Status::NullObjectId: return "null object id";
    case Status::InvalidObjectId: return "invalid object id";
    case Status::WasErased: return "object was erased";
    case Status::WasOpenForWrite: return "object is open for write";
    case Status::WasOpenForRead: return "object is open for read";
    case Status::NotOpenForWrite: return "object is not open for write";
    case Status::NotOpenForRead: return "object is not open";
    case Status::OnLockedLayer: return "entity is on a locked layer";
    case Status::WrongObjectType: return "wrong object type";
    case Status::InvalidInput: return "invalid input";
    case Status::OutOfRange: return "index out of range";
    case Status::KeyNotFound: return "key not found";
    case Status::DuplicateRecordName: return "duplicate record name";
    case Status::InvalidSymbolName: return "invalid symbol name";
    case Status::AlreadyInDb: return "object is already in a database";
    case Status::NotInDatabase: return "object is not in a database";
    case Status::WrongDatabase: return "object belongs to another database";
    case Status::CannotBeErased: return "object cannot be erased";
    case Status::CannotFreezeCurrent: return "the current layer cannot be frozen";
    case Status::RegAppNotRegistered: return "application name is not registered";
    case Status::BadXData: return "malformed extended data";
    case Status::StringTooLong: return "extended data string longer than 255 characters";
    case Status::XDataSizeExceeded: return "extended data exceeds 16 KB per object";
    case Status::NoActiveTransaction: return "no active transaction";
    case Status::DegenerateGeometry: return "degenerate geometry";
    case Status::NotApplicable: return "not applicable";
    case Status::FileNotFound: return "file not found";
    case Status::FileAccessError: return "file access error";
    case Status::BadFile: return "damaged or unreadable drawing file";
    case Status::NotImplemented: return "not implemented";
  }
  return "unknown status";
}

}  // namespace cad
