// Parameter blocks: the definition of a block (ParamBlockDesc2), the class
// descriptor that owns definitions (ClassDesc2) and a block's values
// (IParamBlock2).
#pragma once

#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "interval.h"
#include "maxtypes.h"
#include "plugapi.h"
#include "ref.h"
#include "strclass.h"
#include "win_shim.h"

class IAutoMParamDlg;
class IMtlParams;
class IParamBlock2;
class IParamMap2;
class ParamMap2UserDlgProc;
// Completed by the material classes; the Texmap forms of IParamBlock2's
// accessors are templates so that they compile only where Texmap is complete.
class Texmap;

// ---- Definition vocabulary -------------------------------------------------------

// The value and control types are split over four enumerations, as on the
// host: the original ones and the second generation's additions. Only the
// values used here are listed; the numbers are the host's.

/// Parameter value types of the first generation.
enum ParamType : int {
    TYPE_FLOAT = 0,
    TYPE_INT = 1,
    TYPE_RGBA = 2,
    TYPE_POINT3 = 3,
    TYPE_BOOL = 4,
};

/// Parameter value types added for parameter blocks 2. A parameter's type
/// is stored as a ParamType2 whichever of the two enumerations names it.
enum ParamType2 : int {
    TYPE_TEXMAP = 15,
    TYPE_REFTARG = 18,
};

/// Panel control kinds of p_ui, first generation.
enum ControlType : int {
    TYPE_SPINNER = 0,
    TYPE_SINGLECHECKBOX = 2,
    TYPE_SINGLECHEKBOX = TYPE_SINGLECHECKBOX,  ///< the host's historical spelling
};

/// Panel control kinds added for parameter blocks 2.
enum ControlType2 : int {
    TYPE_TEXMAPBUTTON = 8,
    TYPE_INTLISTBOX = 11,    ///< drop-down list; the int value is the selected item's index
    TYPE_INT_COMBOBOX = 12,  ///< the same arguments and behaviour as TYPE_INTLISTBOX
};

// A first-generation type is stored in a ParamType2. The host's compiler
// compares the two enumerations as numbers; these say so to ours.
constexpr bool operator==(ParamType2 a, ParamType b) {
    return static_cast<int>(a) == static_cast<int>(b);
}

/// Spinner edit types.
enum EditSpinnerType : int {
    EDITTYPE_INT = 0,
    EDITTYPE_FLOAT = 1,
};

/// Tags of a parameter's items in the definition constructor.
enum ParamTags : int {
    p_default = -1073741824,
    p_range = -1073741822,
    p_ui = -1073741821,
    p_refno = -1073741817,
    p_subtexno = -1073741816,
    p_end = -1073740800,
};

// Block flags.
#define P_AUTO_CONSTRUCT 0x0002
#define P_AUTO_UI 0x0004
#define P_VERSION 0x0200
#define P_MULTIMAP 0x0800  ///< the UI spans several rollouts; each p_ui names its map

// Parameter flags.
#define P_ANIMATABLE 0x00000001
#define P_TRANSIENT 0x00000002
#define P_OWNERS_REF 0x00000200
#define P_SUBTEX 0x00000800

/// A plain parameter value of a definition: the float or the integer form,
/// whichever the parameter's type uses. Fixed-width so it can be stored as is.
struct PB2Value {
    float f = 0.0f;
    std::int32_t i = 0;
};

/// One parameter as the definition constructor parsed it.
struct ParamDef {
    ParamID ID = -1;
    MSTR int_name;  ///< script name
    ParamType2 type = static_cast<ParamType2>(TYPE_FLOAT);
    int flags = 0;
    StringResID local_name = 0;  ///< display-name string ID
    bool has_default = false;
    PB2Value def;
    bool has_range = false;
    PB2Value range_low;
    PB2Value range_high;
    int ctrl_type = -1;         ///< ControlType2 of p_ui, or -1 without p_ui
    int edit_type = -1;         ///< EditSpinnerType of a spinner, else -1
    std::vector<int> ctrl_IDs;  ///< spinner: edit, spin; check box, list or map button: its ID
    MapID maptype = 0;          ///< the rollout of the p_ui control (named by p_ui with P_MULTIMAP)
    std::vector<StringResID> list_items;  ///< a list's item texts, as string IDs, in value order
    float scale = 0.0f;         ///< spinner scale
    int refno = -1;             ///< owner's reference index (p_refno), or -1
    int subtexno = -1;          ///< owner's sub-map slot (p_subtexno), or -1

