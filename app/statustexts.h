#pragma once

#include <QString>

// What the main window makes of the start-up and sampling reports: progress
// values, short error codes and message texts. Plain functions, so they are
// checked without a window.
class StatusTexts
{
public:
    StatusTexts() = delete;

    // Connection progress of a start-up stage without error, -1 when the
    // stage leaves the progress as it is. n: ms waited (stage 1) or percent
    // uploaded (stage 4).
    static int initProgress(int stage, int n);
    // "I-" or "S-" and the lower-case hexadecimal of state x 256 + error.
    static QString initCode(int stage, int err);
    static QString smpCode(int state, int err);
    // "An error occurred: " and the code.
    static QString initErrorText(int stage, int err);
    // The box text of a sampling error; smpMode 1 is stream mode.
    static QString smpErrorText(int smpMode, int state, int err);
    // What "zeroSmpCnt" keeps for a damaged record at byte offset n.
    static QString zeroSmpCntText(int n);
    // "<model> Connected - VormelTAV" or "<model> Unconnected - VormelTAV".
    static QString modelTitle(const QString& model, bool connected);
    static QString fileTitle(const QString& path);
};
