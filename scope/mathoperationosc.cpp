#include "scope/mathoperationosc.h"

#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "scope/osccalc.h"
#include "widgets/oscpanelkit.h"
#include "widgets/mybutton.h"
#include "widgets/myswitch.h"
#include "widgets/osctabframe.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>

#include <algorithm>

MathOperationOsc::MathOperationOsc(QWidget* parent) : QFrame(parent)
{
    auto* lay = OscPanelKit::column(this,
                                    QStringLiteral("QLabel{background-color:transparent;border:0;color:#f7f7f7;}"
                                                   "QLabel::disabled{color:darkGray;border:0;}"
                                                   "QRadioButton{background-color:transparent;border:0;color:#f7f7f7;}"
                                                   "QRadioButton::disabled{border:0;color:darkGray;}"),
                                    0);

    const OscPanelKit::Header head = OscPanelKit::header(this, Lang::tr(QStringLiteral("Math")));
    tab = head.frame;
    btnDrop = head.drop;
    labTitle = head.title;
    swEna = OscPanelKit::headerSwitch(tab);
    swEna->switchOn = true;
    head.layout->addWidget(swEna, 2);

    body = new QWidget(this);
    auto* grid = new QGridLayout(body);
    grid->setContentsMargins(6, 4, 6, 4);
    // Narrower than the other panels' spacing: it leaves room for the boxes
    // to show their longest items whole in the side bar.
    grid->setHorizontalSpacing(Config::pixel(4));
    grid->addWidget(new QLabel(Lang::tr(QStringLiteral("Operator")), body), 0, 0);
    grid->addWidget(new QLabel(Lang::tr(QStringLiteral("Scale")), body), 0, 1);
    grid->addWidget(new QLabel(Lang::tr(QStringLiteral("Offset")), body), 0, 2);
    boxOperator = new QComboBox(body);
    boxOperator->addItems(operatorTexts(devUsing ? devUsing->aChnEna.size() : 2));
    boxScale = new QComboBox(body);
    boxScale->addItems({QStringLiteral("10mV"), QStringLiteral("20mV"), QStringLiteral("50mV"), QStringLiteral("100mV"),
                        QStringLiteral("200mV"), QStringLiteral("500mV"), QStringLiteral("1V"), QStringLiteral("2V"),
                        QStringLiteral("5V"), QStringLiteral("10V"), QStringLiteral("20V"), QStringLiteral("50V")});
    editOffset = new QLineEdit(QStringLiteral("1.000V"), body);
    editOffset->setFixedWidth(Config::pixel(68));
    grid->addWidget(boxOperator, 1, 0);
    grid->addWidget(boxScale, 1, 1);
    grid->addWidget(editOffset, 1, 2);
    fitBoxWidths();

    lay->addWidget(tab);
    lay->addWidget(body);

    // The boxes start at what the device holds for its operator, so a typed
    // offset is reckoned in the scale the trace is drawn with.
    const int op = currentOperator();
    if (op >= 0) {
        boxOperator->setCurrentIndex(op);
        showOperator(op, false);
    }

    connect(btnDrop, &QPushButton::clicked, this, &MathOperationOsc::slotBtnDropClicked);
    connect(swEna, &QPushButton::clicked, this, &MathOperationOsc::slotMathEnaClicked);
    connect(boxOperator, SIGNAL(activated(int)), this, SLOT(slotOperatorChanged(int)));
    connect(boxScale, SIGNAL(activated(QString)), this, SLOT(slotScaleActivated(QString)));
    connect(editOffset, &QLineEdit::editingFinished, this, &MathOperationOsc::slotEditFinished);

    slotBtnDropClicked();
    slotMathEnaClicked();
    show();
}

QStringList MathOperationOsc::operatorTexts(int chnNum)
{
    QStringList out;
    for (int k = 0; k < chnNum / 2; ++k) {
        const QString a = QStringLiteral("CH") + QString::number(2 * k + 1);
        const QString b = QStringLiteral("CH") + QString::number(2 * k + 2);
        out << a + QStringLiteral(" + ") + b << a + QStringLiteral(" - ") + b << b + QStringLiteral(" - ") + a;
    }
    return out;
}

