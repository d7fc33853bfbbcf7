#pragma once

#include "widgets/menudialog.h"

#include <QList>

class QRadioButton;

// Drop-down of the models the demo device can stand in for; disabled while a
// device is attached.
class MenuDevSelect : public MenuDialog
{
    Q_OBJECT

public:
    explicit MenuDevSelect(QWidget* parent = nullptr);

    // The model codes of the radios, in their order.
    static const QList<int>& modelCodes();
    // The radio pre-checked for a model code, -1 for none.
    static int radioOfModel(int code);
    const QList<QRadioButton*>& radios() const { return radioList; }

signals:
    void devModelChanged(int model);

private slots:
    void radioButtonClicked();

private:
    QList<QRadioButton*> radioList;
};
