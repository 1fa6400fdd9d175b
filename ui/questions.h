// The two question dialogs the drivers open in the middle of their work: the
// four-answer shared-file question and the prompt for the installer's path.
#pragma once
#include <cstdint>

// Run-wide answers of the shared-file question: the first "Yes to all" or
// "No to all" answers every later question of the run.
extern int32_t YesToAllShared;
extern int32_t NoToAllShared;

enum { QuestionYes = 1005, QuestionNo = 1006, QuestionYesToAll = 1007, QuestionNoToAll = 1 };

// Asks the four-answer question text under the title of catalogue message
// captionMessage, or answers it from the run's remembered answers. A silent
// run never calls it: its callers answer No. 1 for Yes (remove or replace),
// 0 for No.
int32_t AskSharedQuestion(const char* text, int32_t captionMessage);

// The shared-file question for path (messages 38 and 39), asked as above.
int32_t AskSharedFile(const char* path);
// The database server still runs: asks to stop it, with the animation paused;
// the message box's Abort, Retry or Ignore answer.
int32_t AskServerRunning();

// Shows the installer prompt: path (a buffer of at least 256 bytes) in its
// edit field, attributes (the installer's expected date, time and size) in
// its question. 1 after OK (path holds the confirmed text), 2 after Cancel.
// A silent run never calls it: its callers take it as a Cancel.
int32_t AskInstallerPath(char* path, const char* attributes);
