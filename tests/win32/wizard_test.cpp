// The wizard in this process: which WM_COMMAND counts, the subsystem page's
// rows going back into their three flags, each wizard's own run, the repair
// final page, and the working view's bar as it is drawn on the screen.
#include <windows.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "app/system_facts.h"
#include "engine/uninstall.h"
#include "engine/reporter.h"
#include "log/items.h"
#include "log/pool.h"
#include "log/reader.h"
#include "ui/page_rows.h"
#include "ui/progress.h"
#include "ui/questions_env.h"
#include "ui/resources/resource.h"
#include "ui/windows_win32.h"
#include "ui/wizard.h"
#include "ui/wizard_parts.h"

namespace
{

std::string ControlText(HWND window, int id)
{
    char text[1024];
    GetDlgItemTextA(window, id, text, sizeof(text));
    return text;
}

std::string Message(int number)
{
    char text[1024];
    GetMessageText(AppInstance, number, text, sizeof(text));
    return text;
}

void Click(HWND window, int id, int code = BN_CLICKED)
{
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)GetDlgItem(window, id));
}

class Wizard : public ::testing::Test
{
  protected:
    WizardRun run = {};

    void SetUp() override
    {
        if (!AppInstance)
            AppInstance = GetModuleHandleA(nullptr);
        // A build without its dialog templates is broken, not a reason to skip.
        ASSERT_TRUE(FindResourceA(AppInstance, MAKEINTRESOURCEA(IDD_WIZARD), (LPCSTR)RT_DIALOG))
            << "dialog template 106 is not linked into this build";
        PoolFreeAll();
        CreateItemLists();
        ResetLogValues();
        ResetSystemFacts();
        WorkStarted = 0;
        ProgressDone = 0;
        lstrcpyA(ProductTitle, "Probe Product");
        // On the screen, so that what is drawn can be read back.
        ScreenWidth = GetSystemMetrics(SM_CXSCREEN);
        ScreenHeight = GetSystemMetrics(SM_CYSCREEN);
    }
    void TearDown() override
    {
        if (WizardWindow)
            DestroyWindow(WizardWindow);
        WizardWindow = nullptr;
        WorkStarted = 0;
        PoolFreeAll();
        CreateItemLists();
    }
    HWND Open()
    {
        HWND window = CreateWizardWindow(nullptr, &run);
        EXPECT_NE(nullptr, window);
        EXPECT_EQ(window, WizardWindow);
        return window;
    }
    template <typename T> T* Add(ItemList* list, const char* text)
    {
        T* record = (T*)PoolAlloc(sizeof(T));
        std::memset(record, 0, sizeof(T));
        record->Selected = 1;
        lstrcpynA((char*)record + offsetof(T, Name), text, NameSize);
        ItemListAppend(list, record);
        return record;
    }
};

TEST_F(Wizard, OnlyAClickCounts)
{
    HWND window = Open();
    ASSERT_EQ(0, run.page);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_BACK)));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(window, IDC_MODE_AUTOMATIC));
    // A notification other than a click is not a press of Next.
    Click(window, IDC_NEXT, BN_SETFOCUS);
    EXPECT_EQ(0, run.page);
    Click(window, IDC_NEXT);
    EXPECT_EQ(PageFinal, run.page);
    EXPECT_EQ(ModeAutomatic, run.mode);
    EXPECT_EQ(Message(IDS_BUTTON_FINISH), ControlText(window, IDC_NEXT));
    EXPECT_EQ(0, run.done);
    Click(window, IDC_NEXT, BN_DOUBLECLICKED);
    EXPECT_EQ(0, run.done);
    Click(window, IDC_NEXT);
    EXPECT_EQ(1, run.done);
}

TEST_F(Wizard, SubsystemPageWritesEachRowBackToItsOwnFlag)
{
    static char subsystem[] = "BDE Probe";
    SubsystemName = subsystem;
    SubsystemSelected = 1;
    ExecuteItem* first = Add<ExecuteItem>(&ExecuteList, "first");
    ExecuteItem* second = Add<ExecuteItem>(&ExecuteList, "second");
    ServiceItem* service = (ServiceItem*)PoolAlloc(sizeof(ServiceItem));
    std::memset(service, 0, sizeof(ServiceItem));
    lstrcpyA(service->Name, "ProbeService");
    service->Selected = 1;
    ItemListAppend(&ServiceList, service);

    HWND window = Open();
    CheckRadioButton(window, IDC_MODE_AUTOMATIC, IDC_MODE_REPAIR, IDC_MODE_CUSTOM);
    Click(window, IDC_NEXT);
    ASSERT_EQ(10, run.page) << "every other page is empty";
    EXPECT_EQ(ModeCustom, run.mode);
    HWND list = GetDlgItem(window, IDC_ITEM_LIST);
    ASSERT_EQ(4, SendMessageA(list, LB_GETCOUNT, 0, 0));
    EXPECT_EQ(4, SendMessageA(list, LB_GETSELCOUNT, 0, 0));
    EXPECT_EQ(Message(IDS_SUBSYSTEMS_HEADING), ControlText(window, IDC_HEADING));
    EXPECT_EQ(Message(IDS_SUBSYSTEMS_TEXT), ControlText(window, IDC_PAGE_TEXT));
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_MODE_AUTOMATIC)));

    SendMessageA(list, LB_SETSEL, FALSE, 0);
    Click(window, IDC_NEXT);
    EXPECT_EQ(PageFinal, run.page);
    EXPECT_EQ(0, SubsystemSelected);
    EXPECT_NE(0, first->Selected);
    EXPECT_NE(0, second->Selected);
    EXPECT_NE(0, service->Selected);

    // Back rebuilds the rows from the flags; select none and Next clear them all.
    Click(window, IDC_BACK);
    ASSERT_EQ(10, run.page);
    EXPECT_EQ(0, SendMessageA(list, LB_GETSEL, 0, 0));
    EXPECT_GT(SendMessageA(list, LB_GETSEL, 3, 0), 0);
    Click(window, IDC_SELECT_NONE);
    EXPECT_EQ(0, SendMessageA(list, LB_GETSELCOUNT, 0, 0));
    Click(window, IDC_SELECT_ALL);
    EXPECT_EQ(4, SendMessageA(list, LB_GETSELCOUNT, 0, 0));
    Click(window, IDC_SELECT_NONE);
    Click(window, IDC_BACK);
    EXPECT_EQ(0, run.page);
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(window, IDC_MODE_CUSTOM)) << "the choice is kept";
    EXPECT_EQ(BST_UNCHECKED, IsDlgButtonChecked(window, IDC_MODE_AUTOMATIC));
    EXPECT_EQ(0, first->Selected + second->Selected + service->Selected + SubsystemSelected);
}

