#pragma once

#include <QString>

// Where the program finds its bundle resources: "<executable folder>/../Resources/".
// Tests point it at a temporary tree of their own.
class AppPaths
{
public:
    static QString resources();  // always ends with "/"
    static void setResources(QString const& dir);  // empty restores the default

private:
    static QString override_;
};
