#pragma once
// The line of one timing marker over all channel rows.

#include <QGraphicsItem>
#include <QString>

class CursorBody : public QGraphicsItem
{
public:
    CursorBody(int id, int height);

    // "A1" ... "E2" for ids 0 ... 9.
    static QString markerName(int id);
    // Line colour of a state (1 and 2 bright, 3 placed).
    static QColor stateColor(int state);

    void setStateType(int s);
    void setLen(int h);

    int id;
    QString name;
    int width;
    int height;
    int state = 0;
    qint64 smpPoint = 0;

    QRectF boundingRect() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
};
