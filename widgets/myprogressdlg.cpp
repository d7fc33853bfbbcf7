#include "widgets/myprogressdlg.h"

#include "core/config.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

MyProgressDlg::MyProgressDlg(const QString& title, const QString& buttonText, QWidget* parent)
    : QDialog(parent)
    , labelMsg(new QLabel(this))
    , bar(new QProgressBar(this))
    , spacer(new QLabel(this))
    , button(new QPushButton(buttonText, this))
{
    setWindowTitle(title);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint & ~Qt::WindowCloseButtonHint);
    setWindowModality(Qt::ApplicationModal);
    setMinimumSize(Config::pixel(260), Config::pixel(120));
    // Its texts keep the dialog's own colour: a parent's style sheet for
    // labels (light text on a dark panel) would make them unreadable here.
    setStyleSheet(QStringLiteral("QLabel{color:%1;}").arg(palette().color(QPalette::WindowText).name()));

    labelMsg->setWordWrap(true);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    spacer->setFixedHeight(Config::pixel(26));
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setFixedSize(Config::pixel(56), Config::pixel(26));
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    auto* grid = new QGridLayout(this);
    grid->addWidget(bar, 0, 0, 1, 2);
    grid->addWidget(labelMsg, 1, 0, 1, 2);
    grid->addWidget(spacer, 2, 0);
    grid->addWidget(button, 2, 1, Qt::AlignRight);
    grid->setContentsMargins(Config::pixel(20), Config::pixel(20), Config::pixel(20), Config::pixel(10));

    connect(button, &QPushButton::clicked, this, &MyProgressDlg::slotButtonClicked);
}

void MyProgressDlg::setButtonShow(bool show)
{
    button->setVisible(show);
}

int MyProgressDlg::value() const
{
    return bar->value();
}

void MyProgressDlg::setValue(int v)
{
    if (v < 0) {
        bar->setValue(0);
    } else if (v < 100) {
        bar->setValue(v);
    } else if (closeOnFull) {
        accept();
    } else {
        bar->setValue(100);
    }
}

void MyProgressDlg::slotButtonClicked()
{
    if (closeByButton)
        reject();
    else
        emit rejected();
}
