// The Windows Imaging Component for the PNG codec: COM set-up per call and
// plain-words messages for its failures.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <wincodec.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace standin::detail {

/// Owns one COM interface pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() {
        if (p_ != nullptr) p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    T** Out() { return &p_; }
    void Reset() {
        if (p_ != nullptr) p_->Release();
        p_ = nullptr;
    }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }

private:
    T* p_ = nullptr;
};

/// Initialises COM on this thread for the lifetime of the object (when it was
/// not initialised already) and creates the imaging factory.
class WicSession {
public:
    WicSession();
    ~WicSession();
    WicSession(const WicSession&) = delete;
    WicSession& operator=(const WicSession&) = delete;

    IWICImagingFactory* Factory() const { return factory_.Get(); }

private:
    bool uninitialize_ = false;
    ComPtr<IWICImagingFactory> factory_;
};

/// "what failed (HRESULT 0x...: the system's text)".
std::string WicFailure(const char* what, HRESULT result);

/// True when this WIC hands 16-bit samples over in the PNG file's big-endian
/// byte order rather than the documented native order (Wine 8 does); found
/// once by decoding a 1 x 1 image made for the purpose.
bool WicKeepsFileByteOrder();

/// The largest palette index among the pixels of the palette PNG file in
/// `bytes`, as stored. False, with `error` set, when WIC cannot give them.
bool LargestPaletteIndex(std::span<const std::uint8_t> bytes, unsigned& largest,
                         std::string& error);

/// Decodes the PNG file in `bytes` into 16-bit RGBA samples (native order),
/// as stored in the file (no colour or gamma conversion). False, with
/// `error` set, when WIC cannot decode it.
bool DecodePngRgba16(std::span<const std::uint8_t> bytes, std::uint32_t& width,
                     std::uint32_t& height, std::vector<std::uint16_t>& samples,
                     std::string& error);

}  // namespace standin::detail
