// Block definitions: reading the variadic definition, defaults, ranges, UI.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cwctype>

#include "iparamb2.h"
#include "iparamm2.h"
#include "sdk/lifecycle_log.h"
#include "params/panel_host.h"
#include "params/param_access.h"

namespace {

const char* typeName(int type) {
    switch (type) {
        case TYPE_FLOAT:
            return "TYPE_FLOAT";
        case TYPE_INT:
            return "TYPE_INT";
        case TYPE_RGBA:
            return "TYPE_RGBA";
        case TYPE_POINT3:
            return "TYPE_POINT3";
        case TYPE_BOOL:
            return "TYPE_BOOL";
        case TYPE_TEXMAP:
            return "TYPE_TEXMAP";
        case TYPE_REFTARG:
            return "TYPE_REFTARG";
        default:
            return "an unknown type";
    }
}

const char* controlName(int control) {
    switch (control) {
        case TYPE_SPINNER:
            return "TYPE_SPINNER";
        case TYPE_SINGLECHECKBOX:
            return "TYPE_SINGLECHECKBOX";
        case TYPE_TEXMAPBUTTON:
            return "TYPE_TEXMAPBUTTON";
        case TYPE_INTLISTBOX:
            return "TYPE_INTLISTBOX";
        case TYPE_INT_COMBOBOX:
            return "TYPE_INT_COMBOBOX";
        default:
            return "an unknown control";
    }
}

// The definition tags occupy a small band just above -2^30; p_end closes it.
bool isTagValue(int value) { return value >= p_default && value <= p_end; }

std::string tagText(int tag) {
    switch (tag) {
        case p_default:
            return "p_default";
        case p_range:
            return "p_range";
        case p_ui:
            return "p_ui";
        case p_refno:
            return "p_refno";
        case p_subtexno:
            return "p_subtexno";
        case p_end:
            return "p_end";
        default:
            return "tag " + std::to_string(tag);
    }
}

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// Counts read from a definition bound how many further items are read; these
// limits stop a stray value (a pointer, a missing count) from reading on far
// past the real items.
constexpr int kMaxRollouts = 16;
constexpr int kMaxListItems = 256;

// Resource IDs are 16-bit.
bool isStringID(int value) { return value >= 0 && value <= 0xFFFF; }

bool isReferenceType(int type) { return type == TYPE_TEXMAP || type == TYPE_REFTARG; }

bool sameNameIgnoringCase(const MSTR& a, const MCHAR* b) {
    if (!b) return false;
    int i = 0;
    for (; i < a.Length() && b[i]; ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return i == a.Length() && b[i] == 0;
}

}  // namespace

// Reads the variadic part of a definition, one item at a time, and stops at the
// first item that does not fit: nothing after a bad item is read.
class ParamBlockDesc2::Parser {
public:
    Parser(ParamBlockDesc2& desc, va_list& args) : desc_(desc), args_(args) {}

    void Run() {
        if (!ReadHeader()) return;
        for (;;) {
            const int id = NextInt();
            if (id == p_end) return;
            if (!ReadParam(id)) return;
        }
    }

private:
    int NextInt() { return va_arg(args_, int); }
    double NextDouble() { return va_arg(args_, double); }

    bool Fail(const std::string& problem) {
        desc_.AddError(desc_.Describe() + ": " + problem);
        return false;
    }
    bool Fail(const ParamDef& p, const std::string& problem) {
        std::string where = "parameter " + std::to_string(p.ID);
        if (!p.int_name.isNull()) where += " \"" + p.int_name.ToUTF8() + "\"";
        return Fail(where + ": " + problem);
    }

    bool ReadHeader() {
        const unsigned known = P_AUTO_CONSTRUCT | P_AUTO_UI | P_VERSION | P_MULTIMAP;
        if (desc_.flags & ~known) {
            return Fail("unsupported block flags " + hex(desc_.flags & ~known));
        }
        if ((desc_.flags & P_MULTIMAP) && !(desc_.flags & P_AUTO_UI)) {
            return Fail("P_MULTIMAP needs P_AUTO_UI");
        }
        if (desc_.flags & P_VERSION) desc_.version = NextInt();
        if (desc_.flags & P_AUTO_CONSTRUCT) {
            desc_.ref_no = NextInt();
            if (desc_.ref_no < 0) {
                return Fail("the owner's reference index for the block is " +
                            std::to_string(desc_.ref_no) + ", not a valid index");
            }
        }
        if (desc_.flags & P_MULTIMAP) return ReadMaps();
        if (desc_.flags & P_AUTO_UI) ReadMap(0);
        return true;
    }

