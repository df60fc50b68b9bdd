// Saving a file so that a failure loses nothing: the bytes go to a temporary
// file beside the target, which is made durable and only then renamed over
// the target. The byte sink is injectable, so that tests can make a write fail
// part-way (a full disk) and watch the previous file survive.
//
// What the target is decides what a save may do with it:
// - a symbolic link is followed (through every link of a chain) and its final
//   target is written; the link stays. A dangling link is only followed with
//   `force`, since it creates a file the user may not expect;
// - a regular file is replaced, keeping its permission bits and, where the
//   process may, its owner and group. A file the user may not write is only
//   replaced with `force`, and then only where the user could have deleted
//   it anyway (a writable directory, not sticky against them). Root counts as
//   unable to write a file without write bits. A file with more than one name
//   (hard links) is refused unless `force`: replacing one name would split it
//   from the others;
// - a FIFO or a character device (a pipe, /dev/null, a terminal) is written
//   straight into, as a stream; the node stays what it was;
// - anything else (a directory, a block device, a socket) is refused, and so
//   is a name longer than the file system takes;
// - a target that is the same file (device and inode) as one of `inputs` is
//   refused, however it is named.
// The temporary file is removed on every way out, SIGINT, SIGTERM and SIGHUP
// included.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace standin {

/// Where the bytes of a file being saved go.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    /// Appends `bytes`; false, with `error` set, when they could not all be written.
    virtual bool Write(std::span<const std::uint8_t> bytes, std::string& error) = 0;
    /// Makes everything written durable (flushed to the device) and closes the
    /// sink; false, with `error` set, on failure.
    virtual bool Commit(std::string& error) = 0;
};

/// Creates the file `path` (which must not exist yet) and returns a sink that
/// writes it; null, with `error` set, when it cannot be created.
using ByteSinkOpener =
    std::function<std::unique_ptr<ByteSink>(const std::filesystem::path& path, std::string& error)>;

/// The real opener: a new file on disk, synced to the device on Commit.
std::unique_ptr<ByteSink> OpenFileSink(const std::filesystem::path& path, std::string& error);

/// Opens the existing FIFO or character device `path` for writing as a
/// stream (nothing is fsync'ed on Commit); null, with `error` set, when it
/// cannot be opened or has become something else.
std::unique_ptr<ByteSink> OpenStreamSink(const std::filesystem::path& path, std::string& error);

/// What a save may do beyond replacing a writable, singly linked file.
struct WritePolicy {
    /// Replace a read-only file (where it could be deleted), split hard
    /// links, create a file through a dangling symbolic link.
    bool force = false;
    /// The files the command reads: the target may be none of them.
    std::vector<std::filesystem::path> inputs;
    /// How the caller's user asks for `force` (a flag, a button), named in a
    /// refusal that it would lift; empty, such refusals name nothing.
    std::string forceName;
};

/// True when a save to `target` would store a file under its name: nothing
/// is there yet, or a regular file, through any symbolic links. False for a
/// FIFO or character device (`/dev/null`, and "NUL" on Windows), which is
/// written as a stream, and for what a save refuses (a directory, a block
/// device, a path it cannot inspect).
bool StoresFile(const std::filesystem::path& target);

/// Size of the pieces in which WriteFileAtomically hands bytes to the sink.
inline constexpr std::size_t kAtomicWriteBlock = 64 * 1024;

/// Replaces the content of `target` with `bytes`: writes a temporary file in
/// the same directory through a sink from `open`, commits it, gives it the
/// permissions and owner of the file it replaces, and renames it over
/// `target` (see the top of this file for links, devices and read-only
/// files). On failure or refusal the temporary file is removed, `target` is
/// left exactly as it was, `error` says which step failed and why, and the
/// result is false.
bool WriteFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes,
                         std::string& error, const ByteSinkOpener& open = OpenFileSink,
                         const WritePolicy& policy = {});

/// Why a file named `target` cannot be stored where it is (its name is
/// longer than the file system takes there), or "" when its name fits.
std::string NameLengthRefusal(const std::filesystem::path& target);

/// Why WriteFileAtomically would refuse to write `target` as things are now
/// (see the top of this file), or "" when it would write it. Lets a command
/// that writes several files check them all before it writes the first.
std::string WriteRefusal(const std::filesystem::path& target, const WritePolicy& policy = {});

/// Opens `target` now when it leads to a FIFO or a character device, so that
/// a command that writes several files finds a pipe nobody reads (or a device
/// it cannot open) before it writes the first, and later writes to the reader
/// it found. Null with `error` empty for any other target (WriteRefusal
/// checks those); null with `error` set when the stream cannot be opened.
std::unique_ptr<ByteSink> OpenStreamTarget(const std::filesystem::path& target,
                                           std::string& error);

/// Writes all of `bytes` to a stream from OpenStreamTarget for `target` and
/// closes it; false, with `error` set, on failure.
bool WriteToStream(ByteSink& stream, const std::filesystem::path& target,
                   std::span<const std::uint8_t> bytes, std::string& error);

}  // namespace standin
