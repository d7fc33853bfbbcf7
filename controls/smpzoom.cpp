#include "controls/smpzoom.h"

#include "core/config.h"
#include "core/lang.h"
#include "controls/inputcheck.h"
#include "waveview/wavedatagen.h"
#include "widgets/mybutton.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QRegExpValidator>
#include <QSignalBlocker>
#include <QWidgetAction>

SmpZoom::SmpZoom(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    btnTrg = makeButton(QStringLiteral("btnZoomTrg"), QStringLiteral(":/res/btnZoomTrg"),
                        Lang::tr(QStringLiteral("Trigger position centered")));
    btnAll = makeButton(QStringLiteral("btnZoomAll"), QStringLiteral(":/res/btnZoomAll"),
                        Lang::tr(QStringLiteral("Zoom to full screen")));
    btnOut = makeButton(QStringLiteral("btnZoomOut"), QStringLiteral(":/res/btnZoomOut"),
                        Lang::tr(QStringLiteral("Zoom out")));
    btnIn = makeButton(QStringLiteral("btnZoomIn"), QStringLiteral(":/res/btnZoomIn"),
                       Lang::tr(QStringLiteral("Zoom in")));
    btnDropDown = makeButton(QStringLiteral("btnZoomDropDown"), QStringLiteral(":/res/icoDropDown"), QString());

    const int side = Config::pixel(48) - 2 * Config::pixel(6) - 2 * Config::pixel(2);
    btnTrg->setBorderRadius(0, 3, 3, 0);
    btnAll->setBorderRadius(0);
    btnOut->setBorderRadius(0);
    btnIn->setBorderRadius(3, 0, 0, 3);
    btnDropDown->setBorderRadius(3, 0, 0, 3);
    btnDropDown->setFixedSize(int(0.5 * side), side);
    btnDropDown->setIconSize(QSize(int(0.4 * side), side));
    btnDropDown->hide();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(Config::pixel(2), Config::pixel(6), Config::pixel(2), Config::pixel(6));
    layout->setSpacing(0);
    for (MyButton* b : {btnTrg, btnAll, btnOut, btnIn, btnDropDown})
        layout->addWidget(b);

    connect(btnTrg, &QAbstractButton::clicked, this, &SmpZoom::slotZoomTrg);
    connect(btnAll, &QAbstractButton::clicked, this, &SmpZoom::slotZoomAll);
    connect(btnOut, &QAbstractButton::clicked, this, &SmpZoom::slotZoomOut);
    connect(btnIn, &QAbstractButton::clicked, this, &SmpZoom::slotZoomIn);
    connect(btnDropDown, &QAbstractButton::clicked, this, &SmpZoom::slotDropDwon);
}

MyButton* SmpZoom::makeButton(const QString& name, const QString& icon, const QString& tip)
{
    const int side = Config::pixel(48) - 2 * Config::pixel(6) - 2 * Config::pixel(2);
    auto* b = new MyButton(this);
    b->setObjectName(name);
    b->setIcon(QIcon(icon));
    b->setFixedSize(side, side);
    b->setIconSize(QSize(side, side));
    if (!tip.isEmpty())
        b->setToolTip(tip);
    b->normalColor = Config::grayColor.value(8);
    b->hoverColor = Config::grayColor.value(6);
    return b;
}

void SmpZoom::slotZoomTrg()
{
    emit zoomValueChanged(QStringLiteral("Trg"));
}

void SmpZoom::slotZoomAll()
{
    emit zoomValueChanged(QStringLiteral("All"));
}

void SmpZoom::slotZoomOut()
{
    emit zoomValueChanged(QStringLiteral("Out"));
}

void SmpZoom::slotZoomIn()
{
    emit zoomValueChanged(QStringLiteral("In"));
}

SmpZoom::EntryKind SmpZoom::entryKind(const QString& text)
{
    double v = 0;
    if (InputCheck::toFinite(text, &v))
        return v > 0 ? EntryValue : EntryPartial;
    // A lone point is where "0.5" or ".5" begins.
    return text == QLatin1String(".") ? EntryPartial : EntryInvalid;
}

QString SmpZoom::entryText(double smpPerPixel)
{
    if (QString::number(smpPerPixel, 'f', 3).size() < 11)
        return QString::number(smpPerPixel, 'g', 6);
    return QString::number(smpPerPixel, 'f', 0);
}

void SmpZoom::slotDropDwon()
{
    if (!menu) {
        menu = new QMenu(this);
        auto* label = new QLabel(Lang::tr(QStringLiteral("Sample : Pixel")) + QStringLiteral("  "));
        edit = new QLineEdit;
        edit->setObjectName(QStringLiteral("sppEdit"));
        edit->setFixedWidth(Config::pixel(66));
        edit->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("^[|0-9|.]+$")), edit));
        connect(edit, &QLineEdit::textChanged, this, &SmpZoom::slotTextChanged);
        connect(edit, &QLineEdit::editingFinished, this, &SmpZoom::slotEditFinished);
        auto* box = new QWidget;
        auto* l = new QHBoxLayout(box);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(0);
        l->addWidget(label);
        l->addWidget(edit);
        auto* action = new QWidgetAction(menu);
        action->setDefaultWidget(box);
        menu->addAction(action);
    }
    if (WaveDataGen::me)
        edit->setText(entryText(WaveDataGen::me->getSmpPerPixel()));
    edit->setFocus(Qt::OtherFocusReason);
    const QPoint at = btnDropDown->mapToGlobal(QPoint(0, 0)) + QPoint(0, btnTrg->height() + Config::pixel(2));
    menu->popup(at);
}

void SmpZoom::slotTextChanged(QString s)
{
    switch (entryKind(s)) {
    case EntryValue:
        lastText = s;
        emit zoomValueChanged(s);
        break;
    case EntryPartial:
        // Zero samples per pixel is no zoom; wait for the rest of the number.
        break;
    case EntryInvalid: {
        // Putting the accepted text back is no new request.
        const QSignalBlocker quiet(edit);
        edit->setText(lastText);
        break;
    }
    }
}

void SmpZoom::slotEditFinished()
{
    if (!edit->hasFocus())
        return;
    // A number left unfinished shows the value in force again.
    if (edit->text() != lastText && entryKind(edit->text()) != EntryValue) {
        const QSignalBlocker quiet(edit);
        edit->setText(lastText);
    }
    edit->clearFocus();
    menu->close();
}

void SmpZoom::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const int px = Config::pixel(2);
    const int t = layout()->contentsMargins().top();
    p.setPen(QPen(Config::grayColor.value(2), px, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(px / 2, t - px / 2, width() - px, height() + px - 2 * t), 2 * px, 2 * px);
}
