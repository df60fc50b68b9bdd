// ClassDesc and ClassDesc2: strings, blocks, panels and automatic blocks.
#include <algorithm>

#include "iparamb2.h"
#include "iparamm2.h"
#include "param_block2.h"
#include "modules/instance.h"
#include "sdk/class_directory.h"
#include "sdk/lifecycle_log.h"
#include "params/panel_host.h"

// ---- ClassDesc -------------------------------------------------------------------

ClassDesc::~ClassDesc() { standin::ClassDirectory::Instance().Unregister(this); }

void ClassDesc::RememberName() {
    const MCHAR* name = InternalName();
    if (!name || !*name) name = NonLocalizedClassName();
    if (name && *name) rememberedName_ = WStr(name).ToUTF8();
}

const MCHAR* ClassDesc::GetRsrcString(INT_PTR id) {
    HINSTANCE module = HInstance();
    if (!module || id < 0 || id > 0xFFFF) return nullptr;
    const auto key = std::make_pair(module, id);
    if (auto it = loadedStrings_.find(key); it != loadedStrings_.end()) return it->second.c_str();

    // A string resource holds at most 65535 characters: grow the buffer until
    // the text is not cut.
    std::wstring buffer(256, L'\0');
    int length = 0;
    for (;;) {
        length = standin::LoadInstanceString(module, static_cast<UINT>(id), buffer.data(),
                                             static_cast<int>(buffer.size()));
        if (length <= 0) return nullptr;
        if (length < static_cast<int>(buffer.size()) - 1 || buffer.size() > 65536) break;
        buffer.assign(buffer.size() * 2, L'\0');
    }
    buffer.resize(static_cast<std::size_t>(length));
    return loadedStrings_.emplace(key, std::move(buffer)).first->second.c_str();
}

void ClassDesc::MakeAutoParamBlocks(ReferenceMaker*) {}
ParamBlockDesc2* ClassDesc::GetParamBlockDesc(int) { return nullptr; }
ParamBlockDesc2* ClassDesc::GetParamBlockDescByID(BlockID) { return nullptr; }
void ClassDesc::AddParamBlockDesc(ParamBlockDesc2*) {}

// ---- ClassDesc2 ------------------------------------------------------------------

ClassDesc2::~ClassDesc2() {
    // Block descriptors normally go first (they were constructed after this
    // one); any still attached must not reach back into a destroyed class.
    for (ParamBlockDesc2* pbd : pbDescs_) pbd->cd = nullptr;
    const std::string& name = RememberedName();
    standin::LifecycleLog::Record("ClassDesc2 destroyed: " +
                                  (name.empty() ? std::string("(unnamed class)") : name));
}

void ClassDesc2::AddParamBlockDesc(ParamBlockDesc2* pbd) {
    if (!pbd) return;
    RememberName();
    if (std::find(pbDescs_.begin(), pbDescs_.end(), pbd) == pbDescs_.end()) {
        pbDescs_.push_back(pbd);
    }
}

void ClassDesc2::RemoveParamBlockDesc(ParamBlockDesc2* pbd) {
    pbDescs_.erase(std::remove(pbDescs_.begin(), pbDescs_.end(), pbd), pbDescs_.end());
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDesc(int i) {
    return i >= 0 && i < NumParamBlockDescs() ? pbDescs_[static_cast<std::size_t>(i)] : nullptr;
}

ParamBlockDesc2* ClassDesc2::GetParamBlockDescByID(BlockID id) {
    for (ParamBlockDesc2* pbd : pbDescs_) {
        if (pbd->ID == id) return pbd;
    }
    return nullptr;
}

void ClassDesc2::MakeAutoParamBlocks(ReferenceMaker* owner) {
    RememberName();
    if (!owner) return;
    const std::vector<ParamBlockDesc2*> descs = pbDescs_;
    for (ParamBlockDesc2* pbd : descs) {
        if (!(pbd->flags & P_AUTO_CONSTRUCT)) continue;
        IParamBlock2* block = CreateParameterBlock2(pbd, owner);
        if (!block) continue;
        if (owner->ReplaceReference(pbd->ref_no, block) != REF_SUCCEED) {
            block->DeleteMe();  // the owner has no such reference: nobody will hold it
        }
    }
}

std::vector<IParamBlock2*> ClassDesc2::BlocksOf(ReferenceMaker* owner) {
    std::vector<IParamBlock2*> blocks;
    if (!owner) return blocks;
    const int count = owner->NumRefs();
    for (int i = 0; i < count; ++i) {
        ReferenceTarget* target = owner->GetReference(i);
        if (!target || target->SuperClassID() != PARAMETER_BLOCK2_CLASS_ID) continue;
        auto* block = static_cast<IParamBlock2*>(target);
        if (std::find(pbDescs_.begin(), pbDescs_.end(), block->GetDesc()) == pbDescs_.end()) {
            continue;
        }
        if (std::find(blocks.begin(), blocks.end(), block) == blocks.end()) blocks.push_back(block);
    }
    return blocks;
}

void ClassDesc2::Reset(ReferenceMaker* owner, BOOL updateUI, BOOL callSetHandlers) {
    for (IParamBlock2* block : BlocksOf(owner)) block->ResetAll(updateUI, callSetHandlers);
}

void ClassDesc2::InvalidateUI() {
    if (standin::PanelHost* host = standin::GetPanelHost()) {
        host->InvalidateUI(this, nullptr, -1, -1);
    }
}

void ClassDesc2::InvalidateUI(ParamBlockDesc2* pbd) {
    if (standin::PanelHost* host = standin::GetPanelHost()) host->InvalidateUI(this, pbd, -1, -1);
}

void ClassDesc2::InvalidateUI(ParamBlockDesc2* pbd, ParamID id, int tabIndex) {
    if (standin::PanelHost* host = standin::GetPanelHost()) {
        host->InvalidateUI(this, pbd, id, tabIndex);
    }
}

IAutoMParamDlg* ClassDesc2::CreateParamDlgs(HWND hwMtlEdit, IMtlParams* imp, ReferenceTarget* obj) {
    standin::PanelHost* host = standin::GetPanelHost();
    return host ? host->CreateParamDlgs(this, hwMtlEdit, imp, obj) : nullptr;
}

void ClassDesc2::SetUserDlgProc(ParamBlockDesc2* pbd, MapID map, ParamMap2UserDlgProc* proc) {
    if (pbd) {
        pbd->SetUserDlgProc(map, proc);
    } else if (proc) {
        proc->DeleteThis();  // handed to the host with nowhere to go
    }
}

void ClassDesc2::SetUserDlgProc(ParamBlockDesc2* pbd, ParamMap2UserDlgProc* proc) {
    SetUserDlgProc(pbd, 0, proc);
}

ParamID ClassDesc2::LastNotifyParamID(ReferenceMaker* owner, IParamBlock2*& pb) {
    pb = nullptr;
    std::uint64_t latest = 0;
    for (IParamBlock2* block : BlocksOf(owner)) {
        auto* ours = dynamic_cast<standin::ParamBlock2*>(block);
        if (!ours || ours->LastNotifyParamID() < 0) continue;
        if (ours->ChangeSerial() > latest) {
            latest = ours->ChangeSerial();
            pb = block;
        }
    }
    return pb ? pb->LastNotifyParamID() : static_cast<ParamID>(-1);
}
