// The program's resources as the running program sees them: the message
// texts through LoadStringA (code page 936) and LoadStringW, the dialog
// templates as stored and as created, the icons, the banner and the embedded
// restart program, which is also run once in the test prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ui/resources/resource.h"

namespace
{

// The message texts as the program must show them (UTF-8).
static const char* const kMessages[83] = {
    nullptr,
    /*  1 */ u8"安装纪录",
    /*  2 */ u8"卸载",
    /*  3 */ u8"不能够打开文件 INSTALL.LOG。",
    /*  4 */ u8"无效的文件 INSTALL.LOG。",
    /*  5 */ u8"选择要删除的独立文件",
    /*  6 */
    u8"要删除本软件，下列的文件将被从系统中删除。 "
    u8"请点击“全选”按钮删除所有列出的文件或者单个选择要删除的文件。",
    /*  7 */
    u8"欢迎使用“%"
    u8"s”卸载程序。\n\n您可以选择使用自动方式卸载本软件或使用定制方式精确地选择安装程序对系统所作的"
    u8"更改。",
    /*  8 */ u8"选择要移除的系统文件",
    /*  9 */
    u8"下列文件在安装过程中被拷贝到了您的 Windows/System "
    u8"目录中。删除这些文件时请小心，它们或许会被其他程序使用。",
    /* 10 */
    u8"点击“定制”按钮选择在卸载过程中将完成哪些修改。默认将使用“自动”做为卸载方式。而“修复”按钮用来"
    u8"重新安装被修改过的文件或注册表键值（需要原始安装程序）。",
    /* 11 */ u8"选择要删除的目录",
    /* 12 */
    u8"下列这些目录是在安装过程中被创建的。选中的这些目录都将被删除，所有其包含的文件和子目录也将被"
    u8"同时删除。",
    /* 13 */ u8"现在您已准备好从系统中卸载“%s”。",
    /* 14 */ u8"选择要删除的 INI 文件",
    /* 15 */ u8"下列这些 INI 文件是在安装过程中被创建的。请选择你要删除的 INI 文件。",
    /* 16 */ u8"选择卸载方式",
    /* 17 */ u8"选择要编辑的 INI 项目",
    /* 18 */ u8"下列这些 INI 条目在安装过程中被修改过。请选择您要复原的 INI 条目。",
    /* 19 */ u8"执行卸载",
    /* 20 */ u8"选择要删除的注册表键",
    /* 21 */ u8"下列这些注册表键是在安装过程中被创建的。请选择您要删除的键。",
    /* 22 */
    u8"点击“完成”按钮执行卸载操作。点击“上一步”按钮可更改任何卸载选项。点击“取消”按钮将退出卸载程序"
    u8"。",
    /* 23 */ u8"选择要编辑的注册表键",
    /* 24 */ u8"下列这些注册表键在安装过程中被修改过。请选择您要复原的注册表键。",
    /* 25 */ u8"卸载",
    /* 26 */ u8"选择要删除的图标",
    /* 27 */ u8"下列这些图标是在安装过程中被添加到程序管理器中的。请选择您要删除的图标。",
    /* 28 */
    u8"在卸载 BDE 之前必须停止本地的 interbase 服务器。请关闭 interbase 服务器并点击“重试”按钮。",
    /* 29 */ u8"正在删除文件：\r\n",
    /* 30 */ u8"正在删除系统文件：\r\n",
    /* 31 */ u8"正在删除目录：\r\n",
    /* 32 */ u8"正在删除空目录：\r\n",
    /* 33 */ u8"正在删除 INI 文件：\r\n",
    /* 34 */ u8"正在编辑 INI 文件：\r\n",
    /* 35 */ u8"正在删除注册表键：\r\n",
    /* 36 */ u8"正在编辑注册表键：\r\n",
    /* 37 */ u8"正在删除图标：\r\n",
    /* 38 */
    u8"系统显示下列的共享文件已经不再被任何程序使用，可以被删除。\n\n%"
    u8"s\n\n但如果某些程序仍然要使用这个文件并且其已经被删除，那么这些程序将不能正常运行。 ",
    /* 39 */
    u8"保留这个文件对你的系统不会产生任何损害。如果您不清楚该如何做，您应该选择“全都否定”按钮。要删"
    u8"除共享文件吗？",
    /* 40 */ u8"正在反自注册文件：\r\n",
    /* 41 */ u8"下边的子系统是在安装过程中被配置的。请选择您要删除的子系统。",
    /* 42 */ u8"选择要删除的子系统",
    /* 43 */ u8"点击“继续”按钮删除选中的子系统。\n点击“取消”按钮中止卸载。",
    /* 44 */ u8"正在删除子系统：\r\n",
    /* 45 */ u8"正在执行卸载“%s”...\n\n按“取消”按钮可取消卸载过程并退出本程序。",
    /* 46 */ u8"下一步(&N) >",
    /* 47 */ u8"< 上一步(&B)",
    /* 48 */ u8"取消",
    /* 49 */ u8"全选(&A)",
    /* 50 */ u8"不选(&S)",
    /* 51 */ u8"是(&Y)",
    /* 52 */ u8"否(&N)",
    /* 53 */ u8"全都否定(&A)",
    /* 54 */ u8"选择要删除的注册表树",
    /* 55 */
    u8"下列这些注册表树是在安装过程中被添加的。请选择要删除的注册表树，并包含其所有的子键。",
    /* 56 */ u8"正在删除注册表键子树：\r\n",
    /* 57 */ u8"正在执行外部程序：\r\n",
    /* 58 */ u8"正在删除服务：\r\n",
    /* 59 */ u8"您确定要取消卸载操作吗？",
    /* 60 */ u8"自动(&A)",
    /* 61 */ u8"定制(&C)",
    /* 62 */ u8"删除共享组件",
    /* 63 */ u8"完成(&F)",
    /* 64 */ u8"执行反转",
    /* 65 */
    u8"在安装过程中您选择了备份被替换掉的文件。选择反转将通过恢复备份文件以回复您的计算机到上次本软"
    u8"件安装或升级前的状态。",
    /* 66 */
    u8"如果在本软件的安装之后没有安装其他的程序您应当只执行一次反转。本操作仅仅会删除最后一次的安装"
    u8"或升级。您要执行一次反转吗？",
    /* 67 */ u8"本软件是在管理员权限之下安装的。您需要使用管理员帐号登录才能卸载这个软件。",
    /* 68 */ u8"本卸载程序必须重新启动您的计算机以替换正在使用中的文件。请点击“确定”按钮重新启动。",
    /* 69 */ u8"全部都是(&T)",
    /* 70 */ u8"正在初始化 ",
    /* 71 */ u8" 向导...",
    /* 72 */ u8"修复(&R)",
    /* 73 */ u8"现在准备修复“%s”。",
    /* 74 */ u8"执行修复",
    /* 75 */
    u8"点击“完成”按钮开始执行修复操作。点击“上一步”按钮可更改卸载或修复选项。点击“取消”按钮将退出修"
    u8"复操作。",
    /* 76 */ u8"修复较新的文件吗？",
    /* 77 */
    u8"文件“%s”比安装的原文件新。原文件的最后修改日期/时间是：\n\n          "
    u8"%s\n\n当前文件的最后修改日期和时间为：\n\n          %s\n\n要使用旧版本替换当前文件吗？",
    /* 78 */ u8"选择安装程序路径名称",
    /* 79 */ u8"请输入具有以下属性的安装文件的完整路径名称：\r\n\r\n%s\r\n\r\n源路径名称：",
    /* 80 */ u8"确定",
    /* 81 */
    u8"该应用程序已经损坏，应该立即修复。点击按钮“是”修复该应用程序，点击按钮“否”不修复它并运行之，"
    u8"或者点击按钮“取消”不再检查该程序是否受损。你要修复该程序吗？",
    /* 82 */ u8"正在执行修复 %s...\n\n点击“取消”按钮取消修复操作并退出程序。",
};

HINSTANCE Self()
{
    return GetModuleHandleA(NULL);
}

std::wstring Utf8ToWide(const char* text)
{
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, NULL, 0);
    if (n <= 0)
        return L"<invalid UTF-8>";
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, &wide[0], n);
    wide.resize(n - 1);
    return wide;
}