    bool IsOwnersRef() const { return (flags & P_OWNERS_REF) != 0; }
    bool IsAnimatable() const { return (flags & P_ANIMATABLE) != 0; }
    bool IsReference() const { return type == TYPE_TEXMAP || type == TYPE_REFTARG; }
};

/// The rollout a block's parameter map builds (P_AUTO_UI).
struct ParamMapInfo {
    MapID map_id = 0;
    int dlg_template = 0;
    StringResID title = 0;
    int flag_mask = 0;
    int rollup_flags = 0;
    ParamMap2UserDlgProc* dlg_proc = nullptr;  ///< owned by the host once set
};

class ClassDesc2;

/// The definition of one parameter block of a class.
class ParamBlockDesc2 : public MaxHeapOperators {
public:
    /// Parses a definition: after the flags, the block version (P_VERSION);
    /// the owner's reference index (P_AUTO_CONSTRUCT); dialog template, title
    /// string, flag mask, rollup flags and user procedure (P_AUTO_UI), or with
    /// P_MULTIMAP the number of rollouts and, for each, its map ID before
    /// those five; then each parameter (ID, script name, type, flags,
    /// display-name string ID, tagged items, p_end); then p_end. With
    /// P_MULTIMAP every p_ui starts with the map ID of its rollout. Floats arrive as double, int and BOOL as int. Parsing stops at
    /// the first malformed item and records why (see DefinitionErrors). The
    /// descriptor registers itself with `cd`.
    ParamBlockDesc2(BlockID id, const MCHAR* internalName, StringResID localName, ClassDesc2* cd,
                    USHORT flags, ...);
    ParamBlockDesc2(const ParamBlockDesc2&) = delete;
    ParamBlockDesc2& operator=(const ParamBlockDesc2&) = delete;
    /// Unregisters from the class descriptor, releases the stored user
    /// procedures and records the destruction in the lifecycle log.
    ~ParamBlockDesc2();

    BlockID ID;
    MSTR int_name;
    StringResID local_name;
    ClassDesc2* cd;
    USHORT flags;
    int ref_no = -1;  ///< owner's reference index of auto-constructed blocks
    int version = 0;  ///< P_VERSION

    /// Number of parameters.
    int Count() const { return static_cast<int>(params_.size()); }
    ParamID IndextoID(int index) const;
    /// Index of parameter `id`, or -1.
    int IDtoIndex(ParamID id) const;
    /// Index of the parameter with script name `name` (case-insensitive), or -1.
    int NameToIndex(const MCHAR* name) const;
    /// The parameter at `index` (0 <= index < Count()).
    const ParamDef& ParamDefAt(int index) const { return params_[index]; }
    /// The parameter `id`, or null.
    const ParamDef* FindParamDef(ParamID id) const;

    /// The definition's errors, in order; empty for a sound definition. Only
    /// the first item error can occur: parsing stops there.
    const std::vector<std::string>& DefinitionErrors() const { return errors_; }
    bool HasDefinitionErrors() const { return !errors_.empty(); }

    /// The rollouts of the block (map 0 with P_AUTO_UI; those listed with
    /// P_MULTIMAP, in their order).
    const std::vector<ParamMapInfo>& MapInfos() const { return maps_; }
    const ParamMapInfo* GetMapInfo(MapID map) const;
    ParamMap2UserDlgProc* GetUserDlgProc(MapID map = 0) const;

