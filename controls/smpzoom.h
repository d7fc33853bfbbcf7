#pragma once

#include <QString>
#include <QWidget>

class MyButton;
class QLineEdit;
class QMenu;

// The zoom buttons of the toolbar and the samples-per-pixel entry. Requests
// leave as text: "Trg", "All", "Out", "In" or a number of samples per pixel.
class SmpZoom : public QWidget
{
    Q_OBJECT

public:
    explicit SmpZoom(QWidget* parent = nullptr);

    // What a text in the entry is: a value to send, the beginning of one
    // ("0", "0." on the way to "0.5") to keep without sending, or neither.
    enum EntryKind { EntryValue, EntryPartial, EntryInvalid };
    static EntryKind entryKind(const QString& text);
    // The samples per pixel as the entry shows them.
    static QString entryText(double smpPerPixel);

signals:
    void zoomValueChanged(QString str);

protected:
    void paintEvent(QPaintEvent* e) override;

private slots:
    void slotZoomTrg();
    void slotZoomAll();
    void slotZoomOut();
    void slotZoomIn();
    void slotDropDwon();
    void slotTextChanged(QString s);
    void slotEditFinished();

private:
    MyButton* makeButton(const QString& name, const QString& icon, const QString& tip);

    MyButton* btnTrg;
    MyButton* btnAll;
    MyButton* btnOut;
    MyButton* btnIn;
    MyButton* btnDropDown;
    QMenu* menu = nullptr;
    QLineEdit* edit = nullptr;
    QString lastText;
};
