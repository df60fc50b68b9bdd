#include "app/session/map_panels.h"

#include <imtl.h>
#include <iparamb2.h>
#include <modules/resources.h>
#include <panels/panels.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "app/session/json_values.h"
#include "app/session/panel_editor.h"
#include "common/errors.h"

namespace nacrelle::tools {

namespace {

/// A typed number too large or too small for a double, as the nearest one
/// that is not: the parameter block then clamps it to its range as it does
/// 1e38, rather than refusing 1e400. Any other text is left as it is.
std::string withinDouble(const std::string& text) {
    std::string_view digits(text);
    while (!digits.empty() && (digits.front() == ' ' || digits.front() == '\t')) digits.remove_prefix(1);
    while (!digits.empty() && (digits.back() == ' ' || digits.back() == '\t')) digits.remove_suffix(1);
    if (digits.size() >= 2 && digits.front() == '+' && digits[1] != '-' && digits[1] != '+') {
        digits.remove_prefix(1);
    }
    double value = 0.0;
    const auto [end, status] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || end != digits.data() + digits.size() ||
        status != std::errc::result_out_of_range) {
        return text;
    }
    const bool negative = digits.front() == '-';
    const bool tooLarge = std::isinf(std::strtod(std::string(digits).c_str(), nullptr));
    if (!tooLarge) return negative ? "-0" : "0";
    return negative ? "-1.7976931348623157e308" : "1.7976931348623157e308";
}

/// What the page needs to know of the parameter behind a control: its name
/// (the module's string), whether it is an integer, its default and range.
void addParameter(nlohmann::json& control, const ParamBlockDesc2& desc, const ParamDef& def) {
    const MCHAR* name =
        desc.cd != nullptr && def.local_name != 0 ? desc.cd->GetRsrcString(def.local_name) : nullptr;
    control["name"] = name != nullptr ? WStr(name).ToUTF8() : def.int_name.ToUTF8();
    control["integer"] = def.type == TYPE_INT;
    if (def.type == TYPE_INT || def.type == TYPE_BOOL) control["default"] = def.def.i;
    if (def.type == TYPE_FLOAT) control["default"] = jsonNumber(def.def.f);
    if (!def.has_range) return;
    if (def.type == TYPE_INT) {
        control["range"] = {def.range_low.i, def.range_high.i};
    } else if (def.type == TYPE_FLOAT) {
        control["range"] = {jsonNumber(def.range_low.f), jsonNumber(def.range_high.f)};
    }
}

nlohmann::json describeControl(const standin::ControlView& c, ParamBlockDesc2* desc) {
    nlohmann::json control = {{"id", c.id},
                              {"class", c.className},
                              {"kind", standin::ControlKindName(c.kind)},
                              {"text", c.text},
                              {"rect", {c.rect.x, c.rect.y, c.rect.cx, c.rect.cy}},
                              {"style", c.style},
                              {"enabled", c.enabled},
                              {"visible", c.visible},
                              {"param", c.param}};
    if (c.param >= 0) {
        const ParamDef* def = desc != nullptr ? desc->FindParamDef(c.param) : nullptr;
        if (c.number) {
            // A float parameter's value, as its default and range, is the
            // float's own shortest decimal, so that a value at a bound shows
            // as the bound.
            control["value"] = def != nullptr && def->type == TYPE_FLOAT
                                   ? jsonNumber(static_cast<float>(*c.number))
                                   : nlohmann::json(*c.number);
        }
        if (c.name) control["value"] = *c.name;
        if (c.step > 0.0) control["step"] = c.step;
        if (def != nullptr) addParameter(control, *desc, *def);
    }
    if (c.kind == standin::ControlKind::DropDown) control["items"] = c.items;
    return control;
}

/// The rollout's size in dialog units: its template's, or for generated rows
/// the extent of its controls.
std::pair<int, int> rolloutSize(const standin::PanelRollout& rollout,
                                const standin::ModuleResources* resources) {
    if (rollout.DialogId() != 0 && resources != nullptr) {
        if (const standin::DialogTemplate* dialog =
                resources->FindDialog(static_cast<std::uint16_t>(rollout.DialogId()))) {
            return {dialog->cx, dialog->cy};
        }
    }
    // A generated rollout has no template: as large as its controls, with
    // the margin a dialog template leaves around them.
    constexpr int kMarginUnits = 4;
    int cx = 0, cy = 0;
    for (const standin::ControlView& c : rollout.Controls()) {
        cx = std::max(cx, c.rect.x + c.rect.cx + kMarginUnits);
        cy = std::max(cy, c.rect.y + c.rect.cy + kMarginUnits);
    }
    return {cx, cy};
}

/// Decimals of a spinner's step: 0.01 has two (it is a float, 0.0099999998).
int stepDecimals(double step) {
    if (!(step > 0.0) || step >= 1.0) return 0;
    return std::min(6, static_cast<int>(std::ceil(-std::log10(step) - 1e-6)));
}

/// Rounds what spinner `id` holds to its step's decimals: float steps added
/// one drag move at a time drift (14.999996 for 15, 1.3e-7 for 0), and a
/// spinner's values are those of its step grid.
standin::InputResult landOnStepGrid(standin::HeadlessPanel& panel, int id) {
    standin::InputResult onGrid;
    onGrid.applied = true;
    for (int r = 0; r < panel.NumRollouts(); ++r) {
        standin::PanelRollout& rollout = panel.Rollout(r);
        const std::optional<standin::ControlView> spinner = rollout.Control(id);
        if (!spinner || !spinner->number || spinner->step <= 0.0) continue;
        const double scale = std::pow(10.0, stepDecimals(spinner->step));
        const double grid = std::round(*spinner->number * scale) / scale;
        if (static_cast<float>(grid) == static_cast<float>(*spinner->number)) return onGrid;
        for (const standin::ControlView& edit : rollout.Controls()) {
            if (edit.kind != standin::ControlKind::Edit || edit.param != spinner->param) continue;
            char text[64];
            std::snprintf(text, sizeof text, "%.*f", stepDecimals(spinner->step),
                          grid == 0.0 ? 0.0 : grid);
            return rollout.TypeText(edit.id, text);
        }
    }
    return onGrid;
}

/// The controls a command-line dump lists of a control: no parameter details.
nlohmann::json listedControl(const standin::ControlView& c) {
    nlohmann::json control = {{"id", c.id},
                              {"class", c.className},
                              {"text", c.text},
                              {"rect", {c.rect.x, c.rect.y, c.rect.cx, c.rect.cy}},
                              {"enabled", c.enabled},
                              {"visible", c.visible}};
    if (c.param >= 0) {
        if (c.number) {
            control["value"] = *c.number;
        } else if (c.name) {
            control["value"] = *c.name;
        }
    }
    if (c.kind == standin::ControlKind::DropDown) control["items"] = c.items;
    return control;
}

}  // namespace