std::string WideToCodePage(const std::wstring& wide, UINT codePage)
{
    int n = WideCharToMultiByte(codePage, 0, wide.c_str(), -1, NULL, 0, NULL, NULL);
    std::string text(n > 0 ? n : 1, '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, wide.c_str(), -1, &text[0], n, NULL, NULL);
    text.resize(n > 0 ? n - 1 : 0);
    return text;
}

// Bytes as hex, so that a difference in a double-byte text is readable.
std::string Hex(const std::string& bytes)
{
    std::string out;
    char cell[4];
    for (unsigned char c : bytes) {
        std::snprintf(cell, sizeof cell, "%02X ", c);
        out += cell;
    }
    return out;
}

std::vector<unsigned char> ResourceBytes(const char* type, int id)
{
    std::vector<unsigned char> bytes;
    HRSRC found = FindResourceA(Self(), MAKEINTRESOURCEA(id), type);
    HGLOBAL loaded = found ? LoadResource(Self(), found) : NULL;
    const unsigned char* data =
        loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : NULL;
    if (data)
        bytes.assign(data, data + SizeofResource(Self(), found));
    return bytes;
}

std::vector<unsigned char> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
}

TEST(StringTable, AnsiTextsAreTheMessagesInCodePage936)
{
    ASSERT_EQ(936u, GetACP()) << "the tests must run with LC_ALL=zh_CN.UTF-8";
    for (int id = IDS_FIRST_MESSAGE; id <= IDS_LAST_MESSAGE; ++id) {
        SCOPED_TRACE("message " + std::to_string(id));
        std::string expected = WideToCodePage(Utf8ToWide(kMessages[id]), 936);
        ASSERT_FALSE(expected.empty());
        char buffer[1024];
        int length = LoadStringA(Self(), id, buffer, sizeof buffer);
        EXPECT_EQ(static_cast<int>(expected.size()), length);
        EXPECT_EQ(expected, std::string(buffer))
            << "expected " << Hex(expected) << "\n     got " << Hex(buffer);
    }
}

