#include "standin/atomic_file.h"

#include <atomic>
#include <system_error>

#include "file_sink_platform.h"

namespace standin {
namespace {

std::string quoted(const std::filesystem::path& path) { return "\"" + path.string() + "\""; }

// A name beside the target that no other save uses: hidden, and unique within
// this process by a counter, across processes by the process ID.
std::filesystem::path temporaryNameFor(const std::filesystem::path& target, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const unsigned serial = counter.fetch_add(1);
    std::string name = "." + target.filename().string() + ".saving-" +
                       std::to_string(detail::CurrentProcessId()) + "-" + std::to_string(serial);
    if (attempt > 0) name += "-" + std::to_string(attempt);
    return target.parent_path() / name;
}

void removeQuietly(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace

bool WriteFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes,
                         std::string& error, const ByteSinkOpener& open) {
    if (target.filename().empty()) {
        error = "the path names no file";
        return false;
    }

    // Another file of the same name appearing meanwhile is not ours to
    // overwrite: try a few names.
    std::filesystem::path temporary;
    std::unique_ptr<ByteSink> sink;
    std::string why;
    for (unsigned attempt = 0; attempt < 16 && !sink; ++attempt) {
        temporary = temporaryNameFor(target, attempt);
        why.clear();
        sink = open(temporary, why);
        if (!sink && !detail::AlreadyExists(temporary)) break;
    }
    if (!sink) {
        error = "cannot create the temporary file " + quoted(temporary) + ": " + why;
        return false;
    }

    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t count = std::min(kAtomicWriteBlock, bytes.size() - done);
        if (!sink->Write(bytes.subspan(done, count), why)) {
            sink.reset();
            removeQuietly(temporary);
            error = "writing the temporary file failed after " + std::to_string(done) + " of " +
                    std::to_string(bytes.size()) + " bytes: " + why;
            return false;
        }
        done += count;
    }
    if (!sink->Commit(why)) {
        sink.reset();
        removeQuietly(temporary);
        error = "finishing the temporary file failed: " + why;
        return false;
    }
    sink.reset();

    detail::CopyPermissions(target, temporary);
    if (!detail::RenameOver(temporary, target, why)) {
        removeQuietly(temporary);
        error = "renaming the temporary file over the target failed: " + why;
        return false;
    }
    // The rename is done; syncing the directory makes it survive a power cut.
    detail::SyncDirectory(target.parent_path());
    return true;
}

}  // namespace standin
