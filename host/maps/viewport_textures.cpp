// The stand-in viewport's texture handles: copies of the maps' DIBs.
#include "maps/viewport_textures.h"

#include <cstdlib>
#include <utility>

namespace standin {

class ViewportTextures::Handle final : public TexHandle {
public:
    Handle(ViewportTextures* maker, ViewportPicture picture)
        : maker_(maker), picture_(std::move(picture)) {}
    DWORD_PTR GetHandle() override { return reinterpret_cast<DWORD_PTR>(this); }
    void DeleteThis() override {
        if (maker_ != nullptr) maker_->Released(this);
        delete this;
    }
    const ViewportPicture& picture() const { return picture_; }
    void Orphan() { maker_ = nullptr; }

private:
    ViewportTextures* maker_;
    ViewportPicture picture_;
};

ViewportTextures::~ViewportTextures() {
    for (Handle* handle : live_) handle->Orphan();
}

TexHandle* ViewportTextures::CreateHandle(Bitmap*, int, int) { return nullptr; }

BITMAPINFO* ViewportTextures::BitmapToDIB(Bitmap*, int, int, BOOL, BOOL) { return nullptr; }

TexHandle* ViewportTextures::CreateHandle(BITMAPINFO* bminf, int, int extraFlags) {
    if (bminf == nullptr) return nullptr;
    const BITMAPINFOHEADER& header = bminf->bmiHeader;
    if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biBitCount != 32 ||
        header.biCompression != BI_RGB || header.biWidth <= 0 || header.biHeight == 0) {
        return nullptr;
    }
    ViewportPicture picture;
    picture.width = static_cast<int>(header.biWidth);
    const bool bottomUp = header.biHeight > 0;
    picture.height = static_cast<int>(bottomUp ? header.biHeight : -header.biHeight);
    const auto* pixels = reinterpret_cast<const std::uint8_t*>(bminf) + header.biSize;
    picture.rgba.resize(static_cast<std::size_t>(picture.width) * picture.height * 4);
    for (int row = 0; row < picture.height; ++row) {
        const int shownRow = bottomUp ? picture.height - 1 - row : row;
        const std::uint8_t* from = pixels + static_cast<std::size_t>(row) * picture.width * 4;
        std::uint8_t* to = &picture.rgba[static_cast<std::size_t>(shownRow) * picture.width * 4];
        for (int x = 0; x < picture.width; ++x, from += 4, to += 4) {
            to[0] = from[2];  // the DIB's order is blue, green, red
            to[1] = from[1];
            to[2] = from[0];
            to[3] = (extraFlags & EX_OPAQUE_ALPHA) != 0 ? 255 : from[3];
        }
    }
    auto* handle = new Handle(this, std::move(picture));
    const std::lock_guard<std::mutex> lock(mutex_);
    live_.insert(handle);
    return handle;
}

TexHandle* ViewportTextures::MakeHandle(BITMAPINFO* bminf) {
    TexHandle* handle = CreateHandle(bminf);
    std::free(bminf);
    return handle;
}

const ViewportPicture* ViewportTextures::Picture(DWORD_PTR handle) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (Handle* live : live_) {
        if (live->GetHandle() == handle) return &live->picture();
    }
    return nullptr;
}

int ViewportTextures::LiveHandles() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(live_.size());
}

void ViewportTextures::Released(Handle* handle) {
    const std::lock_guard<std::mutex> lock(mutex_);
    live_.erase(handle);
}

}  // namespace standin
