// Loading scene files in the real host's order: objects are created through
// the class directory, every object's data is loaded (children first), then
// the references are restored (parents first), and only then do the post-load
// callbacks that objects registered from their Load run, by priority. So a
// Load that reads a reference sees what the object was created with, never
// what the file gives. Until loading succeeds every object is held by a
// holder of this file alone, so a failure at any step frees everything
// through the reference system; the callbacks of a failed load never run.
#include <algorithm>

#include "iparamb2.h"
#include "scene_format.h"
#include "standin/chunk_io.h"
#include "standin/class_directory.h"
#include "standin/file_read.h"
#include "standin/scene_file.h"

namespace standin {
namespace {

using namespace scene_format;

/// Holds a reference to every object made while loading, one slot each.
class LoadHolder final : public ReferenceMaker {
public:
    explicit LoadHolder(std::size_t count) : slots_(count, nullptr) {}
    ~LoadHolder() override { DeleteAllRefsFromMe(); }

    int NumRefs() override { return static_cast<int>(slots_.size()); }
    RefTargetHandle GetReference(int i) override { return slots_[static_cast<std::size_t>(i)]; }

protected:
    void SetReference(int i, RefTargetHandle target) override {
        slots_[static_cast<std::size_t>(i)] = target;
    }
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_DONTCARE;
    }

private:
    std::vector<ReferenceTarget*> slots_;
};

std::string nameOf(ClassDesc* cd) {
    const MCHAR* name = cd->InternalName();
    if (!name) name = cd->NonLocalizedClassName();
    if (!name) name = cd->ClassName();
    return name ? WStr(name).ToUTF8() : std::string("?");
}

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

class SceneLoader {
public:
    SceneLoader(std::span<const std::uint8_t> bytes, const std::string& name)
        : bytes_(bytes), name_(name) {}

    std::unique_ptr<Scene> Load() {
        layout_ = ParseSceneLayout(bytes_, name_);
        const std::size_t count = layout_.objects.size();
        objects_.assign(count, nullptr);
        classes_.assign(count, nullptr);
        names_.assign(count, std::string());
        LoadHolder holder(count);

        // Blocks are made for their owners, so the owners come first.
        for (std::size_t k = 0; k < count; ++k) {
            if (!layout_.objects[k].isBlock) Guarded(k, [&] { CreateObject(k, holder); });
        }
        for (std::size_t k = 0; k < count; ++k) {
            if (layout_.objects[k].isBlock) Guarded(k, [&] { CreateBlock(k, holder); });
        }

        // Taken before any reference is restored, while every object's graph
        // is still small: the loop check of each new reference walks it.
        auto scene = std::make_unique<Scene>();
        for (std::size_t r = 0; r < layout_.roots.size(); ++r) {
            const auto k = static_cast<std::size_t>(layout_.roots[r]);
            if (!scene->Add(objects_[k])) {
                Fail(layout_.rootsOffset + 4 + 4 * r, names_[k] + " cannot be a root");
            }
        }

        readers_.resize(count);
        for (auto it = layout_.parentsFirst.rbegin(); it != layout_.parentsFirst.rend(); ++it) {
            Guarded(static_cast<std::size_t>(*it),
                    [&] { LoadData(static_cast<std::size_t>(*it)); });
        }
        // Parents first: each object's subgraph is still its own defaults
        // when a parent takes it, so the loop checks stay cheap.
        for (int k : layout_.parentsFirst) {
            Guarded(static_cast<std::size_t>(k), [&] { Wire(static_cast<std::size_t>(k)); });
        }
        RunPostLoadCallbacks();
        return scene;
    }

private:
    [[noreturn]] void Fail(std::size_t offset, const std::string& problem) const {
        throw SceneFileError(name_, offset, problem);
    }

    // Plug-in code runs in every step; what it throws ends loading like any fault.
    template <class Step>
    void Guarded(std::size_t k, Step step) {
        try {
            step();
        } catch (const SceneFileError&) {
            throw;
        } catch (const std::exception& e) {
            Fail(layout_.objects[k].offset, Describe(k) + " threw while loading: " + e.what());
        } catch (...) {
            Fail(layout_.objects[k].offset, Describe(k) + " threw while loading");
        }
    }

    std::string Describe(std::size_t k) const {
        const std::string index = "object #" + std::to_string(k);
        return names_[k].empty() ? index : names_[k];
    }

    void Hold(std::size_t k, ReferenceTarget* object, LoadHolder& holder) {
        objects_[k] = object;
        if (holder.ReplaceReference(static_cast<int>(k), object) != REF_SUCCEED) {
            // Nothing references a new object, so the holder cannot close a loop.
            object->DeleteMe();
            objects_[k] = nullptr;
            Fail(layout_.objects[k].offset, Describe(k) + " could not be held");
        }
    }

