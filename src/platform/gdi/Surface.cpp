#include "platform/gdi/Surface.h"

#include "platform/image/Image.h"

#include <algorithm>
#include <utility>

namespace platform {

Surface::Surface(int nWidth, int nHeight, std::vector<uint32_t> arrPixels)
    : m_nWidth(nWidth), m_nHeight(nHeight), m_arrPixels(std::move(arrPixels))
{
}

bool Surface::IsSizeAllowed(int64_t nWidth, int64_t nHeight)
{
    return nWidth > 0 && nHeight > 0 && nWidth <= kMaxSide && nHeight <= kMaxSide &&
           nWidth * nHeight <= kMaxPixels;
}

std::optional<Surface> Surface::Create(int nWidth, int nHeight, uint32_t nPixel)
{
    if (!IsSizeAllowed(nWidth, nHeight))
        return std::nullopt;
    const size_t nCount = static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight);
    return Surface(nWidth, nHeight, std::vector<uint32_t>(nCount, nPixel));
}

Surface Surface::FromImage(const Image& image)
{
    if (image.IsNull())
        return {};
    return Surface(image.GetWidth(), image.GetHeight(), image.GetPixels());
}

Image Surface::ToImage() const
{
    std::optional<Image> image = Image::Create(m_nWidth, m_nHeight);
    if (!image)
        return {};
    std::copy(m_arrPixels.begin(), m_arrPixels.end(), image->GetBits().begin());
    return std::move(*image);
}

uint32_t Surface::GetPixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return 0;
    return GetRow(y)[x];
}

void Surface::SetPixel(int x, int y, uint32_t nPixel)
{
    if (x < 0 || y < 0 || x >= m_nWidth || y >= m_nHeight)
        return;
    GetRow(y)[x] = nPixel;
}

void Surface::Fill(uint32_t nPixel)
{
    std::fill(m_arrPixels.begin(), m_arrPixels.end(), nPixel);
}

} // namespace platform