TEST_F(Wizard, EachWizardKeepsItsOwnRun)
{
    HWND first = Open();
    CheckRadioButton(first, IDC_MODE_AUTOMATIC, IDC_MODE_REPAIR, IDC_MODE_CUSTOM);
    Click(first, IDC_NEXT);
    ASSERT_EQ(ModeCustom, run.mode);
    ASSERT_EQ(PageFinal, run.page) << "nothing logged, no selection page";
    DestroyWindow(first);
    WizardWindow = nullptr;

    WizardRun second = {};
    HWND window = CreateWizardWindow(nullptr, &second);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(&second, WizardRunOf(window));
    EXPECT_EQ(BST_CHECKED, IsDlgButtonChecked(window, IDC_MODE_AUTOMATIC))
        << "the first wizard's choice is not the second one's";
    EXPECT_EQ(Message(IDS_BUTTON_NEXT), ControlText(window, IDC_NEXT));
    Click(window, IDC_NEXT);
    Click(window, IDC_NEXT);
    EXPECT_EQ(ModeAutomatic, second.mode);
    EXPECT_EQ(1, second.done);
    EXPECT_EQ(0, run.done) << "Finish went to the second wizard's run only";
    EXPECT_EQ(ModeCustom, run.mode);

    // The engine hears of a Cancel through the run of the wizard that is up.
    EXPECT_FALSE(Reporter->cancelled());
    second.cancelled = 1;
    EXPECT_TRUE(Reporter->cancelled());
    DestroyWindow(window);
    WizardWindow = nullptr;
    EXPECT_FALSE(Reporter->cancelled()) << "no wizard, nothing to cancel with";
}

TEST_F(Wizard, ShortcutRepairOpensOnTheFinalPageWithoutBack)
{
    run.finalPageOnly = 1;
    run.shortcutNumber = 3;
    run.repairSourceKnown = 1;
    run.page = PageFinal;
    run.mode = ModeRepair;
    HWND window = Open();
    EXPECT_EQ(Message(IDS_REPAIR_HEADING), ControlText(window, IDC_HEADING));
    std::string text = ControlText(window, IDC_PAGE_TEXT);
    EXPECT_NE(std::string::npos, text.find("Probe Product")) << text;
    EXPECT_EQ(Message(IDS_REPAIR_INSTRUCTIONS), ControlText(window, IDC_PAGE_TEXT2));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_BACK)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, IDC_NEXT)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_MODE_REPAIR)));
}

TEST_F(Wizard, WorkingViewDrawsTheBarAndItsFrame)
{
    run.automatic = 1;
    run.page = PageFinal;
    run.mode = ModeAutomatic;
    HWND window = Open();
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_NEXT)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_BACK)));
    ProgressTotal = 4;
    BeginWorkView(IDS_WORKING_UNINSTALL, 1);
    EXPECT_EQ(1, WorkStarted);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, IDC_STATUS_TEXT)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_PAGE_TEXT)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, IDC_NEXT)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, IDCANCEL)));

    RECT inner = ProgressBarInner;
    ASSERT_GT(inner.right - inner.left, 20);
    int middle = (inner.top + inner.bottom) / 2;
    const COLORREF fill = RGB(0, 0, 127);
    auto pixel = [&](int x, int y) {
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
        HDC dc = GetDC(window);
        COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(window, dc);
        return c;
    };
    ASSERT_NE(CLR_INVALID, pixel(inner.left + 1, middle));
    EXPECT_NE(fill, pixel(inner.left + 1, middle)) << "nothing done, nothing filled";
    EXPECT_EQ(GetSysColor(COLOR_BTNSHADOW), pixel(inner.left - 1, middle)) << "sunken frame";
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), pixel(inner.right, middle));
    ProgressDone = 2;
    EXPECT_EQ(fill, pixel(inner.left + 1, middle));
    EXPECT_NE(fill, pixel(inner.right - 2, middle));
    // More done than to do (a repair can count past its total): full, no further.
    ProgressDone = 9;
    int x = inner.left + (inner.right - inner.left) * 3 / 4;
    bool filled = false;
    for (int i = 0; i < 4; i++) // one of four pixels is past any 3-pixel gap
        filled = filled || pixel(x + i, middle) == fill;
    EXPECT_TRUE(filled);
    EXPECT_NE(fill, pixel(inner.right + 3, middle));
}

} // namespace
