// Scene-file defaults of the reference system: an object without data of its
// own writes and reads nothing (its references are stored by the host).
#include "ioapi.h"
#include "ref.h"

IOResult ReferenceMaker::Save(ISave*) { return IO_OK; }
IOResult ReferenceMaker::Load(ILoad*) { return IO_OK; }
