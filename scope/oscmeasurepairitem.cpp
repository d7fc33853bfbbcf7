#include "scope/oscmeasurepairitem.h"

#include "core/config.h"
#include "device/devbase.h"
#include "widgets/oscpanelkit.h"
#include "widgets/mybutton.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>
#include <QWidgetAction>

namespace {

const QString NoValue = QStringLiteral("###");

} // namespace

int OscMeasurePairItem::cursorChnIndex(int chnCount)
{
    bool ok = false;
    const int i = Config::readGlobalParam(QStringLiteral("oscCursorChn")).toInt(&ok);
    return ok && i >= 0 && i < chnCount ? i : 0;
}

OscMeasurePairItem::OscMeasurePairItem(int kind, QWidget* parent) : QWidget(parent), type(kind)
{
    setStyleSheet(QStringLiteral("background-color:transparent;color:#f7f7f7;"));
    const bool volt = kind == 0;
    const QString first = volt ? QStringLiteral("Y1") : QStringLiteral("X1");
    const QString second = volt ? QStringLiteral("Y2") : QStringLiteral("X2");

    widgetDiff = new QWidget(this);
    layoutDiff = new QHBoxLayout(widgetDiff);
    layoutDiff->setContentsMargins(0, 0, 0, 0);
    layoutDiff->setSpacing(Config::pixel(1));
    labelBar1 = new QLabel(QStringLiteral("|"), widgetDiff);
    labelMinus = new QLabel(QStringLiteral("-"), widgetDiff);
    labelBar2 = new QLabel(QStringLiteral("|"), widgetDiff);
    labelEqual = new QLabel(QStringLiteral("="), widgetDiff);
    btnFirst = new MyButton(widgetDiff);
    btnSecond = new MyButton(widgetDiff);
    int id = 0;
    for (MyButton* b : {btnFirst, btnSecond}) {
        b->setFixedSize(Config::pixel(22), Config::pixel(16));
        OscPanelKit::styleFramed(b);
        b->setObjectName(QString::number(id++));
        connect(b, &QPushButton::clicked, this, &OscMeasurePairItem::slotBtnClicked);
    }
    btnFirst->setText(first);
    btnSecond->setText(second);
    labelDiff = new QLabel(NoValue, widgetDiff);
    labelDiff->setToolTip(NoValue);
    labelDiff->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    layoutDiff->addWidget(labelBar1);
    layoutDiff->addWidget(btnFirst);
    layoutDiff->addWidget(labelMinus);
    layoutDiff->addWidget(btnSecond);
    layoutDiff->addWidget(labelBar2);
    layoutDiff->addWidget(labelEqual);
    layoutDiff->addWidget(labelDiff, 1);

    widgetHead = new QWidget(this);
    layoutHead = new QHBoxLayout(widgetHead);
    layoutHead->setContentsMargins(0, 0, 0, 0);
    layoutHead->setSpacing(Config::pixel(1));
    btnDeploy = OscPanelKit::collapseButton(widgetHead);
    connect(btnDeploy, &QPushButton::clicked, this, &OscMeasurePairItem::slotBtnDeployClicked);
    btnChn = new MyButton(widgetHead);
    btnChn->setText(QStringLiteral("CH1"));
    btnChn->setFixedSize(int(2 * Config::pixel(1) + 2.5 * Config::pixel(16)), Config::pixel(16) + 2 * Config::pixel(1));
    OscPanelKit::styleFramed(btnChn);
    connect(btnChn, &QPushButton::clicked, this, &OscMeasurePairItem::slotBtnChnClicked);
    layoutHead->addWidget(btnDeploy);
    layoutHead->addWidget(widgetDiff);
    layoutHead->addWidget(btnChn, 1);

    widgetValues = new QWidget(this);
    layoutValues = new QGridLayout(widgetValues);
    layoutValues->setContentsMargins(Config::pixel(16), 0, 0, 0);
    layoutValues->setSpacing(Config::pixel(3));
    labelFirstName = new QLabel(first, widgetValues);
    labelSecondName = new QLabel(second, widgetValues);
    labelAt1 = new QLabel(QStringLiteral("@"), widgetValues);
    labelAt2 = new QLabel(QStringLiteral("@"), widgetValues);
    for (int i = 0; i < 2; ++i) {
        auto* v = new QLabel(NoValue, widgetValues);
        v->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        labelValues << v;
    }
    layoutValues->addWidget(labelFirstName, 0, 0);
    layoutValues->addWidget(labelAt1, 0, 1);
    layoutValues->addWidget(labelValues[0], 0, 2);
    layoutValues->addWidget(labelSecondName, 1, 0);
    layoutValues->addWidget(labelAt2, 1, 1);
    layoutValues->addWidget(labelValues[1], 1, 2);

    layoutMain = new QVBoxLayout(this);
    layoutMain->setContentsMargins(Config::pixel(3), Config::pixel(3), Config::pixel(4), Config::pixel(3));
    layoutMain->setSpacing(Config::pixel(3));
    layoutMain->addWidget(widgetHead);
    layoutMain->addWidget(widgetValues);

    if (volt) {
        menuChn = new QMenu(this);
        menuChn->setStyleSheet(QStringLiteral("QMenu{background:#1f1f23;border:") + QString::number(Config::pixel(1))
                               + QStringLiteral("px solid #afafaf;}QLabel{background-color:transparent; "
                                                "color:#f7f7f7;}QLabel::disabled{color:#afafaf;}"
                                                "QLabel::hover{background-color: #575b5f;}"));
        connect(menuChn, &QMenu::triggered, this, &OscMeasurePairItem::slotMenuChnClicked);
    } else {
        btnChn->hide();
    }
    slotBtnDeployClicked();
}

