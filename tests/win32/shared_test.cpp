// Shared-file counters under SharedDLLs and the database engine's UseCount,
// on the real registry, with the question answered from a helper thread.
#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "app/system_facts.h"
#include "engine/uninstall.h"
#include "engine/shared.h"
#include "tests/win32/test_support.h"
#include "ui/progress.h"
#include "ui/questions.h"
#include "ui/questions_env.h"
#include "ui/resources/resource.h"
#include "ui/windows_win32.h"

static const char SharedDlls[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class SharedCounter : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ResetSystemFacts();
        NewShell = 1;
        YesToAllShared = 0;
        NoToAllShared = 0;
        WorkStarted = 0;
        WizardWindow = nullptr;
        folder = ScratchFolder();
        path = folder + "\\SHARED.DLL";
        WriteFileBytes(path, "shared");
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, SharedDlls, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
    }
    // A user's automatic uninstall unless a case says otherwise.
    UninstallRequest request = {ModeAutomatic, 0, 0};
    void TearDown() override
    {
        RegDeleteValueA(key, path.c_str());
        RegCloseKey(key);
    }
    void Set(DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key, path.c_str(), 0, type, (const BYTE*)data, size));
    }
    void SetDword(DWORD value) { Set(REG_DWORD, &value, 4); }
    void SetText(const char* text) { Set(REG_SZ, text, (DWORD)lstrlenA(text) + 1); }
    // Type and data of the counter; type 0 when it is gone.
    DWORD Get(std::string* data)
    {
        BYTE buffer[1024];
        DWORD size = sizeof(buffer);
        DWORD type = 0;
        if (RegQueryValueExA(key, path.c_str(), nullptr, &type, buffer, &size) != ERROR_SUCCESS)
            return 0;
        data->assign((const char*)buffer, size);
        return type;
    }
    DWORD GetDword()
    {
        std::string data;
        EXPECT_EQ((DWORD)REG_DWORD, Get(&data));
        EXPECT_EQ(4u, data.size());
        DWORD v = 0;
        memcpy(&v, data.data(), data.size() < 4 ? data.size() : 4);
        return v;
    }
    bool CounterGone()
    {
        std::string data;
        return Get(&data) == 0;
    }
    static bool HaveQuestionTemplate()
    {
        return FindResourceA(AppInstance, MAKEINTRESOURCEA(IDD_SHARED), (LPCSTR)RT_DIALOG) !=
               nullptr;
    }
    std::string folder, path;
    HKEY key = nullptr;
};

TEST_F(SharedCounter, AboveZeroIsLoweredByTheCountedCopiesAndTheFileKept)
{
    SetDword(3);
    EXPECT_EQ(SharedKeep, ReleaseSharedFile(path.c_str(), 1, request));
    EXPECT_EQ(2u, GetDword());
    EXPECT_TRUE(FileExists(path));
    // Text is written back as a number.
    SetText("2");
    EXPECT_EQ(SharedKeep, ReleaseSharedFile(path.c_str(), 1, request));
    EXPECT_EQ(1u, GetDword());
    // A 4-byte binary counter is accepted too.
    BYTE binary[4] = {5, 0, 0, 0};
    Set(REG_BINARY, binary, 4);
    EXPECT_EQ(SharedKeep, ReleaseSharedFile(path.c_str(), 2, request));
    EXPECT_EQ(3u, GetDword());
}

TEST_F(SharedCounter, RollBackLowersByExactlyOne)
{
    request.rollback = 1;
    SetDword(5);
    EXPECT_EQ(SharedKeep, ReleaseSharedFile(path.c_str(), 3, request));
    EXPECT_EQ(4u, GetDword());
}

