#include "widgets/myspinbox.h"

#include <QKeyEvent>

MySpinBox::MySpinBox(QWidget* parent)
    : QSpinBox(parent)
{
}

void MySpinBox::keyPressEvent(QKeyEvent* e)
{
    // Only the main Return key; keypad Enter behaves as in a plain spin box.
    if (e->key() == Qt::Key_Return) {
        clearFocus();
        return;
    }
    QAbstractSpinBox::keyPressEvent(e);
}
