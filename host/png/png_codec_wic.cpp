// PNG encoding and decoding through the Windows Imaging Component.
#include <algorithm>
#include <array>
#include <stdexcept>
#include <utility>

#include "png/png_codec.h"
#include "platform/utf16.h"
#include "png_chunks.h"
#include "wic.h"

namespace standin {
namespace detail {

WicSession::WicSession() {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    uninitialize_ = SUCCEEDED(init);  // S_FALSE too: every success is balanced
    const HRESULT created = CoCreateInstance(CLSID_WICImagingFactory, nullptr,
                                             CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                             reinterpret_cast<void**>(factory_.Out()));
    if (FAILED(created)) {
        if (uninitialize_) CoUninitialize();
        throw std::runtime_error(WicFailure("creating the imaging factory", created));
    }
}

WicSession::~WicSession() {
    factory_.Reset();
    if (uninitialize_) CoUninitialize();
}

std::string WicFailure(const char* what, HRESULT result) {
    static const char* digits = "0123456789ABCDEF";
    std::string hex = "0x";
    const auto code = static_cast<std::uint32_t>(result);
    for (int shift = 28; shift >= 0; shift -= 4) hex += digits[(code >> shift) & 0xF];
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    return std::string(what) + " failed (HRESULT " + hex +
           (text.empty() ? std::string() : ": " + WideToUtf8(text)) + ")";
}

namespace {

/// The first frame of the PNG file in `bytes`; false, with `error` set, when
/// WIC cannot decode it.
bool OpenFrame(WicSession& wic, std::span<const std::uint8_t> bytes,
               ComPtr<IWICBitmapFrameDecode>& frame, std::string& error) {
    ComPtr<IWICStream> stream;
    HRESULT hr = wic.Factory()->CreateStream(stream.Out());
    if (SUCCEEDED(hr)) {
        hr = stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()),
                                          static_cast<DWORD>(bytes.size()));
    }
    if (FAILED(hr)) {
        error = WicFailure("reading the image", hr);
        return false;
    }
    ComPtr<IWICBitmapDecoder> decoder;
    hr = wic.Factory()->CreateDecoderFromStream(stream.Get(), nullptr,
                                                WICDecodeMetadataCacheOnDemand, decoder.Out());
    if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, frame.Out());
    if (FAILED(hr)) {
        error = WicFailure("decoding the image", hr);
        return false;
    }
    return true;
}

/// DecodePngRgba16 as WIC gives the samples, in whatever byte order.
bool DecodeAsGiven(std::span<const std::uint8_t> bytes, std::uint32_t& width,
                   std::uint32_t& height, std::vector<std::uint16_t>& samples,
                   bool& wideSamples, std::string& error) {
    try {
        WicSession wic;
        ComPtr<IWICBitmapFrameDecode> frame;
        if (!OpenFrame(wic, bytes, frame, error)) return false;
        UINT w = 0, h = 0;
        HRESULT hr = frame->GetSize(&w, &h);
        if (FAILED(hr) || w == 0 || h == 0) {
            error = FAILED(hr) ? WicFailure("reading the image size", hr) : "the image is empty";
            return false;
        }
        // 16-bit grey is copied as decoded: Wine's converter would take it
        // through 8 bits. Its samples share the 16-bit RGBA ones' byte order.
        WICPixelFormatGUID format{};
        if (SUCCEEDED(frame->GetPixelFormat(&format)) &&
            IsEqualGUID(format, GUID_WICPixelFormat16bppGray)) {
            std::vector<std::uint16_t> grey(static_cast<std::size_t>(w) * h);
            hr = frame->CopyPixels(nullptr, w * 2, static_cast<UINT>(grey.size() * 2),
                                   reinterpret_cast<BYTE*>(grey.data()));
            if (FAILED(hr)) {
                error = WicFailure("decoding the pixels", hr);
                return false;
            }
            std::vector<std::uint16_t> out;
            out.reserve(grey.size() * 4);
            for (const std::uint16_t v : grey) out.insert(out.end(), {v, v, v, 0xFFFF});
            width = w;
            height = h;
            samples = std::move(out);
            wideSamples = true;
            return true;
        }
        // 16 bits a sample keeps every PNG sample exact; where the converter
        // cannot give them, 8-bit BGRA serves for 8-bit files.
        ComPtr<IWICBitmapSource> converted;
        bool wide = true;
        hr = WICConvertBitmapSource(GUID_WICPixelFormat64bppRGBA, frame.Get(), converted.Out());
        ComPtr<IWICBitmapSource> narrow;
        if (FAILED(hr)) {
            wide = false;
            hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), narrow.Out());
        }
        if (FAILED(hr)) {
            error = WicFailure("converting the pixels", hr);
            return false;
        }
        const std::size_t count = static_cast<std::size_t>(w) * h * 4;
        std::vector<std::uint16_t> out(count);
        if (wide) {
            hr = converted->CopyPixels(nullptr, w * 8, static_cast<UINT>(count * 2),
                                       reinterpret_cast<BYTE*>(out.data()));
        } else {
            std::vector<std::uint8_t> bgra(count);
            hr = narrow->CopyPixels(nullptr, w * 4, static_cast<UINT>(count), bgra.data());
            for (std::size_t i = 0; i < count; i += 4) {
                out[i] = static_cast<std::uint16_t>(bgra[i + 2] * 257);
                out[i + 1] = static_cast<std::uint16_t>(bgra[i + 1] * 257);
                out[i + 2] = static_cast<std::uint16_t>(bgra[i] * 257);
                out[i + 3] = static_cast<std::uint16_t>(bgra[i + 3] * 257);
            }
        }
        if (FAILED(hr)) {
            error = WicFailure("decoding the pixels", hr);
            return false;
        }
        width = w;
        height = h;
        samples = std::move(out);
        wideSamples = wide;
        return true;
    } catch (const std::runtime_error& e) {
        error = e.what();
        return false;
    }
}

}  // namespace

