#include "resources/DialogTemplates.h"

#include "platform/text/Text.h"
#include "platform/window/Dialog.h"
#include "platform/window/StockControls.h"
#include "support/HeadlessWindowTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>

using namespace resources;

namespace {

const platform::DialogControlTemplate* FindControl(const platform::DialogTemplate& dlg, uint32_t nId)
{
    for (const platform::DialogControlTemplate& control : dlg.arrControls)
        if (control.nId == nId)
            return &control;
    return nullptr;
}

// The style of a template's control; 0 when the template or the control is missing.
uint32_t StyleOf(uint32_t nTemplate, uint32_t nId)
{
    const platform::DialogTemplate* pDlg = FindDialogTemplate(nTemplate);
    const platform::DialogControlTemplate* pControl = pDlg ? FindControl(*pDlg, nId) : nullptr;
    return pControl ? pControl->nStyle : 0;
}

TEST(DialogTemplatesTest, EveryTemplateHasItsSizeFontAndKind)
{
    struct Expected
    {
        uint32_t nId;
        int cx, cy;
        const wchar_t* pszFont;
        uint32_t nKind; // WS_POPUP or WS_CHILD
    };
    const Expected expected[] = {
        {102, 499, 338, L"Microsoft Sans Serif", platform::WS_POPUP},
        {129, 499, 210, L"MS Shell Dlg", platform::WS_CHILD},
        {130, 499, 210, L"MS Shell Dlg", platform::WS_CHILD},
        {184, 213, 141, L"MS Shell Dlg", platform::WS_POPUP},
        {204, 213, 141, L"MS Shell Dlg", platform::WS_POPUP},
        {205, 261, 161, L"MS Shell Dlg", platform::WS_POPUP},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE("template " + std::to_string(e.nId));
        const platform::DialogTemplate* pDlg = FindDialogTemplate(e.nId);
        ASSERT_NE(pDlg, nullptr);
        EXPECT_EQ(pDlg->nId, e.nId);
        EXPECT_EQ(pDlg->cx, e.cx);
        EXPECT_EQ(pDlg->cy, e.cy);
        EXPECT_EQ(pDlg->strFont, e.pszFont);
        EXPECT_EQ(pDlg->nPointSize, 8);
        EXPECT_TRUE(pDlg->nStyle & e.nKind);
        EXPECT_TRUE(pDlg->nStyle & platform::DS_SETFONT);
    }
    EXPECT_EQ(FindDialogTemplate(103), nullptr);
    EXPECT_EQ(FindDialogTemplate(0), nullptr);
}

TEST(DialogTemplatesTest, OnlyTheMainWindowAndTheErrorReportAreVisibleOrCaptioned)
{
    EXPECT_TRUE(FindDialogTemplate(102)->nStyle & platform::WS_VISIBLE);
    for (uint32_t nId : {129u, 130u}) // the pages start hidden
        EXPECT_FALSE(FindDialogTemplate(nId)->nStyle & platform::WS_VISIBLE) << nId;
    for (uint32_t nId : {102u, 129u, 130u, 184u, 204u})
        EXPECT_FALSE(FindDialogTemplate(nId)->nStyle & WS_CAPTION) << nId;
    const platform::DialogTemplate& report = *FindDialogTemplate(205);
    EXPECT_EQ(report.nStyle & (WS_CAPTION | WS_SYSMENU | DS_MODALFRAME),
              WS_CAPTION | WS_SYSMENU | DS_MODALFRAME);
    EXPECT_EQ(report.strCaption, L"Application error");
}

TEST(DialogTemplatesTest, ControlsStandWhereThePagesAndDialogsPutThem)
{
    struct Expected
    {
        uint32_t nTemplate, nId;
        const wchar_t* pszClass;
        int x, y, cx, cy;
    };
    const Expected expected[] = {
        {129, 1006, L"BUTTON", 356, 43, 132, 123},
        {129, 1007, L"BUTTON", 125, 87, 103, 27},
        {130, 1014, L"SysListView32", 14, 19, 471, 187},
        {184, 1, L"BUTTON", 58, 106, 40, 20},
        {184, 2, L"BUTTON", 117, 106, 40, 20},
        {184, 1025, L"BUTTON", 190, 7, 14, 13},
        {204, 2, L"BUTTON", 85, 111, 40, 20},
        {204, 1025, L"BUTTON", 190, 7, 14, 13},
        {205, 2, L"BUTTON", 204, 140, 50, 14},
        {205, 1037, L"EDIT", 7, 59, 247, 14},
        {205, 1038, L"EDIT", 7, 89, 247, 47},
        {205, 1039, L"STATIC", 7, 146, 128, 8},
        {205, 3, L"BUTTON", 152, 140, 50, 14},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE("template " + std::to_string(e.nTemplate) + " control " + std::to_string(e.nId));
        const platform::DialogControlTemplate* pControl =
            FindControl(*FindDialogTemplate(e.nTemplate), e.nId);
        ASSERT_NE(pControl, nullptr);
        EXPECT_EQ(pControl->strClass, e.pszClass);
        EXPECT_EQ(pControl->x, e.x);
        EXPECT_EQ(pControl->y, e.y);
        EXPECT_EQ(pControl->cx, e.cx);
        EXPECT_EQ(pControl->cy, e.cy);
        EXPECT_TRUE(pControl->nStyle & platform::WS_VISIBLE);
    }
    EXPECT_EQ(FindDialogTemplate(129)->arrControls.size(), 2u);
    EXPECT_EQ(FindDialogTemplate(130)->arrControls.size(), 1u);
    EXPECT_EQ(FindDialogTemplate(184)->arrControls.size(), 3u);
    EXPECT_EQ(FindDialogTemplate(204)->arrControls.size(), 2u);
    const uint32_t nList = StyleOf(130, 1014);
    EXPECT_EQ(nList & (LVS_NOCOLUMNHEADER | LVS_NOSCROLL | LVS_ALIGNLEFT | platform::WS_TABSTOP),
              LVS_NOCOLUMNHEADER | LVS_NOSCROLL | LVS_ALIGNLEFT | platform::WS_TABSTOP);
    EXPECT_TRUE(StyleOf(184, 1) & platform::BS_DEFPUSHBUTTON);
    EXPECT_TRUE(StyleOf(205, 3) & platform::BS_DEFPUSHBUTTON);
}

TEST(DialogTemplatesTest, ErrorReportCarriesItsTextsAndIcon)
{
    const platform::DialogTemplate& report = *FindDialogTemplate(205);
    ASSERT_EQ(report.arrControls.size(), 10u);
    struct Expected
    {
        const wchar_t* pszText;
        int x, y, cx, cy;
    };
    const Expected texts[] = {
        {L"An error occured while running Brevanto Games Launcher.", 40, 15, 199, 8},
        {L"Would you like a bug report to be composed and sent to the developer?", 21, 32, 232, 8},
        {L"Your email address (optional) - for us to get back to you:", 7, 49, 232, 8},
        {L"Problem description (what you were doing when it happened):", 8, 79, 232, 8},
        {L"Don't send", 204, 140, 50, 14},
        {L"Send", 152, 140, 50, 14},
        {L"System report attached.", 7, 146, 128, 8},
    };
    for (const Expected& e : texts) {
        auto it = std::find_if(report.arrControls.begin(), report.arrControls.end(),
                               [&](const auto& control) { return control.strText == e.pszText; });
        ASSERT_NE(it, report.arrControls.end()) << platform::ToUtf8(e.pszText);
        EXPECT_EQ((std::array{it->x, it->y, it->cx, it->cy}), (std::array{e.x, e.y, e.cx, e.cy}));
    }
    auto icon = std::find_if(report.arrControls.begin(), report.arrControls.end(),
                             [](const auto& control) { return (control.nStyle & 0xF) == platform::SS_ICON; });
    ASSERT_NE(icon, report.arrControls.end());
    EXPECT_EQ((std::array{icon->x, icon->y, icon->cx, icon->cy}), (std::array{7, 7, 20, 20}));
    for (uint32_t nId : {1037u, 1038u})
        EXPECT_EQ(StyleOf(205, nId) & (WS_BORDER | ES_AUTOHSCROLL | platform::WS_TABSTOP),
                  WS_BORDER | ES_AUTOHSCROLL | platform::WS_TABSTOP);
}

TEST(DialogTemplatesTest, MainWindowControlsConvertToTheirPixelRectangles)
{
    struct Expected
    {
        uint32_t nId;
        platform::Rect rc;
    };
    const Expected expected[] = {
        {1024, {4, 4, 165, 65}},     {1004, {385, 31, 550, 68}},   {1005, {550, 31, 715, 68}},
        {1026, {635, 0, 680, 25}},   {1025, {680, 0, 725, 25}},    {1015, {550, 450, 705, 493}},
        {1027, {10, 526, 210, 546}}, {1029, {630, 526, 750, 546}},
    };
    const platform::DialogTemplate& main = *FindDialogTemplate(102);
    ASSERT_EQ(main.arrControls.size(), std::size(expected));
    for (const Expected& e : expected) {
        SCOPED_TRACE("control " + std::to_string(e.nId));
        const platform::DialogControlTemplate* pControl = FindControl(main, e.nId);
        ASSERT_NE(pControl, nullptr);
        platform::Rect rc =
            platform::DialogUnitsToPixels(pControl->x, pControl->y, pControl->cx, pControl->cy);
        // Dialog units are coarser than pixels: the window moves every control to its exact
        // place when it initialises.
        EXPECT_NEAR(rc.left, e.rc.left, 1);
        EXPECT_NEAR(rc.top, e.rc.top, 1);
        EXPECT_NEAR(rc.Width(), e.rc.Width(), 2);
        EXPECT_NEAR(rc.Height(), e.rc.Height(), 2);
    }
}

class DialogTemplatesWindowTest : public testing_support::HeadlessWindowTest
{
};

// The platform builds each template's controls; the launcher's own classes take the place of
// the list view and the skinned buttons later.
TEST_F(DialogTemplatesWindowTest, PlatformBuildsEveryControlOfThePages)
{
    platform::Window parent;
    ASSERT_TRUE(parent.Create(nullptr, platform::Rect::FromSize(0, 0, 750, 604), platform::WS_POPUP, 0));
    for (uint32_t nId : {IDD_PAGE_ONE, IDD_PAGE_TWO}) {
        const platform::DialogTemplate& dlg = *FindDialogTemplate(nId);
        platform::Dialog page(dlg, &parent);
        ASSERT_TRUE(page.CreateModeless(&parent)) << nId;
        EXPECT_FALSE(page.IsWindowVisible());
        for (const platform::DialogControlTemplate& control : dlg.arrControls)
            EXPECT_NE(page.GetDlgItem(control.nId), nullptr) << control.nId;
    }
    parent.DestroyWindow();
}

} // namespace
