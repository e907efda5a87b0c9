#pragma once

// A 32-bit pixel buffer that canvases draw on: pixels 0xAARRGGBB in native words, row-major,
// top row first, one row right after the other (the stride is the width). That is the layout of
// Image and what a presentation layer can upload as ARGB8888 without conversion.
//
// Thread rules: a Surface is a plain value. One surface is used by one thread at a time,
// together with the canvases that draw on it.

#include "platform/gdi/Geometry.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace platform {

class Image;

class Surface
{
public:
    // Sizes beyond Image's limits are refused, for the same reason: nobody needs them, and a
    // bad size must not take gigabytes.
    static constexpr int kMaxSide = 16384;
    static constexpr int64_t kMaxPixels = 64 * 1024 * 1024;

    // A null surface: no pixels; drawing on it does nothing.
    Surface() = default;

    // A surface filled with nPixel; nullopt when a side is zero or negative or beyond the limits.
    static std::optional<Surface> Create(int nWidth, int nHeight, uint32_t nPixel = 0xFF000000);
    // A copy of an image's pixels; a null surface for a null image.
    static Surface FromImage(const Image& image);
    // A copy as an image (for SavePng); a null image for a null surface.
    Image ToImage() const;

    static bool IsSizeAllowed(int64_t nWidth, int64_t nHeight);

    bool IsNull() const { return m_arrPixels.empty(); }
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    Size GetSize() const { return {m_nWidth, m_nHeight}; }
    Rect GetBounds() const { return {0, 0, m_nWidth, m_nHeight}; }

    // The pixel at (x, y); 0 outside the surface.
    uint32_t GetPixel(int x, int y) const;
    // Sets the pixel at (x, y); does nothing outside the surface.
    void SetPixel(int x, int y, uint32_t nPixel);
    void Fill(uint32_t nPixel);

    // The first pixel of row y, which must be inside the surface.
    uint32_t* GetRow(int y)
    {
        return m_arrPixels.data() + static_cast<size_t>(y) * static_cast<size_t>(m_nWidth);
    }
    const uint32_t* GetRow(int y) const
    {
        return m_arrPixels.data() + static_cast<size_t>(y) * static_cast<size_t>(m_nWidth);
    }

    std::span<uint32_t> GetBits() { return m_arrPixels; }
    std::span<const uint32_t> GetBits() const { return m_arrPixels; }

private:
    Surface(int nWidth, int nHeight, std::vector<uint32_t> arrPixels);

    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<uint32_t> m_arrPixels;
};

} // namespace platform
