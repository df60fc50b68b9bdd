// Writing scene files: the object table of everything the roots reference,
// each object's own chunks, and the atomic replacement of the file on disk.
#include <unordered_map>

#include "iparamb2.h"
#include "scene_format.h"
#include "sdk/chunk_io.h"
#include "scene/scene_file.h"

namespace standin {

SceneFileError::SceneFileError(std::string file, std::optional<std::size_t> offset,
                               std::string problem)
    : std::runtime_error(file + ": " +
                         (offset ? "byte " + std::to_string(*offset) + ": " : std::string()) +
                         problem),
      file_(std::move(file)),
      offset_(offset),
      problem_(std::move(problem)) {}

namespace {

using namespace scene_format;

void appendU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xff));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void appendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::string className(ReferenceTarget* object) {
    MSTR name;
    object->GetClassName(name, false);
    return name.isNull() ? std::string("an unnamed class") : "class " + name.ToUTF8();
}

class SceneWriter {
public:
    explicit SceneWriter(const std::string& name) : name_(name) {}

    std::vector<std::uint8_t> Write(Scene& scene) {
        Collect(scene);
        out_.insert(out_.end(), kSceneMagic, kSceneMagic + sizeof kSceneMagic);
        appendU32(out_, kSceneFormatVersion);

        const std::size_t table = Begin(kObjectsChunk);
        for (std::size_t k = 0; k < objects_.size(); ++k) WriteObject(k);
        End(table, !objects_.empty());

        const std::size_t roots = Begin(kRootsChunk);
        appendU32(out_, static_cast<std::uint32_t>(roots_.size()));
        for (int root : roots_) appendU32(out_, static_cast<std::uint32_t>(root));
        End(roots, false);
        return std::move(out_);
    }

private:
    [[noreturn]] void Fail(const std::string& problem) const {
        throw SceneFileError(name_, std::nullopt, problem);
    }

    // Every object reachable from the roots, once, numbered in the order met.
    void Collect(Scene& scene) {
        std::vector<ReferenceTarget*> pending;
        for (ReferenceTarget* root : scene.Roots()) {
            roots_.push_back(IndexOf(root, pending));
        }
        while (!pending.empty()) {
            ReferenceTarget* object = pending.back();
            pending.pop_back();
            const int count = object->NumRefs();
            for (int i = 0; i < count; ++i) {
                if (ReferenceTarget* target = object->GetReference(i)) IndexOf(target, pending);
            }
        }
    }

    int IndexOf(ReferenceTarget* object, std::vector<ReferenceTarget*>& pending) {
        const auto [it, added] = index_.try_emplace(object, static_cast<int>(objects_.size()));
        if (added) {
            if (objects_.size() == kMaxSceneObjects) {
                Fail("the scene holds more than " + std::to_string(kMaxSceneObjects) + " objects");
            }
            objects_.push_back(object);
            pending.push_back(object);
        }
        return it->second;
    }

    std::size_t Begin(USHORT id) {
        const std::size_t start = out_.size();
        appendU16(out_, id);
        appendU32(out_, 0);  // patched by End
        return start;
    }

    void End(std::size_t start, bool container) {
        const std::size_t size = out_.size() - start;
        if (size > kMaxChunkSize) {
            Fail("chunk " + ChunkIdText(static_cast<USHORT>(out_[start] | out_[start + 1] << 8)) +
                 " would be " + std::to_string(size) + " bytes long, more than a chunk can hold");
        }
        std::uint32_t field = static_cast<std::uint32_t>(size);
        if (container) field |= kChunkContainerBit;
        for (int i = 0; i < 4; ++i)
            out_[start + 2 + i] = static_cast<std::uint8_t>(field >> (8 * i));
    }