TEST(StringTable, WideTextsAreTheMessages)
{
    for (int id = IDS_FIRST_MESSAGE; id <= IDS_LAST_MESSAGE; ++id) {
        SCOPED_TRACE("message " + std::to_string(id));
        std::wstring expected = Utf8ToWide(kMessages[id]);
        // With a zero size LoadStringW hands out the stored text itself, so
        // its length shows stray characters that a terminator would hide.
        const wchar_t* stored = NULL;
        int length = LoadStringW(Self(), id, reinterpret_cast<wchar_t*>(&stored), 0);
        ASSERT_NE(nullptr, stored);
        EXPECT_EQ(expected, std::wstring(stored, length));
    }
    wchar_t buffer[16];
    EXPECT_EQ(0, LoadStringW(Self(), IDS_LAST_MESSAGE + 1, buffer, 16)) << "no message 83";
    EXPECT_EQ(0, LoadStringW(Self(), 0, buffer, 16)) << "no message 0";
}

TEST(StringTable, SpacesAndLineBreaksAreKept)
{
    wchar_t text[1024];
    int n = LoadStringW(Self(), IDS_SHARED_QUESTION, text, 1024);
    ASSERT_GT(n, 2);
    EXPECT_EQ(L' ', text[n - 1]) << "message 38 ends with a space";
    EXPECT_EQ(L'\x3002', text[n - 2]) << "one space only, after the full stop";

    // The start-up window joins 70, the fixed product name and 71.
    char before[256], after[256], joined[600];
    LoadStringA(Self(), IDS_STARTUP_BEFORE, before, sizeof before);
    LoadStringA(Self(), IDS_STARTUP_AFTER, after, sizeof after);
    std::snprintf(joined, sizeof joined, "%s%s%s", before, "Ketra Uninstall", after);
    EXPECT_EQ(
        WideToCodePage(L"\x6B63\x5728\x521D\x59CB\x5316 Ketra Uninstall \x5411\x5BFC...", 936),
        std::string(joined));

    // Progress headings end in CR LF; the page texts use plain LF.
    n = LoadStringW(Self(), IDS_PROGRESS_FILES, text, 1024);
    ASSERT_GT(n, 2);
    EXPECT_EQ(std::wstring(L"\r\n"), std::wstring(text + n - 2));
    LoadStringW(Self(), IDS_WELCOME_TEXT, text, 1024);
    EXPECT_NE(nullptr, std::wcsstr(text, L"\x3002\n\n\x60A8"));
    EXPECT_EQ(nullptr, std::wcschr(text, L'\r'));
    LoadStringW(Self(), IDS_PROMPT_TEXT, text, 1024);
    EXPECT_NE(nullptr, std::wcsstr(text, L"\r\n\r\n%s\r\n\r\n"));
}

