#include "platform/atomic_file.h"

#include <atomic>
#include <system_error>

#include "file_sink_platform.h"

namespace standin {
namespace {

namespace fs = std::filesystem;

/// Names tried for the temporary file before a save gives up.
constexpr unsigned kTemporaryNameTries = 16;

std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

/// `name` cut to at most `length` units, never inside a character: a UTF-8
/// sequence on POSIX systems, a surrogate pair on Windows.
template <class Char>
std::basic_string<Char> cutName(const std::basic_string<Char>& name, std::size_t length) {
    if (name.size() <= length) return name;
    std::size_t cut = length;
    if constexpr (sizeof(Char) == 1) {
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    } else {
        if (cut > 0 && name[cut] >= 0xDC00 && name[cut] <= 0xDFFF) --cut;
    }
    return name.substr(0, cut);
}

// A name beside the target that no other save uses: hidden, and unique within
// this process by a counter, across processes by the process ID. A long
// target name is cut so that the whole stays within what the file system
// takes: any name it takes can be saved.
fs::path temporaryNameFor(const fs::path& target, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const unsigned serial = counter.fetch_add(1);
    std::string suffix =
        ".saving-" + std::to_string(detail::CurrentProcessId()) + "-" + std::to_string(serial);
    if (attempt > 0) suffix += "-" + std::to_string(attempt);
    const std::size_t longest = detail::LongestFileName(target.parent_path());
    const std::size_t room = longest > suffix.size() + 1 ? longest - suffix.size() - 1 : 0;
    // Built as a path: a narrow name would be read in another encoding on Windows.
    fs::path name = ".";
    name += cutName(target.filename().native(), room);
    name += suffix;
    return target.parent_path() / name;
}

void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

/// Where a save really goes: `target` with every symbolic link on the way
/// followed (the links themselves stay), and what is there.
struct Destination {
    fs::path path;
    fs::file_status status;
    bool throughLink = false;
};

bool resolve(const fs::path& target, Destination& destination, std::string& error) {
    constexpr int kMaxLinks = 40;  // as the system allows for a path
    bool throughLink = false;
    fs::path path = detail::LinkedFile(target, throughLink);
    if (path.empty()) {
        error = quoted(target) + " is a link to a file that cannot be found";
        return false;
    }
    for (int links = 0;; ++links) {
        std::error_code code;
        const fs::file_status status = fs::symlink_status(path, code);
        if (code && status.type() != fs::file_type::not_found) {
            error = "cannot inspect " + quoted(path) + ": " + code.message();
            return false;
        }
        if (status.type() == fs::file_type::not_found) {
            if (const fs::file_type stream = detail::StreamTargetType(path);
                stream != fs::file_type::none) {
                destination = {path, fs::file_status(stream), throughLink || links > 0};
                return true;
            }
        }
        if (status.type() != fs::file_type::symlink) {
            destination = {path, status, throughLink || links > 0};
            return true;
        }
        if (links == kMaxLinks) {
            error = quoted(target) + " goes through too many symbolic links";
            return false;
        }
        const fs::path next = fs::read_symlink(path, code);
        if (code) {
            error = "cannot read the symbolic link " + quoted(path) + ": " + code.message();
            return false;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
}

/// "; <force> <lifts it>", or "" when the caller names no way to force a save.
std::string forceHint(const WritePolicy& policy, const std::string& liftsIt) {
    return policy.forceName.empty() ? "" : "; " + policy.forceName + " " + liftsIt;
}

/// Why the save may not go to `destination`, or "" when it may.
std::string refusal(const fs::path& target, const Destination& destination,
                    const WritePolicy& policy) {
    const fs::path& path = destination.path;
    const std::string name = quoted(target) +
                             (destination.throughLink ? " (a link to " + quoted(path) + ")" : "");
    for (const fs::path& input : policy.inputs) {
        std::error_code code;
        if (fs::equivalent(path, input, code) && !code) {
            return name + " is the input " + quoted(input) + "; writing it would destroy it";
        }
    }
    switch (destination.status.type()) {
        case fs::file_type::not_found:
            if (destination.throughLink && !policy.force) {
                return quoted(target) + " is a symbolic link to " + quoted(path) +
                       ", which does not exist" + forceHint(policy, "creates it");
            }
            return "";
        case fs::file_type::regular:
            break;
        case fs::file_type::fifo:
        case fs::file_type::character:
            return "";
        case fs::file_type::directory:
            return name + " is a directory";
        case fs::file_type::block:
            return name + " is a block device; refusing to write a file over it";
        default:
            return name + " is not a regular file";
    }
    if (policy.force) {
        if (!detail::MayWrite(path) && !detail::MayRemoveEntry(path)) {
            return name + " is read-only, and its directory does not let you replace it";
        }
        return "";
    }
    if (!detail::MayWrite(path)) {
        return name + " is read-only" + forceHint(policy, "replaces it where you may delete it");
    }
    const std::uintmax_t names = detail::HardLinkCount(path);
    if (names > 1) {
        return name + " has " + std::to_string(names) +
               " hard links; replacing it would part this name from the others" +
               (policy.forceName.empty() ? "" : " (" + policy.forceName + " does)");
    }
    return "";
}

bool writeAll(ByteSink& sink, std::span<const std::uint8_t> bytes, std::string& error) {
    std::size_t done = 0;
    std::string why;
    while (done < bytes.size()) {
        const std::size_t count = std::min(kAtomicWriteBlock, bytes.size() - done);
        if (!sink.Write(bytes.subspan(done, count), why)) {
            error = "failed after " + std::to_string(done) + " of " +
                    std::to_string(bytes.size()) + " bytes: " + why;
            return false;
        }
        done += count;
    }
    return true;
}

bool finishStream(ByteSink& sink, const fs::path& path, std::span<const std::uint8_t> bytes,
                  std::string& error) {
    std::string why;
    if (!writeAll(sink, bytes, why)) {
        error = "writing " + quoted(path) + " " + why;
        return false;
    }
    if (!sink.Commit(why)) {
        error = "finishing the write failed: " + why;
        return false;
    }
    return true;
}

bool writeStream(const fs::path& path, std::span<const std::uint8_t> bytes, std::string& error) {
    std::string why;
    std::unique_ptr<ByteSink> sink = OpenStreamSink(path, why);
    if (!sink) {
        error = "cannot open " + quoted(path) + ": " + why;
        return false;
    }
    return finishStream(*sink, path, bytes, error);
}

/// False, with `error` set, when `target` may not be written; else its destination.
bool checkTarget(const fs::path& target, const WritePolicy& policy, Destination& destination,
                 std::string& error) {
    if (target.filename().empty()) {
        error = "the path names no file";
        return false;
    }
    error = NameLengthRefusal(target);
    if (!error.empty()) return false;
    if (!resolve(target, destination, error)) return false;
    error = refusal(target, destination, policy);
    return error.empty();
}

}  // namespace

std::string NameLengthRefusal(const fs::path& target) {
    const std::size_t length = target.filename().native().size();
    const std::size_t longest = detail::LongestFileName(target.parent_path());
    if (length <= longest) return "";
    return "the name of " + quoted(target) + " is too long: " + std::to_string(length) + " " +
           detail::kFileNameUnits + ", where the file system takes at most " +
           std::to_string(longest);
}

std::string WriteRefusal(const fs::path& target, const WritePolicy& policy) {
    Destination destination;
    std::string error;
    return checkTarget(target, policy, destination, error) ? std::string() : error;
}

bool WriteFileAtomically(const fs::path& target, std::span<const std::uint8_t> bytes,
                         std::string& error, const ByteSinkOpener& open,
                         const WritePolicy& policy) {
    Destination destination;
    if (!checkTarget(target, policy, destination, error)) return false;
    const fs::path& path = destination.path;
    if (destination.status.type() == fs::file_type::fifo ||
        destination.status.type() == fs::file_type::character) {
        return writeStream(path, bytes, error);
    }

    // Another file of the same name appearing meanwhile is not ours to
    // overwrite: try a few names, few enough to give up soon on a directory
    // where every create fails.
    fs::path temporary;
    std::unique_ptr<ByteSink> sink;
    std::string why;
    for (unsigned attempt = 0; attempt < kTemporaryNameTries && !sink; ++attempt) {
        temporary = temporaryNameFor(path, attempt);
        why.clear();
        detail::RemoveOnSignal(temporary);
        sink = open(temporary, why);
        if (!sink) detail::ForgetOnSignal(temporary);
        if (!sink && !detail::AlreadyExists(temporary)) break;
    }
    if (!sink) {
        error = "cannot create the temporary file " + quoted(temporary) + ": " + why;
        return false;
    }
    const auto discard = [&] {
        sink.reset();
        removeQuietly(temporary);
        detail::ForgetOnSignal(temporary);
    };

    if (!writeAll(*sink, bytes, why)) {
        discard();
        error = "writing the temporary file " + why;
        return false;
    }
    if (!sink->Commit(why)) {
        discard();
        error = "finishing the temporary file failed: " + why;
        return false;
    }
    sink.reset();

    detail::CopyPermissions(path, temporary);
    if (!detail::RenameOver(temporary, path, why)) {
        discard();
        error = "renaming the temporary file over the target failed: " + why;
        return false;
    }
    detail::ForgetOnSignal(temporary);
    // The rename is done; syncing the directory makes it survive a power cut.
    detail::SyncDirectory(path.parent_path());
    return true;
}

std::unique_ptr<ByteSink> OpenStreamTarget(const fs::path& target, std::string& error) {
    error.clear();
    Destination destination;
    if (!checkTarget(target, {}, destination, error)) return nullptr;
    const fs::file_type type = destination.status.type();
    if (type != fs::file_type::fifo && type != fs::file_type::character) return nullptr;
    std::string why;
    std::unique_ptr<ByteSink> sink = OpenStreamSink(destination.path, why);
    if (!sink) error = "cannot open " + quoted(destination.path) + ": " + why;
    return sink;
}

bool WriteToStream(ByteSink& stream, const fs::path& target, std::span<const std::uint8_t> bytes,
                   std::string& error) {
    return finishStream(stream, target, bytes, error);
}

bool StoresFile(const fs::path& target) {
    Destination destination;
    std::string error;
    return !target.filename().empty() && resolve(target, destination, error) &&
           (destination.status.type() == fs::file_type::not_found ||
            destination.status.type() == fs::file_type::regular);
}

}  // namespace standin
