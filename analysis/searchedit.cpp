#include "analysis/searchedit.h"

#include "core/config.h"
#include "core/lang.h"

#include <QHBoxLayout>
#include <QLabel>

SearchEdit::SearchEdit(QString const& background, QString const& border, QString const& textColour, QWidget* parent)
    : QLineEdit(parent), icon(new QLabel(this)), count(new QLabel(this))
{
    const int h = Config::pixel(24);
    setFixedHeight(h);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setPlaceholderText(Lang::tr(QStringLiteral("Search")));
    // Room for the icon on the left.
    setTextMargins(Config::pixel(8) + Config::pixel(16) + Config::pixel(2), 0, 0, 0);
    setContentsMargins(Config::pixel(4), 0, Config::pixel(4), 0);
    setStyleSheet(QStringLiteral("QLineEdit{background-color:") + background + QStringLiteral(";border:1px solid ")
                  + border + QStringLiteral(";border-radius:") + QString::number(h / 2) + QStringLiteral("px")
                  + QStringLiteral(";color:") + textColour + QStringLiteral(";}"));

    icon->setFixedSize(Config::pixel(16), Config::pixel(16));
    icon->setStyleSheet(QStringLiteral("background:transparent;border-image:url(:/res/btnSearch);"));
    count->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    count->setStyleSheet(QStringLiteral("background:transparent;color:") + textColour + QStringLiteral(";"));

    auto* box = new QHBoxLayout(this);
    box->addWidget(icon);
    box->addWidget(count, 0, Qt::AlignRight | Qt::AlignVCenter);
    box->setContentsMargins(Config::pixel(8), 0, Config::pixel(8), 0);
}

void SearchEdit::setTotalNum(qlonglong n)
{
    count->setText(n < 0 ? QString() : QString::number(n));
}

QString SearchEdit::totalText() const
{
    return count->text();
}
