#include "app/session/panel_labels.h"

#include <iparamb2.h>
#include <panels/panels.h>

#include <cstdlib>
#include <vector>

#include "app/session/panel_editor.h"

namespace nacrelle::tools {

namespace {

using standin::ControlKind;
using standin::ControlRect;
using standin::ControlView;

/// The label of `control`: the control just left of it on its row when that
/// is a text, else a text just above it (a column heading), else "".
std::string labelOf(const ControlView& control, const std::vector<ControlView>& controls) {
    constexpr int kSlack = 2;       // dialog units of overlap a layout may have
    constexpr int kHeadingGap = 6;  // most space between a heading and its control
    const ControlRect& at = control.rect;
    const ControlView* left = nullptr;
    for (const ControlView& c : controls) {
        if (&c == &control || c.kind == ControlKind::GroupBox || !c.visible) continue;
        const bool sameRow = c.rect.y < at.y + at.cy && at.y < c.rect.y + c.rect.cy;
        const int gap = at.x - (c.rect.x + c.rect.cx);
        if (sameRow && gap >= -kSlack &&
            (left == nullptr || gap < at.x - (left->rect.x + left->rect.cx))) {
            left = &c;
        }
    }
    if (left != nullptr && left->kind == ControlKind::Static) return left->text;
    for (const ControlView& c : controls) {
        if (c.kind != ControlKind::Static || c.text.empty()) continue;
        const bool overColumn = c.rect.x < at.x + at.cx && at.x < c.rect.x + c.rect.cx;
        const int gap = at.y - (c.rect.y + c.rect.cy);
        if (overColumn && gap >= 0 && gap <= kHeadingGap) return c.text;
    }
    return "";
}

}  // namespace

std::map<std::string, std::string> panelLabels(Texmap& map) {
    std::map<std::string, std::string> labels;
    PanelEditor editor(0);
    PanelCloser closer{map.CreateParamDlg(nullptr, &editor)};
    auto* panel = dynamic_cast<standin::HeadlessPanel*>(closer.dlg);
    if (panel == nullptr) return labels;
    for (int r = 0; r < panel->NumRollouts(); ++r) {
        standin::PanelRollout& rollout = panel->Rollout(r);
        IParamBlock2* block = rollout.GetParamBlock();
        if (block == nullptr) continue;
        const std::vector<standin::ControlView> controls = rollout.Controls();
        for (const standin::ControlView& bound : controls) {
            // A map button shows the map's name; a spinner belongs to its edit.
            if (bound.param < 0 || bound.kind == standin::ControlKind::Spinner ||
                bound.kind == standin::ControlKind::MapButton) {
                continue;
            }
            const ParamDef* def = block->GetDesc()->FindParamDef(bound.param);
            if (def == nullptr) continue;
            std::string label = bound.kind == standin::ControlKind::CheckBox ? bound.text : "";
            if (label.empty()) label = labelOf(bound, controls);
            if (!label.empty()) labels[def->int_name.ToUTF8()] = label;
        }
    }
    return labels;
}

}  // namespace nacrelle::tools
