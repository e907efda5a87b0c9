#include "platform/gdi/Canvas.h"

#include "platform/gdi/MemoryCanvas.h"
#include "platform/image/Image.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <functional>

using namespace platform;

// For failure messages; found by argument-dependent lookup, so it lives in the type's namespace.
namespace platform {
std::ostream& operator<<(std::ostream& out, const Rect& rc)
{
    return out << "{" << rc.left << ", " << rc.top << ", " << rc.right << ", " << rc.bottom << "}";
}
} // namespace platform

namespace {

constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kWhite = 0xFFFFFFFF;

// A pixel that names its own place, so a copy shows where every pixel came from.
uint32_t Coded(int x, int y)
{
    return 0xFF000000u | (static_cast<uint32_t>(x) << 12) | static_cast<uint32_t>(y);
}

void FillCoded(Surface& surface)
{
    for (int y = 0; y < surface.GetHeight(); ++y)
        for (int x = 0; x < surface.GetWidth(); ++x)
            surface.SetPixel(x, y, Coded(x, y));
}

// The bounding box of every pixel that differs from the background; empty when there is none.
Rect InkBox(const Surface& surface, uint32_t nBackground)
{
    Rect rc{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = 0; y < surface.GetHeight(); ++y) {
        for (int x = 0; x < surface.GetWidth(); ++x) {
            if (surface.GetPixel(x, y) == nBackground)
                continue;
            rc = {std::min(rc.left, x), std::min(rc.top, y), std::max(rc.right, x + 1),
                  std::max(rc.bottom, y + 1)};
        }
    }
    return rc.IsEmpty() ? Rect{} : rc;
}

bool HasInkInRows(const Surface& surface, int nTop, int nBottom, uint32_t nBackground)
{
    for (int y = std::max(nTop, 0); y < std::min(nBottom, surface.GetHeight()); ++y)
        for (int x = 0; x < surface.GetWidth(); ++x)
            if (surface.GetPixel(x, y) != nBackground)
                return true;
    return false;
}

// Checks every pixel of the surface against a function of its position.
void ExpectPixels(const Surface& surface, const std::function<uint32_t(int, int)>& expected)
{
    for (int y = 0; y < surface.GetHeight(); ++y)
        for (int x = 0; x < surface.GetWidth(); ++x)
            ASSERT_EQ(surface.GetPixel(x, y), expected(x, y)) << "at (" << x << ", " << y << ")";
}

Font Verdana(int nHeight, int nWeight = kFontWeightNormal, uint8_t nCharSet = kDefaultCharSet)
{
    return Font::Create(
        {.strFace = L"Verdana", .nHeight = nHeight, .nWeight = nWeight, .nCharSet = nCharSet});
}

// A white page with black text in a transparent background mode: every non-white pixel is ink.
class TextCanvasTest : public testing::Test
{
protected:
    TextCanvasTest() : m_canvas(320, 100, kWhite)
    {
        m_canvas.SetBkMode(BackgroundMode::Transparent);
        m_canvas.SetTextColor(Rgb(0, 0, 0));
        m_canvas.SelectFont(Verdana(-13));
    }

    const Surface& Page() const { return *m_canvas.GetSurface(); }
    Rect Ink() const { return InkBox(Page(), kWhite); }
    void Clear() { m_canvas.GetSurface()->Fill(kWhite); }

    MemoryCanvas m_canvas;
};

} // namespace

// --- Surface and memory canvas ---

TEST(SurfaceTest, RefusesSizesThatAreNotPositiveOrTooLarge)
{
    const std::pair<int, int> bad[] = {{0, 5}, {5, 0}, {-1, 5}, {5, INT_MIN}, {16385, 1}, {16384, 16384}};
    for (auto [w, h] : bad)
        EXPECT_FALSE(Surface::Create(w, h).has_value()) << w << " x " << h;
    std::optional<Surface> surface = Surface::Create(16384, 1, 0x12345678);
    ASSERT_TRUE(surface.has_value());
    EXPECT_EQ(surface->GetPixel(16383, 0), 0x12345678u);
    EXPECT_EQ(surface->GetPixel(16384, 0), 0u);
}

TEST(SurfaceTest, ImagesConvertBothWaysWithTheSamePixels)
{
    std::optional<Image> image = Image::Create(3, 2, 0x80FF0000);
    ASSERT_TRUE(image.has_value());
    image->SetPixel(2, 1, 0xFF00FF00);
    const Surface surface = Surface::FromImage(*image);
    EXPECT_EQ(surface.GetSize(), (Size{3, 2}));
    EXPECT_EQ(surface.GetPixel(0, 0), 0x80FF0000u);
    EXPECT_EQ(surface.ToImage().GetPixels(), image->GetPixels());
    EXPECT_TRUE(Surface::FromImage(Image()).IsNull());
    EXPECT_TRUE(Surface().ToImage().IsNull());
}

