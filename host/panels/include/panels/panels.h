// Headless panels: the stand-in's material-editor rollouts without windows.
//
// A panel is built from a dialog template in the resources of the module
// that a class descriptor's HInstance reports, and from the p_ui bindings of
// the block's definition: each control keeps its template ID, class, text,
// rectangle and style, and the controls bound to a parameter show its value
// and take simulated user input the way the host's custom controls do. A
// block without a template (CreateBlockParamDlg) gets one generated row per
// parameter instead. The host's start-up installs the headless panel host as
// the class descriptors' panel host.
//
// User dialog procedures: a procedure set on a block definition (map 0)
// serves every open panel of that definition and receives WM_INITDIALOG when
// it starts to. The definition releases a procedure that another replaces;
// the panel host releases it (through the definition, so nothing keeps a
// stale pointer) when the last panel it serves closes, since a plug-in sets a
// new procedure with each panel it builds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "imtl.h"
#include "iparamb2.h"
#include "iparamm2.h"

namespace standin {

class HeadlessPanel;
class PanelTether;
struct DialogTemplate;

/// Makes the headless panel host the class descriptors' panel host. The
/// host's start-up does this; call it again after installing another.
void InstallHeadlessPanelHost();

/// A headless panel for `block`, which has no dialog template: one generated
/// row per parameter (an edit with a spinner for a float or an integer, a
/// drop-down list for an integer shown as a list, a check box for a BOOL, a
/// map button for a map). Null for a null block.
ParamDlg* CreateBlockParamDlg(IParamBlock2* block, HWND hwMtlEdit, IMtlParams* imp);

/// Generated rows: the control of the parameter at definition index i has ID
/// kGeneratedControlBase + 2i, its spinner the next ID; labels have ID -1.
inline constexpr int kGeneratedControlBase = 2000;

/// What a control is, from its class and style.
enum class ControlKind {
    Edit,
    Spinner,
    CheckBox,
    DropDown,
    Button,
    MapButton,
    Static,
    GroupBox,
    Other
};

const char* ControlKindName(ControlKind kind);

struct ControlRect {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
};

/// A control as a user would see it now.
struct ControlView {
    int id = 0;
    /// The template's class name; the system's classes (given as atoms) as
    /// "button", "edit", "static", "listbox", "scrollbar", "combobox".
    std::string className;
    /// UTF-8. An edit shows its number; a drop-down list its selected item
    /// ("" with none); a map button the map's name or "None".
    std::string text;
    ControlRect rect;  // dialog units
    std::uint32_t style = 0;
    bool enabled = true;
    bool visible = true;
    ControlKind kind = ControlKind::Other;
    /// The bound parameter, or -1.
    ParamID param = -1;
    /// The number an edit or spinner holds; the state of a check box as 0 or
    /// 1; the value of a drop-down list's parameter, the selected item's index.
    std::optional<double> number;
    /// A drop-down list's items (UTF-8), in value order.
    std::vector<std::string> items;
    /// The name on a map button ("None" without a map).
    std::optional<std::string> name;
    /// A spinner's step: what one click adds to its value; 0 for other controls.
    double step = 0.0;

    /// The value as text: the number, the name, or "" for controls without one.
    std::string ValueText() const;
};

/// The outcome of simulated input.
struct InputResult {
    /// True when the control took the input.
    bool applied = false;
    /// Why it did not.
    std::string error;
    /// The user procedure's answer to the message the input sent, if one was sent.
    std::optional<INT_PTR> procResult;

    explicit operator bool() const { return applied; }
};

/// One rollout: controls bound to one parameter block (its parameter map).
class PanelRollout final : public IParamMap2 {
public:
    ~PanelRollout() override;

    // IParamMap2
    IParamBlock2* GetParamBlock() override;
    HWND GetHWnd() override;
    MapID GetMapID() override { return mapId_; }
    void Invalidate() override;
    void Invalidate(ParamID id, int tabIndex = 0) override;
    void Enable(ParamID id, BOOL onOff, int tabIndex = 0) override;
    void Show(ParamID id, BOOL showHide, int tabIndex = 0) override;
    /// Sets the procedure on the block definition (see the file comment).
    void SetUserDlgProc(ParamMap2UserDlgProc* proc = nullptr) override;
    ParamMap2UserDlgProc* GetUserDlgProc() override;