bool LargestPaletteIndex(std::span<const std::uint8_t> bytes, unsigned& largest,
                         std::string& error) {
    try {
        WicSession wic;
        ComPtr<IWICBitmapFrameDecode> frame;
        if (!OpenFrame(wic, bytes, frame, error)) return false;
        UINT w = 0, h = 0;
        WICPixelFormatGUID format{};
        HRESULT hr = frame->GetSize(&w, &h);
        if (SUCCEEDED(hr)) hr = frame->GetPixelFormat(&format);
        if (FAILED(hr)) {
            error = WicFailure("reading the image layout", hr);
            return false;
        }
        unsigned bits = 0;
        for (const auto& [indexed, depth] : {std::pair{GUID_WICPixelFormat1bppIndexed, 1u},
                                             {GUID_WICPixelFormat2bppIndexed, 2u},
                                             {GUID_WICPixelFormat4bppIndexed, 4u},
                                             {GUID_WICPixelFormat8bppIndexed, 8u}}) {
            if (IsEqualGUID(format, indexed)) bits = depth;
        }
        if (bits == 0) {
            error = "the decoder gives no palette indices";
            return false;
        }
        // The indices as stored: packed, most significant bits first.
        const UINT stride = (w * bits + 7) / 8;
        std::vector<std::uint8_t> packed(static_cast<std::size_t>(stride) * h);
        hr = frame->CopyPixels(nullptr, stride, static_cast<UINT>(packed.size()), packed.data());
        if (FAILED(hr)) {
            error = WicFailure("decoding the pixels", hr);
            return false;
        }
        largest = 0;
        const unsigned mask = (1u << bits) - 1;
        for (UINT y = 0; y < h; ++y) {
            for (UINT x = 0; x < w; ++x) {
                const std::size_t bit = static_cast<std::size_t>(x) * bits;
                const unsigned byte = packed[static_cast<std::size_t>(y) * stride + bit / 8];
                largest = std::max(largest, (byte >> (8 - bits - bit % 8)) & mask);
            }
        }
        return true;
    } catch (const std::runtime_error& e) {
        error = e.what();
        return false;
    }
}

bool DecodePngRgba16(std::span<const std::uint8_t> bytes, std::uint32_t& width,
                     std::uint32_t& height, std::vector<std::uint16_t>& samples,
                     std::string& error) {
    bool wide = false;
    if (!DecodeAsGiven(bytes, width, height, samples, wide, error)) return false;
    if (wide && WicKeepsFileByteOrder()) {
        for (std::uint16_t& sample : samples) {
            sample = static_cast<std::uint16_t>((sample >> 8) | (sample << 8));
        }
    }
    return true;
}

}  // namespace detail