MapPanels::MapPanels(std::shared_ptr<const standin::ModuleResources> resources, int time,
                     bool withThicknessPanel)
    : resources_(std::move(resources)),
      editor_(std::make_unique<PanelEditor>(time)),
      time_(time),
      withThicknessPanel_(withThicknessPanel) {}

standin::HeadlessPanel* MapPanels::build(Texmap& map) const {
    ParamDlg* dlg = map.CreateParamDlg(nullptr, editor_.get());
    standin::HeadlessPanel* panel = standin::AsHeadlessPanel(dlg);
    if (panel == nullptr) {
        if (dlg != nullptr) dlg->DeleteThis();
        throw Failure("the map built no panel");
    }
    panel->SetTime(time_);
    return panel;
}

MapPanels::~MapPanels() { close(); }

void MapPanels::open(Texmap& map) {
    close();
    panel_ = build(map);
    if (withThicknessPanel_) reopenThicknessPanel(map);
}

void MapPanels::close() {
    closeThicknessPanel();
    if (panel_ != nullptr) panel_->DeleteThis();
    panel_ = nullptr;
}

void MapPanels::reopenThicknessPanel(Texmap& map) {
    closeThicknessPanel();
    if (Texmap* thicknessMap = map.GetSubTexmap(0)) thicknessPanel_ = build(*thicknessMap);
}

void MapPanels::closeThicknessPanel() {
    if (thicknessPanel_ != nullptr) thicknessPanel_->DeleteThis();
    thicknessPanel_ = nullptr;
}

std::vector<standin::HeadlessPanel*> MapPanels::panels() const {
    std::vector<standin::HeadlessPanel*> list{panel_};
    for (int i = 0; i < panel_->NumDlgs(); ++i) {
        if (standin::HeadlessPanel* added = standin::AsHeadlessPanel(panel_->GetDlg(i))) {
            list.push_back(added);
        }
    }
    if (thicknessPanel_ != nullptr) list.push_back(thicknessPanel_);
    return list;
}