// ---- dialog templates ------------------------------------------------------

struct TemplateItem {
    DWORD style;
    short x, y, cx, cy;
    WORD id;
    WORD classAtom; // 0x80 button, 0x81 edit, 0x82 static, 0x83 list box
    std::wstring title;
};

struct DialogTemplate {
    DWORD style;
    short x, y, cx, cy;
    std::wstring caption;
    WORD pointSize;
    std::wstring face;
    std::vector<TemplateItem> items;
};

const WORD* SkipOrdinalOrText(const WORD* p, WORD* atom, std::wstring* text)
{
    if (*p == 0xFFFF) {
        if (atom)
            *atom = p[1];
        return p + 2;
    }
    while (*p) {
        if (text)
            *text += static_cast<wchar_t>(*p);
        ++p;
    }
    return p + 1;
}

const WORD* AlignDword(const WORD* p, const unsigned char* base)
{
    size_t offset = reinterpret_cast<const unsigned char*>(p) - base;
    return reinterpret_cast<const WORD*>(base + ((offset + 3) & ~size_t(3)));
}

// Reads a classic (not extended) dialog template as the resource holds it.
bool ReadTemplate(int id, DialogTemplate* out)
{
    std::vector<unsigned char> raw = ResourceBytes(MAKEINTRESOURCEA(5), id); // RT_DIALOG
    if (raw.size() < 18)
        return false;
    const unsigned char* base = raw.data();
    const WORD* p = reinterpret_cast<const WORD*>(base);
    DWORD style = p[0] | (DWORD(p[1]) << 16);
    if (p[0] == 1 && p[1] == 0xFFFF)
        return false; // an extended template
    out->style = style;
    WORD count = p[4];
    out->x = p[5];
    out->y = p[6];
    out->cx = p[7];
    out->cy = p[8];
    p = SkipOrdinalOrText(p + 9, NULL, NULL); // menu
    p = SkipOrdinalOrText(p, NULL, NULL);     // class
    p = SkipOrdinalOrText(p, NULL, &out->caption);
    if (style & DS_SETFONT) {
        out->pointSize = *p++;
        p = SkipOrdinalOrText(p, NULL, &out->face);
    }
    for (WORD i = 0; i < count; ++i) {
        p = AlignDword(p, base);
        TemplateItem item = {};
        item.style = p[0] | (DWORD(p[1]) << 16);
        item.x = p[4];
        item.y = p[5];
        item.cx = p[6];
        item.cy = p[7];
        item.id = p[8];
        p = SkipOrdinalOrText(p + 9, &item.classAtom, NULL);
        p = SkipOrdinalOrText(p, NULL, &item.title);
        WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const unsigned char*>(p) + extra);
        out->items.push_back(item);
    }
    return reinterpret_cast<const unsigned char*>(p) <= base + raw.size();
}

enum { kButton = 0x80, kEdit = 0x81, kStatic = 0x82, kListBox = 0x83 };

struct ExpectedControl {
    WORD id;
    WORD classAtom;
    short x, y, cx, cy;
    DWORD kind;    // low style bits that make the kind of control (SS_*, BS_*)
    DWORD mustSet; // further style bits that must be set
    bool visible;
};

