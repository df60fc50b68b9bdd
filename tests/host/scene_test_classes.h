// Classes for the scene-file and panel tests: a node with two references and
// data of its own, a small texture map, and counters of live objects so that
// tests can see that everything made is freed.
#pragma once

#include <string>

#include "imtl.h"
#include "max.h"
#include "sdk/chunk_values.h"
#include "sdk/class_directory.h"
#include "tests/support/test_grey_map.h"

namespace scenetest {

inline int liveNodes = 0;

constexpr SClass_ID kNodeSuperClass = 0x7E5C;
constexpr Class_ID kNodeClassId(0x5CE7E001, 0x00000001);
/// The sub-map the scenes hold.
using ConstMap = nacrelle::testing::TestGreyMap;
constexpr Class_ID kMapClassId = ConstMap::kClassID;

constexpr USHORT kValueChunk = 0x0100;
constexpr USHORT kLabelChunk = 0x0110;

/// Saving a node with this label makes its Load refuse the data.
inline const wchar_t* const kRefusingLabel = L"refuse";

/// Data of its own (a value and a label) and two references to anything.
class Node : public ReferenceTarget {
public:
    Node() { ++liveNodes; }
    ~Node() override { --liveNodes; }

    SClass_ID SuperClassID() override { return kNodeSuperClass; }
    Class_ID ClassID() override { return kNodeClassId; }
    void GetClassName(MSTR& s, bool) const override { s = L"Node"; }
    int NumRefs() override { return 2; }
    RefTargetHandle GetReference(int i) override { return i >= 0 && i < 2 ? refs_[i] : nullptr; }

    RefTargetHandle Clone(RemapDir& remap) override {
        auto* copy = new Node;
        copy->value = value;
        copy->label = label;
        for (int i = 0; i < 2; ++i) {
            if (refs_[i]) copy->ReplaceReference(i, remap.CloneRef(refs_[i]));
        }
        BaseClone(this, copy, remap);
        return copy;
    }

    IOResult Save(ISave* isave) override {
        isave->BeginChunk(kValueChunk);
        IOResult result = standin::WriteI32(*isave, value);
        isave->EndChunk();
        if (result != IO_OK) return result;
        isave->BeginChunk(kLabelChunk);
        result = isave->WriteWString(label.c_str());
        isave->EndChunk();
        return result;
    }

    IOResult Load(ILoad* iload) override {
        while (iload->OpenChunk() == IO_OK) {
            IOResult result = IO_OK;
            if (iload->CurChunkID() == kValueChunk) {
                result = standin::ReadI32(*iload, value);
            } else if (iload->CurChunkID() == kLabelChunk) {
                MCHAR* text = nullptr;
                result = iload->ReadWStringChunk(text);
                if (result == IO_OK) label = text;
            }
            iload->CloseChunk();
            if (result != IO_OK) return result;
        }
        return label == kRefusingLabel ? IO_ERROR : IO_OK;
    }

    std::int32_t value = 0;
    std::wstring label;

protected:
    void SetReference(int i, RefTargetHandle target) override {
        if (i >= 0 && i < 2) refs_[i] = target;
    }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_SUCCEED;
    }

private:
    RefTargetHandle refs_[2] = {nullptr, nullptr};
};

/// A descriptor that creates objects with `make` and registers itself in the
/// class directory for its lifetime.
template <class T>
class RegisteredDesc : public ClassDesc2 {
public:
    RegisteredDesc(const wchar_t* name, SClass_ID sclass, Class_ID id)
        : name_(name), sclass_(sclass), id_(id) {
        standin::ClassDirectory::Instance().Register(this, "scene tests");
    }
    ~RegisteredDesc() override { standin::ClassDirectory::Instance().Unregister(this); }

    int IsPublic() override { return TRUE; }
    void* Create(BOOL) override { return new T; }
    const MCHAR* ClassName() override { return name_; }
    const MCHAR* NonLocalizedClassName() override { return name_; }
    SClass_ID SuperClassID() override { return sclass_; }
    Class_ID ClassID() override { return id_; }
    const MCHAR* Category() override { return L"Tests"; }
    const MCHAR* InternalName() override { return name_; }

private:
    const wchar_t* name_;
    SClass_ID sclass_;
    Class_ID id_;
};

}  // namespace scenetest
