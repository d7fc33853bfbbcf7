#include "scope/annotationsosc.h"

#include "core/config.h"
#include "core/lang.h"
#include "widgets/oscpanelkit.h"
#include "scope/oscmeasurepairitem.h"
#include "widgets/mybutton.h"
#include "widgets/mymenu.h"

#include <QAction>
#include <QCursor>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

AnnotationsOsc::AnnotationsOsc(QWidget* parent) : QWidget(parent)
{
    setStyleSheet(QStringLiteral("QLabel{color:#f7f7f7;}"));

    widgetItems = new QWidget(this);
    widgetItems->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layoutItems = new QVBoxLayout(widgetItems);
    layoutItems->setContentsMargins(0, 0, 0, 0);
    layoutItems->setSpacing(Config::pixel(4));

    itemEna = QVector<bool>(2, true);
    Config::StringToBoolArray(Config::readGlobalParam(QStringLiteral("oscCursorEna")), itemEna.data(), 2);
    items << new OscMeasurePairItem(1, widgetItems) << new OscMeasurePairItem(0, widgetItems);
    for (int i = 0; i < items.size(); ++i) {
        connect(items[i], &OscMeasurePairItem::markerClicked, this, &AnnotationsOsc::labelClicked);
        connect(items[i], &OscMeasurePairItem::chnBtnClicked, this, &AnnotationsOsc::chnChanged);
        layoutItems->addWidget(items[i]);
        items[i]->setVisible(itemEna[i]);
    }

    btnDeploy = OscPanelKit::collapseButton(this);
    connect(btnDeploy, &QPushButton::clicked, this, &AnnotationsOsc::slotDeployClicked);

    labelTitle = OscPanelKit::title(Lang::tr(QStringLiteral("Cursor measurement")), this);

    btnSet = new MyButton(this);
    btnSet->setIcon(QIcon(QStringLiteral(":/res/btnSetting")));
    btnSet->setIconSize(QSize(Config::pixel(16), Config::pixel(16)));
    btnSet->setFixedSize(int(2 * Config::pixel(1) + 1.5 * Config::pixel(16)), Config::pixel(16) + 2 * Config::pixel(1));
    OscPanelKit::styleFramed(btnSet);
    connect(btnSet, &QPushButton::clicked, this, &AnnotationsOsc::openMenuDig);

    layoutMain = OscPanelKit::panelGrid(this, btnDeploy, labelTitle, btnSet, widgetItems);

    slotDeployClicked();
}

void AnnotationsOsc::init()
{
    for (OscMeasurePairItem* item : items)
        item->init();
}

void AnnotationsOsc::setValue(int kind, const QStringList& texts)
{
    for (OscMeasurePairItem* item : items) {
        if (item->kind() == kind) {
            item->setValue(texts);
            return;
        }
    }
}

void AnnotationsOsc::setItemEna(int index)
{
    if (index < 0 || index >= items.size())
        return;
    itemEna[index] = true;
    items[index]->show();
}

void AnnotationsOsc::slotDeployClicked()
{
    deployed = !deployed;
    btnSet->setVisible(deployed);
    widgetItems->setVisible(deployed);
    OscPanelKit::showExpandIcon(btnDeploy, deployed);
}

void AnnotationsOsc::openMenuDig()
{
    if (!menuItems) {
        menuItems = new MyMenu(this);
        const char* const names[] = {"|X1-X2|", "|Y1-Y2|"};
        for (int i = 0; i < 2; ++i) {
            QAction* a = menuItems->addAction(Lang::tr(QLatin1String(names[i])));
            a->setData(i);
            a->setCheckable(true);
        }
        connect(menuItems, &QMenu::triggered, this, &AnnotationsOsc::slotMenuClicked);
    }
    const QList<QAction*> entries = menuItems->actions();
    for (int i = 0; i < entries.size() && i < itemEna.size(); ++i)
        entries[i]->setChecked(itemEna[i]);
    menuItems->popup(QCursor::pos());
}

void AnnotationsOsc::slotMenuClicked(QAction* action)
{
    if (!action)
        return;
    const int index = action->data().toInt();
    if (index < 0 || index >= items.size())
        return;
    itemEna[index] = action->isChecked();
    items[index]->setVisible(itemEna[index]);
    Config::saveGlobalParam(QStringLiteral("oscCursorEna"),
                            Config::BoolArrayToString(itemEna.constData(), itemEna.size()));
    if (!itemEna[index])
        emit hideClicked(index);
}