const char* ClassName(WORD atom)
{
    switch (atom) {
    case kButton:
        return "Button";
    case kEdit:
        return "Edit";
    case kStatic:
        return "Static";
    case kListBox:
        return "ListBox";
    }
    return "?";
}

const DWORD kDialogStyle = 0x90C800C0;

const ExpectedControl kWizard[] = {
    {1011, kStatic, 7, 9, 142, 8, SS_LEFT, 0, true},
    {1010, kStatic, 7, 39, 270, 1, SS_BLACKFRAME, 0, true},
    {1002, kStatic, 7, 43, 270, 33, SS_LEFT, SS_NOPREFIX, true},
    {1006, kStatic, 7, 43, 270, 33, SS_BLACKFRAME, 0, false},
    {1003, kListBox, 7, 76, 270, 107, 0, 0x50B10109, true},
    {1005, kStatic, 7, 78, 270, 33, SS_LEFT, 0, false},
    {1004, kStatic, 7, 93, 270, 46, SS_LEFT, 0, true},
    {1007, kStatic, 7, 124, 270, 33, SS_LEFT, 0, false},
    {1000, kButton, 132, 144, 105, 9, BS_AUTORADIOBUTTON, 0, true},
    {1001, kButton, 132, 156, 106, 9, BS_AUTORADIOBUTTON, 0, true},
    {1009, kButton, 132, 168, 106, 9, BS_AUTORADIOBUTTON, 0, true},
    {3830, kStatic, 7, 170, 270, 14, SS_BLACKRECT, 0, true},
    {3, kButton, 67, 187, 58, 14, BS_PUSHBUTTON, 0, true},
    {4, kButton, 159, 187, 58, 14, BS_PUSHBUTTON, 0, true},
    {65535, kStatic, 7, 207, 69, 8, SS_LEFT, 0, true},
    {1008, kStatic, 77, 210, 200, 1, SS_BLACKFRAME, 0, true},
    {5, kButton, 112, 217, 50, 14, BS_PUSHBUTTON, 0, true},
    {1, kButton, 162, 217, 50, 14, BS_DEFPUSHBUTTON, 0, true},
    {2, kButton, 227, 217, 50, 14, BS_PUSHBUTTON, 0, true},
};

const ExpectedControl kShared[] = {
    {1002, kStatic, 7, 3, 215, 81, SS_LEFT, 0, true},
    {1005, kButton, 5, 90, 50, 14, BS_PUSHBUTTON, 0, true},
    {1006, kButton, 59, 90, 50, 14, BS_PUSHBUTTON, 0, true},
    {1007, kButton, 113, 90, 50, 14, BS_PUSHBUTTON, 0, true},
    {1, kButton, 167, 90, 50, 14, BS_DEFPUSHBUTTON, 0, true},
};

const ExpectedControl kPrompt[] = {
    {65535, kButton, 2, 3, 143, 76, BS_GROUPBOX, 0, true},
    {1002, kStatic, 6, 11, 134, 51, SS_LEFT, 0, true},
    {1010, kEdit, 6, 63, 134, 12, 0, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, true},
    {1, kButton, 148, 7, 45, 14, BS_DEFPUSHBUTTON, 0, true},
    {2, kButton, 148, 25, 45, 14, BS_PUSHBUTTON, 0, true},
};

const ExpectedControl kStartup[] = {
    {1002, kStatic, 7, 7, 145, 8, SS_LEFT, 0, true},
    {3830, kStatic, 7, 19, 145, 10, SS_BLACKFRAME, 0, false},
    {2, kButton, 102, 36, 50, 14, BS_PUSHBUTTON, 0, true},
};