void OscMeasurePairItem::init()
{
    if (menuChn) {
        const int n = devUsing ? devUsing->aChnEna.size() : 0;
        const QList<QAction*> entries = OscPanelKit::trimMenu(menuChn, n);
        for (int i = entries.size(); i < n; ++i) {
            auto* a = new QWidgetAction(this);
            a->setData(i);
            auto* label = new QLabel(QStringLiteral("CH") + QString::number(i + 1));
            label->setAlignment(Qt::AlignCenter);
            a->setDefaultWidget(label);
            menuChn->addAction(a);
        }
        // A stored index the device has no channel for would name a channel
        // that does not exist and index past the channel lists: channel 0 serves.
        const int chn = cursorChnIndex(n);
        const QString stored = Config::readGlobalParam(QStringLiteral("oscCursorChn"));
        if (n > 0 && !stored.isEmpty() && stored != QString::number(chn))
            Config::saveGlobalParam(QStringLiteral("oscCursorChn"), QString::number(chn));
        btnChn->setText(QStringLiteral("CH") + QString::number(chn + 1));
    }
    labelDiff->setText(NoValue);
    labelDiff->setToolTip(NoValue);
    for (QLabel* v : labelValues)
        v->setText(NoValue);
    deployed = false;
    slotBtnDeployClicked();
}

void OscMeasurePairItem::setValue(const QStringList& texts)
{
    if (texts.size() != labelValues.size() + 1)
        return;
    labelValues[0]->setText(texts[0]);
    labelValues[1]->setText(texts[1]);
    labelDiff->setText(texts[2]);
    labelDiff->setToolTip(texts[2]);
}

MyButton* OscMeasurePairItem::markerButton(int id) const
{
    return id == 0 ? btnFirst : id == 1 ? btnSecond : nullptr;
}

QStringList OscMeasurePairItem::texts() const
{
    return {labelValues[0]->text(), labelValues[1]->text(), labelDiff->text()};
}

void OscMeasurePairItem::slotBtnDeployClicked()
{
    deployed = !deployed;
    widgetValues->setVisible(deployed);
    OscPanelKit::showExpandIcon(btnDeploy, deployed);
}

void OscMeasurePairItem::slotBtnClicked()
{
    if (QObject* b = sender())
        emit markerClicked(b->objectName().toInt(), type);
}

void OscMeasurePairItem::slotBtnChnClicked()
{
    if (!menuChn)
        return;
    menuChn->setFixedWidth(btnChn->width());
    menuChn->exec(btnChn->mapToGlobal(QPoint(0, btnChn->height())));
}

void OscMeasurePairItem::slotMenuChnClicked(QAction* act)
{
    if (!act)
        return;
    const int index = act->data().toInt();
    const QString text = QStringLiteral("CH") + QString::number(index + 1);
    if (text == btnChn->text())
        return;
    btnChn->setText(text);
    Config::saveGlobalParam(QStringLiteral("oscCursorChn"), QString::number(index));
    emit chnBtnClicked(index);
}
