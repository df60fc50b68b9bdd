// Textures of the interactive viewport: a map hands the viewport a picture of
// itself (a DIB) through the viewport's handle maker and keeps the handle.
#pragma once

#include "maxheap.h"
#include "win_shim.h"

/// A bitmap of the host's bitmap manager. The stand-in has none: its handle
/// maker makes handles from DIBs only.
class Bitmap;

/// Flags of CreateHandle's extraFlags.
#define EX_MULT_ALPHA 1
#define EX_RGB_FROM_ALPHA 2
#define EX_OPAQUE_ALPHA 4
#define EX_ALPHA_FROM_RGB 8

/// A texture the viewport shows; its owner ends it with DeleteThis.
class TexHandle : public MaxHeapOperators {
public:
    virtual ~TexHandle() = default;
    virtual DWORD_PTR GetHandle() = 0;
    virtual void DeleteThis() = 0;
};

/// The viewport's maker of texture handles.
class TexHandleMaker : public MaxHeapOperators {
public:
    virtual ~TexHandleMaker() = default;
    /// A handle showing `bm`, or one of the DIB `bminf` (copied: the caller
    /// still owns and frees it).
    virtual TexHandle* CreateHandle(Bitmap* bm, int symflags = 0, int extraFlags = 0) = 0;
    virtual TexHandle* CreateHandle(BITMAPINFO* bminf, int symflags = 0, int extraFlags = 0) = 0;
    virtual BITMAPINFO* BitmapToDIB(Bitmap* bm, int symflags, int extraFlags, BOOL forceW = 0,
                                    BOOL forceH = 0) = 0;
    /// A handle of the DIB `bminf`, which the handle takes over (allocated
    /// with malloc, as the host's DIBs are).
    virtual TexHandle* MakeHandle(BITMAPINFO* bminf) = 0;
    /// TRUE when the viewport takes only sides that are powers of 2.
    virtual BOOL UseClosestPowerOf2() = 0;
    /// The side in pixels of the textures the viewport wants.
    virtual int Size() = 0;
};
