// A rollout: the parameter map between one block and its controls, and the
// simulated input that real controls would deliver.
#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <stdexcept>

#include "panel_control.h"
#include "panel_registry.h"
#include "panel_text.h"
#include "panel_tether.h"
#include "params/param_access.h"
#include "platform/shell.h"
#include "params/typed_number.h"

namespace standin {
namespace {

InputResult refused(std::string why) {
    InputResult result;
    result.error = std::move(why);
    return result;
}

std::string controlName(int id) { return "control " + std::to_string(id); }

}  // namespace

double PanelRollout::SpinnerStep(const ControlData& control) {
    const double step = control.scale > 0.0f ? control.scale : 0.1;
    return control.integerField ? std::max(1.0, std::round(step)) : step;
}

PanelRollout::PanelRollout(HeadlessPanel& panel, ParamBlockDesc2* desc, MapID mapId)
    : panel_(panel), desc_(desc), mapId_(mapId) {
    block_ = new PanelTether([this] {
        // The block is being deleted from outside: nothing may reach it now.
        if (IParamBlock2* block = GetParamBlock(); block && block->GetMap(mapId_) == this) {
            block->SetMap(nullptr, mapId_);
        }
    });
}

PanelRollout::~PanelRollout() { block_->DeleteMe(); }

IParamBlock2* PanelRollout::GetParamBlock() { return static_cast<IParamBlock2*>(block_->Target()); }

HWND PanelRollout::GetHWnd() { return reinterpret_cast<HWND>(this); }

void PanelRollout::Bind(IParamBlock2* block) {
    IParamBlock2* old = GetParamBlock();
    if (old != block && old && old->GetMap(mapId_) == this) {
        old->SetMap(detail::OtherRolloutOn(old, mapId_, this), mapId_);
    }
    block_->Hold(block);
    if (block) block->SetMap(this, mapId_);
    Invalidate();
}

PanelRollout::ControlData* PanelRollout::Find(int id) {
    for (ControlData& control : controls_) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

const PanelRollout::ControlData* PanelRollout::Find(int id) const {
    return const_cast<PanelRollout*>(this)->Find(id);
}

bool PanelRollout::HasControl(int id) const { return Find(id) != nullptr; }

void PanelRollout::Refresh(ControlData& control) {
    IParamBlock2* block = GetParamBlock();
    if (control.param < 0 || !block) return;
    const TimeValue t = panel_.Time();
    Interval valid = FOREVER;
    const ParamType2 type = block->GetParameterType(control.param);
    switch (control.kind) {
        case ControlKind::Edit:
        case ControlKind::Spinner: {
            double value = 0.0;
            if (type == TYPE_FLOAT) {
                float f = 0.0f;
                if (!block->GetValue(control.param, t, f, valid)) return;
                value = f;
            } else {
                int i = 0;
                if (!block->GetValue(control.param, t, i, valid)) return;
                value = i;
            }
            control.number = value;
            if (control.kind == ControlKind::Edit) control.text = detail::NumberText(value);
            break;
        }
        case ControlKind::CheckBox: {
            int i = 0;
            if (!block->GetValue(control.param, t, i, valid)) return;
            control.number = i != 0 ? 1.0 : 0.0;
            break;
        }
        case ControlKind::DropDown: {
            int i = 0;
            if (!block->GetValue(control.param, t, i, valid)) return;
            control.number = i;
            // A value that names no item leaves the list without a selection.
            const bool item = i >= 0 && static_cast<std::size_t>(i) < control.items.size();
            control.text = item ? control.items[static_cast<std::size_t>(i)] : std::string();
            break;
        }
        case ControlKind::MapButton: {
            ReferenceTarget* map = nullptr;
            if (!block->GetValue(control.param, t, map, valid)) map = nullptr;
            control.name = detail::DisplayNameOf(map);
            control.text = *control.name;
            break;
        }
        default:
            break;
    }
}

void PanelRollout::Invalidate() {
    for (ControlData& control : controls_) Refresh(control);
    UpdateUserDlgProc();
}

void PanelRollout::Invalidate(ParamID id, int) {
    for (ControlData& control : controls_) {
        if (control.param == id) Refresh(control);
    }
    UpdateUserDlgProc();
}

// As the host's parameter map does whenever it refreshes its controls: the
// procedure may make its own controls follow whatever changed the block.
void PanelRollout::UpdateUserDlgProc() {
    if (ParamMap2UserDlgProc* proc = GetUserDlgProc()) proc->Update(panel_.Time());
}

void PanelRollout::Enable(ParamID id, BOOL onOff, int) {
    for (ControlData& control : controls_) {
        if (control.param == id) control.enabled = onOff != FALSE;
    }
}

void PanelRollout::Show(ParamID id, BOOL showHide, int) {
    for (ControlData& control : controls_) {
        if (control.param == id) control.visible = showHide != FALSE;
    }
}

void PanelRollout::SetUserDlgProc(ParamMap2UserDlgProc* proc) {
    desc_->SetUserDlgProc(mapId_, proc);
}

ParamMap2UserDlgProc* PanelRollout::GetUserDlgProc() { return desc_->GetUserDlgProc(mapId_); }

std::vector<ControlView> PanelRollout::Controls() const {
    std::vector<ControlView> views;
    views.reserve(controls_.size());
    for (const ControlData& control : controls_) {
        ControlView view;
        view.id = control.id;
        view.className = control.className;
        view.text = control.text;
        view.rect = control.rect;
        view.style = control.style;
        view.enabled = control.enabled;
        view.visible = control.visible;
        view.kind = control.kind;
        view.param = control.param;
        view.number = control.number;
        view.name = control.name;
        view.items = control.items;
        if (control.kind == ControlKind::Spinner) view.step = SpinnerStep(control);
        if (control.kind == ControlKind::CheckBox && control.param < 0) {
            view.number = control.checked ? 1.0 : 0.0;
        }
        views.push_back(std::move(view));
    }
    return views;
}

std::optional<ControlView> PanelRollout::Control(int id) const {
    for (ControlView& view : Controls()) {
        if (view.id == id) return std::move(view);
    }
    return std::nullopt;
}

std::optional<std::string> PanelRollout::Unavailable(const ControlData& control) const {
    if (!panel_.GetThing()) return "the panel's object was deleted";
    if (!control.visible) return controlName(control.id) + " is hidden";
    if (!control.enabled) return controlName(control.id) + " is unavailable";
    if (control.param >= 0 && !const_cast<PanelRollout*>(this)->GetParamBlock()) {
        return controlName(control.id) + " has no parameter block";
    }
    return std::nullopt;
}

InputResult PanelRollout::SetNumber(ControlData& control, double value) {
    IParamBlock2& block = *GetParamBlock();
    const ParamDef* def = desc_->FindParamDef(control.param);
    if (!def) return refused(controlName(control.id) + " is bound to an unknown parameter");
    if (def->type != TYPE_FLOAT && def->type != TYPE_INT) {
        return refused(controlName(control.id) + " is bound to a parameter without a number");
    }
    // The block limits the value to the parameter's range; only a parameter
    // without one can be handed a value too large for its type.
    if (!def->has_range) {
        if (def->type == TYPE_FLOAT && std::fabs(value) > FLT_MAX) {
            return refused(std::to_string(value) + " is too large for a float parameter");
        }
        if (def->type == TYPE_INT && (value < INT_MIN || value > INT_MAX)) {
            return refused(std::to_string(value) + " is too large for an integer parameter");
        }
    }
    const BOOL stored = SetValueClamped(block, control.param, panel_.Time(), value);
    if (!stored) return refused("the parameter block refused the value");
    Invalidate(control.param);
    InputResult result;
    result.applied = true;
    return result;
}

InputResult PanelRollout::TypeText(int id, std::string_view text) {
    ControlData* control = Find(id);
    if (!control) return refused("no " + controlName(id) + " in the rollout");
    if (control->kind != ControlKind::Edit) return refused(controlName(id) + " is no edit field");
    if (auto why = Unavailable(*control)) return refused(*why);
    if (control->param < 0) {
        control->text = std::string(text);
        InputResult result;
        result.applied = true;
        return result;
    }
    double value = 0.0;
    if (std::string why; !ReadTypedNumber(text, value, why)) {
        return refused(why + " (" + controlName(id) + ")");
    }
    if (control->integerField) value = std::round(value);
    return SetNumber(*control, value);
}

InputResult PanelRollout::DragSpinner(int id, int steps) {
    ControlData* control = Find(id);
    if (!control) return refused("no " + controlName(id) + " in the rollout");
    if (control->kind != ControlKind::Spinner || control->param < 0) {
        return refused(controlName(id) + " is no spinner bound to a parameter");
    }
    if (auto why = Unavailable(*control)) return refused(*why);
    Refresh(*control);
    const double current = control->number.value_or(0.0);
    return SetNumber(*control, current + steps * SpinnerStep(*control));
}

InputResult PanelRollout::ClickCheckBox(int id) {
    ControlData* control = Find(id);
    if (!control) return refused("no " + controlName(id) + " in the rollout");
    if (control->kind != ControlKind::CheckBox)
        return refused(controlName(id) + " is no check box");
    if (auto why = Unavailable(*control)) return refused(*why);
    if (control->param >= 0) {
        IParamBlock2& block = *GetParamBlock();
        const int state = block.GetInt(control->param, panel_.Time());
        // The new state is in the block before the procedure hears the click.
        if (!block.SetValue(control->param, panel_.Time(), state != 0 ? FALSE : TRUE)) {
            return refused("the parameter block refused the new state");
        }
        Invalidate(control->param);
    } else {
        control->checked = !control->checked;
    }
    InputResult result;
    result.applied = true;
    result.procResult = Dispatch(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    return result;
}

InputResult PanelRollout::SelectItem(int id, int index) {
    ControlData* control = Find(id);
    if (!control) return refused("no " + controlName(id) + " in the rollout");
    if (control->kind != ControlKind::DropDown || control->param < 0) {
        return refused(controlName(id) + " is no drop-down list bound to a parameter");
    }
    if (auto why = Unavailable(*control)) return refused(*why);
    const int count = static_cast<int>(control->items.size());
    if (index < 0 || index >= count) {
        return refused("item " + std::to_string(index) + " is not in the list of " +
                       controlName(id) + " (items 0 to " + std::to_string(count - 1) + ")");
    }
    const ParamDef* def = desc_->FindParamDef(control->param);
    if (def && def->has_range && (index < def->range_low.i || index > def->range_high.i)) {
        return refused("item " + std::to_string(index) + " of " + controlName(id) +
                       " is outside the parameter's range " + std::to_string(def->range_low.i) +
                       " to " + std::to_string(def->range_high.i));
    }
    // The new value is in the block before the procedure hears of the change.
    if (!GetParamBlock()->SetValue(control->param, panel_.Time(), index)) {
        return refused("the parameter block refused item " + std::to_string(index));
    }
    Invalidate(control->param);
    InputResult result;
    result.applied = true;
    result.procResult = Dispatch(WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), 0);
    return result;
}

InputResult PanelRollout::PressButton(int id) {
    ControlData* control = Find(id);
    if (!control) return refused("no " + controlName(id) + " in the rollout");
    if (control->kind != ControlKind::Button && control->kind != ControlKind::MapButton) {
        return refused(controlName(id) + " is no button");
    }
    if (auto why = Unavailable(*control)) return refused(*why);
    InputResult result;
    result.applied = true;
    result.procResult = Dispatch(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    return result;
}

InputResult PanelRollout::AssignMap(int id, Texmap* map) {
    ControlData* control = Find(id);
    if (!control) return refused("no " + controlName(id) + " in the rollout");
    if (control->kind != ControlKind::MapButton || control->param < 0) {
        return refused(controlName(id) + " is no map button bound to a parameter");
    }
    if (auto why = Unavailable(*control)) return refused(*why);
    IParamBlock2& block = *GetParamBlock();
    if (!block.SetValue(control->param, panel_.Time(), static_cast<ReferenceTarget*>(map))) {
        return refused("the parameter block refused the map");
    }
    Invalidate(control->param);
    InputResult result;
    result.applied = true;
    return result;
}

INT_PTR PanelRollout::SendToUserProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return Dispatch(msg, wParam, lParam);
}

INT_PTR PanelRollout::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    ParamMap2UserDlgProc* proc = GetUserDlgProc();
    if (!proc) return 0;
    HeadlessPanel& panel = panel_;
    // Addresses the procedure opens are recorded, and still reach the
    // handler the host installed; without one, ShellExecuteW must still
    // report failure, which a throwing handler makes it do.
    ShellOpenHandler previous = CurrentShellHandler();
    ScopedShellHandler recorder([&panel, previous](std::string address) {
        panel.RecordOpened(address);
        if (!previous) throw std::runtime_error("no shell handler is installed");
        previous(std::move(address));
    });
    // A procedure that closes the panel it serves leaves the closing to the
    // end of the message.
    ++panel.dispatching_;
    const INT_PTR answer = proc->DlgProc(panel.Time(), this, GetHWnd(), msg, wParam, lParam);
    --panel.dispatching_;
    if (panel.dispatching_ == 0 && panel.closePending_) panel.DeleteThis();
    return answer;
}

}  // namespace standin