    /// Stores the user dialog procedure of map `map`; the host owns it from
    /// then on. A different procedure stored before is released with its
    /// DeleteThis after the panel host has moved open panels to the new one,
    /// unless the same object is still stored for another map. A procedure
    /// for a map the block does not have is released at once.
    void SetUserDlgProc(MapID map, ParamMap2UserDlgProc* proc = nullptr);
    void SetUserDlgProc(ParamMap2UserDlgProc* proc = nullptr) { SetUserDlgProc(0, proc); }

    /// Asks the class descriptor to refresh the controls of parameter `id`
    /// (-1: the whole block; tabIndex -1: every entry).
    void InvalidateUI(ParamID id = -1, int tabIndex = -1);

private:
    friend class ClassDesc2;
    class Parser;

    std::string Describe() const;
    void AddError(const std::string& message) { errors_.push_back(message); }
    bool StillStored(const ParamMap2UserDlgProc* proc) const;

    std::vector<ParamDef> params_;
    std::vector<ParamMapInfo> maps_;
    std::vector<std::string> errors_;
};

/// A class descriptor that owns parameter-block definitions.
class ClassDesc2 : public ClassDesc {
public:
    ClassDesc2() = default;
    /// Records its destruction in the lifecycle log; block descriptors still
    /// attached are detached.
    ~ClassDesc2() override;

    /// Every block of `owner` built from this class's definitions returns to
    /// its defaults (see IParamBlock2::ResetAll).
    virtual void Reset(ReferenceMaker* owner, BOOL updateUI = TRUE, BOOL callSetHandlers = TRUE);
    /// Refreshes the open panels of this class (through the panel host).
    virtual void InvalidateUI();
    virtual void InvalidateUI(ParamBlockDesc2* pbd);
    /// Refreshes the controls of parameter `id` (tabIndex -1: all entries).
    virtual void InvalidateUI(ParamBlockDesc2* pbd, ParamID id, int tabIndex = -1);
    /// Builds the panels of `obj` through the panel host; null without one.
    virtual IAutoMParamDlg* CreateParamDlgs(HWND hwMtlEdit, IMtlParams* imp, ReferenceTarget* obj);
    virtual void SetUserDlgProc(ParamBlockDesc2* pbd, MapID map,
                                ParamMap2UserDlgProc* proc = nullptr);
    virtual void SetUserDlgProc(ParamBlockDesc2* pbd, ParamMap2UserDlgProc* proc = nullptr);
    /// The parameter last changed in the most recently changed block of
    /// `owner` built from this class (that block in `pb`); -1 and null when
    /// none changed a parameter.
    virtual ParamID LastNotifyParamID(ReferenceMaker* owner, IParamBlock2*& pb);

    /// For each P_AUTO_CONSTRUCT definition: a new block at defaults, installed
    /// as the owner's reference ref_no.
    void MakeAutoParamBlocks(ReferenceMaker* owner) override;
    int NumParamBlockDescs() override { return static_cast<int>(pbDescs_.size()); }
    ParamBlockDesc2* GetParamBlockDesc(int i) override;
    ParamBlockDesc2* GetParamBlockDescByID(BlockID id) override;
    /// Called by the ParamBlockDesc2 constructor.
    void AddParamBlockDesc(ParamBlockDesc2* pbd) override;

private:
    friend class ParamBlockDesc2;
    void RemoveParamBlockDesc(ParamBlockDesc2* pbd);
    std::vector<IParamBlock2*> BlocksOf(ReferenceMaker* owner);

    std::vector<ParamBlockDesc2*> pbDescs_;
};

/// The values of one parameter block. The host implements it; plug-ins use it
/// through this interface.
class IParamBlock2 : public ReferenceTarget {
public:
    SClass_ID SuperClassID() override { return PARAMETER_BLOCK2_CLASS_ID; }

