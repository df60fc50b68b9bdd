// The host's start-up: everything that runs when the host library loads, in
// the order it must run. Nothing else in the host starts itself.
#include "maps/builtin_classes.h"
#include "panels/panels.h"

namespace standin {
namespace {

struct HostStartup {
    HostStartup() {
        // The panel host first: once a class is in the directory, something may
        // create an object of it and ask for its panels, and a class descriptor
        // without a panel host builds none.
        InstallHeadlessPanelHost();
        // Then the built-in classes, before any module can load: scene files
        // recreate them by class ID, and the directory then refuses a module's
        // class that claims one of their IDs.
        RegisterBuiltinClasses();
    }
};

const HostStartup startup;

}  // namespace
}  // namespace standin
