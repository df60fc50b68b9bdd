// The stand-in's interactive viewport as a map sees it: a handle maker of a
// given texture size that keeps what each live handle shows, so that the
// program can put it in a file and tests can count the handles not released.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <vector>

#include "TexHandle.h"

namespace standin {

/// A viewport texture: 8-bit red, green, blue and alpha, rows top to bottom
/// (v = 1 first), as a picture is shown.
struct ViewportPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

class ViewportTextures final : public TexHandleMaker {
public:
    /// `size`: the side of the textures the viewport asks maps for.
    explicit ViewportTextures(int size) : size_(size) {}
    /// Handles still live stay the maps' to release.
    ~ViewportTextures() override;
    ViewportTextures(const ViewportTextures&) = delete;
    ViewportTextures& operator=(const ViewportTextures&) = delete;

    /// No bitmap exists in the stand-in: these give null.
    TexHandle* CreateHandle(Bitmap* bm, int symflags = 0, int extraFlags = 0) override;
    BITMAPINFO* BitmapToDIB(Bitmap* bm, int symflags, int extraFlags, BOOL forceW = 0,
                            BOOL forceH = 0) override;
    /// A handle of a copy of `bminf` (32 bits a pixel, BI_RGB, either row
    /// order); null for any other DIB. extraFlags' EX_OPAQUE_ALPHA sets alpha
    /// to 255.
    TexHandle* CreateHandle(BITMAPINFO* bminf, int symflags = 0, int extraFlags = 0) override;
    /// As CreateHandle, then frees `bminf` (null included).
    TexHandle* MakeHandle(BITMAPINFO* bminf) override;
    BOOL UseClosestPowerOf2() override { return FALSE; }
    int Size() override { return size_; }

    /// What the live handle `handle` (a GetHandle value) shows; null when no
    /// live handle of this maker has that value.
    const ViewportPicture* Picture(DWORD_PTR handle) const;
    /// Handles made and not yet released.
    int LiveHandles() const;

private:
    class Handle;
    void Released(Handle* handle);

    int size_;
    mutable std::mutex mutex_;
    std::set<Handle*> live_;
};

}  // namespace standin
