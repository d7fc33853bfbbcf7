#include "analysis/anlymessage.h"

#include "core/lang.h"

#include <QAbstractButton>
#include <QMessageBox>

void AnlyMessage::warn(QWidget* parent, QString const& title, QString const& text)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Close, parent,
                    Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    box.button(QMessageBox::Close)->setText(Lang::tr(QStringLiteral("Close")));
    box.setStyleSheet(QStringLiteral("color:black;"));
    box.exec();
}
