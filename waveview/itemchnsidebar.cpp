#include "waveview/itemchnsidebar.h"

#include "core/lang.h"
#include "device/devbase.h"
#include "waveview/labelmove.h"
#include "widgets/chnstashow.h"
#include "widgets/mybutton.h"

#include <QFrame>
#include <QGridLayout>
#include <QLinearGradient>
#include <QLineEdit>
#include <QPainter>

#include <cmath>

namespace {

int px(int n)
{
    return Config::pixel(n);
}

struct TrigDef {
    const char* icon;
    TrgType id;
};
const TrigDef trigDefs[4] = {{":/res/btnPosEdge", TrgRise},
                             {":/res/btnHighLevel", TrgHigh},
                             {":/res/btnNegEdge", TrgFall},
                             {":/res/btnLowLevel", TrgLow}};

} // namespace

QString ItemChnSidebar::defaultName(int chn)
{
    return Lang::tr(QStringLiteral("Channel")) + QStringLiteral(" ") + QString::number(chn);
}

ItemChnSidebar::ItemChnSidebar(const QString& name, int chn, QWidget* parent)
    : QWidget(parent), chnIndex(chn)
{
    setStyleSheet(QStringLiteral("QLineEdit{border:0; background-color:transparent; color:#f7f7f7;}"
                                 "QLineEdit:focus{border:0; background-color:#dfdfdf;color:black;}"
                                 "QFrame{background-color:transparent;border:%1px solid black;"
                                 "border-radius:%2px;}")
                      .arg(px(1))
                      .arg(4 * px(1)));
    setFixedWidth(px(196));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);

    numberLab = new LabelMove(this);
    numberLab->setText(QString::number(chn));
    numberLab->setFixedWidth(px(18));
    numberLab->setAlignment(Qt::AlignCenter);
    numberLab->setStyleSheet(QStringLiteral("QLabel{border:0;color:black;}"));
    numberLab->chnIndex = chn;

    const int h = px(16) + 2 * px(1);
    nameEd = new QLineEdit(name.isEmpty() ? defaultName(chn) : name, this);
    nameEd->setFixedHeight(h);
    nameEd->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    nameEd->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    nameEd->setCursorPosition(0);   // a long name shows its start
    connect(nameEd, &QLineEdit::editingFinished, this, &ItemChnSidebar::slotChnNameChanged);

    secondNameEd = new QLineEdit(this);
    secondNameEd->setEnabled(false);
    secondNameEd->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    secondNameEd->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    secondNameEd->setFont(Config::fontSmall);
    secondNameEd->setStyleSheet(QStringLiteral("QLineEdit{border:0; background-color:transparent; color:#afafaf;}"));

    settingBtn = new MyButton(this);
    settingBtn->setFixedSize(h, h);
    settingBtn->setIcon(QIcon(QStringLiteral(":/res/btnSetting")));
    settingBtn->setIconSize(QSize(px(16), px(16)));
    settingBtn->normalColor = QColor(0, 0, 0, 0);
    settingBtn->hoverColor = Config::grayColor.value(5);
    settingBtn->borderWidth = px(1);
    settingBtn->setBorderRadius(px(3));
    connect(settingBtn, &QPushButton::clicked, this, &ItemChnSidebar::chnSetClicked);

    trigFrame = new QFrame(this);
    trigFrame->setFixedSize(2 * px(1) + 4 * px(16), h);
    for (int i = 0; i < 4; ++i) {
        auto* b = new MyButton(trigFrame);
        b->setGeometry(px(1) + i * px(16), px(1), px(16), px(16));
        const QString icon = QString::fromLatin1(trigDefs[i].icon);
        b->setIcon(QIcon(icon));
        b->selectedIcon = QIcon(icon + QStringLiteral("_s"));
        b->setIconSize(QSize(px(16), px(16)));
        b->buttonId = trigDefs[i].id;
        b->gradientNormal = false;
        b->gradientHover = true;
        b->normalColor = QColor(0, 0, 0, 0);
        b->hoverColor = Config::grayColor.value(5);
        b->selectedColor = QColor(30, 90, 160);
        connect(b, &QPushButton::clicked, this, &ItemChnSidebar::slotTrigMouseClicked);
        trigButtons.append(b);
    }
    trigButtons[0]->setBorderRadius(0, px(3), px(3), 0);
    trigButtons[3]->setBorderRadius(px(3), 0, 0, px(3));

    sta = new ChnStaShow(this);

    grid = new QGridLayout(this);
    grid->addWidget(numberLab, 0, 0, 2, 1);
    grid->addWidget(nameEd, 0, 1);
    grid->addWidget(settingBtn, 0, 2);
    grid->addWidget(trigFrame, 0, 3, 1, 2);
    grid->addWidget(secondNameEd, 1, 1, 1, 3);
    grid->addWidget(sta, 1, 4);
    grid->setRowStretch(0, 0);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(0, 0);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 0);
    grid->setColumnStretch(3, 0);
    grid->setHorizontalSpacing(px(3));
    grid->setVerticalSpacing(px(3));
    grid->setContentsMargins(0, px(3) + px(1), px(3), px(3));
    // Live levels are off until the channel menu switches them on.
    setChnStaShow(false, false, false, false);
}

