// brevanto-skin-preview OUTPUT_FOLDER
//
// Composes the launcher's windows from the pictures linked into it, placed where the windows
// draw them, with sample texts in the windows' fonts and colours, and writes them as PNG files
// for review: the main window with the games list (normal and with every hover look), the main
// window with the game page, and the two small dialogs. Outside the window outlines the images
// are transparent. Exit 0 on success, 1 with a message otherwise.

#include "platform/gdi/Canvas.h"
#include "platform/gdi/MemoryCanvas.h"
#include "platform/image/Image.h"
#include "platform/text/Text.h"
#include "resources/Resources.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

namespace {

using platform::COLORREF;

constexpr COLORREF kMagenta = 0xFF00FF;
constexpr COLORREF kDownloadKey = 0xE600FF;
constexpr COLORREF kHoverText = 0xB6FFFF;

class Pictures
{
public:
    const platform::Surface* Get(uint32_t nId, std::string_view strType = resources::kTypeGif)
    {
        auto it = m_map.find(nId);
        if (it != m_map.end())
            return &it->second;
        std::span<const uint8_t> data = resources::FindResource(nId, strType);
        std::optional<platform::Image> image = platform::Image::Decode(data.data(), data.size());
        if (!image) {
            std::fprintf(stderr, "brevanto-skin-preview: picture %u does not load\n", nId);
            m_bMissing = true;
            return nullptr;
        }
        return &m_map.emplace(nId, platform::Surface::FromImage(*image)).first->second;
    }

    bool AnyMissing() const { return m_bMissing; }

private:
    std::map<uint32_t, platform::Surface> m_map;
    bool m_bMissing = false;
};

platform::Font MakeFont(int nHeight, int nWeight, const wchar_t* pszFace = L"Verdana")
{
    platform::FontDescription desc;
    desc.strFace = pszFace;
    desc.nHeight = nHeight;
    desc.nWeight = nWeight;
    desc.nCharSet = platform::kRussianCharSet;
    return platform::Font::Create(desc);
}

struct Fonts
{
    platform::Font header = MakeFont(16, 700);
    platform::Font plain = MakeFont(16, 400);
    platform::Font title = MakeFont(20, 700);
    platform::Font greeting = MakeFont(18, 700);
    platform::Font button = platform::Font::GetDefault();
    platform::Font arial = MakeFont(0, 700, L"Arial");
};

class Composer
{
public:
    Composer(Pictures& pictures, int nWidth, int nHeight)
        : m_pictures(pictures), m_dc(nWidth, nHeight, 0xFFFFFFFF)
    {
        m_dc.SetBkMode(platform::BackgroundMode::Transparent);
    }

    void Blit(uint32_t nId, int x, int y, COLORREF nKey = kMagenta, int nMaxWidth = 0)
    {
        const platform::Surface* pSurface = m_pictures.Get(nId);
        if (!pSurface)
            return;
        int w = nMaxWidth > 0 ? std::min(nMaxWidth, pSurface->GetWidth()) : pSurface->GetWidth();
        m_dc.TransparentBlt(x, y, w, pSurface->GetHeight(), *pSurface, 0, 0, w, pSurface->GetHeight(), nKey);
    }

    void Text(const platform::Font& font, COLORREF nColor, int x, int y, std::wstring_view text)
    {
        m_dc.SelectFont(font);
        m_dc.SetTextColor(nColor);
        m_dc.TextOut(x, y, text);
    }

    // A stand-in for a game's picture: a gradient with a few shapes.
    void SamplePicture(int x, int y, int w, int h, uint32_t nSeed)
    {
        for (int j = 0; j < h; ++j) {
            for (int i = 0; i < w; ++i) {
                double u = static_cast<double>(i) / w, v = static_cast<double>(j) / h;
                double wave = std::sin((u * 3.0 + v * 2.0 + nSeed) * 2.2) * 0.5 + 0.5;
                auto c = [&](double a, double b) {
                    return static_cast<COLORREF>(std::clamp(a + b * wave, 0.0, 255.0));
                };
                COLORREF r = c(40.0 + 60.0 * (nSeed % 3), 150.0 * v);
                COLORREF g = c(90.0 + 40.0 * u, 100.0 * (1 - v));
                COLORREF b = c(160.0 - 50.0 * (nSeed % 2), 80.0 * u);
                m_dc.SetPixel(x + i, y + j, r | (g << 8) | (b << 16));
            }
        }
    }

    // A progress bar as the launcher paints it: a green gradient and a white percentage.
    void Progress(int x, int y, int nPercent, const platform::Font& font)
    {
        const int w = 74, h = 24, nFill = w * nPercent / 100;
        for (int i = 0; i < nFill; ++i) {
            COLORREF g = static_cast<COLORREF>(0xB4 + (0xFF - 0xB4) * i / w);
            m_dc.FillSolidRect(platform::Rect::FromSize(x + i, y, 1, h), g << 8);
        }
        platform::Rect rc = platform::Rect::FromSize(x, y, w, h);
        m_dc.SelectFont(font);
        m_dc.SetTextColor(0xFFFFFF);
        m_dc.DrawText(std::to_wstring(nPercent) + L"%", rc,
                      platform::DT_CENTER | platform::DT_VCENTER | platform::DT_SINGLELINE);
    }

