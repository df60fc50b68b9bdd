// The slot that holds the installed panel host.
#include "params/panel_host.h"

namespace standin {
namespace {
PanelHost* installed = nullptr;
}  // namespace

void SetPanelHost(PanelHost* host) { installed = host; }
PanelHost* GetPanelHost() { return installed; }

}  // namespace standin
