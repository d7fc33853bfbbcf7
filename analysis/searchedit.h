#pragma once
// The rounded search box with a magnifier on the left and a row count on
// the right; used by the decoded results and the list of all analyzers.

#include <QLineEdit>

class QLabel;

class SearchEdit : public QLineEdit
{
public:
    SearchEdit(QString const& background, QString const& border, QString const& textColour,
               QWidget* parent = nullptr);

    // Shows n, or nothing when n is negative.
    void setTotalNum(qlonglong n);
    QString totalText() const;

private:
    QLabel* icon;
    QLabel* count;
};