    /// The rollout title (the definition's title string, else its name).
    const std::string& Title() const { return title_; }
    /// The template's ID, or 0 for generated controls.
    int DialogId() const { return dialogId_; }
    ParamBlockDesc2* Desc() const { return desc_; }
    HeadlessPanel& Panel() const { return panel_; }

    std::vector<ControlView> Controls() const;
    /// The first control with `id`, if any.
    std::optional<ControlView> Control(int id) const;
    bool HasControl(int id) const;

    /// Types `text` into edit `id` and presses Enter: a number (an integer
    /// for integer fields, rounded) sets the bound parameter at the panel's
    /// time, limited to its range. Malformed text changes nothing.
    InputResult TypeText(int id, std::string_view text);
    /// Drags spinner `id` by `steps` of its scale (negative: down), limited
    /// to the parameter's range.
    InputResult DragSpinner(int id, int steps);
    /// Clicks check box `id`: the new state is stored in its parameter, then
    /// the user procedure receives WM_COMMAND (ID, BN_CLICKED).
    InputResult ClickCheckBox(int id);
    /// Picks item `index` (from 0) of drop-down list `id`: the index is stored
    /// in its parameter, then the user procedure receives WM_COMMAND (ID,
    /// CBN_SELCHANGE).
    InputResult SelectItem(int id, int index);
    /// Presses button `id`: the user procedure receives WM_COMMAND (ID, BN_CLICKED).
    InputResult PressButton(int id);
    /// Drops `map` (null: clears) on map button `id`, as choosing it in the
    /// map browser does: sets the bound parameter.
    InputResult AssignMap(int id, Texmap* map);
    /// Sends a message to the user procedure; 0 without one.
    INT_PTR SendToUserProc(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    friend class HeadlessPanel;
    friend class HeadlessPanelHost;
    friend ParamDlg* CreateBlockParamDlg(IParamBlock2*, HWND, IMtlParams*);
    struct ControlData;

    PanelRollout(HeadlessPanel& panel, ParamBlockDesc2* desc, MapID mapId);

    /// The template's controls, then the definition's bindings; a binding
    /// naming a control the template lacks is added to `problems`.
    void BuildFromTemplate(const DialogTemplate& dialog, int dialogId,
                           std::vector<std::string>& problems);
    /// One row per parameter (see kGeneratedControlBase); a list item whose
    /// text is missing is added to `problems`.
    void BuildGenerated(IParamBlock2& block, std::vector<std::string>& problems);
    void Bind(IParamBlock2* block);
    ControlData* Find(int id);
    const ControlData* Find(int id) const;
    /// What one click of the spinner adds: its scale, a whole number for integers.
    static double SpinnerStep(const ControlData& control);
    void Refresh(ControlData& control);
    void UpdateUserDlgProc();
    std::optional<std::string> Unavailable(const ControlData& control) const;
    InputResult SetNumber(ControlData& control, double value);
    INT_PTR Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);

    HeadlessPanel& panel_;
    ParamBlockDesc2* desc_;
    MapID mapId_;
    int dialogId_ = 0;
    std::string title_;
    std::vector<ControlData> controls_;
    PanelTether* block_ = nullptr;  // holds a reference to the bound block
};

/// A master panel: the rollouts of an object's blocks with automatic panels,
/// plus the dialogs added to it, which it moves, shows, hides and releases
/// along with itself.
class HeadlessPanel final : public IAutoMParamDlg {
public:
    // ParamDlg
    Class_ID ClassID() override;
    /// Moves the panel to `m`, an object of the same class (anything else is
    /// ignored): each rollout follows m's block, the user procedures' SetThing
    /// gets m, and m's SetDlgThing is offered each added dialog.
    void SetThing(ReferenceTarget* m) override;
    ReferenceTarget* GetThing() override;
    /// Controls show values at this time, and input sets them at it.
    void SetTime(TimeValue t) override;
    void ReloadDialog() override;
    /// Closes the panel: releases the added dialogs, and the user procedures
    /// that serve no other panel, and detaches the maps from their blocks.
    void DeleteThis() override;
    void ActivateDlg(BOOL onOff) override;

