// What a headless panel needs from the program: an editor at a fixed time,
// and closing the panel however a command ends.
#pragma once

#include <imtl.h>

namespace nacrelle::tools {

/// The material editor as the panel sees it: a fixed time, nothing to redraw.
class PanelEditor final : public IMtlParams {
public:
    explicit PanelEditor(TimeValue t) : time_(t) {}
    void MtlChanged() override {}
    TimeValue GetTime() override { return time_; }

private:
    TimeValue time_;
};

/// Closes the panel however the command ends.
struct PanelCloser {
    ParamDlg* dlg;
    ~PanelCloser() {
        if (dlg != nullptr) dlg->DeleteThis();
    }
};

}  // namespace nacrelle::tools