namespace {

void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t Big32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t(bytes[at]) << 24) | (std::uint32_t(bytes[at + 1]) << 16) |
           (std::uint32_t(bytes[at + 2]) << 8) | bytes[at + 3];
}

void AppendChunk(std::vector<std::uint8_t>& out, const char* type,
                 const std::vector<std::uint8_t>& data) {
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig32(out, detail::PngCrc32(std::span<const std::uint8_t>(out).subspan(start)));
}

std::vector<std::uint8_t> Big32s(std::initializer_list<std::uint32_t> values) {
    std::vector<std::uint8_t> out;
    for (std::uint32_t v : values) PutBig32(out, v);
    return out;
}

/// The encoder's file with its colour-space chunks replaced by the ones that
/// say how the samples are encoded: WIC writes none of its own accord.
std::vector<std::uint8_t> WithColourChunks(const std::vector<std::uint8_t>& file, bool srgb) {
    std::vector<std::uint8_t> out(file.begin(), file.begin() + 8);
    std::size_t at = 8;
    bool added = false;
    while (at + 12 <= file.size()) {
        const std::uint32_t length = Big32(file, at);
        const std::string type(file.begin() + at + 4, file.begin() + at + 8);
        const std::size_t end = at + 12 + length;
        if (end > file.size()) throw std::runtime_error("PNG encoder: malformed output");
        const bool colourChunk = type == "gAMA" || type == "sRGB" || type == "cHRM" || type == "iCCP";
        if (!colourChunk) out.insert(out.end(), file.begin() + at, file.begin() + end);
        if (type == "IHDR" && !added) {
            if (srgb) {
                AppendChunk(out, "sRGB", {0});  // perceptual intent
                AppendChunk(out, "gAMA", Big32s({45455}));
                AppendChunk(out, "cHRM", Big32s({31270, 32900, 64000, 33000, 30000, 60000, 15000,
                                                 6000}));
            } else {
                AppendChunk(out, "gAMA", Big32s({100000}));
            }
            added = true;
        }
        at = end;
    }
    return out;
}

}  // namespace

namespace detail {

bool WicKeepsFileByteOrder() {
    // A 1 x 1 RGBA image of 16-bit samples, its pixel data in a stored
    // (uncompressed) deflate block, whose red sample is 0x1234.
    static const bool keeps = [] {
        const std::vector<std::uint8_t> row = {0x00, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF};
        std::vector<std::uint8_t> idat = {0x78, 0x01, 0x01, static_cast<std::uint8_t>(row.size()),
                                          0x00, static_cast<std::uint8_t>(~row.size()), 0xFF};
        idat.insert(idat.end(), row.begin(), row.end());
        std::uint32_t a = 1, b = 0;
        for (std::uint8_t byte : row) {
            a = (a + byte) % 65521;
            b = (b + a) % 65521;
        }
        PutBig32(idat, (b << 16) | a);
        std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        std::vector<std::uint8_t> header = Big32s({1, 1});
        header.insert(header.end(), {16, 6, 0, 0, 0});
        AppendChunk(file, "IHDR", header);
        AppendChunk(file, "IDAT", idat);
        AppendChunk(file, "IEND", {});
        std::uint32_t width = 0, height = 0;
        std::vector<std::uint16_t> samples;
        bool wide = false;
        std::string error;
        return DecodeAsGiven(file, width, height, samples, wide, error) && wide &&
               samples.at(0) == 0x3412;
    }();
    return keeps;
}

}  // namespace detail

namespace {

void CheckEncoding(HRESULT hr, const char* what) {
    if (FAILED(hr)) throw std::runtime_error("PNG encoder: " + detail::WicFailure(what, hr));
}

/// Starts `encoder`, writing a PNG file into `memory`, and its `frame` of
/// `width` x `height` pixels of RGBA (16 bits a sample when `wide`, else
/// BGRA of 8).
void StartPngFrame(detail::WicSession& wic, IStream* memory,
                   detail::ComPtr<IWICBitmapEncoder>& encoder,
                   detail::ComPtr<IWICBitmapFrameEncode>& frame, int width, int height, bool wide) {
    CheckEncoding(wic.Factory()->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Out()),
                  "creating the PNG encoder");
    CheckEncoding(encoder->Initialize(memory, WICBitmapEncoderNoCache), "starting the PNG encoder");
    CheckEncoding(encoder->CreateNewFrame(frame.Out(), nullptr), "creating the image frame");
    CheckEncoding(frame->Initialize(nullptr), "starting the image frame");
    CheckEncoding(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height)),
                  "setting the size");
    WICPixelFormatGUID format = wide ? GUID_WICPixelFormat64bppRGBA : GUID_WICPixelFormat32bppBGRA;
    const WICPixelFormatGUID asked = format;
    CheckEncoding(frame->SetPixelFormat(&format), "setting the pixel format");
    if (!IsEqualGUID(format, asked)) {
        throw std::runtime_error(std::string("PNG encoder: the codec cannot write ") +
                                 (wide ? "16" : "8") + "-bit RGBA pixels");
    }
}

