// Helpers of the repair tests: files with a given DOS time stamp, their
// repair data as the installer writes it, and a helper thread that answers
// a series of modal dialogs in turn.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

// CRC-32 bit by bit: a second implementation to check the program's against.
uint32_t BitwiseCrc(const std::string& bytes);
// Sets the last-write time of path from a local DOS date and time.
void SetDosStamp(const std::string& path, WORD date, WORD time);
// " MM-DD-YYYY | HH:MM:SS | 0.0.0.0 | size | crc" for bytes with that stamp.
std::string RepairDataFor(const std::string& bytes, WORD date, WORD time);
// The list files (KTC*.TMP) in the temporary folder.
int CountListFiles();
void DeleteListFiles();

// Answers up to count dialogs (class #32770) opened on the calling thread,
// one after the other; act gets the dialog and its number (0, 1, ...).
class DialogSeries
{
  public:
    DialogSeries(int count, std::function<void(HWND, int)> act);
    ~DialogSeries();
    int answered() const { return answered_; }

  private:
    std::thread thread_;
    int answered_ = 0;
};
