// The layout of scene files (described in scene/scene_file.h): chunk IDs,
// and the parsed object table that the loader rebuilds from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "maxtypes.h"

namespace standin::scene_format {

inline constexpr std::size_t kHeaderSize = 12;  // magic and version

inline constexpr USHORT kObjectsChunk = 0x1000;
inline constexpr USHORT kObjectChunk = 0x1001;
inline constexpr USHORT kClassChunk = 0x1010;
inline constexpr USHORT kReferencesChunk = 0x1011;
inline constexpr USHORT kBlockChunk = 0x1012;
inline constexpr USHORT kDataChunk = 0x1013;
inline constexpr USHORT kRootsChunk = 0x1100;

inline constexpr std::size_t kClassChunkBytes = 12;
inline constexpr std::size_t kBlockChunkBytes = 18;

/// One object of the table, as the file describes it. Offsets count from the
/// start of the file.
struct ObjectRecord {
    std::size_t offset = 0;  // of the object chunk
    std::size_t classOffset = 0;
    SClass_ID superClass = 0;
    Class_ID classId;
    std::size_t referencesOffset = 0;
    /// Per reference slot: the target's index, or -1.
    std::vector<std::int32_t> references;
    bool isBlock = false;
    std::size_t blockOffset = 0;
    SClass_ID blockDefSuperClass = 0;
    Class_ID blockDefClassId;
    BlockID blockId = 0;
    std::int32_t blockOwner = -1;
    std::size_t dataOffset = 0;  // of the data chunk's body
    std::span<const std::uint8_t> data;
};

struct SceneLayout {
    std::vector<ObjectRecord> objects;
    std::size_t rootsOffset = 0;
    std::vector<std::int32_t> roots;
    /// Object indices with every object after the objects that reference it.
    std::vector<int> parentsFirst;
};

/// Checks the header, the chunk structure and the object table of a scene
/// file (indices in range, every object referenced or a root, no cycles, no
/// chain deeper than kMaxReferenceDepth, blocks referenced by their owners)
/// and describes it. Throws SceneFileError naming `name`.
SceneLayout ParseSceneLayout(std::span<const std::uint8_t> bytes, const std::string& name);

/// "(super class 0xC10, class 0x53E2B189:0x7502736B)", for messages.
std::string DescribeClassId(SClass_ID superClass, Class_ID classId);

}  // namespace standin::scene_format
