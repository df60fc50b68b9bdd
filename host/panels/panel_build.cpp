// Building a rollout's controls: from a dialog template and the definition's
// p_ui bindings, or generated from the definition alone.
#include "panel_control.h"
#include "modules/dialog_template.h"
#include "platform/utf16.h"

namespace standin {
namespace {

constexpr std::uint32_t kStyleVisible = 0x10000000;   // WS_VISIBLE
constexpr std::uint32_t kStyleDisabled = 0x08000000;  // WS_DISABLED
constexpr std::uint32_t kStyleChild = 0x40000000;     // WS_CHILD
constexpr std::uint32_t kStyleTabStop = 0x00010000;   // WS_TABSTOP
constexpr std::uint32_t kButtonTypeMask = 0x0F;

std::string classNameOf(const DialogControl& control) {
    if (control.windowClass.isOrdinal) {
        switch (control.windowClass.ordinal) {
            case kButtonClassAtom:
                return "button";
            case kEditClassAtom:
                return "edit";
            case kStaticClassAtom:
                return "static";
            case kListBoxClassAtom:
                return "listbox";
            case kScrollBarClassAtom:
                return "scrollbar";
            case kComboBoxClassAtom:
                return "combobox";
            default:
                return "#" + std::to_string(control.windowClass.ordinal);
        }
    }
    return Utf16ToUtf8(control.windowClass.name);
}

ControlKind kindOf(const DialogControl& control) {
    if (control.HasClass(u"CustEdit") || control.HasClass(u"Edit")) return ControlKind::Edit;
    if (control.HasClass(u"SpinnerControl")) return ControlKind::Spinner;
    if (control.HasClass(u"CustButton")) return ControlKind::Button;
    if (control.HasClass(u"Static")) return ControlKind::Static;
    if (control.HasClass(u"ComboBox")) return ControlKind::DropDown;
    if (control.HasClass(u"Button")) {
        switch (control.style & kButtonTypeMask) {
            case 2:  // BS_CHECKBOX
            case 3:  // BS_AUTOCHECKBOX
            case 5:  // BS_3STATE
            case 6:  // BS_AUTO3STATE
                return ControlKind::CheckBox;
            case 7:
                return ControlKind::GroupBox;  // BS_GROUPBOX
            default:
                return ControlKind::Button;
        }
    }
    return ControlKind::Other;
}

std::string describeParam(const ParamDef& def) {
    return "parameter \"" + def.int_name.ToUTF8() + "\" (ID " + std::to_string(def.ID) + ")";
}

bool isList(const ParamDef& def) {
    return def.ctrl_type == TYPE_INTLISTBOX || def.ctrl_type == TYPE_INT_COMBOBOX;
}

/// A list's item texts from the strings of the class's module; an item whose
/// string is missing shows empty, and is reported.
std::vector<std::string> listItems(const ParamBlockDesc2& desc, const ParamDef& def,
                                   std::vector<std::string>& problems) {
    std::vector<std::string> items;
    for (std::size_t n = 0; n < def.list_items.size(); ++n) {
        const StringResID id = def.list_items[n];
        const MCHAR* text = desc.cd ? desc.cd->GetRsrcString(id) : nullptr;
        if (!text) {
            problems.push_back(describeParam(def) + ": the text of list item " + std::to_string(n) +
                               " (string " + std::to_string(id) +
                               ") is not among the module's strings");
        }
        items.push_back(text ? WStr(text).ToUTF8() : std::string());
    }
    return items;
}

}  // namespace

void PanelRollout::BuildFromTemplate(const DialogTemplate& dialog, int dialogId,
                                     std::vector<std::string>& problems) {
    dialogId_ = dialogId;
    for (const DialogControl& source : dialog.controls) {
        ControlData control;
        control.id = source.id;
        control.className = classNameOf(source);
        control.templateText = Utf16ToUtf8(source.Text());
        control.text = control.templateText;
        control.rect = {source.x, source.y, source.cx, source.cy};
        control.style = source.style;
        control.enabled = (source.style & kStyleDisabled) == 0;
        control.visible = (source.style & kStyleVisible) != 0;
        control.kind = kindOf(source);
        controls_.push_back(std::move(control));
    }

    const std::string where = "dialog " + std::to_string(dialogId);
    for (int index = 0; index < desc_->Count(); ++index) {
        const ParamDef& def = desc_->ParamDefAt(index);
        // Each rollout binds the controls that the definition places on its map.
        if (def.ctrl_type < 0 || def.maptype != mapId_) continue;
        for (std::size_t n = 0; n < def.ctrl_IDs.size(); ++n) {
            const int id = def.ctrl_IDs[n];
            ControlData* control = Find(id);
            if (!control) {
                problems.push_back(describeParam(def) + ": control " + std::to_string(id) +
                                   " is not in " + where);
                continue;
            }
            control->param = def.ID;
            control->integerField = def.edit_type == EDITTYPE_INT || def.type == TYPE_INT;
            control->scale = def.scale;
            switch (def.ctrl_type) {
                case TYPE_SPINNER:
                    control->kind = n == 0 ? ControlKind::Edit : ControlKind::Spinner;
                    break;
                case TYPE_SINGLECHECKBOX:
                    control->kind = ControlKind::CheckBox;
                    break;
                case TYPE_TEXMAPBUTTON:
                    control->kind = ControlKind::MapButton;
                    break;
                case TYPE_INTLISTBOX:
                case TYPE_INT_COMBOBOX:
                    if (control->kind != ControlKind::DropDown) {
                        control->param = -1;
                        problems.push_back(describeParam(def) + ": control " + std::to_string(id) +
                                           " in " + where + " is a " + control->className +
                                           ", not a combo box");
                        break;
                    }
                    control->items = listItems(*desc_, def, problems);
                    break;
                default:
                    control->param = -1;
                    problems.push_back(describeParam(def) + ": control type " +
                                       std::to_string(def.ctrl_type) + " is not supported");
                    break;
            }
        }
    }
}

void PanelRollout::BuildGenerated(IParamBlock2& block, std::vector<std::string>& problems) {
    int row = 0;
    for (int index = 0; index < desc_->Count(); ++index) {
        const ParamDef& def = desc_->ParamDefAt(index);
        std::string label = block.GetLocalName(def.ID).ToUTF8();
        if (label.empty()) label = def.int_name.ToUTF8();
        const int y = 4 + 14 * row;
        const int id = kGeneratedControlBase + 2 * index;
        const auto add = [&](int controlId, const char* className, std::string text,
                             ControlRect rect, std::uint32_t style, ControlKind kind,
                             ParamID param) {
            ControlData control;
            control.id = controlId;
            control.className = className;
            control.templateText = text;
            control.text = std::move(text);
            control.rect = rect;
            control.style = style;
            control.kind = kind;
            control.param = param;
            control.integerField = def.type == TYPE_INT;
            control.scale = def.scale > 0.0f ? def.scale : (def.type == TYPE_INT ? 1.0f : 0.1f);
            controls_.push_back(std::move(control));
            return &controls_.back();
        };
        const std::uint32_t plain = kStyleChild | kStyleVisible;
        const std::uint32_t field = plain | kStyleTabStop;
        if (isList(def)) {
            add(-1, "static", label + ":", {4, y, 80, 8}, plain, ControlKind::Static, -1);
            add(id, "combobox", "", {90, y, 100, 12}, field | 3 /* CBS_DROPDOWNLIST */,
                ControlKind::DropDown, def.ID)
                ->items = listItems(*desc_, def, problems);
            ++row;
            continue;
        }
        switch (static_cast<int>(def.type)) {
            case TYPE_FLOAT:
            case TYPE_INT:
                add(-1, "static", label + ":", {4, y, 80, 8}, plain, ControlKind::Static, -1);
                add(id, "CustEdit", "", {90, y, 35, 10}, field, ControlKind::Edit, def.ID);
                add(id + 1, "SpinnerControl", "", {126, y, 7, 10}, plain, ControlKind::Spinner,
                    def.ID);
                break;
            case TYPE_BOOL:
                add(id, "button", label, {4, y, 120, 10}, field | 3 /* BS_AUTOCHECKBOX */,
                    ControlKind::CheckBox, def.ID);
                break;
            case TYPE_TEXMAP:
                add(-1, "static", label + ":", {4, y, 80, 8}, plain, ControlKind::Static, -1);
                add(id, "CustButton", "None", {90, y, 100, 12}, field, ControlKind::MapButton,
                    def.ID);
                break;
            default:
                continue;  // nothing a user edits in a row
        }
        ++row;
    }
}

}  // namespace standin
