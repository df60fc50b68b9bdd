// One control of a headless rollout, as the rollout keeps it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "panels/panels.h"

namespace standin {

struct PanelRollout::ControlData {
    int id = 0;
    std::string className;
    std::string templateText;  // the text the template gives it
    std::string text;          // the text it shows now
    ControlRect rect;
    std::uint32_t style = 0;
    bool enabled = true;
    bool visible = true;
    ControlKind kind = ControlKind::Other;
    ParamID param = -1;
    bool integerField = false;  // takes whole numbers only
    float scale = 0.0f;         // spinner step
    std::optional<double> number;
    std::optional<std::string> name;
    bool checked = false;  // the state of a check box bound to nothing
    std::vector<std::string> items;  // a drop-down list's, in value order
};

}  // namespace standin
