#pragma once

// An RGBA bitmap: pixels as 0xAARRGGBB in native 32-bit words, row-major, top row first.
// Decoding reads GIF (the first frame), BMP, PNG and JPEG; saving writes PNG.
//
// Thread rules: an Image is a plain value. Different images may be used on different threads
// at once; one image is used by one thread at a time. Decode and LoadFromFile are safe to call
// from any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {

class Image
{
public:
    // Images beyond these are refused before any pixel memory is taken: a damaged or hostile
    // header must not make us allocate gigabytes.
    static constexpr int kMaxSide = 16384;
    static constexpr int64_t kMaxPixels = 64 * 1024 * 1024;

    // A null image: no pixels.
    Image() = default;

    // A blank image filled with nColor; nullopt when a side is zero or negative or the size is
    // beyond the limits.
    static std::optional<Image> Create(int nWidth, int nHeight, uint32_t nColor = 0);

    // Decodes a GIF, BMP, PNG or JPEG image from memory; nullopt when the data is not one, is
    // damaged, or describes an image beyond the limits.
    static std::optional<Image> Decode(const void* pData, size_t nSize);
    // Reads a whole file (path in UTF-8 on disk) and decodes it.
    static std::optional<Image> LoadFromFile(const std::wstring& strPath);

    // Writes the image as a PNG file, replacing it; false for a null image or a write error.
    bool SavePng(const std::wstring& strPath) const;

    bool IsNull() const { return m_arrPixels.empty(); }
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }

    // The pixel at (x, y); 0 outside the image.
    uint32_t GetPixel(int x, int y) const;
    // Sets the pixel at (x, y); does nothing outside the image.
    void SetPixel(int x, int y, uint32_t nColor);

    // All pixels, GetWidth() * GetHeight() of them, rows top to bottom.
    const std::vector<uint32_t>& GetPixels() const { return m_arrPixels; }
    // The same pixels for writing in place; the count is fixed.
    std::span<uint32_t> GetBits() { return m_arrPixels; }

private:
    Image(int nWidth, int nHeight, std::vector<uint32_t> arrPixels);

    static bool IsSizeAllowed(int64_t nWidth, int64_t nHeight);

    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<uint32_t> m_arrPixels;
};

} // namespace platform