    // IAutoMParamDlg
    void InvalidateUI() override;
    void MtlChanged() override;
    int NumDlgs() override { return static_cast<int>(added_.size()); }
    void AddDlg(ParamDlg* dlg) override;
    ParamDlg* GetDlg(int i) override;
    /// Replaces added dialog i, releasing the one it replaces.
    void SetDlg(int i, ParamDlg* dlg) override;
    /// Removes and releases an added dialog.
    void DeleteDlg(ParamDlg* dlg) override;
    /// The parameter map of the first rollout.
    IParamMap2* GetMap() override;

    int NumRollouts() const { return static_cast<int>(rollouts_.size()); }
    PanelRollout& Rollout(int i) const { return *rollouts_[static_cast<std::size_t>(i)]; }
    /// The first rollout holding a control `id`, or null.
    PanelRollout* RolloutWith(int id) const;

    // Input by control ID, on the first rollout that has the control.
    InputResult TypeText(int id, std::string_view text);
    InputResult DragSpinner(int id, int steps);
    InputResult ClickCheckBox(int id);
    InputResult SelectItem(int id, int index);
    InputResult PressButton(int id);
    InputResult AssignMap(int id, Texmap* map);

    bool Visible() const { return visible_; }
    /// Shows or hides the panel and the added dialogs that are headless panels.
    void SetVisible(bool visible);
    bool Active() const { return active_; }
    TimeValue Time() const { return time_; }
    HWND Handle() const { return handle_; }
    /// Problems met while building (a missing template, a control a binding
    /// names that the template lacks, a block the object does not have).
    const std::vector<std::string>& Problems() const { return problems_; }
    /// Addresses that ShellExecuteW was asked to open while the panel was driven.
    const std::vector<std::string>& OpenedAddresses() const { return openedAddresses_; }

    /// Every control of every rollout and of every added headless panel, one
    /// per line: ID, class, quoted text, rectangle, enabled or disabled,
    /// visible or hidden, value.
    std::string DumpText() const;
    /// The same as JSON: {"class", "visible", "rollouts": [{"title",
    /// "dialog", "controls": [{"id", "class", "text", "rect", "enabled",
    /// "visible", "value", and for a drop-down list "items"}]}], "dialogs":
    /// [...added headless panels...]}.
    std::string ToJson() const;

private:
    friend class PanelRollout;
    friend class HeadlessPanelHost;
    friend ParamDlg* CreateBlockParamDlg(IParamBlock2*, HWND, IMtlParams*);

    HeadlessPanel(ClassDesc2* cd, ReferenceTarget* thing, HWND hwMtlEdit, IMtlParams* imp);
    ~HeadlessPanel() override;

    void Detach();
    void RecordOpened(const std::string& address) { openedAddresses_.push_back(address); }
    void AppendDump(std::string& out, int depth) const;
    void AppendJson(std::string& out) const;

    ClassDesc2* cd_;
    PanelTether* thing_ = nullptr;  // holds a reference to the object shown
    HWND hwMtlEdit_;
    IMtlParams* imp_;
    HWND handle_;
    std::vector<PanelRollout*> rollouts_;
    std::vector<ParamDlg*> added_;
    std::vector<std::string> problems_;
    std::vector<std::string> openedAddresses_;
    TimeValue time_ = 0;
    bool visible_ = true;
    bool active_ = true;
    int dispatching_ = 0;        // messages being delivered to user procedures
    bool closePending_ = false;  // closed by a procedure while it ran
};

/// `dlg` as a headless panel, or null when it is some other dialog.
HeadlessPanel* AsHeadlessPanel(ParamDlg* dlg);

/// The headless panels open now, in the order they were built.
std::vector<HeadlessPanel*> OpenPanels();

}  // namespace standin