/// The bytes written into the memory stream `memory`.
std::vector<std::uint8_t> StreamBytes(IStream* memory) {
    HGLOBAL global = nullptr;
    CheckEncoding(GetHGlobalFromStream(memory, &global), "reading the encoded file");
    STATSTG stat{};
    CheckEncoding(memory->Stat(&stat, STATFLAG_NONAME), "reading the encoded size");
    const auto size = static_cast<std::size_t>(stat.cbSize.QuadPart);
    const auto* data = static_cast<const std::uint8_t*>(GlobalLock(global));
    if (data == nullptr) throw std::runtime_error("PNG encoder: cannot read the encoded file");
    std::vector<std::uint8_t> file(data, data + size);
    GlobalUnlock(global);
    return file;
}

/// The PNG file WIC writes for `pixels`, given in WIC's own layout.
std::vector<std::uint8_t> EncodeWithWic(int width, int height, bool wide,
                                        const std::vector<std::uint8_t>& native) {
    detail::WicSession wic;
    detail::ComPtr<IStream> memory;
    CheckEncoding(CreateStreamOnHGlobal(nullptr, TRUE, memory.Out()), "creating a memory stream");
    detail::ComPtr<IWICBitmapEncoder> encoder;
    detail::ComPtr<IWICBitmapFrameEncode> frame;
    StartPngFrame(wic, memory.Get(), encoder, frame, width, height, wide);
    const UINT stride = static_cast<UINT>(width) * (wide ? 8 : 4);
    CheckEncoding(frame->WritePixels(static_cast<UINT>(height), stride,
                                     static_cast<UINT>(native.size()),
                                     const_cast<BYTE*>(native.data())),
                  "writing the pixels");
    CheckEncoding(frame->Commit(), "finishing the image frame");
    CheckEncoding(encoder->Commit(), "finishing the PNG file");
    return StreamBytes(memory.Get());
}

/// True when WIC's encoder writes 16-bit samples as given, taking them in
/// the file's byte order: a 1 x 1 image written and read back shows it (the
/// decoder's order being known, see WicKeepsFileByteOrder).
bool EncoderKeepsFileByteOrder() {
    static const bool keeps = [] {
        const std::vector<std::uint8_t> pixel = {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A, 0xFF, 0xFF};
        try {
            const std::vector<std::uint8_t> file = EncodeWithWic(1, 1, true, pixel);
            std::uint32_t width = 0, height = 0;
            std::vector<std::uint16_t> samples;
            std::string error;
            return detail::DecodePngRgba16(file, width, height, samples, error) &&
                   samples.at(0) == 0x3412;
        } catch (const std::exception&) {
            return false;
        }
    }();
    return keeps;
}

}  // namespace

std::vector<std::uint8_t> EncodePngRgba(int width, int height, int bitDepth, bool srgb,
                                        std::span<const std::uint8_t> pixels) {
    // WIC takes 8-bit pixels as BGRA and 16-bit samples in native (little-
    // endian) order; the file stores RGBA, big-endian. Wine 8's encoder takes
    // 16-bit samples in the file's order: the codec itself tells which.
    const bool wide = bitDepth == 16;
    const bool swap16 = wide && !EncoderKeepsFileByteOrder();
    std::vector<std::uint8_t> native(pixels.begin(), pixels.end());
    for (std::size_t i = 0; i + (wide ? 8 : 4) <= native.size(); i += wide ? 8 : 4) {
        if (wide) {
            if (!swap16) continue;
            for (std::size_t c = 0; c < 8; c += 2) std::swap(native[i + c], native[i + c + 1]);
        } else {
            std::swap(native[i], native[i + 2]);
        }
    }
    return WithColourChunks(EncodeWithWic(width, height, wide, native), srgb);
}

}  // namespace standin
