// Reading a PNG file that a map names: the file is read whole (a regular
// file only, bounded in size), then decoded by the platform's reader.
#include <vector>

#include "platform/command_line.h"
#include "platform/file_read.h"
#include "png/png_grey_reader.h"

namespace standin {

bool ReadPngGreyFile(const std::string& path, GreyImage& image, std::string& error) {
    std::vector<std::uint8_t> bytes;
    FileReadFailure failure;
    if (!ReadRegularFile(PathFromUtf8(path), kMaxPngFileBytes, bytes, failure)) {
        using Kind = FileReadFailure::Kind;
        switch (failure.kind) {
            case Kind::kNotFound:
                error = path + ": cannot open: No such file or directory";
                break;
            case Kind::kDirectory:
            case Kind::kNotRegular:
                error = path + ": cannot open: not a regular file";
                break;
            case Kind::kTooLarge:
                error = path + ": the file is larger than the " + std::to_string(kMaxPngFileBytes) +
                        " bytes a map may read";
                break;
            case Kind::kCannotOpen:
                error = path + ": cannot open: " + failure.systemText;
                break;
            case Kind::kCannotRead:
                error = path + ": cannot read: " + failure.systemText;
                break;
        }
        return false;
    }
    return DecodePngGrey(bytes, path, image, error);
}

}  // namespace standin
