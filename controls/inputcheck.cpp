#include "controls/inputcheck.h"

#include "app/core/lang.h"

#include <QMessageBox>
#include <QPushButton>

#include <cmath>

namespace InputCheck {

bool toFinite(const QString& text, double* out)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *out = v;
    return true;
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