    // Clears everything outside the outline; with nStep, outlines repeat every nStep pixels
    // across the image.
    void ClipToOutline(uint32_t nOutline, int nStep = 0)
    {
        const platform::Surface* pOutline = m_pictures.Get(nOutline, resources::kTypeBitmap);
        platform::Surface* pTarget = m_dc.GetSurface();
        if (!pOutline || !pTarget)
            return;
        for (int j = 0; j < pTarget->GetHeight(); ++j) {
            for (int i = 0; i < pTarget->GetWidth(); ++i) {
                int ox = nStep > 0 ? i % nStep : i, oy = j;
                bool bInside = ox >= 0 && oy >= 0 && ox < pOutline->GetWidth() &&
                               oy < pOutline->GetHeight() &&
                               (pOutline->GetPixel(ox, oy) & 0xFFFFFF) != 0xFFFFFF;
                if (!bInside)
                    pTarget->SetPixel(i, j, 0x00000000);
            }
        }
    }

    platform::Canvas& Dc() { return m_dc; }

    bool Save(const std::string& strPath)
    {
        return m_dc.GetSurface() && m_dc.GetSurface()->ToImage().SavePng(platform::FromUtf8(strPath));
    }

private:
    Pictures& m_pictures;
    platform::MemoryCanvas m_dc;
};

struct SampleRow
{
    uint32_t nBackground;
    const wchar_t* pszName;
    enum
    {
        Installed,
        Loading,
        Failed,
        NoThumb
    } state;
};

// The main window's frame: header, logo, tabs, caption buttons, lower panel and status line.
void DrawFrame(Composer& c, const Fonts& fonts, bool bHover, bool bListPage, bool bBanner)
{
    c.Blit(138, 0, 0);
    c.Blit(134, 4, 4);
    // The visible page's tab is the released one; the other is latched.
    c.Blit(bListPage ? 153 : 152, 385, 31, kMagenta, 165);
    c.Blit(bListPage ? 147 : 151, 550, 31, kMagenta, 165);
    c.Text(fonts.button, bHover && !bListPage ? kHoverText : 0, 385 + 70, 31 + 8, L"Game");
    c.Text(fonts.button, bHover && bListPage ? kHoverText : 0, 550 + 44, 31 + 8, L"All games");
    c.Blit(bHover ? 145 : 144, 635, 0);
    c.Blit(bHover ? 142 : 141, 680, 0);
    if (bBanner) {
        c.Blit(202, -1, 417);
        c.SamplePicture(191, 425, 90, 88, 4);
        c.Text(fonts.header, 0, 289, 430, L"Crystal Caverns");
        c.Text(fonts.plain, 0, 289, 460, L"Dig deep, match gems and");
        c.Text(fonts.plain, 0, 289, 478, L"free the cave spirits.");
        c.Blit(bHover ? 161 : 160, 550, 450, kDownloadKey);
        c.Text(fonts.button, bHover ? kHoverText : 0, 550 + 48, 450 + 12, L"Download");
    } else {
        c.Blit(139, -1, 417);
    }
    c.Text(fonts.plain, 0xFFFFFF, 10, 526, L"Ver 1.0.0.1");
    c.Text(fonts.plain, bHover ? 0xFFFFFF : 0xC8FFC8, 630, 526, L"Contact support");
}

void DrawListPage(Composer& c, const Fonts& fonts, bool bHover)
{
    const int nPageY = 76;
    c.Blit(135, 0, nPageY);
    c.Text(fonts.header, 0xFFFFFF, 232, nPageY + 9, L"Title");
    c.Text(fonts.header, 0xFFFFFF, 495, nPageY + 9, L"Status");
    const SampleRow rows[] = {
        {136, L"Crystal Caverns", SampleRow::Installed},
        {137, L"Moonlit Mahjong", SampleRow::Loading},
        {172, L"Tropical Tiles Deluxe", SampleRow::Failed},
        {203, L"Farm Frenzy", SampleRow::NoThumb},
    };
    platform::Canvas& dc = c.Dc();
    platform::Canvas::StateGuard guard(dc);
    dc.IntersectClipRect({21, nPageY + 33, 728, nPageY + 333});
    for (int i = 0; i < 4; ++i) {
        const SampleRow& row = rows[i];
        const int x = 21, y = nPageY + 33 + 96 * i;
        c.Blit(row.nBackground, x, y);
        if (row.state != SampleRow::NoThumb)
            c.SamplePicture(x + 17, y + 5, 90, 78, static_cast<uint32_t>(i));
        c.Text(fonts.title, 0x616161, x + 115, y + 31, row.pszName);
        c.Blit(bHover && i == 2 ? 157 : 155, x + 610, y + 22);
        switch (row.state) {
        case SampleRow::Installed:
            c.Blit(bHover ? 170 : 169, x + 460, y + 28);
            c.Text(fonts.button, bHover ? kHoverText : 0x010101, x + 460 + 38, y + 28 + 7, L"Play now");
            break;
        case SampleRow::Loading:
            c.Blit(158, x + 430, y + 22);
            c.Progress(x + 470, y + 31, 62, fonts.arial);
            c.Blit(159, x + 435, y + 28);
            c.Blit(bHover ? 170 : 201, x + 548, y + 26);
            c.Text(fonts.header, 0x010101, x + 340, y + 18, L"28,1 MB");
            c.Text(fonts.header, 0x010101, x + 365, y + 36, L"of");
            c.Text(fonts.header, 0x010101, x + 340, y + 54, L"45,3 MB");
            break;
        case SampleRow::Failed:
            c.Text(fonts.header, 0x0101FF, x + 365, y + 36, L"Connection problems");
            break;
        case SampleRow::NoThumb:
            c.Text(fonts.header, 0x010101, x + 330, y + 36, L"connecting...");
            break;
        }
    }
    dc.SetClipRect({0, 0, 750, 604});
    dc.IntersectClipRect({728, nPageY + 32, 743, nPageY + 333});
    c.Blit(180, 728, nPageY + 32);
    c.Blit(bHover ? 183 : 181, 728, nPageY + 32 + 60);
}

void DrawDetailPage(Composer& c, const Fonts& fonts, bool bHover)
{
    const int nPageY = 76;
    c.Blit(148, 0, nPageY);
    c.SamplePicture(532, nPageY + 70, 200, 200, 2);
    platform::Rect rc{20, nPageY + 60, 520, nPageY + 100};
    c.Dc().SelectFont(fonts.greeting);
    c.Dc().SetTextColor(0x010000);
    c.Dc().DrawText(L"Thank you for playing Crystal Caverns!", rc, platform::DT_CENTER);
    c.Blit(bHover ? 199 : 198, 187, nPageY + 141);
    c.Text(fonts.button, bHover ? kHoverText : 0, 187 + 62, nPageY + 141 + 12, L"Exit");
}

void DrawDialog(Composer& c, const Fonts& fonts, int x, bool bUpdate, bool bHover)
{
    c.Blit(186, x, 0);
    c.Blit(bHover ? 191 : 190, x + 290, 10);
    platform::Canvas& dc = c.Dc();
    if (bUpdate) {
        platform::Rect rc{x + 20, 50, x + 300, 80};
        dc.SelectFont(fonts.arial);
        dc.SetTextColor(0);
        dc.DrawText(L"Downloading update...", rc, platform::DT_CENTER);
        c.Blit(158, x + 80, 101);
        c.Progress(x + 120, 110, 37, fonts.arial);
        c.Blit(159, x + 85, 107);
        c.Blit(bHover ? 188 : 187, x + 125, 180);
        c.Text(fonts.button, bHover ? kHoverText : 0, x + 125 + 10, 180 + 7, L"Close");
    } else {
        platform::Rect rcTitle{x + 20, 40, x + 300, 80};
        dc.SelectFont(fonts.header);
        dc.SetTextColor(0);
        dc.DrawText(L"Remove Crystal Caverns", rcTitle, platform::DT_CENTER);
        platform::Rect rcMessage{x + 70, 90, x + 250, 160};
        dc.SelectFont(fonts.plain);
        dc.DrawText(L"Are you sure you want to remove this game?", rcMessage,
                    platform::DT_CENTER | platform::DT_WORDBREAK);
        c.Blit(bHover ? 188 : 187, x + 85, 180);
        c.Text(fonts.button, bHover ? kHoverText : 0, x + 85 + 15, 180 + 6, L"Yes");
        c.Blit(187, x + 170, 180);
        c.Text(fonts.button, 0, x + 170 + 20, 180 + 6, L"No");
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: brevanto-skin-preview OUTPUT_FOLDER\n");
        return 1;
    }
    const std::string strFolder = argv[1];
    Pictures pictures;
    Fonts fonts;
    bool bOk = true;
    for (int nVariant = 0; nVariant < 3; ++nVariant) {
        Composer c(pictures, 750, 604);
        const bool bHover = nVariant == 1, bList = nVariant != 2;
        DrawFrame(c, fonts, bHover, bList, bList);
        if (bList)
            DrawListPage(c, fonts, bHover);
        else
            DrawDetailPage(c, fonts, false);
        c.ClipToOutline(140);
        static const char* const kNames[] = {"main-list.png", "main-hover.png", "main-detail.png"};
        bOk = c.Save(strFolder + "/" + kNames[nVariant]) && bOk;
    }
    Composer dialogs(pictures, 980, 230);
    for (int i = 0; i < 3; ++i)
        DrawDialog(dialogs, fonts, i * 330, i == 1, i == 2);
    dialogs.ClipToOutline(185, 330);
    bOk = dialogs.Save(strFolder + "/dialogs.png") && bOk;
    if (!bOk || pictures.AnyMissing()) {
        std::fprintf(stderr, "brevanto-skin-preview: could not compose every picture into %s\n",
                     strFolder.c_str());
        return 1;
    }
    return 0;
}