void ExpectTemplate(int id, short x, short y, short cx, short cy, const ExpectedControl* controls,
                    size_t count)
{
    SCOPED_TRACE("dialog " + std::to_string(id));
    DialogTemplate dialog = {};
    ASSERT_TRUE(ReadTemplate(id, &dialog));
    EXPECT_EQ(kDialogStyle, dialog.style);
    EXPECT_EQ(x, dialog.x);
    EXPECT_EQ(y, dialog.y);
    EXPECT_EQ(cx, dialog.cx);
    EXPECT_EQ(cy, dialog.cy);
    EXPECT_EQ(std::wstring(), dialog.caption) << "no title in the template";
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ(std::wstring(L"MS Sans Serif"), dialog.face);
    ASSERT_EQ(count, dialog.items.size());
    for (size_t i = 0; i < count; ++i) {
        const ExpectedControl& want = controls[i];
        const TemplateItem& got = dialog.items[i];
        SCOPED_TRACE("control " + std::to_string(want.id));
        EXPECT_EQ(want.id, got.id);
        EXPECT_EQ(want.classAtom, got.classAtom);
        EXPECT_EQ(want.x, got.x);
        EXPECT_EQ(want.y, got.y);
        EXPECT_EQ(want.cx, got.cx);
        EXPECT_EQ(want.cy, got.cy);
        EXPECT_TRUE(got.style & WS_CHILD);
        EXPECT_EQ(want.visible, (got.style & WS_VISIBLE) != 0);
        if (got.classAtom == kStatic)
            EXPECT_EQ(want.kind, got.style & SS_TYPEMASK);
        if (got.classAtom == kButton)
            EXPECT_EQ(want.kind, got.style & BS_TYPEMASK);
        EXPECT_EQ(want.mustSet, got.style & want.mustSet);
    }
}

TEST(DialogTemplates, LayoutIsAsDesigned)
{
    ExpectTemplate(IDD_WIZARD, 30, 30, 285, 237, kWizard, sizeof kWizard / sizeof kWizard[0]);
    ExpectTemplate(IDD_SHARED, 50, 50, 223, 109, kShared, sizeof kShared / sizeof kShared[0]);
    ExpectTemplate(IDD_PROMPT, 50, 50, 199, 82, kPrompt, sizeof kPrompt / sizeof kPrompt[0]);
    ExpectTemplate(IDD_STARTUP, 0, 0, 158, 55, kStartup, sizeof kStartup / sizeof kStartup[0]);

    DialogTemplate wizard = {};
    ASSERT_TRUE(ReadTemplate(IDD_WIZARD, &wizard));
    for (const TemplateItem& item : wizard.items)
        if (item.id == 65535)
            EXPECT_EQ(Utf8ToWide(u8"Ketra 安装向导"), item.title);
}

INT_PTR CALLBACK QuietDialog(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

struct FoundControl {
    WORD id;
    HWND window;
};

BOOL CALLBACK CollectControl(HWND child, LPARAM list)
{
    FoundControl found = {static_cast<WORD>(GetDlgCtrlID(child) & 0xFFFF), child};
    reinterpret_cast<std::vector<FoundControl>*>(list)->push_back(found);
    return TRUE;
}

void ExpectDialogCreates(int id, const ExpectedControl* controls, size_t count)
{
    SCOPED_TRACE("dialog " + std::to_string(id));
    HWND dialog = CreateDialogParamA(Self(), MAKEINTRESOURCEA(id), NULL, QuietDialog, 0);
    ASSERT_NE(nullptr, dialog) << "error " << GetLastError();
    std::vector<FoundControl> found;
    EnumChildWindows(dialog, CollectControl, reinterpret_cast<LPARAM>(&found));
    EXPECT_EQ(count, found.size());
    for (size_t i = 0; i < count && i < found.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(controls[i].id));
        EXPECT_EQ(controls[i].id, found[i].id) << "controls in template order";
        char name[64] = "";
        GetClassNameA(found[i].window, name, sizeof name);
        EXPECT_EQ(0, lstrcmpiA(ClassName(controls[i].classAtom), name)) << "class " << name;
        // The place in pixels is the designed rectangle in dialog units;
        // the dialog manager converts position and size separately.
        RECT want = {controls[i].x, controls[i].y, controls[i].cx, controls[i].cy};
        MapDialogRect(dialog, &want);
        RECT got;
        GetWindowRect(found[i].window, &got);
        MapWindowPoints(NULL, dialog, reinterpret_cast<POINT*>(&got), 2);
        EXPECT_EQ(want.left, got.left);
        EXPECT_EQ(want.top, got.top);
        EXPECT_EQ(want.right, got.right - got.left) << "width";
        EXPECT_EQ(want.bottom, got.bottom - got.top) << "height";
    }
    DestroyWindow(dialog);
}