    bool ReadMaps() {
        const int count = NextInt();
        if (count < 1 || count > kMaxRollouts) {
            return Fail("P_MULTIMAP rollout count " + std::to_string(count) +
                        " is outside 1 to " + std::to_string(kMaxRollouts));
        }
        for (int i = 0; i < count; ++i) {
            const int id = NextInt();
            if (id < 0 || id > 0x7FFF) {
                return Fail("found " + std::to_string(id) + " where the map ID of rollout " +
                            std::to_string(i + 1) + " of " + std::to_string(count) +
                            " (0 to 32767) belongs");
            }
            if (desc_.GetMapInfo(static_cast<MapID>(id))) {
                return Fail("map ID " + std::to_string(id) + " is given to two rollouts");
            }
            ReadMap(static_cast<MapID>(id));
        }
        return true;
    }

    void ReadMap(MapID id) {
        ParamMapInfo map;
        map.map_id = id;
        map.dlg_template = NextInt();
        map.title = NextInt();
        map.flag_mask = NextInt();
        map.rollup_flags = NextInt();
        map.dlg_proc = va_arg(args_, ParamMap2UserDlgProc*);
        desc_.maps_.push_back(map);
    }

    std::string MapIDs() const {
        std::string ids;
        for (const ParamMapInfo& map : desc_.maps_) {
            ids += (ids.empty() ? "" : ", ") + std::to_string(map.map_id);
        }
        return ids;
    }

    bool ReadParam(int id) {
        ParamDef p;
        if (isTagValue(id)) {
            return Fail("found " + tagText(id) +
                        " where a parameter ID or the closing p_end belongs");
        }
        if (id < 0 || id > 0x7FFF) {
            return Fail("found " + std::to_string(id) +
                        " where a parameter ID (0 to 32767) or the closing p_end belongs");
        }
        p.ID = static_cast<ParamID>(id);
        const MCHAR* name = va_arg(args_, const MCHAR*);
        if (!name || !*name) return Fail(p, "has no script name");
        p.int_name = name;
        if (const ParamDef* other = desc_.FindParamDef(p.ID)) {
            return Fail(
                p, "duplicate parameter ID (already used by \"" + other->int_name.ToUTF8() + "\")");
        }
        if (const int other = desc_.NameToIndex(name); other >= 0) {
            return Fail(p, "script name already used by parameter " +
                               std::to_string(desc_.params_[other].ID));
        }
        const int type = NextInt();
        switch (type) {
            case TYPE_FLOAT:
            case TYPE_INT:
            case TYPE_BOOL:
            case TYPE_TEXMAP:
            case TYPE_REFTARG:
                p.type = static_cast<ParamType2>(type);
                break;
            case TYPE_RGBA:
            case TYPE_POINT3:
                return Fail(p, std::string(typeName(type)) + " parameters are not supported");
            default:
                return Fail(p, "unknown parameter type " + std::to_string(type));
        }
        p.flags = NextInt();
        const unsigned knownFlags = P_ANIMATABLE | P_TRANSIENT | P_OWNERS_REF | P_SUBTEX;
        if (static_cast<unsigned>(p.flags) & ~knownFlags) {
            return Fail(p, "unsupported parameter flags " +
                               hex(static_cast<unsigned>(p.flags) & ~knownFlags));
        }
        p.local_name = NextInt();
        for (;;) {
            const int tag = NextInt();
            if (tag == p_end) break;
            if (!ReadTag(p, tag)) return false;
        }
        if (!Check(p)) return false;
        desc_.params_.push_back(p);
        return true;
    }

    bool Misplaced(const ParamDef& p, int tag) {
        return Fail(p, tagText(tag) + " does not apply to a " + typeName(p.type) + " parameter");
    }
    bool Twice(const ParamDef& p, int tag) { return Fail(p, tagText(tag) + " given twice"); }

    bool ReadFloat(const ParamDef& p, const char* what, float& out) {
        const double value = NextDouble();
        out = static_cast<float>(value);
        if (!std::isfinite(out)) {
            return Fail(p, std::string(what) + " is not a finite single-precision number");
        }
        return true;
    }

