#include "scope/triggersetosc.h"

#include "core/config.h"
#include "core/lang.h"
#include "device/devbase.h"
#include "widgets/oscpanelkit.h"
#include "scope/oscsetcode.h"
#include "widgets/mybutton.h"
#include "widgets/osctabframe.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

TriggerSetOsc::TriggerSetOsc(QWidget* parent) : QFrame(parent)
{
    auto* lay = OscPanelKit::column(this,
                                    QStringLiteral("QLabel{background-color:transparent;border:0;color:#f7f7f7;}"
                                                   "QRadioButton{background-color:transparent;border:0;color:#f7f7f7;}"),
                                    0);

    const OscPanelKit::Header head = OscPanelKit::header(this, Lang::tr(QStringLiteral("Trigger")), false);
    tab = head.frame;
    btnDrop = head.drop;
    auto* space = new QLabel(tab);
    space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    head.layout->addWidget(space);

    body = new QWidget(this);
    body->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* bodyLay = new QHBoxLayout(body);
    bodyLay->setContentsMargins(6, 0, 6, 0);
    bodyLay->setSpacing(8);
    groupChn = new QButtonGroup(this);
    const int n = devUsing ? devUsing->aChnEna.size() : 0;
    for (int i = 0; i < n; ++i) {
        auto* rb = new QRadioButton(QStringLiteral("CH") + QString::number(i + 1), body);
        rb->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        groupChn->addButton(rb);
        bodyLay->addWidget(rb);
        btnChn.append(rb);
        connect(rb, &QRadioButton::clicked, this, &TriggerSetOsc::slotChnClicked);
    }
    auto* gap = new QLabel(body);
    gap->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    bodyLay->addWidget(gap);

    const int p1 = Config::pixel(1);
    const int p16 = Config::pixel(16);
    edgeFrame = new QFrame(body);
    edgeFrame->setFixedSize(p1 + 4 * p16, Config::pixel(18) + 4 * p1);
    struct Edge {
        int id;
        const char* icon;
        int left;
    };
    const Edge edges[2] = {{TrgRise, ":/res/btnPosEdge", p1 + 2 * p16 / 3}, {TrgFall, ":/res/btnNegEdge", p1 + 7 * p16 / 3}};
    for (const Edge& e : edges) {
        auto* b = new MyButton(edgeFrame);
        b->setFixedSize(p16, Config::pixel(18));
        b->setIconSize(QSize(p16, p16));
        b->setIcon(QIcon(QString::fromLatin1(e.icon)));
        b->selectedIcon = QIcon(QString::fromLatin1(e.icon) + QStringLiteral("_s"));
        b->buttonId = e.id;
        b->normalColor = QColor(0, 0, 0, 0);
        b->hoverColor = Config::grayColor.value(5);
        b->selectedColor = Config::grayColor.value(9);
        b->move(e.left, 2 * p1);
        btnEdge.append(b);
        connect(b, &QPushButton::clicked, this, &TriggerSetOsc::slotModeClicked);
    }
    bodyLay->addWidget(edgeFrame, 2);

    lay->addWidget(tab);
    lay->addWidget(body);
    connect(btnDrop, &QPushButton::clicked, this, &TriggerSetOsc::slotBtnDropClicked);

    slotBtnDropClicked();
}

void TriggerSetOsc::slotBtnDropClicked()
{
    expanded = !expanded;
    body->setVisible(expanded);
    OscPanelKit::showExpanded(this, btnDrop, expanded, Config::pixel(55));
    emit stateChanged();
}

void TriggerSetOsc::init()
{
    setTrigEdgeStatus();
    if (!btnChn.isEmpty() && devUsing) {
        // A stored channel outside the buttons (edited settings) falls back to the first.
        const int t = devUsing->aTrgChn;
        btnChn[t >= 0 && t < btnChn.size() ? t : 0]->setChecked(true);
        slotChnClicked();
    }
    show();
}

void TriggerSetOsc::setTrigEdgeStatus()
{
    const int type = devUsing ? devUsing->aTrgType : 0;
    for (MyButton* b : qAsConst(btnEdge))
        b->setSelected(b->buttonId == type);
}

void TriggerSetOsc::slotModeClicked()
{
    MyButton* sender = nullptr;
    for (MyButton* b : qAsConst(btnEdge))
        if (b == QObject::sender())
            sender = b;
    if (!sender || sender->selected)
        return;
    for (MyButton* b : qAsConst(btnEdge))
        b->setSelected(b == sender);
    emit trigSetChanged(sender->buttonId, OscSetCode::TrgEdge);
}

void TriggerSetOsc::slotChnClicked()
{
    for (int i = 0; i < btnChn.size(); ++i) {
        if (btnChn[i]->isChecked()) {
            emit trigSetChanged(i, OscSetCode::TrgChannel);
            return;
        }
    }
}