TEST(DialogTemplates, DialogsCreateWithTheirControls)
{
    ExpectDialogCreates(IDD_WIZARD, kWizard, sizeof kWizard / sizeof kWizard[0]);
    ExpectDialogCreates(IDD_SHARED, kShared, sizeof kShared / sizeof kShared[0]);
    ExpectDialogCreates(IDD_PROMPT, kPrompt, sizeof kPrompt / sizeof kPrompt[0]);
    ExpectDialogCreates(IDD_STARTUP, kStartup, sizeof kStartup / sizeof kStartup[0]);

    // The wizard's fixed label comes through in the ANSI code page.
    HWND wizard = CreateDialogParamA(Self(), MAKEINTRESOURCEA(IDD_WIZARD), NULL, QuietDialog, 0);
    ASSERT_NE(nullptr, wizard);
    std::vector<FoundControl> found;
    EnumChildWindows(wizard, CollectControl, reinterpret_cast<LPARAM>(&found));
    char label[64] = "";
    for (const FoundControl& c : found)
        if (c.id == 65535)
            GetWindowTextA(c.window, label, sizeof label);
    EXPECT_EQ(WideToCodePage(Utf8ToWide(u8"Ketra 安装向导"), 936), std::string(label));
    DestroyWindow(wizard);
}

// ---- pictures --------------------------------------------------------------

TEST(Pictures, IconsAre32By32With16Colours)
{
    std::vector<int> ids = {IDI_PROGRAM};
    for (int id = IDI_ANIMATION_FIRST; id <= IDI_ANIMATION_LAST; ++id)
        ids.push_back(id);
    EXPECT_EQ(ANIMATION_ICON_COUNT, IDI_ANIMATION_LAST - IDI_ANIMATION_FIRST + 1);
    std::vector<std::vector<unsigned char>> images;
    for (int id : ids) {
        SCOPED_TRACE("icon " + std::to_string(id));
        // The icon directory: one 32 x 32 picture of 16 colours.
        std::vector<unsigned char> group = ResourceBytes(MAKEINTRESOURCEA(14), id); // RT_GROUP_ICON
        ASSERT_EQ(6u + 14u, group.size());
        EXPECT_EQ(1, group[4] | (group[5] << 8));
        EXPECT_EQ(32, group[6]);
        EXPECT_EQ(32, group[7]);
        EXPECT_EQ(16, group[8]);
        EXPECT_EQ(4, group[12] | (group[13] << 8)) << "bits per pixel";
        images.push_back(ResourceBytes(MAKEINTRESOURCEA(3), group[18] | (group[19] << 8)));

        HICON icon = LoadIconA(Self(), MAKEINTRESOURCEA(id));
        ASSERT_NE(nullptr, icon);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP mask = {};
        GetObjectA(info.hbmMask, sizeof mask, &mask);
        EXPECT_EQ(32, mask.bmWidth);
        EXPECT_EQ(info.hbmColor ? 32 : 64, mask.bmHeight);
        if (info.hbmColor)
            DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    // Every animation frame is its own picture, or nothing would move.
    for (size_t a = 1; a < images.size(); ++a)
        for (size_t b = a + 1; b < images.size(); ++b)
            EXPECT_NE(images[a], images[b]) << "icons " << ids[a] << " and " << ids[b];
}

TEST(Pictures, BannerIs500By63With256Colours)
{
    std::vector<unsigned char> raw = ResourceBytes(MAKEINTRESOURCEA(2), IDB_BANNER); // RT_BITMAP
    ASSERT_GE(raw.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    std::memcpy(&header, raw.data(), sizeof header);
    EXPECT_EQ(BANNER_WIDTH, header.biWidth);
    EXPECT_EQ(BANNER_HEIGHT, header.biHeight);
    EXPECT_EQ(8, header.biBitCount);
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), header.biCompression);

    HBITMAP banner = LoadBitmapA(Self(), MAKEINTRESOURCEA(IDB_BANNER));
    ASSERT_NE(nullptr, banner);
    BITMAP info = {};
    GetObjectA(banner, sizeof info, &info);
    EXPECT_EQ(BANNER_WIDTH, info.bmWidth);
    EXPECT_EQ(BANNER_HEIGHT, info.bmHeight);
    DeleteObject(banner);
}