standin::HeadlessPanel& MapPanels::panelAt(int panel) const {
    const std::vector<standin::HeadlessPanel*> list = panels();
    if (panel < 0 || static_cast<std::size_t>(panel) >= list.size()) {
        throw NotFound("no panel " + std::to_string(panel));
    }
    return *list[static_cast<std::size_t>(panel)];
}

nlohmann::json MapPanels::describe() const {
    nlohmann::json rollouts = nlohmann::json::array();
    const std::vector<standin::HeadlessPanel*> list = panels();
    for (std::size_t p = 0; p < list.size(); ++p) {
        for (int r = 0; r < list[p]->NumRollouts(); ++r) {
            const standin::PanelRollout& rollout = list[p]->Rollout(r);
            nlohmann::json controls = nlohmann::json::array();
            for (const standin::ControlView& c : rollout.Controls()) {
                controls.push_back(describeControl(c, rollout.Desc()));
            }
            const auto [cx, cy] = rolloutSize(rollout, resources_.get());
            rollouts.push_back({{"panel", p},
                                {"title", rollout.Title()},
                                {"dialog", rollout.DialogId()},
                                {"size", {cx, cy}},
                                {"thicknessMap", list[p] == thicknessPanel_},
                                {"controls", controls}});
        }
    }
    return rollouts;
}

void MapPanels::apply(standin::HeadlessPanel& target, int id, const PanelInput& input) {
    const auto refuseUnless = [](const standin::InputResult& result) {
        if (!result) throw BadValue(result.error);
    };
    if (input.action == "press") {
        refuseUnless(target.PressButton(id));
    } else if (input.action == "type") {
        refuseUnless(target.TypeText(id, withinDouble(input.text)));
    } else if (input.action == "spin") {
        refuseUnless(target.DragSpinner(id, input.steps));
        refuseUnless(landOnStepGrid(target, id));
    } else if (input.action == "click") {
        refuseUnless(target.ClickCheckBox(id));
    } else if (input.action == "select") {
        refuseUnless(target.SelectItem(id, input.item));
    } else {
        throw BadValue("unknown action \"" + input.action +
                       "\" (type, spin, click, select or press)");
    }
}

void MapPanels::input(int panel, int id, const PanelInput& input) {
    apply(panelAt(panel), id, input);
}

void MapPanels::inputOnControl(int id, const PanelInput& input) {
    for (standin::HeadlessPanel* p : panels()) {
        if (p != thicknessPanel_ && p->RolloutWith(id) != nullptr) return apply(*p, id, input);
    }
    apply(*panel_, id, input);
}

nlohmann::json MapPanels::controls() const {
    nlohmann::json list = nlohmann::json::array();
    for (standin::HeadlessPanel* panel : panels()) {
        if (panel == thicknessPanel_) continue;
        for (int r = 0; r < panel->NumRollouts(); ++r) {
            for (const standin::ControlView& c : panel->Rollout(r).Controls()) {
                list.push_back(listedControl(c));
            }
        }
    }
    return list;
}

std::string MapPanels::dumpText() const { return panel_->DumpText(); }

std::function<void()> MapPanels::parameterReset(int panel, int id) const {
    standin::HeadlessPanel& target = panelAt(panel);
    for (int r = 0; r < target.NumRollouts(); ++r) {
        standin::PanelRollout& rollout = target.Rollout(r);
        const std::optional<standin::ControlView> control = rollout.Control(id);
        if (!control) continue;
        if (control->param < 0) throw BadValue("control " + std::to_string(id) + " has no parameter");
        if (!control->enabled) throw Conflict("control " + std::to_string(id) + " is unavailable");
        IParamBlock2* block = rollout.GetParamBlock();
        const ParamID param = control->param;
        return [block, param] { block->Reset(param); };
    }
    throw NotFound("no control " + std::to_string(id) + " in panel " + std::to_string(panel));
}

void MapPanels::resetMapParameters() {
    std::vector<IParamBlock2*> blocks;
    for (standin::HeadlessPanel* panel : panels()) {
        if (panel == thicknessPanel_) continue;
        for (int r = 0; r < panel->NumRollouts(); ++r) blocks.push_back(panel->Rollout(r).GetParamBlock());
    }
    close();
    for (IParamBlock2* block : blocks) block->ResetAll();
}

bool MapPanels::thicknessMapButtonEnabled() const {
    for (const standin::ControlView& c : panel_->Rollout(0).Controls()) {
        if (c.kind == standin::ControlKind::MapButton && !c.enabled) return false;
    }
    return true;
}

}  // namespace nacrelle::tools
