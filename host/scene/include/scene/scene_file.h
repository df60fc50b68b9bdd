// Scene files: the host's own container around the objects' chunks.
//
// A file starts with the 8-byte magic "NACSCENE" and a little-endian 32-bit
// format version; the rest is chunks (see sdk/chunk_io.h):
//
//   0x1000 objects (sub-chunks): one 0x1001 object chunk per object, holding
//     0x1010 class       super class ID, class ID part A, part B (3 x u32)
//     0x1011 references  count (u32), then per reference slot the index of
//                        the target in the object table, -1 for none (i32)
//     0x1012 block       parameter blocks only: the class that defines the
//                        block (super class, part A, part B: 3 x u32), the
//                        block ID (i16) and the index of the owner (i32)
//     0x1013 data        the chunks the object's own Save wrote
//   0x1100 roots         count (u32), then the index of each top-level object
//
// Objects are stored once however often they are referenced. Loading creates
// each object through its class descriptor (Create with loading set) from the
// class directory; a parameter block is created from the definition that its
// defining class has under the block ID, for the owner the file names (so
// that it reads and writes the owner's references). As on the real host,
// each object's Load then reads its data (children before parents) while its
// references are still what it built for itself when it was created. Once
// every object is loaded, the references are restored with ReplaceReference,
// parents before children, replacing those built-in ones (automatic parameter
// blocks, default sub-objects), which the reference system frees. Last, the
// post-load callbacks that objects registered from Load run, lowest priority
// first, each given the reader of the object that registered it.
//
// A file may not put into a reference what the object's code would take for
// something else: a reference that the object filled itself when it was
// created must get an object of the same super class (a parameter block of
// the same definition) and may not be emptied, and a map parameter's
// reference must get a texture map.
//
// Any fault ends loading with a SceneFileError naming the file and the byte
// offset, and frees everything built so far: the caller's scene is never
// touched, since loading always fills a new Scene.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/file_read.h"
#include "scene/scene.h"

namespace standin {

/// The first bytes of every scene file.
inline constexpr char kSceneMagic[8] = {'N', 'A', 'C', 'S', 'C', 'E', 'N', 'E'};
/// The format version this host writes and reads.
inline constexpr std::uint32_t kSceneFormatVersion = 1;
/// Most objects a scene file may hold.
inline constexpr std::size_t kMaxSceneObjects = 100000;
/// Largest scene file that loading reads, checked before reading: room for
/// the most objects a file may hold, each with a parameter block of many keys.
inline constexpr std::uintmax_t kMaxSceneFileBytes = 64u * 1024u * 1024u;
/// Longest chain of references a scene file may hold: freeing and checking
/// references walks chains recursively.
inline constexpr int kMaxReferenceDepth = 256;

/// A scene that could not be saved or loaded. what() reads
/// "<file>: byte <offset>: <problem>" (without the offset part when the
/// problem has no position, e.g. a failed save).
class SceneFileError : public std::runtime_error {
public:
    SceneFileError(std::string file, std::optional<std::size_t> offset, std::string problem);
    const std::string& File() const noexcept { return file_; }
    const std::optional<std::size_t>& Offset() const noexcept { return offset_; }
    const std::string& Problem() const noexcept { return problem_; }

private:
    std::string file_;
    std::optional<std::size_t> offset_;
    std::string problem_;
};

/// The bytes of a scene file holding `scene`'s roots and everything they
/// reference. Throws SceneFileError (naming `name`) when an object cannot be
/// saved: its Save fails or leaves chunks unbalanced, a parameter block is
/// saved without its owner, or a chunk would be too long.
std::vector<std::uint8_t> WriteSceneBytes(Scene& scene, const std::string& name);

/// Saves `scene` to `path` through a temporary file that replaces `path`
/// only once it is complete and durable (see WriteFileAtomically; `open`
/// makes the sink injectable, `policy` says what it may replace). Throws
/// SceneFileError on failure, leaving the previous file at `path` as it was.
/// `written`, when given, receives the bytes saved: reading the file again
/// could see another program's save that came right after the rename.
void SaveSceneFile(Scene& scene, const std::filesystem::path& path,
                   const ByteSinkOpener& open = OpenFileSink, const WritePolicy& policy = {},
                   std::vector<std::uint8_t>* written = nullptr);

/// Rebuilds a scene from the bytes of a scene file; `name` names the file in
/// errors. The entry point for untrusted bytes (and for fuzzing). Throws
/// SceneFileError.
std::unique_ptr<Scene> ReadSceneBytes(std::span<const std::uint8_t> bytes, const std::string& name);

/// Reads and rebuilds the scene file at `path`, which must be a regular file
/// of at most kMaxSceneFileBytes. Throws SceneFileError. `identity` and
/// `bytes`, when given, get the file's identity and the bytes read, so that
/// a caller can tell later whether the file changed.
std::unique_ptr<Scene> LoadSceneFile(const std::filesystem::path& path,
                                     FileIdentity* identity = nullptr,
                                     std::vector<std::uint8_t>* bytes = nullptr);

}  // namespace standin
