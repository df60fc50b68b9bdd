// Reading the container of a scene file: everything that can be checked
// before any object is created.
#include <cstdio>
#include <cstring>

#include "scene_format.h"
#include "sdk/chunk_io.h"
#include "sdk/chunk_values.h"
#include "scene/scene_file.h"

namespace standin::scene_format {
namespace {

std::uint32_t readU32At(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
           std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

std::string objectName(std::size_t index) { return "object #" + std::to_string(index); }

class LayoutParser {
public:
    LayoutParser(std::span<const std::uint8_t> bytes, const std::string& name)
        : bytes_(bytes), name_(name) {}

    SceneLayout Parse() {
        CheckHeader();
        CheckChunkTree();
        ReadTopLevel();
        CheckTable();
        OrderParentsFirst();
        return std::move(layout_);
    }

private:
    [[noreturn]] void Fail(std::size_t offset, const std::string& problem) const {
        throw SceneFileError(name_, offset, problem);
    }
    [[noreturn]] void FailFrom(const ChunkReader& reader) const {
        Fail(reader.ErrorOffset(), reader.Error());
    }

    void CheckHeader() const {
        const std::size_t magicBytes = std::min(bytes_.size(), sizeof kSceneMagic);
        if (magicBytes > 0 && std::memcmp(bytes_.data(), kSceneMagic, magicBytes) != 0) {
            Fail(0, "not a scene file: wrong magic number");
        }
        if (bytes_.size() < kHeaderSize) {
            Fail(bytes_.size(), "file cut short: " + std::to_string(bytes_.size()) +
                                    " bytes, the header alone needs " +
                                    std::to_string(kHeaderSize));
        }
        const std::uint32_t version = readU32At(bytes_, sizeof kSceneMagic);
        if (version != kSceneFormatVersion) {
            Fail(sizeof kSceneMagic, "format version " + std::to_string(version) +
                                         " is not supported (this host reads version " +
                                         std::to_string(kSceneFormatVersion) + ")");
        }
    }

    std::span<const std::uint8_t> Body() const { return bytes_.subspan(kHeaderSize); }

    // Walks every chunk of the file, so that a damaged chunk anywhere, even
    // inside data that no object will read, is found before anything is built.
    void CheckChunkTree() const {
        ChunkReader reader(Body(), kHeaderSize);
        for (;;) {
            const IOResult result = reader.OpenChunk();
            if (result == IO_OK) {
                if (reader.CurChunkType() == CHUNK_DATA) reader.CloseChunk();
            } else if (result == IO_END) {
                if (reader.CurChunkDepth() == 0) return;
                reader.CloseChunk();
            } else {
                FailFrom(reader);
            }
        }
    }

    void ReadTopLevel() {
        ChunkReader reader(Body(), kHeaderSize);
        bool sawObjects = false;
        bool sawRoots = false;
        while (reader.OpenChunk() == IO_OK) {
            const std::size_t start = reader.Offset() - kChunkHeaderSize;
            const USHORT id = reader.CurChunkID();
            if (id == kObjectsChunk) {
                if (sawObjects) Fail(start, "second object table");
                sawObjects = true;
                ReadObjects(reader, start);
            } else if (id == kRootsChunk) {
                if (sawRoots) Fail(start, "second roots chunk");
                sawRoots = true;
                layout_.rootsOffset = reader.Offset();
                layout_.roots = ReadIndexList(reader, start, "roots");
            } else {
                Fail(start, "unknown chunk " + ChunkIdText(id) + " at the top level");
            }
            reader.CloseChunk();
        }
        if (reader.Failed()) FailFrom(reader);
        if (!sawObjects) Fail(bytes_.size(), "the file has no object table");
        if (!sawRoots) Fail(bytes_.size(), "the file has no roots chunk");
    }

    // A count followed by that many 32-bit indices, filling the chunk exactly.
    std::vector<std::int32_t> ReadIndexList(ChunkReader& reader, std::size_t start,
                                            const char* what) const {
        const ULONG length = reader.CurChunkLength();
        std::uint32_t count = 0;
        if (length < 4 || ReadU32(reader, count) != IO_OK) {
            Fail(start, std::string(what) + " chunk too short for its count");
        }
        if ((length - 4) % 4 != 0 || (length - 4) / 4 != count) {
            Fail(start, std::string(what) + " chunk of " + std::to_string(length) +
                            " bytes cannot hold " + std::to_string(count) + " indices");
        }
        std::vector<std::int32_t> indices(count);
        for (std::int32_t& index : indices) ReadI32(reader, index);
        return indices;
    }

    void ReadObjects(ChunkReader& reader, std::size_t tableStart) {
        if (reader.CurChunkType() == CHUNK_DATA && reader.CurChunkLength() != 0) {
            Fail(tableStart, "object table holds data instead of object chunks");
        }
        while (reader.CurChunkType() == CHUNK_SUBCHUNKS && reader.OpenChunk() == IO_OK) {
            const std::size_t start = reader.Offset() - kChunkHeaderSize;
            if (reader.CurChunkID() != kObjectChunk) {
                Fail(start,
                     "unknown chunk " + ChunkIdText(reader.CurChunkID()) + " in the object table");
            }
            if (layout_.objects.size() == kMaxSceneObjects) {
                Fail(start, "more than " + std::to_string(kMaxSceneObjects) + " objects");
            }
            layout_.objects.push_back(ReadObject(reader, start));
            reader.CloseChunk();
        }
    }

    ObjectRecord ReadObject(ChunkReader& reader, std::size_t start) {
        ObjectRecord record;
        record.offset = start;
        const std::string name = objectName(layout_.objects.size());
        if (reader.CurChunkType() != CHUNK_SUBCHUNKS) Fail(start, name + " holds no chunks");
        bool sawClass = false;
        bool sawReferences = false;
        bool sawData = false;
        while (reader.OpenChunk() == IO_OK) {
            const std::size_t chunkStart = reader.Offset() - kChunkHeaderSize;
            const std::size_t body = reader.Offset();
            const ULONG length = reader.CurChunkLength();
            const USHORT id = reader.CurChunkID();
            const auto once = [&](bool& seen, const char* what) {
                if (seen) Fail(chunkStart, name + " has a second " + what + " chunk");
                seen = true;
            };
            if (id == kClassChunk) {
                once(sawClass, "class");
                if (length != kClassChunkBytes) {
                    Fail(chunkStart, name + ": class chunk of " + std::to_string(length) +
                                         " bytes, not " + std::to_string(kClassChunkBytes));
                }
                std::uint32_t superClass = 0, a = 0, b = 0;
                ReadU32(reader, superClass);
                record.superClass = superClass;
                ReadU32(reader, a);
                ReadU32(reader, b);
                record.classOffset = body;
                record.classId = Class_ID(a, b);
            } else if (id == kReferencesChunk) {
                once(sawReferences, "references");
                record.referencesOffset = body;
                record.references = ReadIndexList(reader, chunkStart, "references");
            } else if (id == kBlockChunk) {
                once(record.isBlock, "block");
                if (length != kBlockChunkBytes) {
                    Fail(chunkStart, name + ": block chunk of " + std::to_string(length) +
                                         " bytes, not " + std::to_string(kBlockChunkBytes));
                }
                std::uint32_t superClass = 0, a = 0, b = 0;
                std::uint16_t blockId = 0;
                ReadU32(reader, superClass);
                record.blockDefSuperClass = superClass;
                ReadU32(reader, a);
                ReadU32(reader, b);
                ReadU16(reader, blockId);
                ReadI32(reader, record.blockOwner);
                record.blockOffset = body;
                record.blockDefClassId = Class_ID(a, b);
                record.blockId = static_cast<BlockID>(blockId);
            } else if (id == kDataChunk) {
                once(sawData, "data");
                if (reader.CurChunkType() == CHUNK_DATA && length != 0) {
                    Fail(chunkStart, name + ": its data is not made of chunks");
                }
                record.dataOffset = body;
                record.data = bytes_.subspan(body, length);
            } else {
                Fail(chunkStart, name + " has an unknown chunk " + ChunkIdText(id));
            }
            reader.CloseChunk();
        }
        if (!sawClass) Fail(start, name + " has no class chunk");
        if (!sawReferences) Fail(start, name + " has no references chunk");
        if (!sawData) Fail(start, name + " has no data chunk");
        const bool blockClass = record.superClass == PARAMETER_BLOCK2_CLASS_ID;
        if (blockClass && !record.isBlock) {
            Fail(start, name + " is a parameter block without its block chunk");
        }
        if (!blockClass && record.isBlock) {
            Fail(record.blockOffset - kChunkHeaderSize,
                 name + " has a block chunk but is no parameter block");
        }
        return record;
    }

    void CheckTable() {
        const auto count = static_cast<std::int64_t>(layout_.objects.size());
        std::vector<int> referencedBy(layout_.objects.size(), 0);
        for (std::size_t k = 0; k < layout_.objects.size(); ++k) {
            const ObjectRecord& record = layout_.objects[k];
            for (std::size_t slot = 0; slot < record.references.size(); ++slot) {
                const std::int32_t target = record.references[slot];
                if (target < -1 || target >= count) {
                    Fail(record.referencesOffset + 4 + 4 * slot,
                         objectName(k) + ": reference " + std::to_string(slot) + " names object #" +
                             std::to_string(target) + ", but the table holds " +
                             std::to_string(count) + " objects");
                }
                if (target >= 0) ++referencedBy[static_cast<std::size_t>(target)];
            }
        }
        std::vector<bool> isRoot(layout_.objects.size(), false);
        for (std::size_t r = 0; r < layout_.roots.size(); ++r) {
            const std::int32_t root = layout_.roots[r];
            const std::size_t at = layout_.rootsOffset + 4 + 4 * r;
            if (root < 0 || root >= count) {
                Fail(at, "root " + std::to_string(r) + " names object #" + std::to_string(root) +
                             ", but the table holds " + std::to_string(count) + " objects");
            }
            if (isRoot[static_cast<std::size_t>(root)]) {
                Fail(at, "object #" + std::to_string(root) + " is listed as a root twice");
            }
            isRoot[static_cast<std::size_t>(root)] = true;
        }
        for (std::size_t k = 0; k < layout_.objects.size(); ++k) {
            if (!isRoot[k] && referencedBy[k] == 0) {
                Fail(layout_.objects[k].offset,
                     objectName(k) + " is neither a root nor referenced by another object");
            }
            const ObjectRecord& record = layout_.objects[k];
            if (!record.isBlock) continue;
            const std::int32_t owner = record.blockOwner;
            const std::size_t ownerAt = record.blockOffset + 14;
            if (owner < 0 || owner >= count) {
                Fail(ownerAt, objectName(k) + ": parameter block owned by object #" +
                                  std::to_string(owner) + ", which does not exist");
            }
            const ObjectRecord& ownerRecord = layout_.objects[static_cast<std::size_t>(owner)];
            if (ownerRecord.isBlock) {
                Fail(ownerAt, objectName(k) + ": parameter block owned by another block");
            }
            bool held = false;
            for (std::int32_t target : ownerRecord.references) held |= target == std::int32_t(k);
            if (!held) {
                Fail(ownerAt, objectName(k) + ": its owner, object #" + std::to_string(owner) +
                                  ", does not reference it");
            }
        }
    }

    // Kahn's algorithm over the reference graph; objects left over lie on a
    // cycle, which the reference system can never have built.
    void OrderParentsFirst() {
        const std::size_t count = layout_.objects.size();
        std::vector<int> parents(count, 0);
        for (const ObjectRecord& record : layout_.objects) {
            for (std::int32_t target : record.references) {
                if (target >= 0) ++parents[static_cast<std::size_t>(target)];
            }
        }
        std::vector<int> depth(count, 0);
        std::vector<int>& order = layout_.parentsFirst;
        order.reserve(count);
        for (std::size_t k = 0; k < count; ++k) {
            if (parents[k] == 0) order.push_back(static_cast<int>(k));
        }
        for (std::size_t next = 0; next < order.size(); ++next) {
            const auto k = static_cast<std::size_t>(order[next]);
            for (std::int32_t target : layout_.objects[k].references) {
                if (target < 0) continue;
                const auto t = static_cast<std::size_t>(target);
                depth[t] = std::max(depth[t], depth[k] + 1);
                if (depth[t] > kMaxReferenceDepth) {
                    Fail(layout_.objects[t].offset, objectName(t) + " lies more than " +
                                                        std::to_string(kMaxReferenceDepth) +
                                                        " references deep");
                }
                if (--parents[t] == 0) order.push_back(target);
            }
        }
        if (order.size() != count) FailOnCycle(parents);
    }

    // Every object left over has a parent left over; walking from parent to
    // parent must come back to an object already seen, which lies on a cycle.
    [[noreturn]] void FailOnCycle(const std::vector<int>& parentsLeft) const {
        const std::size_t count = layout_.objects.size();
        std::vector<std::size_t> leftParent(count, count);
        for (std::size_t k = 0; k < count; ++k) {
            if (parentsLeft[k] == 0) continue;
            for (std::int32_t target : layout_.objects[k].references) {
                if (target >= 0 && parentsLeft[static_cast<std::size_t>(target)] != 0) {
                    leftParent[static_cast<std::size_t>(target)] = k;
                }
            }
        }
        std::size_t at = 0;
        while (parentsLeft[at] == 0) ++at;
        std::vector<bool> seen(count, false);
        while (!seen[at]) {
            seen[at] = true;
            at = leftParent[at];
        }
        Fail(layout_.objects[at].offset, objectName(at) + " is part of a reference cycle");
    }

    std::span<const std::uint8_t> bytes_;
    const std::string& name_;
    SceneLayout layout_;
};

}  // namespace

SceneLayout ParseSceneLayout(std::span<const std::uint8_t> bytes, const std::string& name) {
    return LayoutParser(bytes, name).Parse();
}

std::string DescribeClassId(SClass_ID superClass, Class_ID classId) {
    char text[80];
    std::snprintf(text, sizeof text, "(super class 0x%X, class 0x%08X:0x%08X)",
                  static_cast<unsigned>(superClass), static_cast<unsigned>(classId.PartA()),
                  static_cast<unsigned>(classId.PartB()));
    return text;
}

}  // namespace standin::scene_format