TEST_F(SharedCounter, UnusableCountersAreNoCounterAndStayAsTheyWere)
{
    std::string data;
    // No value at all.
    EXPECT_EQ(SharedNoCounter, ReleaseSharedFile(path.c_str(), 1, request));
    // Another type, a binary of another size, a negative or zero count, a
    // text longer than the read buffer.
    const char multi[] = "3\0\0";
    Set(REG_MULTI_SZ, multi, sizeof(multi));
    EXPECT_EQ(SharedNoCounter, ReleaseSharedFile(path.c_str(), 1, request));
    EXPECT_EQ((DWORD)REG_MULTI_SZ, Get(&data));
    BYTE three[3] = {9, 0, 0};
    Set(REG_BINARY, three, 3);
    EXPECT_EQ(SharedNoCounter, ReleaseSharedFile(path.c_str(), 1, request));
    EXPECT_EQ((DWORD)REG_BINARY, Get(&data));
    SetDword(0xFFFFFFFF);
    EXPECT_EQ(SharedNoCounter, ReleaseSharedFile(path.c_str(), 1, request));
    EXPECT_EQ(0xFFFFFFFFu, GetDword());
    SetText("-3");
    EXPECT_EQ(SharedNoCounter, ReleaseSharedFile(path.c_str(), 1, request));
    SetText("none");
    EXPECT_EQ(SharedNoCounter, ReleaseSharedFile(path.c_str(), 1, request));
    std::string longText = "7" + std::string(400, ' ');
    SetText(longText.c_str());
    EXPECT_EQ(SharedNoCounter, ReleaseSharedFile(path.c_str(), 1, request));
    EXPECT_EQ((DWORD)REG_SZ, Get(&data));
    // Without the new shell nothing is looked at.
    NewShell = 0;
    SetDword(1);
    EXPECT_EQ(SharedNoCounter, ReleaseSharedFile(path.c_str(), 1, request));
    EXPECT_EQ(1u, GetDword());
}

TEST_F(SharedCounter, SilentRunKeepsTheFileAndRemovesTheCounterWithoutAsking)
{
    request.silent = 1;
    SetDword(3);
    EXPECT_EQ(SharedKeep, ReleaseSharedFile(path.c_str(), 5, request));
    EXPECT_TRUE(CounterGone());
    EXPECT_TRUE(FileExists(path));
    EXPECT_EQ(0, NoToAllShared);
}

TEST_F(SharedCounter, RememberedAnswersAnswerWithoutAsking)
{
    NoToAllShared = 1;
    SetDword(1);
    EXPECT_EQ(SharedKeep, ReleaseSharedFile(path.c_str(), 1, request));
    EXPECT_TRUE(CounterGone());
    NoToAllShared = 0;
    YesToAllShared = 1;
    SetDword(2);
    EXPECT_EQ(SharedRemove, ReleaseSharedFile(path.c_str(), 2, request));
    EXPECT_TRUE(CounterGone());
}

struct Answer {
    const char* name;
    int button; // 0: a key instead
    WPARAM key;
    int32_t expected;
    int32_t yesToAll;
    int32_t noToAll;
};

TEST_F(SharedCounter, EveryAnswerOfTheQuestion)
{
    ASSERT_TRUE(HaveQuestionTemplate()) << "dialog template 104 is not linked into this build";
    const Answer answers[] = {
        {"Yes", QuestionYes, 0, SharedRemove, 0, 0},
        {"No", QuestionNo, 0, SharedKeep, 0, 0},
        {"Yes to all", QuestionYesToAll, 0, SharedRemove, 1, 0},
        {"No to all", QuestionNoToAll, 0, SharedKeep, 0, 1},
        {"Enter", 0, VK_RETURN, SharedKeep, 0, 1},
        {"Escape", 0, VK_ESCAPE, SharedKeep, 0, 0},
    };
    for (const Answer& a : answers) {
        SCOPED_TRACE(a.name);
        YesToAllShared = 0;
        NoToAllShared = 0;
        SetDword(2);
        std::string question;
        int32_t result;
        {
            WindowAnswerer answerer("#32770", [&](HWND dialog) {
                char text[1024];
                GetDlgItemTextA(dialog, IDC_SHARED_TEXT, text, sizeof(text));
                question = text;
                if (a.button)
                    ClickButton(dialog, a.button);
                else
                    PressKey(dialog, a.key);
            });
            result = ReleaseSharedFile(path.c_str(), 2, request);
            EXPECT_TRUE(answerer.found());
            char caption[256];
            GetMessageText(AppInstance, IDS_SHARED_CAPTION, caption, sizeof(caption));
            EXPECT_EQ(std::string(caption), answerer.title());
        }
        EXPECT_EQ(a.expected, result);
        EXPECT_EQ(a.yesToAll, YesToAllShared);
        EXPECT_EQ(a.noToAll, NoToAllShared);
        EXPECT_TRUE(CounterGone());
        EXPECT_NE(std::string::npos, question.find(path)) << "question: " << question;
    }
}

