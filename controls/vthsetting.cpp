#include "controls/vthsetting.h"

#include "core/config.h"
#include "core/lang.h"
#include "controls/controlsresources.h"
#include "controls/inputcheck.h"
#include "device/devbase.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSignalBlocker>

namespace {

QString comboStyle(const char* textColour, const char* expandImage, const char* hover, const char* padding)
{
    const QString px12 = QString::number(Config::pixel(12));
    const QString px1 = QString::number(Config::pixel(1));
    return QStringLiteral("QComboBox{background-color:transparent;color:") + QLatin1String(textColour)
           + QStringLiteral(";border:0;combobox-popup:0;") + QLatin1String(padding)
           + QStringLiteral("}QComboBox::drop-down{width:") + px12
           + QStringLiteral("px;subcontrol-origin:padding;subcontrol-position:top left;image:url(")
           + QLatin1String(expandImage)
           + QStringLiteral(");}QComboBox QAbstractItemView{background-color:#2f2f2f;selection-background-color:"
                            "#7f7f7f;color:#f7f7f7;border:")
           + px1 + QStringLiteral("px solid #dfdfdf;}QComboBox:hover{background-color:") + QLatin1String(hover)
           + QStringLiteral(";}");
}

} // namespace

const QVector<QPair<QString, double>>& VthSetting::standards()
{
    static const QVector<QPair<QString, double>> list = {
        {QStringLiteral("5.0V TTL"), 1.58},  {QStringLiteral("5.0V CMOS"), 2.5},  {QStringLiteral("3.3V CMOS"), 1.65},
        {QStringLiteral("3.0V CMOS"), 1.5},  {QStringLiteral("2.5V CMOS"), 1.25}, {QStringLiteral("1.8V CMOS"), 0.9},
        {QStringLiteral("1.5V CMOS"), 0.75}, {QStringLiteral("1.2V CMOS"), 0.6},  {QStringLiteral("0.9V CMOS"), 0.45},
        {customKey(), 0.0}};
    return list;
}

QString VthSetting::customKey()
{
    return QStringLiteral("Custom I/O");
}

int VthSetting::levelIndexOf(const QString& stored)
{
    const auto& list = standards();
    const int custom = list.size() - 1;
    for (int i = 0; i < custom; ++i)
        if (list[i].first == stored)
            return i;
    if (stored == customKey() || stored == Lang::tr(customKey()))
        return custom;
    return 2;
}

QString VthSetting::levelKey(int index)
{
    return standards().value(index).first;
}

double VthSetting::storedCustomVth(const QString& stored)
{
    double v = 0;
    return acceptVth(stored, &v) ? v : 0.0;
}

bool VthSetting::acceptVth(const QString& text, double* volts)
{
    double v = 0;
    if (!InputCheck::toFinite(text, &v) || v > vthMax || v < vthMin)
        return false;
    *volts = v;
    return true;
}