TEST(MemoryCanvasTest, BadSizesLeaveNoSurfaceAndDrawingDoesNothing)
{
    MemoryCanvas canvas(0, 10);
    ASSERT_TRUE(canvas.IsNull());
    EXPECT_EQ(canvas.GetSurface(), nullptr);
    canvas.FillSolidRect({0, 0, 10, 10}, 0xFFFFFF);
    canvas.FrameRect({0, 0, 10, 10}, 0xFFFFFF);
    canvas.DrawLine({0, 0}, {5, 5}, 0xFFFFFF);
    canvas.TextOut(0, 0, L"text");
    Rect rc{0, 0, 100, 100};
    EXPECT_GT(canvas.DrawText(L"text", rc, DT_SINGLELINE), 0) << "measuring needs no surface";
    EXPECT_FALSE(canvas.SetPixel(0, 0, 0));
    EXPECT_EQ(canvas.GetPixel(0, 0), kInvalidColor);
    EXPECT_TRUE(canvas.BitBlt(0, 0, 5, 5, canvas, 0, 0));

    // Copying from a canvas without a surface leaves the destination alone.
    MemoryCanvas target(4, 4, kWhite);
    EXPECT_TRUE(target.BitBlt(0, 0, 4, 4, canvas, 0, 0));
    EXPECT_TRUE(target.TransparentBlt(0, 0, 4, 4, canvas, 0, 0, 4, 4, 0));
    EXPECT_EQ(InkBox(*target.GetSurface(), kWhite), Rect{});

    EXPECT_TRUE(canvas.Resize(6, 4));
    EXPECT_EQ(canvas.GetClipRect(), (Rect{0, 0, 6, 4}));
    EXPECT_FALSE(canvas.Resize(-6, 4));
    EXPECT_EQ(canvas.GetSize(), (Size{6, 4})) << "a refused size keeps the surface";
}

TEST(MemoryCanvasTest, ResizeKeepsTheStateButResetsTheClip)
{
    MemoryCanvas canvas(10, 10);
    canvas.SetTextColor(0x123456);
    canvas.SetOrigin({2, 3});
    canvas.IntersectClipRect({0, 0, 2, 2});
    ASSERT_TRUE(canvas.Resize(30, 20, kWhite));
    EXPECT_EQ(canvas.GetTextColor(), 0x123456u);
    EXPECT_EQ(canvas.GetOrigin(), (Point{2, 3}));
    EXPECT_EQ(canvas.GetClipRect(), (Rect{0, 0, 30, 20}));
    canvas.FillSolidRect({0, 0, 1, 1}, 0);
    EXPECT_EQ(canvas.GetSurface()->GetPixel(2, 3), kBlack);

    // A moved canvas still draws on the surface it owns.
    MemoryCanvas moved = std::move(canvas);
    moved.FillSolidRect({1, 1, 2, 2}, 0x0000FF);
    EXPECT_EQ(moved.GetSurface()->GetPixel(3, 4), 0xFFFF0000u);
}

// --- State ---