static volatile int AnimationTicks;
static LRESULT CALLBACK CountTicks(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER && wParam == AnimationTimerId)
        AnimationTicks++;
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(SharedCounter, AnimationPausesWhileAskingAndTheQuestionHasTheTitleItIsGiven)
{
    ASSERT_TRUE(HaveQuestionTemplate()) << "dialog template 104 is not linked into this build";
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = CountTicks;
    wc.hInstance = AppInstance;
    wc.lpszClassName = "KetraTickCounter";
    RegisterClassA(&wc);
    WizardWindow = CreateWindowA("KetraTickCounter", "wizard", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                 nullptr, AppInstance, nullptr);
    ASSERT_TRUE(WizardWindow);
    WorkStarted = 1;
    SetTimer(WizardWindow, AnimationTimerId, 150, nullptr);
    int ticksWhileAsked = -1;
    int32_t result;
    {
        WindowAnswerer answerer("#32770", [&](HWND dialog) {
            AnimationTicks = 0;
            Sleep(800);
            ticksWhileAsked = AnimationTicks;
            ClickButton(dialog, QuestionNo);
        });
        // The repair's question, under its own title.
        result = AskSharedQuestion("Replace the newer file?", IDS_NEWER_FILE_CAPTION);
        EXPECT_TRUE(answerer.found());
        char caption[256];
        GetMessageText(AppInstance, IDS_NEWER_FILE_CAPTION, caption, sizeof(caption));
        EXPECT_EQ(std::string(caption), answerer.title());
    }
    EXPECT_EQ(0, result);
    EXPECT_EQ(0, ticksWhileAsked) << "the animation timer ran while the question was open";
    AnimationTicks = 0;
    PumpMessages(600);
    EXPECT_GT(AnimationTicks, 0) << "the animation timer was not started again";
    DestroyWindow(WizardWindow);
    WizardWindow = nullptr;
}

TEST_F(SharedCounter, ThePhaseReadsTheNamesOnceAndStillFindsEveryCounter)
{
    SetDword(3);
    // The counter spelt in other letters of the same name, as the log may.
    std::string other = path;
    for (char& c : other)
        c = (char)(c >= 'a' && c <= 'z' ? c - 32 : (c >= 'A' && c <= 'Z' ? c + 32 : c));
    SharedCounters counters = OpenSharedCounters(1000000);
    ASSERT_NE(0u, counters.key);
    EXPECT_EQ(1, counters.known) << "a key of fewer values than files is read once";
    EXPECT_EQ(SharedKeep, ReleaseSharedFileIn(counters, other.c_str(), 1, request));
    EXPECT_EQ(2u, GetDword());
    std::string none = folder + "\\NOCOUNTER.DLL";
    EXPECT_EQ(SharedNoCounter, ReleaseSharedFileIn(counters, none.c_str(), 1, request));
    CloseSharedCounters(&counters);
    EXPECT_EQ(0u, counters.key);

    // Too few files for the names to be worth reading: each is looked up.
    counters = OpenSharedCounters(1);
    EXPECT_EQ(0, counters.known);
    EXPECT_EQ(SharedKeep, ReleaseSharedFileIn(counters, path.c_str(), 1, request));
    EXPECT_EQ(1u, GetDword());
    CloseSharedCounters(&counters);
}
