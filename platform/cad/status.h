// Status codes returned by every fallible call of the drawing database.
#pragma once

namespace cad {

enum class Status {
  Ok = 0,
  NullObjectId,          // the id is null
  InvalidObjectId,       // the id belongs to no live database
  WasErased,             // the object is erased (open it with openErased to see it)
  WasOpenForWrite,       // already open for write: no other open allowed
  WasOpenForRead,        // open for read elsewhere: cannot open for write
  NotOpenForWrite,       // a change on an object not open for write
  NotOpenForRead,        // the object is not open at all
  OnLockedLayer,         // write-open of an entity on a locked layer
  WrongObjectType,       // the object is not of the requested kind
  InvalidInput,          // a bad argument
  OutOfRange,            // an index past the end
  KeyNotFound,           // no such name or key
  DuplicateRecordName,   // a record of that name exists
  InvalidSymbolName,     // the name is empty, too long or holds forbidden characters
  AlreadyInDb,           // the object already belongs to a database
  NotInDatabase,         // the object is not database-resident
  WrongDatabase,         // the id belongs to another database
  CannotBeErased,        // the object may not be erased (layer 0, the current layer, ...)
  CannotFreezeCurrent,   // the current layer cannot be frozen
  RegAppNotRegistered,   // extended data for an application not in the table
  BadXData,              // malformed extended data chain
  StringTooLong,         // an extended data string longer than 255 characters
  XDataSizeExceeded,     // more than 16 KB of extended data on one object
  NoActiveTransaction,   // end or abort with no transaction open
  DegenerateGeometry,    // zero length, zero radius, collinear points...
  NotApplicable,         // the operation does not apply to this kind or shape
  FileNotFound,          // no such file
  FileAccessError,       // cannot read or write the file
  BadFile,               // the file is damaged or not a drawing
  NotImplemented,
};

// A short English text for a status, for messages and test output.
const char* statusText(Status s);

}  // namespace cad