    bool ReadTag(ParamDef& p, int tag) {
        switch (tag) {
            case p_default:
                if (p.has_default) return Twice(p, tag);
                if (p.type == TYPE_FLOAT) {
                    if (!ReadFloat(p, "the p_default value", p.def.f)) return false;
                } else if (p.type == TYPE_INT || p.type == TYPE_BOOL) {
                    p.def.i = NextInt();
                } else {
                    return Misplaced(p, tag);
                }
                p.has_default = true;
                return true;
            case p_range:
                if (p.has_range) return Twice(p, tag);
                if (p.type == TYPE_FLOAT) {
                    if (!ReadFloat(p, "the p_range minimum", p.range_low.f)) return false;
                    if (!ReadFloat(p, "the p_range maximum", p.range_high.f)) return false;
                    if (p.range_low.f > p.range_high.f) {
                        return Fail(p, "p_range minimum " + standin::FormatFloat(p.range_low.f) +
                                           " is above its maximum " +
                                           standin::FormatFloat(p.range_high.f));
                    }
                } else if (p.type == TYPE_INT) {
                    p.range_low.i = NextInt();
                    p.range_high.i = NextInt();
                    if (p.range_low.i > p.range_high.i) {
                        return Fail(p, "p_range minimum " + std::to_string(p.range_low.i) +
                                           " is above its maximum " +
                                           std::to_string(p.range_high.i));
                    }
                } else {
                    return Misplaced(p, tag);
                }
                p.has_range = true;
                return true;
            case p_ui:
                if (p.ctrl_type >= 0) return Twice(p, tag);
                return ReadControl(p);
            case p_refno:
                if (p.refno >= 0) return Twice(p, tag);
                if (!isReferenceType(p.type)) return Misplaced(p, tag);
                p.refno = NextInt();
                if (p.refno < 0) {
                    return Fail(p, "p_refno " + std::to_string(p.refno) +
                                       " is not a valid reference index");
                }
                return true;
            case p_subtexno:
                if (p.subtexno >= 0) return Twice(p, tag);
                if (p.type != TYPE_TEXMAP) return Misplaced(p, tag);
                p.subtexno = NextInt();
                if (p.subtexno < 0) {
                    return Fail(p, "p_subtexno " + std::to_string(p.subtexno) +
                                       " is not a valid sub-map slot");
                }
                return true;
            default:
                if (isTagValue(tag)) return Fail(p, "unsupported tag " + std::to_string(tag));
                return Fail(p, "found " + std::to_string(tag) +
                                   " where a tag or p_end belongs (is p_end missing?)");
        }
    }

    bool ReadControl(ParamDef& p) {
        if (desc_.flags & P_MULTIMAP) {
            const int map = NextInt();
            if (map < 0 || map > 0x7FFF || !desc_.GetMapInfo(static_cast<MapID>(map))) {
                return Fail(p, "p_ui names map " + std::to_string(map) +
                                   ", which the block does not have (its maps: " + MapIDs() +
                                   ")");
            }
            p.maptype = static_cast<MapID>(map);
        }
        const int control = NextInt();
        const auto misfit = [&] {
            return Fail(p, std::string("p_ui ") + controlName(control) + " does not fit a " +
                               typeName(p.type) + " parameter");
        };
        switch (control) {
            case TYPE_SPINNER: {
                if (p.type != TYPE_FLOAT && p.type != TYPE_INT) return misfit();
                const int editType = NextInt();
                if (editType != EDITTYPE_INT && editType != EDITTYPE_FLOAT) {
                    return Fail(p, "unknown spinner edit type " + std::to_string(editType));
                }
                p.edit_type = editType;
                const int editID = NextInt();
                const int spinnerID = NextInt();
                p.ctrl_IDs = {editID, spinnerID};
                if (!ReadFloat(p, "the spinner scale", p.scale)) return false;
                break;
            }
            case TYPE_SINGLECHECKBOX:
                if (p.type != TYPE_BOOL && p.type != TYPE_INT) return misfit();
                p.ctrl_IDs = {NextInt()};
                break;
            case TYPE_TEXMAPBUTTON:
                if (p.type != TYPE_TEXMAP) return misfit();
                p.ctrl_IDs = {NextInt()};
                break;
            case TYPE_INTLISTBOX:
            case TYPE_INT_COMBOBOX:
                if (p.type != TYPE_INT) return misfit();
                p.ctrl_IDs = {NextInt()};
                if (!ReadListItems(p, control)) return false;
                break;
            default:
                return Fail(p, "p_ui with unknown control type " + std::to_string(control) +
                                   ((desc_.flags & P_MULTIMAP)
                                        ? " (with P_MULTIMAP, p_ui starts with the map ID)"
                                        : ""));
        }
        p.ctrl_type = control;
        return true;
    }