    void WriteObject(std::size_t k) {
        ReferenceTarget* object = objects_[k];
        const std::string what = "object #" + std::to_string(k) + " (" + className(object) + ")";

        // The object's own chunks first: a failure then leaves nothing half-written.
        ChunkWriter data;
        IOResult result = IO_ERROR;
        try {
            result = object->Save(&data);
        } catch (const std::exception& e) {
            Fail(what + " threw while saving: " + e.what());
        }
        if (data.Failed()) Fail(what + " could not be saved: " + data.Error());
        if (result != IO_OK) Fail(what + " could not be saved: its Save reported failure");
        if (data.CurChunkDepth() != 0) {
            Fail(what + " could not be saved: it left " + std::to_string(data.CurChunkDepth()) +
                 " chunks open");
        }

        const std::size_t chunk = Begin(kObjectChunk);

        const std::size_t classChunk = Begin(kClassChunk);
        const Class_ID id = object->ClassID();
        appendU32(out_, object->SuperClassID());
        appendU32(out_, id.PartA());
        appendU32(out_, id.PartB());
        End(classChunk, false);

        const std::size_t references = Begin(kReferencesChunk);
        const int count = object->NumRefs();
        appendU32(out_, static_cast<std::uint32_t>(count));
        for (int i = 0; i < count; ++i) {
            ReferenceTarget* target = object->GetReference(i);
            int index = -1;
            if (target) {
                auto it = index_.find(target);
                if (it == index_.end()) Fail(what + " changed its references while being saved");
                index = it->second;
            }
            appendU32(out_, static_cast<std::uint32_t>(index));
        }
        End(references, false);

        if (object->SuperClassID() == PARAMETER_BLOCK2_CLASS_ID) WriteBlock(object, what);

        const std::size_t dataChunk = Begin(kDataChunk);
        out_.insert(out_.end(), data.Bytes().begin(), data.Bytes().end());
        End(dataChunk, !data.Bytes().empty());

        End(chunk, true);
    }

    // A block is rebuilt from its definition for its owner, so both are stored.
    void WriteBlock(ReferenceTarget* object, const std::string& what) {
        auto* block = static_cast<IParamBlock2*>(object);
        ParamBlockDesc2* desc = block->GetDesc();
        if (!desc || !desc->cd) Fail(what + " has no definition with a class");
        ReferenceMaker* owner = block->GetOwner();
        auto it = owner && owner->IsRefTarget() ? index_.find(static_cast<ReferenceTarget*>(owner))
                                                : index_.end();
        if (it == index_.end() || it->second < 0 ||
            objects_[static_cast<std::size_t>(it->second)]->FindRef(object) < 0) {
            Fail(what + " is saved without the owner that holds it");
        }
        const std::size_t chunk = Begin(kBlockChunk);
        const Class_ID defClass = desc->cd->ClassID();
        appendU32(out_, desc->cd->SuperClassID());
        appendU32(out_, defClass.PartA());
        appendU32(out_, defClass.PartB());
        appendU16(out_, static_cast<std::uint16_t>(desc->ID));
        appendU32(out_, static_cast<std::uint32_t>(it->second));
        End(chunk, false);
    }

    const std::string& name_;
    std::vector<std::uint8_t> out_;
    std::vector<ReferenceTarget*> objects_;
    std::unordered_map<ReferenceTarget*, int> index_;
    std::vector<int> roots_;
};

}  // namespace

std::vector<std::uint8_t> WriteSceneBytes(Scene& scene, const std::string& name) {
    return SceneWriter(name).Write(scene);
}

void SaveSceneFile(Scene& scene, const std::filesystem::path& path, const ByteSinkOpener& open,
                   const WritePolicy& policy, std::vector<std::uint8_t>* written) {
    std::vector<std::uint8_t> bytes = WriteSceneBytes(scene, path.string());
    std::string error;
    if (!WriteFileAtomically(path, bytes, error, open, policy)) {
        throw SceneFileError(path.string(), std::nullopt, "cannot save: " + error);
    }
    if (written != nullptr) *written = std::move(bytes);
}

}  // namespace standin