VthSetting::VthSetting(QWidget* parent)
    : QWidget(parent)
{
    initControlsResources();
    setFixedSize(Config::pixel(196), Config::pixel(36) + 1);

    QPalette grey = palette();
    grey.setBrush(QPalette::All, QPalette::WindowText, Config::grayColor.value(2));

    title = new QLabel(Lang::tr(QStringLiteral("I/O Standard")), this);
    title->setAlignment(Qt::AlignCenter);
    title->setFixedHeight(Config::pixel(16));
    title->setStyleSheet(QStringLiteral("color:black;"));

    comboGroup = new QComboBox(this);
    comboGroup->addItems({QStringLiteral("CH0~15"), QStringLiteral("CH16~31")});
    comboGroup->setStyleSheet(comboStyle("black", ":/res/btnExpand_b", "#9f9f9f", "padding-left:0px;"));

    comboLevel = new QComboBox(this);
    for (const auto& s : standards())
        comboLevel->addItem(s.first == customKey() ? Lang::tr(customKey()) : s.first);
    comboLevel->setStyleSheet(comboStyle("#f7f7f7", ":/res/btnExpand", "#7f7f7f", "padding-left:3px;padding-right:3px;"));

    arrow = new QLabel(QStringLiteral(" -> "), this);
    vthLabel = new QLabel(QStringLiteral("Vth:"), this);
    unit = new QLabel(QStringLiteral("V"), this);
    compatible = new QLabel(Lang::tr(QStringLiteral("2.5~5V CMOS Compatible")), this);
    compatible->setAlignment(Qt::AlignCenter);
    for (QLabel* l : {arrow, vthLabel, unit, compatible})
        l->setPalette(grey);

    edit = new QLineEdit(this);
    edit->setFixedWidth(Config::pixel(30));
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit->setEnabled(false);
    edit->setStyleSheet(QStringLiteral("QLineEdit{border:0;color:#afafaf;}QLineEdit:disabled{background-color:"
                                       "transparent;}QLineEdit:enabled{background-color:#575b5f;}QLineEdit:focus{"
                                       "background-color:#575b5f;}"));

    grid = new QGridLayout(this);
    grid->setContentsMargins(1, 1, 1, 2);
    grid->setHorizontalSpacing(0);
    grid->setVerticalSpacing(1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(6, 1);
    grid->addWidget(title, 0, 0, 1, 3, Qt::AlignCenter);
    grid->addWidget(comboGroup, 0, 3, 1, 4);
    grid->addWidget(new QLabel(this), 1, 0);
    grid->addWidget(comboLevel, 1, 1);
    grid->addWidget(arrow, 1, 2);
    grid->addWidget(vthLabel, 1, 3);
    grid->addWidget(edit, 1, 4);
    grid->addWidget(unit, 1, 5);
    grid->addWidget(new QLabel(this), 1, 6);
    grid->addWidget(compatible, 1, 0, 1, 7, Qt::AlignCenter);

    connect(comboGroup, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &VthSetting::slotComboGroupChanged);
    connect(comboLevel, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &VthSetting::slotComboLevelChanged);
    connect(edit, &QLineEdit::editingFinished, this, &VthSetting::slotVthEditFinish);
}

QString VthSetting::deviceName() const
{
    return devUsing->devName;
}

void VthSetting::devModelChanged()
{
    const bool adjustable = devUsing->queryDevFunction(DevFuncVth);
    for (QWidget* w : {static_cast<QWidget*>(comboLevel), static_cast<QWidget*>(arrow),
                       static_cast<QWidget*>(vthLabel), static_cast<QWidget*>(edit), static_cast<QWidget*>(unit)})
        w->setVisible(adjustable);
    compatible->setVisible(!adjustable);

    const bool twoGroups = devUsing->dChnEna.size() == 32;
    comboGroup->setVisible(twoGroups);
    grid->removeWidget(title);
    grid->addWidget(title, 0, 0, 1, twoGroups ? 3 : 7, Qt::AlignCenter);

    comboGroup->setCurrentIndex(-1);
    comboGroup->setCurrentIndex(0);
}

void VthSetting::slotComboGroupChanged(int index)
{
    if (index < 0)
        return;
    const QString stored = Config::readDeviceParam(deviceName(), QStringLiteral("chnLevel") + keySuffix(index));
    comboLevel->setCurrentIndex(-1);
    comboLevel->setCurrentIndex(levelIndexOf(stored));
    // Not a user's edit: leaving the field here applies nothing.
    const QSignalBlocker quiet(edit);
    edit->clearFocus();
}

void VthSetting::showStoredSetting()
{
    const int group = comboGroup->currentIndex();
    if (group < 0)
        return;
    const QString suffix = keySuffix(group);
    const int index = levelIndexOf(Config::readDeviceParam(deviceName(), QStringLiteral("chnLevel") + suffix));
    const QSignalBlocker quietLevel(comboLevel);
    const QSignalBlocker quietEdit(edit);
    comboLevel->setCurrentIndex(index);
    edit->setEnabled(index == standards().size() - 1);
    edit->setText(QString::number(levelVth(index, suffix), 'f', 2));
}

double VthSetting::levelVth(int index, const QString& suffix) const
{
    // The stored text may come from an edited or foreign settings file.
    if (index == standards().size() - 1)
        return storedCustomVth(Config::readDeviceParam(deviceName(), QStringLiteral("chnVth") + suffix));
    return standards()[index].second;
}

void VthSetting::sendVth(double volts, const QString& suffix)
{
    // The device numbers its threshold groups from 0, as the combo does.
    devUsing->setVthValue(volts, comboGroup->currentIndex());
    Config::saveDeviceParam(deviceName(), QStringLiteral("chnVth") + suffix, QString::number(volts, 'f', 2));
}

void VthSetting::slotComboLevelChanged(int index)
{
    if (index < 0)
        return;
    const QString suffix = keySuffix(comboGroup->currentIndex());
    if (index == standards().size() - 1) {
        edit->setEnabled(true);
        edit->setFocus(Qt::OtherFocusReason);
    } else {
        const QSignalBlocker quiet(edit);
        edit->setEnabled(false);
    }
    const double v = levelVth(index, suffix);
    edit->setText(QString::number(v, 'f', 2));
    sendVth(v, suffix);
    // A key, not the shown text, so that a change of language keeps the choice.
    Config::saveDeviceParam(deviceName(), QStringLiteral("chnLevel") + suffix, levelKey(index));
}

void VthSetting::slotVthEditFinish()
{
    // Only a custom voltage is typed; a field being disabled is no edit.
    if (!edit->isEnabled() || comboLevel->currentIndex() != standards().size() - 1)
        return;
    if (edit->hasFocus()) {
        // Return: give up the focus; leaving the field applies the value once.
        editPending = true;
        edit->clearFocus();
        if (editPending)
            applyEdit();
        return;
    }
    applyEdit();
}

void VthSetting::applyEdit()
{
    editPending = false;
    const QString suffix = keySuffix(comboGroup->currentIndex());
    double v = 0;
    if (!acceptVth(edit->text(), &v)) {
        InputCheck::warnInvalid(this, Lang::tr(QStringLiteral("The effective range of threshold voltage is "))
                                          + QStringLiteral("-4.0 ~ 4.0V"));
        edit->setText(Config::readDeviceParam(deviceName(), QStringLiteral("chnVth") + suffix));
        edit->setFocus(Qt::OtherFocusReason);
        return;
    }
    edit->setText(QString::number(v, 'f', 2));
    devUsing->setVthValue(v, comboGroup->currentIndex());
    Config::saveDeviceParam(deviceName(), QStringLiteral("chnVth") + suffix, QString::number(v, 'f', 2));
}

void VthSetting::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = width();
    const int h = height();
    const int a = Config::pixel(9);
    const int b = Config::pixel(17);
    p.fillRect(QRect(0, 0, w, a), QColor("#848484"));
    p.fillRect(QRect(0, a, w, b - a), QColor("#787878"));
    p.fillRect(QRect(0, b, w, h - b), QColor("#3f3f3f"));
    const int px = Config::pixel(1);
    p.setPen(QPen(Config::grayColor.value(2), px, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(px / 2, px / 2, w - px, h - px));
}