    void CreateObject(std::size_t k, LoadHolder& holder) {
        const ObjectRecord& record = layout_.objects[k];
        ClassDesc* cd = ClassDirectory::Instance().Find(record.superClass, record.classId);
        if (!cd) {
            Fail(record.classOffset, "object #" + std::to_string(k) + " has an unknown class " +
                                         DescribeClassId(record.superClass, record.classId));
        }
        classes_[k] = cd;
        names_[k] = "object #" + std::to_string(k) + " (class " + nameOf(cd) + ")";
        Animatable* made = CreateInstance(cd, TRUE);
        if (!made) Fail(record.classOffset, Describe(k) + ": the class created no object");
        auto* object = dynamic_cast<ReferenceTarget*>(made);
        if (!object) {
            // Released first, as the host deletes every object it owns.
            if (auto* maker = dynamic_cast<ReferenceMaker*>(made)) maker->DeleteAllRefs();
            made->DeleteThis();
            Fail(record.classOffset, Describe(k) + ": the class creates no reference targets");
        }
        const bool sameClass =
            object->SuperClassID() == record.superClass && object->ClassID() == record.classId;
        Hold(k, object, holder);
        if (!sameClass) {
            Fail(record.classOffset,
                 Describe(k) + ": the class created an object of another class");
        }
    }

    void CreateBlock(std::size_t k, LoadHolder& holder) {
        const ObjectRecord& record = layout_.objects[k];
        names_[k] = "object #" + std::to_string(k) + " (parameter block " +
                    std::to_string(record.blockId) + ")";
        ClassDesc* cd =
            ClassDirectory::Instance().Find(record.blockDefSuperClass, record.blockDefClassId);
        if (!cd) {
            Fail(record.blockOffset,
                 Describe(k) + " is defined by an unknown class " +
                     DescribeClassId(record.blockDefSuperClass, record.blockDefClassId));
        }
        names_[k] = "object #" + std::to_string(k) + " (parameter block " +
                    std::to_string(record.blockId) + " of class " + nameOf(cd) + ")";
        ParamBlockDesc2* desc = cd->GetParamBlockDescByID(record.blockId);
        if (!desc) Fail(record.blockOffset + 12, Describe(k) + ": the class defines no such block");
        ReferenceTarget* owner = objects_[static_cast<std::size_t>(record.blockOwner)];
        IParamBlock2* block = CreateParameterBlock2(desc, owner);
        if (!block) {
            Fail(record.blockOffset + 12, Describe(k) + ": its definition cannot make blocks");
        }
        Hold(k, block, holder);
    }

    // The class of the object that a reference slot needs, where the object
    // or its class makes that known: the class of what the object put there
    // itself when it was created, a block of the definition that the class
    // builds into that slot, or a map for a map parameter stored there.
    // Anything else would be taken for the wrong type by the object's code.
    void CheckFits(std::size_t k, int slot, ReferenceTarget* current, ReferenceTarget* target,
                   std::size_t at) const {
        ReferenceTarget* object = objects_[k];
        const std::string where = Describe(k) + ": reference " + std::to_string(slot);
        const auto requireSuperClass = [&](SClass_ID expected) {
            if (target && target->SuperClassID() != expected) {
                Fail(at, where + " needs an object of super class " + hex(expected) +
                             ", the file gives one of super class " + hex(target->SuperClassID()));
            }
        };
        const auto requireBlockOf = [&](ParamBlockDesc2* desc) {
            requireSuperClass(PARAMETER_BLOCK2_CLASS_ID);
            if (target && static_cast<IParamBlock2*>(target)->GetDesc() != desc) {
                Fail(at, where + " needs a parameter block of another definition");
            }
        };

        if (current) {
            if (!target) Fail(at, where + " cannot be empty: the object always holds one");
            if (current->SuperClassID() == PARAMETER_BLOCK2_CLASS_ID) {
                requireBlockOf(static_cast<IParamBlock2*>(current)->GetDesc());
            } else {
                requireSuperClass(current->SuperClassID());
            }
            return;
        }
        if (layout_.objects[k].isBlock) {
            ParamBlockDesc2* desc = static_cast<IParamBlock2*>(object)->GetDesc();
            int blockRef = 0;
            for (int p = 0; p < desc->Count(); ++p) {
                const ParamDef& def = desc->ParamDefAt(p);
                if (!def.IsReference() || def.IsOwnersRef()) continue;
                if (blockRef++ == slot && def.type == TYPE_TEXMAP)
                    requireSuperClass(TEXMAP_CLASS_ID);
            }
            return;
        }
        ClassDesc* cd = classes_[k];
        for (int d = 0; d < cd->NumParamBlockDescs(); ++d) {
            ParamBlockDesc2* desc = cd->GetParamBlockDesc(d);
            if (!desc) continue;
            if ((desc->flags & P_AUTO_CONSTRUCT) != 0 && desc->ref_no == slot) requireBlockOf(desc);
            for (int p = 0; p < desc->Count(); ++p) {
                const ParamDef& def = desc->ParamDefAt(p);
                if (def.IsOwnersRef() && def.refno == slot && def.type == TYPE_TEXMAP) {
                    requireSuperClass(TEXMAP_CLASS_ID);
                }
            }
        }
    }

