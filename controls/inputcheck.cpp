#include "controls/inputcheck.h"

#include "core/finitenumber.h"
#include "core/lang.h"

#include <QMessageBox>
#include <QPushButton>


namespace InputCheck {

bool toFinite(const QString& text, double* out)
{
    return readFiniteNumber(text, out);
}

void warnInvalid(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, Lang::tr(QStringLiteral("A Setting is Invalid")), text,
                    QMessageBox::Close, parent);
    box.button(QMessageBox::Close)->setText(Lang::tr(QStringLiteral("Close")));
    box.setStyleSheet(QStringLiteral("color:black;"));
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    box.exec();
}

} // namespace InputCheck
