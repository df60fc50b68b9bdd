// Panels as text and as JSON, for tools and tests.
#include <cstdio>

#include "panel_registry.h"
#include "panel_text.h"

namespace standin {
namespace {

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string jsonValue(const ControlView& control) {
    if (control.kind == ControlKind::CheckBox && control.number) {
        return *control.number != 0.0 ? "true" : "false";
    }
    if (control.number) return detail::NumberText(*control.number);
    if (control.name) return jsonString(*control.name);
    return "null";
}

std::string className(ClassDesc2* cd) {
    if (!cd) return "";
    const MCHAR* name = cd->InternalName();
    if (!name) name = cd->ClassName();
    return name ? WStr(name).ToUTF8() : std::string();
}

}  // namespace

const char* ControlKindName(ControlKind kind) {
    switch (kind) {
        case ControlKind::Edit:
            return "edit";
        case ControlKind::Spinner:
            return "spinner";
        case ControlKind::CheckBox:
            return "check box";
        case ControlKind::DropDown:
            return "drop-down list";
        case ControlKind::Button:
            return "button";
        case ControlKind::MapButton:
            return "map button";
        case ControlKind::Static:
            return "static";
        case ControlKind::GroupBox:
            return "group box";
        case ControlKind::Other:
            return "other";
    }
    return "other";
}

std::string ControlView::ValueText() const {
    if (number) return detail::NumberText(*number);
    if (name) return *name;
    return "";
}

std::string HeadlessPanel::DumpText() const {
    std::string out;
    AppendDump(out, 0);
    return out;
}

void HeadlessPanel::AppendDump(std::string& out, int depth) const {
    const std::string indent(static_cast<std::size_t>(2 * depth), ' ');
    out += indent + "panel of class " + className(cd_) + (visible_ ? "" : " (hidden)") + "\n";
    for (const PanelRollout* rollout : rollouts_) {
        out += indent + "  rollout \"" + rollout->Title() + "\"";
        if (rollout->DialogId() != 0) out += " from dialog " + std::to_string(rollout->DialogId());
        out += "\n";
        for (const ControlView& control : rollout->Controls()) {
            char rect[64];
            std::snprintf(rect, sizeof rect, "%d,%d %dx%d", control.rect.x, control.rect.y,
                          control.rect.cx, control.rect.cy);
            out += indent + "    " + std::to_string(control.id) + " " + control.className + " \"" +
                   control.text + "\" " + rect + (control.enabled ? " enabled" : " disabled") +
                   (control.visible ? " visible" : " hidden");
            const std::string value = control.ValueText();
            if (!value.empty()) out += " value=" + value;
            if (!control.items.empty()) {
                out += " items=";
                for (std::size_t i = 0; i < control.items.size(); ++i) {
                    out += (i > 0 ? ",\"" : "\"") + control.items[i] + "\"";
                }
            }
            out += "\n";
        }
    }
    for (ParamDlg* dlg : added_) {
        if (const HeadlessPanel* nested = AsHeadlessPanel(dlg)) {
            nested->AppendDump(out, depth + 1);
        } else {
            out += indent + "  (a dialog of another kind)\n";
        }
    }
}

std::string HeadlessPanel::ToJson() const {
    std::string out;
    AppendJson(out);
    return out;
}

void HeadlessPanel::AppendJson(std::string& out) const {
    out += "{\"class\":" + jsonString(className(cd_)) +
           ",\"visible\":" + (visible_ ? "true" : "false") + ",\"rollouts\":[";
    for (std::size_t r = 0; r < rollouts_.size(); ++r) {
        const PanelRollout& rollout = *rollouts_[r];
        if (r > 0) out += ",";
        out += "{\"title\":" + jsonString(rollout.Title()) +
               ",\"dialog\":" + std::to_string(rollout.DialogId()) + ",\"controls\":[";
        const std::vector<ControlView> controls = rollout.Controls();
        for (std::size_t c = 0; c < controls.size(); ++c) {
            const ControlView& control = controls[c];
            if (c > 0) out += ",";
            out += "{\"id\":" + std::to_string(control.id) +
                   ",\"class\":" + jsonString(control.className) +
                   ",\"text\":" + jsonString(control.text) + ",\"rect\":[" +
                   std::to_string(control.rect.x) + "," + std::to_string(control.rect.y) + "," +
                   std::to_string(control.rect.cx) + "," + std::to_string(control.rect.cy) +
                   "],\"enabled\":" + (control.enabled ? "true" : "false") +
                   ",\"visible\":" + (control.visible ? "true" : "false") +
                   ",\"value\":" + jsonValue(control);
            if (control.kind == ControlKind::DropDown) {
                out += ",\"items\":[";
                for (std::size_t i = 0; i < control.items.size(); ++i) {
                    out += (i > 0 ? "," : "") + jsonString(control.items[i]);
                }
                out += "]";
            }
            out += "}";
        }
        out += "]}";
    }
    out += "],\"dialogs\":[";
    bool first = true;
    for (ParamDlg* dlg : added_) {
        if (const HeadlessPanel* nested = AsHeadlessPanel(dlg)) {
            if (!first) out += ",";
            first = false;
            nested->AppendJson(out);
        }
    }
    out += "]}";
}

}  // namespace standin