    bool ReadListItems(ParamDef& p, int control) {
        const std::string what = std::string("p_ui ") + controlName(control);
        const int count = NextInt();
        if (count < 1 || count > kMaxListItems) {
            return Fail(p, what + " item count " + std::to_string(count) + " is outside 1 to " +
                               std::to_string(kMaxListItems));
        }
        for (int i = 0; i < count; ++i) {
            const int id = NextInt();
            if (!isStringID(id)) {
                // Most often a count larger than the string IDs that follow it.
                const std::string found = isTagValue(id) ? tagText(id) : std::to_string(id);
                return Fail(p, what + ": found " + found + " where string ID " +
                                   std::to_string(i + 1) + " of " + std::to_string(count) +
                                   " belongs");
            }
            p.list_items.push_back(id);
        }
        return true;
    }

    // Checks that need the whole parameter, once its p_end has been read.
    bool Check(const ParamDef& p) {
        if (p.IsOwnersRef() && !isReferenceType(p.type)) {
            return Fail(p, std::string("P_OWNERS_REF does not apply to a ") + typeName(p.type) +
                               " parameter");
        }
        if (p.IsOwnersRef() && p.refno < 0) return Fail(p, "P_OWNERS_REF needs p_refno");
        if (p.refno >= 0 && !p.IsOwnersRef()) return Fail(p, "p_refno needs P_OWNERS_REF");
        if (p.IsAnimatable() && p.type != TYPE_FLOAT) {
            return Fail(p, std::string("P_ANIMATABLE is supported on TYPE_FLOAT parameters "
                                       "only, not on ") +
                               typeName(p.type));
        }
        if (p.refno >= 0) {
            if ((desc_.flags & P_AUTO_CONSTRUCT) && p.refno == desc_.ref_no) {
                return Fail(p, "p_refno " + std::to_string(p.refno) +
                                   " is the owner's reference that holds the block itself");
            }
            for (const ParamDef& other : desc_.params_) {
                if (other.refno == p.refno) {
                    return Fail(p, "p_refno " + std::to_string(p.refno) +
                                       " is already used by parameter " + std::to_string(other.ID));
                }
            }
        }
        if (!p.list_items.empty() && !CheckListValues(p)) return false;
        if (p.has_default && p.has_range) {
            const bool outside = p.type == TYPE_FLOAT
                                     ? (p.def.f < p.range_low.f || p.def.f > p.range_high.f)
                                     : (p.def.i < p.range_low.i || p.def.i > p.range_high.i);
            if (outside) {
                const auto text = [&](const PB2Value& v) {
                    return p.type == TYPE_FLOAT ? standin::FormatFloat(v.f) : std::to_string(v.i);
                };
                return Fail(p, "default " + text(p.def) + " is outside the range " +
                                   text(p.range_low) + " to " + text(p.range_high));
            }
        }
        return true;
    }

    // A list shows the value as the item of that index: the values the
    // parameter can take must all be items.
    bool CheckListValues(const ParamDef& p) {
        const int last = static_cast<int>(p.list_items.size()) - 1;
        const std::string items = "the list's items 0 to " + std::to_string(last);
        if (p.has_range && (p.range_low.i < 0 || p.range_high.i > last)) {
            return Fail(p, "p_range " + std::to_string(p.range_low.i) + " to " +
                               std::to_string(p.range_high.i) + " goes beyond " + items);
        }
        if (p.def.i < 0 || p.def.i > last) {
            return Fail(p, "default " + std::to_string(p.def.i) + " is not one of " + items);
        }
        return true;
    }