// ---- the restart program -----------------------------------------------------

TEST(RestartProgram, EmbeddedIsAWindowsProgramForThisMachine)
{
    std::vector<unsigned char> program =
        ResourceBytes(MAKEINTRESOURCEA(RT_EMBEDDED_PROGRAM), IDR_RESTART_NT);
    ASSERT_GE(program.size(), 512u);
    EXPECT_LE(program.size(), 16384u) << "the restart program is meant to stay tiny";
    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, program.data(), sizeof dos);
    ASSERT_EQ(IMAGE_DOS_SIGNATURE, dos.e_magic);
    ASSERT_LT(static_cast<size_t>(dos.e_lfanew) + sizeof(IMAGE_NT_HEADERS), program.size());
    IMAGE_NT_HEADERS nt;
    std::memcpy(&nt, program.data() + dos.e_lfanew, sizeof nt);
    ASSERT_EQ(static_cast<DWORD>(IMAGE_NT_SIGNATURE), nt.Signature);
#ifdef _WIN64
    EXPECT_EQ(IMAGE_FILE_MACHINE_AMD64, nt.FileHeader.Machine);
#else
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, nt.FileHeader.Machine);
#endif
    EXPECT_TRUE(nt.FileHeader.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE);
    EXPECT_FALSE(nt.FileHeader.Characteristics & IMAGE_FILE_DLL);
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, nt.OptionalHeader.Subsystem) << "no console window";

    // The very file that the build made, not a stale copy.
    const char* build = std::getenv("KETRA_BUILD");
    if (build) {
        std::string path = std::string(build) + "/restart/REBOOTNT.EXE";
        EXPECT_EQ(FileBytes(path), program) << path;
    }
    EXPECT_EQ(nullptr, FindResourceA(Self(), MAKEINTRESOURCEA(IDR_RESTART_DOS),
                                     MAKEINTRESOURCEA(RT_EMBEDDED_PROGRAM)))
        << "the MS-DOS variant is not shipped";
}

// Under Wine a restart asked for with ExitWindowsEx carries out the pending
// file operations at once and the session goes on; so the restart program
// can run for real in the test prefix: it must remove its own file.
TEST(RestartProgram, RemovesItselfThroughTheRestart)
{
    std::vector<unsigned char> program =
        ResourceBytes(MAKEINTRESOURCEA(RT_EMBEDDED_PROGRAM), IDR_RESTART_NT);
    ASSERT_FALSE(program.empty());
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string dir = std::string(folder) + "restart_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), NULL);
    std::string path = dir + "\\_MSRSTRT.EXE";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, program.data(), static_cast<DWORD>(program.size()), &written, NULL);
    CloseHandle(file);
    ASSERT_EQ(program.size(), written);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string command = "\"" + path + "\"";
    ASSERT_TRUE(CreateProcessA(path.c_str(), &command[0], NULL, NULL, FALSE, 0, NULL, dir.c_str(),
                               &startup, &process))
        << "error " << GetLastError();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 120000));
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(0u, code);
    // The restart runs beside the program (wineboot carries out the pending
    // operations after it has ended): give it time.
    for (int waited = 0; waited < 60000; waited += 100) {
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
            break;
        Sleep(100);
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()))
        << "expected " << path << " removed by the restart, but it is still there";
    DeleteFileA(path.c_str());
    RemoveDirectoryA(dir.c_str());
}

} // namespace