    /// The block ID of the definition.
    virtual short ID() = 0;
    virtual ReferenceMaker* GetOwner() = 0;
    virtual ParamBlockDesc2* GetDesc() = 0;
    virtual int NumParams() = 0;
    virtual ParamType2 GetParameterType(ParamID id) = 0;
    /// The display name of parameter `id` from the class's string resources.
    virtual MSTR GetLocalName(ParamID id, int tabIndex = -1) = 0;

    // Setting a value notifies the block's dependents with REFMSG_CHANGE after
    // recording the parameter as the last notified one. Returns FALSE (and
    // changes nothing) for an unknown parameter, a value of the wrong type or
    // a tab index other than 0. An int sets a TYPE_FLOAT parameter too.
    virtual BOOL SetValue(ParamID id, TimeValue t, float v, int tabIndex = 0) = 0;
    virtual BOOL SetValue(ParamID id, TimeValue t, int v, int tabIndex = 0) = 0;
    virtual BOOL SetValue(ParamID id, TimeValue t, ReferenceTarget* v, int tabIndex = 0) = 0;
    template <class T>
    requires std::is_same_v<T, Texmap> BOOL SetValue(ParamID id, TimeValue t, T* v,
                                                     int tabIndex = 0) {
        return SetValue(id, t, static_cast<ReferenceTarget*>(v), tabIndex);
    }

    // Reading a value narrows `valid` to the span around t over which it holds.
    virtual BOOL GetValue(ParamID id, TimeValue t, float& v, Interval& valid, int tabIndex = 0) = 0;
    virtual BOOL GetValue(ParamID id, TimeValue t, int& v, Interval& valid, int tabIndex = 0) = 0;
    virtual BOOL GetValue(ParamID id, TimeValue t, ReferenceTarget*& v, Interval& valid,
                          int tabIndex = 0) = 0;
    template <class T>
    requires std::is_same_v<T, Texmap> BOOL GetValue(ParamID id, TimeValue t, T*& v,
                                                     Interval& valid, int tabIndex = 0) {
        ReferenceTarget* target = nullptr;
        const BOOL ok = GetValue(id, t, target, valid, tabIndex);
        v = static_cast<T*>(target);
        return ok;
    }

    float GetFloat(ParamID id, TimeValue t = 0, int tabIndex = 0) {
        float v = 0.0f;
        Interval valid = FOREVER;
        GetValue(id, t, v, valid, tabIndex);
        return v;
    }
    int GetInt(ParamID id, TimeValue t = 0, int tabIndex = 0) {
        int v = 0;
        Interval valid = FOREVER;
        GetValue(id, t, v, valid, tabIndex);
        return v;
    }
    ReferenceTarget* GetReferenceTarget(ParamID id, TimeValue t = 0, int tabIndex = 0) {
        ReferenceTarget* v = nullptr;
        Interval valid = FOREVER;
        GetValue(id, t, v, valid, tabIndex);
        return v;
    }
    template <class T = Texmap>
    requires std::is_same_v<T, Texmap> T* GetTexmap(ParamID id, TimeValue t = 0, int tabIndex = 0) {
        return static_cast<T*>(GetReferenceTarget(id, t, tabIndex));
    }

    /// The parameter that the last change notification was about; -1 when it
    /// was not about one parameter.
    virtual ParamID LastNotifyParamID() = 0;

    virtual IParamMap2* GetMap(MapID map = 0) = 0;
    virtual void SetMap(IParamMap2* m, MapID map = 0) = 0;

    /// Every parameter held in the block returns to its default (keys are
    /// removed; object references held by the block are released). Values
    /// kept in the owner's references are the owner's to reset.
    virtual void ResetAll(BOOL updateUI = TRUE, BOOL callSetHandlers = TRUE) = 0;
    /// The same for one parameter.
    virtual void Reset(ParamID id, int tabIndex = -1, BOOL updateUI = TRUE,
                       BOOL callSetHandlers = TRUE) = 0;
};

/// A new block of definition `pdesc` for `owner`, at defaults; null when the
/// definition has errors.
IParamBlock2* CreateParameterBlock2(ParamBlockDesc2* pdesc, ReferenceMaker* owner);
