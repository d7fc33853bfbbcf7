#pragma once

#include <QString>

// Tells whether a program is still running, so that its files are not
// replaced under it.
class ProgramWatch
{
public:
    // True while some other process runs the executable at path.
    static bool isRunning(QString const& path);
};