int MathOperationOsc::currentOperator() const
{
    if (!devUsing)
        return -1;
    const int op = devUsing->aMathOperator;
    return op >= 0 && op < boxOperator->count() && op < devUsing->aMathScale.size()
                   && op < devUsing->aMathOffset.size()
               ? op
               : -1;
}

void MathOperationOsc::showOperator(int op, bool shortNumber)
{
    const int scale = devUsing->aMathScale[op];
    boxScale->setCurrentText(OscCalc::mathScaleText(scale));
    const int offset = devUsing->aMathOffset[op];
    if (!shortNumber) {
        editOffset->setText(OscCalc::mathOffsetText(offset, scale));
        return;
    }
    QString unit;
    const int n = OscCalc::voltShown(scale, &unit);
    editOffset->setText(QString::number(n * 10.0 * offset / 1000, 'g', 6) + unit);
}

void MathOperationOsc::setChnOffsetValue(const QString& text)
{
    editOffset->setText(text);
}

void MathOperationOsc::slotBtnDropClicked()
{
    expanded = !expanded;
    body->setVisible(expanded);
    OscPanelKit::showExpanded(this, btnDrop, expanded, Config::pixel(75));
    emit stateChanged();
}

void MathOperationOsc::slotMathEnaClicked()
{
    swEna->switchOn = !swEna->switchOn;
    swEna->update();
    const bool on = swEna->switchOn;
    labTitle->setEnabled(on);
    body->setEnabled(on);
    if (devUsing)
        devUsing->aMathEna = on;
    emit mathSetChanged(on);
}

void MathOperationOsc::slotOperatorChanged(int index)
{
    if (!devUsing || index < 0 || index >= devUsing->aMathScale.size() || index >= devUsing->aMathOffset.size())
        return;
    devUsing->aMathOperator = index;
    showOperator(index, false);
    emit mathSetChanged(true);
}

void MathOperationOsc::slotScaleActivated(const QString& text)
{
    const int op = currentOperator();
    const int mV = OscCalc::mathScaleFromText(text);
    if (op < 0 || mV <= 0)
        return;
    devUsing->aMathScale[op] = mV;
    devUsing->saveAMathSet();
    editOffset->setText(OscCalc::mathOffsetText(devUsing->aMathOffset[op], mV));
    emit mathSetChanged(false);
}

void MathOperationOsc::slotEditFinished()
{
    if (OscPanelKit::finishEdit(editOffset))
        return;
    const int op = currentOperator();
    if (op < 0)
        return;
    const int scale = devUsing->aMathScale[op];
    int offset = devUsing->aMathOffset[op];
    if (OscCalc::mathOffsetFromText(editOffset->text(), scale, &offset)) {
        devUsing->aMathOffset[op] = offset;
        devUsing->saveAMathSet();
    }
    editOffset->setText(OscCalc::mathOffsetText(offset, scale));
    emit mathSetChanged(false);
}

void MathOperationOsc::fitBoxWidths()
{
    for (QComboBox* box : {boxOperator, boxScale}) {
        int text = 0;
        for (int i = 0; i < box->count(); ++i)
            text = std::max(text, box->fontMetrics().horizontalAdvance(box->itemText(i)));
        // The frame and the arrow: what the style puts around the text field.
        QStyleOptionComboBox opt;
        opt.initFrom(box);
        opt.rect = QRect(0, 0, 200, box->sizeHint().height());
        const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, box);
        box->setMinimumWidth(text + opt.rect.width() - field.width() + Config::pixel(2));
    }
}

void MathOperationOsc::devModelChanged()
{
    boxOperator->clear();
    boxOperator->addItems(operatorTexts(devUsing ? devUsing->aChnEna.size() : 0));
    fitBoxWidths();
    const int op = currentOperator();
    if (op >= 0) {
        boxOperator->setCurrentIndex(op);
        showOperator(op, true);
    }
    swEna->switchOn = true;
    swEna->update();
    slotMathEnaClicked();
}
