// A source of one of the program's faces (the command line, the studio).
// Compiled as it is, it includes the application layer, the program's errors
// and the host's platform layer, and must build; with FAULT set, it includes
// the host's SDK, a host layer above the platform, or the core, which a
// face's include path must not find.
#include <platform/command_line.h>

#include <string>

#include "app/session/host_session.h"
#include "common/errors.h"

#if FAULT == 1
#include <imtl.h>
#elif FAULT == 2
#include <maps/grey_maps.h>
#elif FAULT == 3
#include "core/film_colour.h"
#endif

std::string FaceCheck() { return standin::PathToUtf8(nacrelle::tools::findModule({})); }
