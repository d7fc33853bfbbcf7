#pragma once
// The list of the decoded-results panel. It holds one page of rows; its own
// thin scroll bar stands for the whole list, in pixels of whole rows, and is
// read by the panel. Always a whole number of rows high.

#include <QListView>

class MyScrollbar;

class ResultView : public QListView
{
    Q_OBJECT

public:
    explicit ResultView(QWidget* parent = nullptr);

    MyScrollbar* scrollBar() const { return bar; }
    int rowsPerPage() const { return rowNum; }
    int rowHeight() const;

signals:
    void listRowChanged(int rowNum);

protected:
    void mouseMoveEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    MyScrollbar* bar;
    int lastMouseY = -1;
    int rowNum = 0;
};
