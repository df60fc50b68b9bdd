// The map's editor panels, built headless as the host builds them: the
// map's own (with the panels it adds to it: the output filter's) and its
// thickness map's. A face draws them from describe() and drives them with
// input(); every value goes through the panels' controls, as a user's would.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

class Texmap;
namespace standin {
class HeadlessPanel;
class ModuleResources;
}  // namespace standin

namespace nacrelle::tools {

class PanelEditor;

/// The time the panels show and edit: a document is edited at time 0.
inline constexpr int kPanelTime = 0;

/// One input on a control: "type" (`text`), "spin" (`steps`), "click",
/// "select" (`item`, counted from 0) or "press".
struct PanelInput {
    std::string action;
    std::string text;
    int steps = 0;
    int item = 0;
};

class MapPanels {
public:
    /// The panels' dialogs come from `resources`, the module's; they show
    /// the map at `time`, and the thickness map's panel only when asked.
    explicit MapPanels(std::shared_ptr<const standin::ModuleResources> resources,
                       int time = kPanelTime, bool withThicknessPanel = true);
    ~MapPanels();
    MapPanels(const MapPanels&) = delete;
    MapPanels& operator=(const MapPanels&) = delete;

    /// Builds the panels of `map` and of its thickness map, if any; a
    /// Failure when the map builds none. Closes those open first.
    void open(Texmap& map);
    void close();
    bool isOpen() const { return panel_ != nullptr; }
    /// The thickness map's panel again, for the map's thickness map now.
    void reopenThicknessPanel(Texmap& map);
    void closeThicknessPanel();

    /// Every rollout: its panel (0: the map's, then the panels added to it,
    /// then the thickness map's), title, dialog, size in dialog units, and
    /// its controls with the parameters behind them.
    nlohmann::json describe() const;

    /// Whether `input` changes no value (a button: it opens a page or
    /// chooses a map elsewhere), so that it is no step of a history.
    static bool changesNothing(const PanelInput& input) { return input.action == "press"; }
    /// `input` on control `id` of panel `panel`. A spinner lands on its
    /// step grid. NotFound for no such panel, BadValue when the panel
    /// refuses the input.
    void input(int panel, int id, const PanelInput& input);

    /// `input` on control `id` of the first panel that has it (the map's
    /// when none has, so that its refusal names the control).
    void inputOnControl(int id, const PanelInput& input);
    /// Every control of the map's panel and of the panels added to it: ID,
    /// class, text, place, availability and value (and a list's items), as
    /// `nacrelle panel --json` prints them.
    nlohmann::json controls() const;
    /// The map's panel as text, as `nacrelle panel` prints it.
    std::string dumpText() const;

    /// What resets the parameter behind control `id` of panel `panel` to its
    /// default (the panels must be opened again after it). NotFound, BadValue
    /// (no parameter) or Conflict (the control is unavailable) at once.
    std::function<void()> parameterReset(int panel, int id) const;
    /// Resets every parameter of the map's own panels (not the thickness
    /// map's), closing the panels: open them again after it.
    void resetMapParameters();
    /// Whether the map's button for its thickness map is available.
    bool thicknessMapButtonEnabled() const;

private:
    std::vector<standin::HeadlessPanel*> panels() const;
    standin::HeadlessPanel& panelAt(int panel) const;
    standin::HeadlessPanel* build(Texmap& map) const;
    static void apply(standin::HeadlessPanel& target, int id, const PanelInput& input);

    std::shared_ptr<const standin::ModuleResources> resources_;
    std::unique_ptr<PanelEditor> editor_;
    int time_;
    bool withThicknessPanel_;
    standin::HeadlessPanel* panel_ = nullptr;
    standin::HeadlessPanel* thicknessPanel_ = nullptr;
};

}  // namespace nacrelle::tools
