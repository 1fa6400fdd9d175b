#include "ui/questions.h"

#include <windows.h>

#include "ui/progress.h"
#include "ui/question_dialogs.h"
#include "ui/questions_env.h"
#include "ui/resources/resource.h"
#include "ui/text_format.h"
#include "ui/windows_win32.h"

int32_t YesToAllShared;
int32_t NoToAllShared;

enum { AnimationPeriodMs = 150, MessageBufferSize = 256 };

// What each question dialog is given; its procedure receives it with
// WM_INITDIALOG and the prompt keeps it in its window's data.
struct SharedQuestion {
    const char* text;
    int32_t captionMessage;
};
struct InstallerPrompt {
    char* path; // in: shown; out: confirmed (256 bytes)
    const char* attributes;
};

static void SetItemMessage(HWND dialog, int id, int32_t number)
{
    char text[MessageBufferSize];
    GetMessageText(AppInstance, number, text, sizeof(text));
    SetDlgItemTextA(dialog, id, text);
}

static void SetTitleMessage(HWND dialog, int32_t number)
{
    char text[MessageBufferSize];
    GetMessageText(AppInstance, number, text, sizeof(text));
    SetWindowTextA(dialog, text);
}

INT_PTR CALLBACK SharedDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        const SharedQuestion* question = (const SharedQuestion*)lParam;
        ScaleDialog(dialog);
        SetDlgItemTextA(dialog, IDC_SHARED_TEXT, question ? question->text : "");
        SetTitleMessage(dialog, question ? question->captionMessage : IDS_SHARED_CAPTION);
        SetItemMessage(dialog, IDC_SHARED_YES, IDS_BUTTON_YES);
        SetItemMessage(dialog, IDC_SHARED_NO, IDS_BUTTON_NO);
        SetItemMessage(dialog, IDC_SHARED_YES_TO_ALL, IDS_BUTTON_YES_TO_ALL);
        SetItemMessage(dialog, IDC_SHARED_NO_TO_ALL, IDS_BUTTON_NO_TO_ALL);
        CentreDialog(dialog);
        return 1;
    }
    case WM_COMMAND:
        // The id of the button is the answer; Enter gives the default
        // button's id (No to all), Escape and the close box IDCANCEL.
        EndDialog(dialog, (INT_PTR)LOWORD(wParam));
        return 1;
    }
    return 0;
}

// Cuts text (in place) to at most limit bytes without splitting a
// double-byte character.
static void CutAtCharacter(char* text, int32_t limit)
{
    char* p = text;
    while (*p) {
        char* next = CharNextA(p);
        if (next - text > limit)
            break;
        p = next;
    }
    *p = 0;
}

INT_PTR CALLBACK PromptDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    InstallerPrompt* prompt = (InstallerPrompt*)GetWindowLongPtrA(dialog, DWLP_USER);
    switch (message) {
    case WM_INITDIALOG: {
        prompt = (InstallerPrompt*)lParam;
        SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)prompt);
        char templ[MessageBufferSize];
        char attributes[MessageBufferSize];
        char text[MessageBufferSize];
        ScaleDialog(dialog);
        SetTitleMessage(dialog, IDS_PROMPT_CAPTION);
        GetMessageText(AppInstance, IDS_PROMPT_TEXT, templ, sizeof(templ));
        // A long attribute text is cut, not the message around it: the
        // question's last line introduces the edit field below it.
        int32_t room = (int32_t)sizeof(text) - 1 - (lstrlenA(templ) - 2);
        if (room < 0)
            room = 0;
        lstrcpynA(attributes, prompt && prompt->attributes ? prompt->attributes : "",
                  sizeof(attributes));
        CutAtCharacter(attributes, room);
        FormatWithText(text, sizeof(text), templ, attributes);
        SetDlgItemTextA(dialog, IDC_PROMPT_TEXT, text);
        SetItemMessage(dialog, IDOK, IDS_BUTTON_OK);
        SetItemMessage(dialog, IDCANCEL, IDS_BUTTON_CANCEL);
        SetDlgItemTextA(dialog, IDC_PROMPT_PATH, prompt && prompt->path ? prompt->path : "");
        CentreDialog(dialog);
        return 1;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            if (prompt && prompt->path)
                GetDlgItemTextA(dialog, IDC_PROMPT_PATH, prompt->path, 256);
            EndDialog(dialog, 1);
        } else if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 2);
        }
        return 1;
    }
    return 0;
}

// The animation would go on drawing over a modal question; it stops while
// the question is open and starts again afterwards.
static void PauseAnimation()
{
    if (WorkStarted && WizardWindow)
        KillTimer(WizardWindow, AnimationTimerId);
}

static void ResumeAnimation()
{
    if (WorkStarted && WizardWindow)
        SetTimer(WizardWindow, AnimationTimerId, AnimationPeriodMs, nullptr);
}

int32_t AskSharedQuestion(const char* text, int32_t captionMessage)
{
    if (NoToAllShared)
        return 0;
    if (YesToAllShared)
        return 1;
    SharedQuestion question = {text, captionMessage};
    PauseAnimation();
    INT_PTR answer = DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_SHARED), WizardWindow,
                                     SharedDlg, (LPARAM)&question);
    ResumeAnimation();
    if (WizardWindow)
        SetFocus(WizardWindow);
    if (answer == QuestionNoToAll)
        NoToAllShared = 1;
    if (answer == QuestionYesToAll) {
        YesToAllShared = 1;
        answer = QuestionYes;
    }
    return answer == QuestionYes ? 1 : 0;
}

int32_t AskSharedFile(const char* path)
{
    char question[MessageBufferSize];
    char end[MessageBufferSize];
    GetMessageText(AppInstance, IDS_SHARED_QUESTION, question, sizeof(question));
    GetMessageText(AppInstance, IDS_SHARED_QUESTION_END, end, sizeof(end));
    char text[1024];
    int32_t len = FormatWithText(text, sizeof(text), question, path);
    lstrcpynA(text + len, end, (int)sizeof(text) - len);
    return AskSharedQuestion(text, IDS_SHARED_CAPTION);
}

int32_t AskServerRunning()
{
    char text[MessageBufferSize];
    char caption[MessageBufferSize];
    GetMessageText(AppInstance, IDS_STOP_DATABASE_SERVER, text, sizeof(text));
    GetMessageText(AppInstance, IDS_CAPTION, caption, sizeof(caption));
    PauseAnimation();
    int answer = MessageBoxA(WizardWindow, text, caption, MB_ABORTRETRYIGNORE);
    ResumeAnimation();
    return answer;
}

int32_t AskInstallerPath(char* path, const char* attributes)
{
    InstallerPrompt prompt = {path, attributes};
    PauseAnimation();
    INT_PTR answer = DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_PROMPT), WizardWindow,
                                     PromptDlg, (LPARAM)&prompt);
    ResumeAnimation();
    if (WizardWindow)
        SetFocus(WizardWindow);
    // A dialog that could not be shown is a Cancel: the caller asks again
    // after anything else, which would never end.
    return answer == 1 ? 1 : 2;
}