    ParamBlockDesc2& desc_;
    va_list& args_;
};

ParamBlockDesc2::ParamBlockDesc2(BlockID id, const MCHAR* internalName, StringResID localName,
                                 ClassDesc2* classDesc, USHORT blockFlags, ...)
    : ID(id), int_name(internalName), local_name(localName), cd(classDesc), flags(blockFlags) {
    if (!internalName || !*internalName) {
        AddError(Describe() + ": the block has no internal name");
    } else {
        va_list args;
        // The host's signature ends its fixed part with a USHORT; every ABI we
        // build for finds the variadic items after it all the same.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wvarargs"
#endif
        va_start(args, blockFlags);
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
        Parser(*this, args).Run();
        va_end(args);
    }
    if (!cd) return;
    for (int i = 0; i < cd->NumParamBlockDescs(); ++i) {
        const ParamBlockDesc2* other = cd->GetParamBlockDesc(i);
        if (other->ID == ID) {
            AddError(Describe() + ": block ID " + std::to_string(ID) +
                     " is already used by ParamBlockDesc2 \"" + other->int_name.ToUTF8() +
                     "\" of the same class");
        } else if ((flags & P_AUTO_CONSTRUCT) && (other->flags & P_AUTO_CONSTRUCT) &&
                   other->ref_no == ref_no) {
            AddError(Describe() + ": the owner's reference " + std::to_string(ref_no) +
                     " already holds block \"" + other->int_name.ToUTF8() + "\"");
        }
    }
    cd->AddParamBlockDesc(this);
}

ParamBlockDesc2::~ParamBlockDesc2() {
    if (cd) cd->RemoveParamBlockDesc(this);
    standin::PanelHost* host = standin::GetPanelHost();
    std::vector<ParamMap2UserDlgProc*> procs;
    for (ParamMapInfo& map : maps_) {
        if (!map.dlg_proc) continue;
        if (std::find(procs.begin(), procs.end(), map.dlg_proc) == procs.end()) {
            procs.push_back(map.dlg_proc);
        }
        map.dlg_proc = nullptr;
        if (host) host->SetUserDlgProc(this, map.map_id, nullptr);
    }
    for (ParamMap2UserDlgProc* proc : procs) proc->DeleteThis();
    standin::LifecycleLog::Record("ParamBlockDesc2 destroyed: " + int_name.ToUTF8());
}

std::string ParamBlockDesc2::Describe() const {
    return "ParamBlockDesc2 \"" + int_name.ToUTF8() + "\" (block " + std::to_string(ID) + ")";
}

ParamID ParamBlockDesc2::IndextoID(int index) const {
    return index >= 0 && index < Count() ? params_[static_cast<std::size_t>(index)].ID
                                         : static_cast<ParamID>(-1);
}

int ParamBlockDesc2::IDtoIndex(ParamID id) const {
    for (int i = 0; i < Count(); ++i) {
        if (params_[static_cast<std::size_t>(i)].ID == id) return i;
    }
    return -1;
}

int ParamBlockDesc2::NameToIndex(const MCHAR* name) const {
    for (int i = 0; i < Count(); ++i) {
        if (sameNameIgnoringCase(params_[static_cast<std::size_t>(i)].int_name, name)) return i;
    }
    return -1;
}

const ParamDef* ParamBlockDesc2::FindParamDef(ParamID id) const {
    const int index = IDtoIndex(id);
    return index < 0 ? nullptr : &params_[static_cast<std::size_t>(index)];
}

const ParamMapInfo* ParamBlockDesc2::GetMapInfo(MapID map) const {
    for (const ParamMapInfo& info : maps_) {
        if (info.map_id == map) return &info;
    }
    return nullptr;
}

ParamMap2UserDlgProc* ParamBlockDesc2::GetUserDlgProc(MapID map) const {
    const ParamMapInfo* info = GetMapInfo(map);
    return info ? info->dlg_proc : nullptr;
}

bool ParamBlockDesc2::StillStored(const ParamMap2UserDlgProc* proc) const {
    for (const ParamMapInfo& info : maps_) {
        if (info.dlg_proc == proc) return true;
    }
    return false;
}

void ParamBlockDesc2::SetUserDlgProc(MapID map, ParamMap2UserDlgProc* proc) {
    ParamMapInfo* info = nullptr;
    for (ParamMapInfo& candidate : maps_) {
        if (candidate.map_id == map) info = &candidate;
    }
    if (!info) {
        // Ownership came to the host with the call, and no panel of this block
        // will ever run it.
        if (proc) proc->DeleteThis();
        return;
    }
    ParamMap2UserDlgProc* old = info->dlg_proc;
    if (old == proc) return;
    info->dlg_proc = proc;
    if (standin::PanelHost* host = standin::GetPanelHost()) host->SetUserDlgProc(this, map, proc);
    if (old && !StillStored(old)) old->DeleteThis();
}

void ParamBlockDesc2::InvalidateUI(ParamID id, int tabIndex) {
    if (cd) cd->InvalidateUI(this, id, tabIndex);
}
