// Saving a file so that a failure loses nothing: the bytes go to a temporary
// file beside the target, which is made durable and only then renamed over
// the target. The byte sink is injectable, so that tests can make a write fail
// part-way (a full disk) and watch the previous file survive.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>

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

/// Size of the pieces in which WriteFileAtomically hands bytes to the sink.
inline constexpr std::size_t kAtomicWriteBlock = 64 * 1024;

/// Replaces the content of `target` with `bytes`: writes a temporary file in
/// the same directory through a sink from `open`, commits it, gives it the
/// permissions of the file it replaces, and renames it over `target`. On
/// failure the temporary file is removed, `target` is left exactly as it was,
/// `error` says which step failed and why, and the result is false.
bool WriteFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes,
                         std::string& error, const ByteSinkOpener& open = OpenFileSink);

}  // namespace standin