bool ItemChnSidebar::setShowMultip(int m)
{
    const int k = m >= 1 ? int(std::log2(double(m))) : -1;
    if (k >= 0 && k <= 3) {
        showMultip = m;
        return false;
    }
    showMultip = 1;
    return true;
}

void ItemChnSidebar::setSecondName(const QString& text)
{
    secondNameEd->setText(text);
    secondNameEd->setToolTip(text);
    secondNameEd->setCursorPosition(0);
}

void ItemChnSidebar::setTrgStatus(TrgType type)
{
    for (MyButton* b : trigButtons)
        b->setSelected(b->buttonId == int(type) && type != TrgNone);
}

void ItemChnSidebar::setChnStaShow(bool show, bool valid, bool level, bool led)
{
    sta->setVisible(show);
    if (show)
        sta->setSta(valid, level, led);
    grid->removeWidget(secondNameEd);
    grid->addWidget(secondNameEd, 1, 1, 1, show ? 3 : 4);
}

QString ItemChnSidebar::nameKey() const
{
    return QStringLiteral("chnShowName") + QString::number(chnIndex);
}

void ItemChnSidebar::slotChnNameChanged()
{
    // Return keeps the focus: drop it; the focus loss finishes editing again and stores.
    if (nameEd->hasFocus()) {
        nameEd->clearFocus();
        return;
    }
    const QString t = nameEd->text();
    Config::saveGlobalParam(nameKey(), t == defaultName(chnIndex) ? QString() : t);
}

void ItemChnSidebar::slotTrigMouseClicked()
{
    auto* b = dynamic_cast<MyButton*>(sender());
    if (!b)
        return;
    b->setSelected(!b->selected);
    const bool on = b->selected;
    const TrgType t = on ? TrgType(b->buttonId) : TrgNone;
    if (devUsing)
        devUsing->smpStopForRestart();
    if (devUsing)
        devUsing->setDChnTrg(chnIndex, t);
    if (on) {
        for (MyButton* o : trigButtons)
            if (o != b)
                o->setSelected(false);
        if (t == TrgRise || t == TrgFall)
            emit trigEdgeChanged();
    }
    if (devUsing)
        devUsing->smpRestartIfNeed();
}

void ItemChnSidebar::resetAll()
{
    nameEd->setText(defaultName(chnIndex));
    nameEd->setCursorPosition(0);
    Config::saveGlobalParam(nameKey(), QString());
    showIndex = chnIndex;
    showMultip = 1;
    for (MyButton* b : trigButtons)
        b->setSelected(false);
    if (devUsing)
        devUsing->setDChnTrg(chnIndex, TrgNone);
}

void ItemChnSidebar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = width(), h = height(), t = px(1);
    p.fillRect(rect(), Config::grayColor.value(6));
    p.fillRect(0, 0, w, t, Config::grayColor.value(4));
    p.fillRect(0, h - t, w, t, Config::grayColor.value(8));
    p.fillRect(w - t, t, t, h - t, Config::grayColor.value(9));
    const QColor c = Config::chnColor.isEmpty() ? QColor(Qt::gray)
                                                : Config::chnColor.at(chnIndex % Config::chnColor.size());
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, c.lighter(180));
    g.setColorAt(0.5, c);
    g.setColorAt(1, c.darker(200));
    p.fillRect(QRect(0, 0, numberLab->width(), h - t), g);
}