TEST(CanvasTest, FillsAreClippedToTheClipAndTheSurface)
{
    struct Case
    {
        const char* pszName;
        Point ptOrigin;
        std::optional<Rect> clip; // device coordinates
        Rect rc;
        Rect expected; // device coordinates
    };
    const Case cases[] = {
        {"inside", {0, 0}, {}, {2, 3, 7, 9}, {2, 3, 7, 9}},
        {"over the left and top edges", {0, 0}, {}, {-5, -5, 4, 3}, {0, 0, 4, 3}},
        {"over the right and bottom edges", {0, 0}, {}, {15, 10, 40, 40}, {15, 10, 20, 16}},
        {"larger than the surface", {0, 0}, {}, {-100, -100, 100, 100}, {0, 0, 20, 16}},
        {"cut by the clip", {0, 0}, Rect{5, 5, 10, 10}, {0, 0, 20, 16}, {5, 5, 10, 10}},
        {"clip beyond the surface", {0, 0}, Rect{-10, -10, 5, 100}, {0, 0, 20, 16}, {0, 0, 5, 16}},
        {"moved by the origin", {4, 2}, {}, {0, 0, 3, 3}, {4, 2, 7, 5}},
        {"origin and clip", {4, 2}, Rect{0, 0, 6, 20}, {0, 0, 10, 10}, {4, 2, 6, 12}},
        {"negative origin", {-3, -3}, {}, {0, 0, 5, 5}, {0, 0, 2, 2}},
        {"inverted", {0, 0}, {}, {7, 7, 3, 9}, {}},
        {"zero width", {0, 0}, {}, {7, 7, 7, 9}, {}},
        {"outside", {0, 0}, {}, {30, 30, 40, 40}, {}},
        {"extreme coordinates", {4, 2}, {}, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {0, 0, 20, 16}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        MemoryCanvas canvas(20, 16);
        canvas.SetOrigin(c.ptOrigin);
        if (c.clip)
            canvas.SetClipRect(*c.clip);
        canvas.FillSolidRect(c.rc, Rgb(0xFF, 0xFF, 0xFF));
        ASSERT_NO_FATAL_FAILURE(ExpectPixels(
            *canvas.GetSurface(), [&](int x, int y) { return c.expected.Contains(x, y) ? kWhite : kBlack; }));
    }
}

TEST(CanvasTest, ClipIsNarrowedInLogicalCoordinatesAndKeptInDeviceOnes)
{
    MemoryCanvas canvas(40, 30);
    canvas.SetOrigin({10, 5});
    canvas.IntersectClipRect({0, 0, 4, 4});
    EXPECT_EQ(canvas.GetClipRect(), (Rect{10, 5, 14, 9}));
    EXPECT_EQ(canvas.GetClipBox(), (Rect{0, 0, 4, 4}));
    EXPECT_TRUE(canvas.SetPixel(3, 3, 0x0000FF));
    EXPECT_FALSE(canvas.SetPixel(4, 0, 0x0000FF));
    EXPECT_FALSE(canvas.SetPixel(-1, 0, 0x0000FF));
    EXPECT_EQ(canvas.GetPixel(3, 3), 0x0000FFu);
    EXPECT_EQ(canvas.GetSurface()->GetPixel(13, 8), 0xFFFF0000u);
    EXPECT_EQ(canvas.GetPixel(4, 0), kInvalidColor);
    EXPECT_EQ(canvas.GetPixel(INT_MAX, INT_MIN), kInvalidColor);

    // Narrowing further never widens, and a clip outside everything draws nothing.
    canvas.IntersectClipRect({2, -10, 100, 100});
    EXPECT_EQ(canvas.GetClipRect(), (Rect{12, 5, 14, 9}));
    canvas.IntersectClipRect({50, 50, 60, 60});
    EXPECT_TRUE(canvas.GetClipRect().IsEmpty());
    canvas.FillSolidRect({INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 0xFFFFFF);
    EXPECT_EQ(InkBox(*canvas.GetSurface(), kBlack), (Rect{13, 8, 14, 9})) << "only the pixel set before";
}

TEST(CanvasTest, RestoringBringsBackTheWholeState)
{
    MemoryCanvas canvas(20, 20);
    const Font font = Verdana(-12);
    canvas.SetOrigin({1, 2});
    canvas.IntersectClipRect({0, 0, 10, 10});
    canvas.SelectFont(font);
    canvas.SetTextColor(0x010203);
    canvas.SetBkColor(0x040506);
    canvas.SetBkMode(BackgroundMode::Transparent);
    {
        Canvas::StateGuard guard(canvas);
        canvas.SetOrigin({7, 7});
        canvas.SetClipRect({0, 0, 3, 3});
        canvas.SelectFont(Verdana(-20));
        canvas.SetTextColor(0xFFFFFF);
        canvas.SetBkColor(0xFFFFFF);
        canvas.SetBkMode(BackgroundMode::Opaque);
        EXPECT_EQ(canvas.SaveState(), 2);
        canvas.SetOrigin({9, 9});
        EXPECT_TRUE(canvas.RestoreState());
        EXPECT_EQ(canvas.GetOrigin(), (Point{7, 7}));
    }
    EXPECT_EQ(canvas.GetOrigin(), (Point{1, 2}));
    EXPECT_EQ(canvas.GetClipRect(), (Rect{1, 2, 11, 12}));
    EXPECT_EQ(canvas.GetFont(), font);
    EXPECT_EQ(canvas.GetTextColor(), 0x010203u);
    EXPECT_EQ(canvas.GetBkColor(), 0x040506u);
    EXPECT_EQ(canvas.GetBkMode(), BackgroundMode::Transparent);
    EXPECT_FALSE(canvas.RestoreState()) << "nothing left to restore";
    EXPECT_EQ(canvas.GetOrigin(), (Point{1, 2}));
}

// --- Shapes ---

TEST(CanvasTest, FramesAndLinesHitExactPixels)
{
    MemoryCanvas canvas(12, 12);
    canvas.FrameRect({2, 2, 7, 6}, 0xFFFFFF);
    ExpectPixels(*canvas.GetSurface(), [](int x, int y) {
        const bool bBorder = (x == 2 || x == 6) && y >= 2 && y <= 5;
        const bool bTopOrBottom = (y == 2 || y == 5) && x >= 2 && x <= 6;
        return bBorder || bTopOrBottom ? kWhite : kBlack;
    });

    canvas.GetSurface()->Fill(kBlack);
    canvas.Rectangle({1, 1, 5, 4}, 0xFFFFFF, 0x0000FF);
    EXPECT_EQ(canvas.GetPixel(1, 1), 0xFFFFFFu);
    EXPECT_EQ(canvas.GetPixel(4, 3), 0xFFFFFFu);
    EXPECT_EQ(canvas.GetPixel(2, 2), 0x0000FFu);
    EXPECT_EQ(canvas.GetPixel(3, 2), 0x0000FFu);
    EXPECT_EQ(canvas.GetPixel(5, 4), 0u);

    struct Line
    {
        Point ptFrom;
        Point ptTo;
        std::vector<Point> arrPixels; // exactly these, the end point excluded
    };
    const Line lines[] = {
        {{2, 1}, {6, 1}, {{2, 1}, {3, 1}, {4, 1}, {5, 1}}},
        {{6, 3}, {2, 3}, {{6, 3}, {5, 3}, {4, 3}, {3, 3}}},
        {{1, 8}, {1, 11}, {{1, 8}, {1, 9}, {1, 10}}},
        {{0, 0}, {4, 4}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {{9, 2}, {9, 2}, {}},
        {{-5, 5}, {3, 5}, {{0, 5}, {1, 5}, {2, 5}}},
        {{INT_MIN, 7}, {INT_MAX, 7}, {}}, // every pixel of row 7 is checked below
    };
    for (const Line& line : lines) {
        canvas.GetSurface()->Fill(kBlack);
        canvas.DrawLine(line.ptFrom, line.ptTo, 0xFFFFFF);
        const bool bWholeRow = line.ptFrom.x == INT_MIN;
        ExpectPixels(*canvas.GetSurface(), [&](int x, int y) {
            if (bWholeRow)
                return y == 7 ? kWhite : kBlack;
            for (Point pt : line.arrPixels)
                if (pt == Point{x, y})
                    return kWhite;
            return kBlack;
        });
    }
}

// --- Copies ---

TEST(CanvasTest, BitBltCopiesThroughBothOriginsClippedOnBothSides)
{
    struct Case
    {
        const char* pszName;
        Point ptDestOrigin;
        Point ptSourceOrigin;
        Rect rcDestClip;
        int x, y, w, h, sx, sy;
    };
    const Rect kAll{0, 0, 20, 16};
    const Case cases[] = {
        {"plain", {0, 0}, {0, 0}, kAll, 2, 3, 6, 5, 10, 4},
        {"destination origin", {5, 4}, {0, 0}, kAll, 0, 0, 6, 5, 0, 0},
        {"source origin", {0, 0}, {7, 3}, kAll, 1, 1, 6, 5, 0, 0},
        {"over the destination's left and top", {0, 0}, {0, 0}, kAll, -3, -2, 8, 8, 5, 5},
        {"over the destination's right and bottom", {0, 0}, {0, 0}, kAll, 15, 12, 10, 10, 0, 0},
        {"over the source's left and top", {0, 0}, {0, 0}, kAll, 4, 4, 8, 8, -3, -5},
        {"over the source's right and bottom", {0, 0}, {2, 2}, kAll, 0, 0, 12, 12, 22, 12},
        {"through the destination clip", {3, 3}, {0, 0}, {4, 4, 9, 8}, 0, 0, 20, 16, 0, 0},
        {"entirely outside the source", {0, 0}, {0, 0}, kAll, 0, 0, 5, 5, 40, 40},
        {"empty", {0, 0}, {0, 0}, kAll, 0, 0, 0, 5, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        MemoryCanvas source(30, 20);
        FillCoded(*source.GetSurface());
        source.SetOrigin(c.ptSourceOrigin);
        MemoryCanvas dest(20, 16);
        dest.SetOrigin(c.ptDestOrigin);
        dest.SetClipRect(c.rcDestClip);
        ASSERT_TRUE(dest.BitBlt(c.x, c.y, c.w, c.h, source, c.sx, c.sy));
        ASSERT_NO_FATAL_FAILURE(ExpectPixels(*dest.GetSurface(), [&](int px, int py) {
            const int lx = px - c.ptDestOrigin.x;
            const int ly = py - c.ptDestOrigin.y;
            if (!c.rcDestClip.Contains(px, py) || lx < c.x || ly < c.y || lx >= c.x + c.w || ly >= c.y + c.h)
                return kBlack;
            const int nSourceX = c.sx + (lx - c.x) + c.ptSourceOrigin.x;
            const int nSourceY = c.sy + (ly - c.y) + c.ptSourceOrigin.y;
            if (nSourceX < 0 || nSourceY < 0 || nSourceX >= 30 || nSourceY >= 20)
                return kBlack;
            return Coded(nSourceX, nSourceY);
        }));
    }
    MemoryCanvas dest(4, 4);
    EXPECT_FALSE(dest.BitBlt(0, 0, -1, 4, *dest.GetSurface(), 0, 0));
    EXPECT_FALSE(dest.BitBlt(0, 0, 4, -1, dest, 0, 0));
}

TEST(CanvasTest, BitBltWithinOneSurfaceReadsEveryPixelBeforeOverwritingIt)
{
    const Point shifts[] = {{0, 3}, {0, -3}, {3, 0}, {-3, 0}, {2, 2}, {-2, -2}, {2, -2}, {-2, 2}};
    for (Point shift : shifts) {
        SCOPED_TRACE(testing::Message() << "shift " << shift.x << ", " << shift.y);
        MemoryCanvas canvas(16, 16);
        FillCoded(*canvas.GetSurface());
        canvas.BitBlt(3 + shift.x, 3 + shift.y, 10, 10, canvas, 3, 3);
        ASSERT_NO_FATAL_FAILURE(ExpectPixels(*canvas.GetSurface(), [&](int x, int y) {
            const int lx = x - shift.x;
            const int ly = y - shift.y;
            if (lx >= 3 && lx < 13 && ly >= 3 && ly < 13)
                return Coded(lx, ly);
            return Coded(x, y);
        }));
    }
}

TEST(CanvasTest, TransparentBltSkipsExactlyTheKeyColour)
{
    for (COLORREF nKey : {Rgb(0xFF, 0x00, 0xFF), COLORREF{0xE600FF}}) {
        SCOPED_TRACE(testing::Message() << "key " << std::hex << nKey);
        const uint32_t nKeyPixel = ColorToPixel(nKey);
        // The key, the key with another alpha, then colours one step off in each channel.
        const uint32_t arrSource[] = {nKeyPixel,
                                      nKeyPixel & 0x00FFFFFF,
                                      nKeyPixel - 0x010000,
                                      nKeyPixel + 0x000100,
                                      nKeyPixel - 0x000001,
                                      nKeyPixel ^ 0x000001,
                                      0xFF102030,
                                      nKeyPixel};
        constexpr int nCount = static_cast<int>(std::size(arrSource));
        std::optional<Surface> source = Surface::Create(nCount, 1);
        ASSERT_TRUE(source.has_value());
        for (int i = 0; i < nCount; ++i)
            source->SetPixel(i, 0, arrSource[i]);
        MemoryCanvas dest(nCount, 1, 0xFF777777);
        ASSERT_TRUE(dest.TransparentBlt(0, 0, nCount, 1, *source, 0, 0, nCount, 1, nKey));
        for (int i = 0; i < nCount; ++i) {
            const bool bKey = (arrSource[i] & 0x00FFFFFF) == (nKeyPixel & 0x00FFFFFF);
            EXPECT_EQ(dest.GetSurface()->GetPixel(i, 0), bKey ? 0xFF777777 : arrSource[i]) << "pixel " << i;
        }
    }
}

TEST(CanvasTest, TransparentBltStretchesByNearestNeighbour)
{
    const COLORREF nKey = Rgb(0xFF, 0x00, 0xFF);
    MemoryCanvas source(8, 8);
    FillCoded(*source.GetSurface());
    source.GetSurface()->SetPixel(1, 1, ColorToPixel(nKey));

    struct Case
    {
        const char* pszName;
        int x, y, w, h, sx, sy, sw, sh;
    };
    const Case cases[] = {
        {"double", 0, 0, 8, 8, 0, 0, 4, 4},
        {"half", 2, 2, 4, 4, 0, 0, 8, 8},
        {"uneven", 1, 0, 10, 7, 1, 2, 4, 5},
        {"cut at the destination's edges", -3, -1, 16, 16, 0, 0, 8, 8},
        {"partly outside the source", 0, 0, 12, 12, 4, 4, 6, 6},
        {"same size", 3, 3, 5, 5, 2, 2, 5, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        MemoryCanvas dest(12, 12);
        ASSERT_TRUE(dest.TransparentBlt(c.x, c.y, c.w, c.h, source, c.sx, c.sy, c.sw, c.sh, nKey));
        ASSERT_NO_FATAL_FAILURE(ExpectPixels(*dest.GetSurface(), [&](int px, int py) {
            if (px < c.x || py < c.y || px >= c.x + c.w || py >= c.y + c.h)
                return kBlack;
            // The source pixel under the centre of the destination pixel.
            const int nSourceX = c.sx + ((2 * (px - c.x) + 1) * c.sw) / (2 * c.w);
            const int nSourceY = c.sy + ((2 * (py - c.y) + 1) * c.sh) / (2 * c.h);
            if (nSourceX >= 8 || nSourceY >= 8 || (nSourceX == 1 && nSourceY == 1))
                return kBlack;
            return Coded(nSourceX, nSourceY);
        }));
    }

    MemoryCanvas dest(4, 4);
    EXPECT_FALSE(dest.TransparentBlt(0, 0, 4, 4, source, 0, 0, -4, 4, nKey));
    EXPECT_FALSE(dest.TransparentBlt(0, 0, 4, -4, source, 0, 0, 4, 4, nKey));
    EXPECT_TRUE(dest.TransparentBlt(0, 0, 4, 4, source, 0, 0, 0, 4, nKey));
    EXPECT_FALSE(dest.TransparentBlt(0, 0, INT_MAX, INT_MAX, source, 0, 0, 8, 8, nKey))
        << "beyond the stretch limit";
    EXPECT_TRUE(dest.TransparentBlt(INT_MAX - 2, INT_MIN, INT_MAX, INT_MAX, source, INT_MIN, INT_MAX, INT_MAX,
                                    INT_MAX, nKey));
    EXPECT_EQ(InkBox(*dest.GetSurface(), kBlack), Rect{});
}

TEST(CanvasTest, DrawImageBlendsByAlpha)
{
    std::optional<Image> image = Image::Create(4, 1);
    ASSERT_TRUE(image.has_value());
    image->SetPixel(0, 0, 0x00FF0000);
    image->SetPixel(1, 0, 0x80FF0000);
    image->SetPixel(2, 0, 0xFFFF0000);
    image->SetPixel(3, 0, 0x40FFFFFF);
    MemoryCanvas canvas(6, 2, 0xFF0000FF);
    canvas.DrawImage(1, 0, *image);
    const Surface& surface = *canvas.GetSurface();
    EXPECT_EQ(surface.GetPixel(0, 0), 0xFF0000FFu);
    EXPECT_EQ(surface.GetPixel(1, 0), 0xFF0000FFu) << "transparent pixels leave the background";
    EXPECT_EQ(surface.GetPixel(2, 0), 0xFF80007Fu) << "half red over blue";
    EXPECT_EQ(surface.GetPixel(3, 0), 0xFFFF0000u);
    EXPECT_EQ(surface.GetPixel(4, 0), 0xFF4040FFu) << "a quarter of white over blue";
    EXPECT_EQ(surface.GetPixel(5, 0), 0xFF0000FFu);
    EXPECT_EQ(surface.GetPixel(2, 1), 0xFF0000FFu);

    // Partly off the canvas on each side.
    canvas.DrawImage(-2, 1, *image);
    canvas.DrawImage(4, -1, *image);
    canvas.DrawImage(INT_MAX, INT_MIN, *image);
    EXPECT_EQ(surface.GetPixel(0, 1), 0xFFFF0000u);
    EXPECT_EQ(surface.GetPixel(1, 1), 0xFF4040FFu);
    EXPECT_EQ(surface.GetPixel(2, 1), 0xFF0000FFu);
}

// --- Text ---

TEST_F(TextCanvasTest, ExtentOfAWordIsPlausible)
{
    m_canvas.SelectFont(Verdana(-18));
    const Size size = m_canvas.GetTextExtent(L"Download");
    EXPECT_GT(size.cx, 50);
    EXPECT_LT(size.cx, 110);
    EXPECT_EQ(size.cy, m_canvas.GetTextMetrics().nHeight);
    EXPECT_EQ(m_canvas.GetTextExtent(L"Down").cx + m_canvas.GetTextExtent(L"load").cx, size.cx)
        << "advances add up";
}

TEST_F(TextCanvasTest, InkStaysInsideTheExtentBox)
{
    const wchar_t* texts[] = {L"Download", L"gjpqy", L"Игры", L"All games", L"W|(Tj)", L"ÀÉÎ"};
    for (int nWeight : {kFontWeightNormal, kFontWeightBold}) {
        for (const wchar_t* pszText : texts) {
            SCOPED_TRACE(testing::Message() << "weight " << nWeight << " text #" << (&pszText - texts));
            Clear();
            m_canvas.SelectFont(Verdana(-16, nWeight, kRussianCharSet));
            const Size size = m_canvas.GetTextExtent(pszText);
            m_canvas.TextOut(20, 30, pszText);
            const Rect ink = Ink();
            ASSERT_FALSE(ink.IsEmpty());
            const Rect box{20, 30, 20 + size.cx, 30 + size.cy};
            EXPECT_GE(ink.left, box.left - 1) << ink;
            EXPECT_GE(ink.top, box.top - 1) << ink;
            EXPECT_LE(ink.right, box.right + 1) << ink;
            EXPECT_LE(ink.bottom, box.bottom + 1) << ink;
        }
    }
    // Descenders reach below the baseline, and are not cut off.
    Clear();
    m_canvas.SelectFont(Verdana(-16));
    m_canvas.TextOut(20, 30, L"gjpqy");
    const int nBaseline = 30 + m_canvas.GetTextMetrics().nAscent;
    EXPECT_GE(Ink().bottom, nBaseline + 3);
}

TEST_F(TextCanvasTest, TextIsBlendedInTheTextColour)
{
    m_canvas.SelectFont(Verdana(-30, kFontWeightBold));
    m_canvas.SetTextColor(Rgb(0xFF, 0, 0));
    m_canvas.TextOut(10, 10, L"Ill");
    bool bFullRed = false;
    int nBlended = 0;
    for (uint32_t nPixel : Page().GetBits()) {
        const uint32_t g = (nPixel >> 8) & 0xFF;
        ASSERT_EQ(nPixel & 0xFFFF0000, 0xFFFF0000) << std::hex << nPixel << ": red over white keeps red";
        ASSERT_EQ(nPixel & 0xFF, g) << std::hex << nPixel << ": green and blue fade together";
        bFullRed = bFullRed || nPixel == 0xFFFF0000;
        nBlended += g > 0 && g < 255 ? 1 : 0;
    }
    EXPECT_TRUE(bFullRed) << "stems are drawn in the exact text colour";
    EXPECT_GT(nBlended, 0) << "edges are antialiased";
}

TEST_F(TextCanvasTest, OpaqueModeFillsTheTextCell)
{
    m_canvas.SetBkMode(BackgroundMode::Opaque);
    m_canvas.SetBkColor(Rgb(0, 0x80, 0));
    const Size size = m_canvas.GetTextExtent(L"Doge");
    m_canvas.TextOut(10, 20, L"Doge");
    EXPECT_EQ(Ink(), (Rect{10, 20, 10 + size.cx, 20 + size.cy}));
    EXPECT_EQ(m_canvas.GetPixel(10, 20), Rgb(0, 0x80, 0));
    EXPECT_EQ(m_canvas.GetPixel(9 + size.cx, 19 + size.cy), Rgb(0, 0x80, 0));

    Clear();
    m_canvas.SetBkMode(BackgroundMode::Transparent);
    m_canvas.TextOut(10, 20, L"Doge");
    EXPECT_EQ(m_canvas.GetPixel(10, 20), Rgb(0xFF, 0xFF, 0xFF));
}

TEST_F(TextCanvasTest, AlignedTextLandsWhereTheFormatSays)
{
    m_canvas.SelectFont(Verdana(-18, kFontWeightBold));
    const Rect box{10, 5, 290, 75};
    Rect rc = box;
    const int nHeight = m_canvas.DrawText(L"Download", rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    const int nCell = m_canvas.GetTextMetrics().nHeight;
    EXPECT_EQ(rc, box) << "drawing does not change the rectangle";
    EXPECT_EQ(nHeight, (box.Height() - nCell) / 2 + nCell) << "the offset to the bottom of the text";
    Rect ink = Ink();
    EXPECT_NEAR((ink.left + ink.right) / 2.0, (box.left + box.right) / 2.0, 2.0) << ink;
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, (box.top + box.bottom) / 2.0, 2.0) << ink;

    Clear();
    rc = box;
    m_canvas.DrawText(L"Download", rc, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
    ink = Ink();
    EXPECT_NEAR(ink.right, box.right, 2) << ink;
    const int nBaseline = box.bottom - m_canvas.GetTextMetrics().nDescent;
    EXPECT_NEAR(ink.bottom, nBaseline, 1) << ink;

    Clear();
    rc = box;
    m_canvas.DrawText(L"Download", rc, DT_LEFT | DT_VCENTER);
    ink = Ink();
    EXPECT_NEAR(ink.left, box.left, 2) << ink;
    EXPECT_LT(ink.bottom, box.top + nCell) << "without DT_SINGLELINE the text stays at the top";
}

TEST_F(TextCanvasTest, WordBreakWrapsWithinTheBoxAndMeasuresAsItDraws)
{
    const std::wstring text = L"A long sentence about games that must wrap into several lines inside the box";
    const Rect box{10, 5, 130, 95};
    Rect calc = box;
    const int nCalcHeight = m_canvas.DrawText(text, calc, DT_WORDBREAK | DT_CALCRECT);
    const int nLine = m_canvas.GetTextMetrics().nHeight;
    EXPECT_EQ(Ink(), Rect{}) << "measuring draws nothing";
    EXPECT_EQ(calc.left, box.left);
    EXPECT_EQ(calc.top, box.top);
    EXPECT_LE(calc.Width(), box.Width());
    EXPECT_GT(calc.Width(), box.Width() / 2);
    EXPECT_EQ(calc.Height(), nCalcHeight);
    EXPECT_EQ(nCalcHeight % nLine, 0);
    EXPECT_GE(nCalcHeight / nLine, 4);

    Rect rc = box;
    rc.bottom = 1000; // room for every line
    const int nHeight = m_canvas.DrawText(text, rc, DT_WORDBREAK);
    EXPECT_EQ(nHeight, nCalcHeight);
    const Rect ink = Ink();
    EXPECT_GE(ink.left, box.left);
    EXPECT_LE(ink.right, box.right);
    EXPECT_LE(ink.bottom, box.top + nHeight + 1);
    for (int nLineTop = box.top; nLineTop < box.top + nHeight; nLineTop += nLine)
        EXPECT_TRUE(HasInkInRows(Page(), nLineTop, nLineTop + nLine, kWhite)) << "line at " << nLineTop;
}

TEST_F(TextCanvasTest, AWordWiderThanTheBoxKeepsItsLineAndIsClipped)
{
    const std::wstring text = L"Supercalifragilistic game";
    const Rect box{10, 10, 60, 60};
    Rect calc = box;
    const int nHeight = m_canvas.DrawText(text, calc, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(nHeight, 2 * m_canvas.GetTextMetrics().nHeight);
    EXPECT_EQ(calc.Width(), m_canvas.GetTextExtent(L"Supercalifragilistic").cx);

    Rect rc = box;
    m_canvas.DrawText(text, rc, DT_WORDBREAK);
    EXPECT_LE(Ink().right, box.right);
    Clear();
    m_canvas.DrawText(text, rc, DT_WORDBREAK | DT_NOCLIP);
    EXPECT_GT(Ink().right, box.right + 20);
}

TEST_F(TextCanvasTest, LinesBreakAtLineBreaksOnly)
{
    struct Case
    {
        const wchar_t* pszText;
        unsigned nFormat;
        int nLines;
    };
    const Case cases[] = {
        {L"one\ntwo\r\nthree", 0, 3},
        {L"one\rtwo", 0, 2},
        {L"a\n\nb", 0, 3},
        {L"trailing\n", 0, 1},
        {L"one\ntwo\r\nthree", DT_SINGLELINE, 1},
        {L"a sentence far wider than the box without breaks", 0, 1},
    };
    const int nLine = m_canvas.GetTextMetrics().nHeight;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        Rect rc{0, 0, 60, 10};
        EXPECT_EQ(m_canvas.DrawText(c.pszText, rc, c.nFormat | DT_CALCRECT), c.nLines * nLine);
    }
    Rect rc{0, 0, 60, 10};
    m_canvas.DrawText(L"one\ntwo\r\nthree", rc, DT_CALCRECT);
    EXPECT_EQ(rc.Width(), m_canvas.GetTextExtent(L"three").cx) << "the widest line";
}

TEST_F(TextCanvasTest, PrefixesUnderlineTheNextCharacterAndDoubleAmpersandsStay)
{
    struct Case
    {
        const wchar_t* pszText;
        unsigned nFormat;
        const wchar_t* pszShown;
    };
    const Case cases[] = {
        {L"&Download", 0, L"Download"}, {L"Save && Exit", 0, L"Save & Exit"},      {L"Tail&", 0, L"Tail"},
        {L"&&&Go", 0, L"&Go"},          {L"&Download", DT_NOPREFIX, L"&Download"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        Rect rc{0, 0, 300, 40};
        m_canvas.DrawText(c.pszText, rc, c.nFormat | DT_SINGLELINE | DT_CALCRECT);
        EXPECT_EQ(rc.Width(), m_canvas.GetTextExtent(c.pszShown).cx);
    }

    // "&Download" draws "Download" with a line under the 'D' only.
    m_canvas.SelectFont(Verdana(-16));
    const int nBaseline = 20 + m_canvas.GetTextMetrics().nAscent;
    Rect rc{20, 20, 300, 60};
    m_canvas.DrawText(L"Download", rc, DT_SINGLELINE);
    EXPECT_FALSE(HasInkInRows(Page(), nBaseline + 1, 60, kWhite)) << "no descenders in Download";
    m_canvas.DrawText(L"Save && Exit", rc, DT_SINGLELINE);
    EXPECT_FALSE(HasInkInRows(Page(), nBaseline + 1, 60, kWhite)) << "an escaped '&' is not a prefix";
    Clear();
    m_canvas.DrawText(L"&Download", rc, DT_SINGLELINE);
    const int nD = m_canvas.GetTextExtent(L"D").cx;
    bool bUnderline = false;
    for (int y = nBaseline + 1; y < 60; ++y) {
        int nInk = 0;
        for (int x = 0; x < 320; ++x) {
            if (Page().GetPixel(x, y) == kWhite)
                continue;
            ++nInk;
            EXPECT_TRUE(x >= 20 && x < 20 + nD) << "underline ink at " << x;
        }
        bUnderline = bUnderline || nInk >= nD - 1;
    }
    EXPECT_TRUE(bUnderline);
}

TEST_F(TextCanvasTest, EndEllipsisShortensLinesThatDoNotFit)
{
    const std::wstring text = L"A game name far too long for its little box";
    const Rect box{10, 10, 110, 40};
    Rect calc = box;
    m_canvas.DrawText(text, calc, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_LE(calc.Width(), box.Width());
    EXPECT_GT(calc.Width(), box.Width() - m_canvas.GetTextMetrics().nMaxCharWidth - 1);

    Rect rc = box;
    m_canvas.DrawText(text, rc, DT_SINGLELINE | DT_END_ELLIPSIS);
    const Rect ink = Ink();
    EXPECT_LE(ink.right, box.left + calc.Width() + 1);
    // The end is dots: ink near the baseline only, none in the upper half of the letters.
    const int nDots = m_canvas.GetTextExtent(L"...").cx;
    const int nBaseline = box.top + m_canvas.GetTextMetrics().nAscent;
    for (int y = box.top; y < nBaseline - 4; ++y)
        for (int x = box.left + calc.Width() - nDots + 1; x < box.left + calc.Width(); ++x)
            EXPECT_EQ(Page().GetPixel(x, y), kWhite) << "at (" << x << ", " << y << ")";

    // Text that fits is left alone.
    calc = box;
    m_canvas.DrawText(L"Short", calc, DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_EQ(calc.Width(), m_canvas.GetTextExtent(L"Short").cx);
}

TEST_F(TextCanvasTest, CyrillicDrawsRealGlyphs)
{
    const Font font = Verdana(-16, kFontWeightNormal, kRussianCharSet);
    m_canvas.SelectFont(font);
    for (wchar_t ch : std::wstring_view(L"Игры"))
        EXPECT_TRUE(font.HasGlyph(ch));
    m_canvas.TextOut(10, 10, L"Игры");
    const Surface drawn = Page();
    EXPECT_FALSE(Ink().IsEmpty());

    // The same number of characters the face lacks draw its missing-glyph boxes, which differ.
    const wchar_t chMissing = 0xE000;
    if (!font.HasGlyph(chMissing)) {
        Clear();
        m_canvas.TextOut(10, 10, std::wstring(4, chMissing));
        EXPECT_FALSE(std::equal(drawn.GetBits().begin(), drawn.GetBits().end(), Page().GetBits().begin()));
    }
}

TEST_F(TextCanvasTest, UnderlinedFontDrawsALineUnderTheWholeText)
{
    auto UnderlineRows = [&](bool bUnderline) {
        Clear();
        m_canvas.SelectFont(Font::Create({.strFace = L"Verdana", .nHeight = -16, .bUnderline = bUnderline}));
        const Size size = m_canvas.GetTextExtent(L"Download");
        m_canvas.TextOut(20, 20, L"Download");
        const int nBaseline = 20 + m_canvas.GetTextMetrics().nAscent;
        int nRows = 0;
        for (int y = nBaseline; y < 20 + size.cy; ++y) {
            int nInk = 0;
            for (int x = 20; x < 20 + size.cx; ++x)
                nInk += Page().GetPixel(x, y) == kWhite ? 0 : 1;
            nRows += nInk == size.cx ? 1 : 0;
        }
        return nRows;
    };
    EXPECT_EQ(UnderlineRows(false), 0);
    EXPECT_GE(UnderlineRows(true), 1);
}

TEST_F(TextCanvasTest, DrawTextFollowsTheOriginAndStaysInItsRectangle)
{
    m_canvas.SetOrigin({50, 10});
    Rect rc{0, 0, 60, 30};
    m_canvas.DrawText(L"Origin moves this text and the box cuts it", rc, 0);
    const Rect ink = Ink();
    EXPECT_GE(ink.left, 50);
    EXPECT_GE(ink.top, 10);
    EXPECT_LE(ink.right, 110);
    EXPECT_LE(ink.bottom, 40);
    EXPECT_GT(ink.right, 100) << "the text runs up to the edge";
}

TEST_F(TextCanvasTest, NullAndEmptyTextDrawNothing)
{
    m_canvas.SetBkMode(BackgroundMode::Opaque);
    m_canvas.SetBkColor(0);
    m_canvas.TextOut(10, 10, nullptr);
    m_canvas.TextOut(10, 10, L"");
    Rect rc{5, 6, 100, 100};
    EXPECT_EQ(m_canvas.DrawText(nullptr, rc, 0), 0);
    EXPECT_EQ(m_canvas.DrawText(L"", rc, DT_SINGLELINE | DT_VCENTER), 0);
    EXPECT_EQ(rc, (Rect{5, 6, 100, 100}));
    EXPECT_EQ(m_canvas.DrawText(nullptr, rc, DT_CALCRECT), 0);
    EXPECT_EQ(rc, (Rect{5, 6, 5, 6}));
    EXPECT_EQ(m_canvas.GetTextExtent(nullptr).cx, 0);
    EXPECT_EQ(Ink(), Rect{});

    // Text in an empty or inverted rectangle is measured but clipped away.
    Rect inverted{100, 50, 20, 10};
    EXPECT_GT(m_canvas.DrawText(L"Text", inverted, 0), 0);
    m_canvas.TextOut(INT_MAX - 5, INT_MIN, L"far away");
    m_canvas.TextOut(INT_MIN, INT_MAX, L"far away");
    EXPECT_EQ(Ink(), Rect{});
}