    void Wire(std::size_t k) {
        const ObjectRecord& record = layout_.objects[k];
        ReferenceTarget* object = objects_[k];
        const int count = object->NumRefs();
        for (std::size_t slot = 0; slot < record.references.size(); ++slot) {
            const std::int32_t index = record.references[slot];
            ReferenceTarget* target =
                index < 0 ? nullptr : objects_[static_cast<std::size_t>(index)];
            const std::size_t at = record.referencesOffset + 4 + 4 * slot;
            const int i = static_cast<int>(slot);
            if (i >= count) {
                if (!target) continue;
                Fail(at, Describe(k) + " has " + std::to_string(count) +
                             " references, the file gives it one at index " + std::to_string(slot));
            }
            ReferenceTarget* current = object->GetReference(i);
            if (current == target) continue;
            CheckFits(k, i, current, target, at);
            if (object->ReplaceReference(i, target, TRUE) != REF_SUCCEED) {
                Fail(at, Describe(k) + " refused reference " + std::to_string(slot));
            }
        }
    }

    void LoadData(std::size_t k) {
        const ObjectRecord& record = layout_.objects[k];
        // Kept until the callbacks have run: each gets its object's reader.
        readers_[k] = std::make_unique<ChunkReader>(record.data, record.dataOffset);
        ChunkReader& reader = *readers_[k];
        const IOResult result = objects_[k]->Load(&reader);
        for (PostLoadCallback* callback : reader.TakePostLoadCallbacks()) {
            postLoad_.push_back({callback, k, 0});
        }
        if (reader.Failed()) Fail(reader.ErrorOffset(), Describe(k) + ": " + reader.Error());
        if (result != IO_OK) Fail(record.dataOffset, Describe(k) + " could not load its data");
    }

    // Lowest priority first; the same priority in the order registered.
    void RunPostLoadCallbacks() {
        for (PendingCallback& pending : postLoad_) {
            Guarded(pending.object,
                    [&] { pending.priority = std::clamp(pending.callback->Priority(), 0, 10); });
        }
        std::stable_sort(postLoad_.begin(), postLoad_.end(),
                         [](const PendingCallback& a, const PendingCallback& b) {
                             return a.priority < b.priority;
                         });
        for (const PendingCallback& pending : postLoad_) {
            Guarded(pending.object,
                    [&] { pending.callback->proc(readers_[pending.object].get()); });
        }
    }

    std::span<const std::uint8_t> bytes_;
    const std::string& name_;
    SceneLayout layout_;
    std::vector<ReferenceTarget*> objects_;
    std::vector<ClassDesc*> classes_;
    std::vector<std::string> names_;

    struct PendingCallback {
        PostLoadCallback* callback;
        std::size_t object;  // the object whose Load registered it
        int priority;
    };
    std::vector<std::unique_ptr<ChunkReader>> readers_;
    std::vector<PendingCallback> postLoad_;
};

}  // namespace

std::unique_ptr<Scene> ReadSceneBytes(std::span<const std::uint8_t> bytes,
                                      const std::string& name) {
    return SceneLoader(bytes, name).Load();
}

std::unique_ptr<Scene> LoadSceneFile(const std::filesystem::path& path, FileIdentity* identity,
                                     std::vector<std::uint8_t>* bytesRead) {
    const std::string name = path.string();
    std::vector<std::uint8_t> bytes;
    FileReadFailure failure;
    if (!ReadRegularFile(path, kMaxSceneFileBytes, bytes, failure, identity)) {
        using Kind = FileReadFailure::Kind;
        switch (failure.kind) {
            case Kind::kNotFound:
            case Kind::kCannotOpen:
                throw SceneFileError(name, std::nullopt, "cannot open: " + failure.systemText);
            case Kind::kDirectory:
                throw SceneFileError(name, std::nullopt, "cannot open: it is a directory");
            case Kind::kNotRegular:
                throw SceneFileError(name, std::nullopt, "cannot open: not a regular file");
            case Kind::kTooLarge:
                throw SceneFileError(name, std::nullopt,
                                     "the file has " + std::to_string(failure.size) +
                                         " bytes, more than the " +
                                         std::to_string(kMaxSceneFileBytes) +
                                         " a scene file may have");
            case Kind::kCannotRead:
                throw SceneFileError(name, std::nullopt, "cannot read: " + failure.systemText);
        }
    }
    std::unique_ptr<Scene> scene = ReadSceneBytes(bytes, name);
    if (bytesRead != nullptr) *bytesRead = std::move(bytes);
    return scene;
}

}  // namespace standin
