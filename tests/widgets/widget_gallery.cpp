// Shows every widget of the kit in its states on the dark background and
// saves screenshots: widget_gallery [output-folder] [--show]
#include "core/config.h"
#include "widgets/itemsmpprogress.h"
#include "controls/statusbar.h"
#include "widgets/chnenagroupbox.h"
#include "widgets/chnquickgroupbox.h"
#include "widgets/chnstashow.h"
#include "widgets/colorlump.h"
#include "widgets/menudialog.h"
#include "widgets/mybutton.h"
#include "widgets/mydial.h"
#include "widgets/mylightbtn.h"
#include "widgets/mymenu.h"
#include "widgets/myprogressdlg.h"
#include "widgets/myscrollbar.h"
#include "widgets/myspinbox.h"
#include "widgets/myswitch.h"
#include "widgets/osctabframe.h"

#include <QApplication>
#include <QDir>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidgetAction>

namespace {

QIcon playIcon(const QColor& c)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(QPolygon({QPoint(3, 2), QPoint(14, 8), QPoint(3, 14)}));
    return QIcon(pm);
}

QLabel* caption(const QString& t)
{
    auto* l = new QLabel(t);
    l->setStyleSheet(QStringLiteral("color:#dfdfdf;"));
    return l;
}

MyButton* toolButton(const QString& text)
{
    auto* b = new MyButton;
    b->setText(text);
    b->setFixedSize(70, 24);
    b->normalColor = Config::grayColor[6];
    b->hoverColor = Config::grayColor[4];
    b->selectedColor = QColor(24, 120, 200);
    b->setBorderRadius(4);
    return b;
}

void enter(QWidget* w)
{
    QEvent e(QEvent::Enter);
    QApplication::sendEvent(w, &e);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Config::fillLists();
    Config::createFont();
    QApplication::setFont(Config::fontNormal);
    const QString out = argc > 1 && !QString(argv[1]).startsWith("--") ? QString(argv[1]) : QStringLiteral("/tmp");
    const bool keep = app.arguments().contains(QStringLiteral("--show"));
    QDir().mkpath(out);

    QWidget win;
    win.setWindowTitle(QStringLiteral("Widget kit"));
    win.setAutoFillBackground(true);
    QPalette pal = win.palette();
    pal.setColor(QPalette::Window, Config::grayColor[5]);
    pal.setColor(QPalette::WindowText, Config::grayColor[0]);
    win.setPalette(pal);
    auto* grid = new QGridLayout(&win);
    int row = 0;

    // Buttons: normal, hovered, selected (glow), disabled hovered, outlined, icon.
    {
        auto* box = new QHBoxLayout;
        auto* n = toolButton(QStringLiteral("Normal"));
        auto* h = toolButton(QStringLiteral("Hover"));
        enter(h);
        auto* s = toolButton(QStringLiteral("Selected"));
        s->setShadowEnable();
        s->setSelected(true);
        auto* d = toolButton(QStringLiteral("Disabled"));
        d->setEnabled(false);
        enter(d);
        auto* o = toolButton(QStringLiteral("Outline"));
        o->borderWidth = 1;
        o->borderColor = Config::grayColor[2];
        o->gradientNormal = false;
        o->setBorderRadius(10, 0, 0, 10);
        auto* i = new MyButton;
        i->setFixedSize(32, 32);
        i->normalColor = Config::grayColor[6];
        i->selectedColor = QColor(0, 120, 0);
        i->setIcon(playIcon(Config::grayColor[0]));
        i->selectedIcon = playIcon(QColor(255, 255, 0));
        i->setBorderRadius(16);
        auto* i2 = new MyButton;
        i2->setFixedSize(32, 32);
        i2->normalColor = Config::grayColor[6];
        i2->selectedColor = QColor(0, 120, 0);
        i2->setIcon(playIcon(Config::grayColor[0]));
        i2->selectedIcon = playIcon(QColor(255, 255, 0));
        i2->setBorderRadius(16);
        i2->setSelected(true);
        for (QWidget* w : {static_cast<QWidget*>(n), static_cast<QWidget*>(h), static_cast<QWidget*>(s),
                           static_cast<QWidget*>(d), static_cast<QWidget*>(o), static_cast<QWidget*>(i),
                           static_cast<QWidget*>(i2)})
            box->addWidget(w);
        box->addStretch();
        grid->addWidget(caption(QStringLiteral("MyButton")), row, 0);
        grid->addLayout(box, row++, 1);
    }
    // Light buttons, switches, lamps, spin box.
    {
        auto* box = new QHBoxLayout;
        for (int k = 0; k < 3; ++k) {
            auto* b = new MyLightBtn;
            b->setFixedSize(60, 28);
            b->setText(QStringList{"Light", "Glow", "Shadow"}[k]);
            b->fillColor = Config::grayColor[7];
            b->borderColor = Config::grayColor[3];
            b->borderWidth = 1;
            b->glowColor = QColor(24, 160, 255, 160);
            b->shadowColor = QColor(255, 200, 0);
            if (k == 1)
                enter(b);
            if (k == 2)
                b->setSelected(true);
            box->addWidget(b);
        }
        box->addSpacing(20);
        for (bool on : {false, true}) {
            auto* sw = new MySwitch;
            sw->setFixedSize(40, 20);
            sw->switchOn = on;
            QObject::connect(sw, &MySwitch::clicked, sw, [sw] {
                sw->switchOn = !sw->switchOn;
                sw->update();
            });
            box->addWidget(sw);
        }
        box->addSpacing(20);
        const bool sta[4][3] = {{false, false, false}, {true, false, false}, {true, true, false}, {true, true, true}};
        for (const auto& st : sta) {
            auto* lamp = new ChnStaShow;
            lamp->setFixedHeight(20);
            lamp->setSta(st[0], st[1], st[2]);
            box->addWidget(lamp);
        }
        box->addSpacing(20);
        auto* spin = new MySpinBox;
        spin->setRange(0, 1000);
        spin->setValue(250);
        box->addWidget(spin);
        box->addStretch();
        grid->addWidget(caption(QStringLiteral("Light / switch / lamps")), row, 0);
        grid->addLayout(box, row++, 1);
    }
    // Separators.
    {
        auto* box = new QVBoxLayout;
        box->addWidget(new ColorLump(Config::grayColor[2], 1, 0, 2));
        box->addWidget(new ColorLump(Config::grayColor[8], 2, 20, 0));
        grid->addWidget(caption(QStringLiteral("ColorLump")), row, 0);
        grid->addLayout(box, row++, 1);
    }
    // Channel boxes, oscilloscope frame with a dial, scroll bar.
    {
        auto* box = new QHBoxLayout;
        auto* boxes = new QWidget;
        boxes->setAutoFillBackground(true);
        QPalette light = boxes->palette();
        light.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
        light.setColor(QPalette::WindowText, Qt::black);
        boxes->setPalette(light);
        auto* bl = new QVBoxLayout(boxes);
        auto* quick = new ChnQuickGroupBox({500000000, 250000000, 125000000}, {8, 16, 32});
        QVector<bool> en(16, false);
        en[0] = en[1] = en[5] = en[12] = true;
        auto* ena = new ChnEnaGroupBox(en);
        QObject::connect(quick, &ChnQuickGroupBox::chnSelect, ena, &ChnEnaGroupBox::slotChnEnaSelect);
        QObject::connect(ena, &ChnEnaGroupBox::chnEnaChanged, quick, &ChnQuickGroupBox::chnSelectChanged);
        bl->addWidget(quick);
        bl->addWidget(ena);
        box->addWidget(boxes);

        auto* frame = new OscTabFrame;
        frame->setFixedSize(200, 230);
        auto* fl = new QVBoxLayout(frame);
        fl->setContentsMargins(6, 14, 6, 6);
        auto* dial = new MyDial;
        dial->setFixedSize(180, 200);
        dial->setTextList({"10mV", "20mV", "50mV", "100mV", "200mV", "500mV", "1V", "2V", "5V"});
        dial->setCurrentIndex(6);
        fl->addWidget(dial);
        box->addWidget(frame);

        auto* frame2 = new OscTabFrame;
        frame2->setFixedSize(200, 230);
        auto* fl2 = new QVBoxLayout(frame2);
        fl2->setContentsMargins(6, 14, 6, 6);
        auto* dial2 = new MyDial;
        dial2->setFixedSize(180, 200);
        QStringList times;
        for (const char* t : {"1ns", "2ns", "5ns", "10ns", "20ns", "50ns", "100ns", "200ns", "500ns", "1us", "2us",
                              "5us", "10us", "20us", "50us", "100us", "200us", "500us", "1ms", "2ms"})
            times << QLatin1String(t);
        dial2->setTextList(times);
        dial2->setCurrentIndex(11);
        dial2->setEnabled(false);
        fl2->addWidget(dial2);
        box->addWidget(frame2);

        auto* list = new QWidget;
        list->setFixedSize(120, 230);
        list->setAutoFillBackground(true);
        QPalette lp = list->palette();
        lp.setColor(QPalette::Window, Config::grayColor[7]);
        list->setPalette(lp);
        auto* ll = new QVBoxLayout(list);
        for (int k = 0; k < 8; ++k)
            ll->addWidget(caption(QStringLiteral("row %1").arg(k * 37)));
        auto* bar = new MyScrollbar(list);
        bar->setGeometry(112, 0, 8, 230);
        bar->setRange(0, 990);
        bar->setPageStep(200);
        bar->setValue(300);
        auto* list2 = new QWidget;
        list2->setFixedSize(40, 230);
        list2->setAutoFillBackground(true);
        list2->setPalette(lp);
        auto* bar2 = new MyScrollbar(list2);
        bar2->setGeometry(30, 0, 10, 230);
        bar2->setRange(0, 990);
        bar2->setPageStep(10);
        bar2->setValue(990);
        box->addWidget(list);
        box->addWidget(list2);
        box->addStretch();
        grid->addWidget(caption(QStringLiteral("Boxes / dials / scroll")), row, 0);
        grid->addLayout(box, row++, 1);
    }
    // Status bar states and the progress item.
    {
        auto* box = new QHBoxLayout;
        auto* col = new QVBoxLayout;
        const int states[5][2] = {{5, 0}, {1, 30}, {2, 50}, {3, 80}, {4, 50}};
        for (const auto& st : states) {
            auto* sb = new StatusBar;
            sb->setConnectSta(true);
            sb->setSmpProgress(st[0], st[1]);
            col->addWidget(sb);
        }
        auto* review = new StatusBar;
        review->setDataReview(false);
        col->addWidget(review);
        col->addStretch();
        box->addLayout(col);

        for (const auto& st : {std::pair<int, int>(2, 35), std::pair<int, int>(4, 60)}) {
            auto* scene = new QGraphicsScene(0, 0, 270, 270, &win);
            scene->setBackgroundBrush(Config::grayColor[8]);
            auto* item = new ItemSmpProgress;
            item->setSize(250, 250);
            item->setPos(10, 10);
            scene->addItem(item);
            item->setValue(0, 0);
            item->setValue(st.first, st.second);
            auto* view = new QGraphicsView(scene);
            view->setFixedSize(274, 274);
            box->addWidget(view);
        }
        box->addStretch();
        grid->addWidget(caption(QStringLiteral("StatusBar / ItemSmpProgress")), row, 0);
        grid->addLayout(box, row++, 1);
    }

    win.resize(1300, 880);
    win.show();

    // Menus and the progress dialog are windows of their own: grabbed apart.
    auto* menu = new MyMenu(&win);
    for (const char* t : {"Frequency", "Period", "Duty cycle"}) {
        QAction* a = menu->addAction(QLatin1String(t));
        a->setCheckable(true);
        a->setChecked(t[0] != 'P');
    }
    auto* md = new MenuDialog(&win);
    auto* panel = new QGroupBox(QStringLiteral("  Sample Mode  "));
    auto* pl = new QVBoxLayout(panel);
    pl->addWidget(new QRadioButton(QStringLiteral("Buffer mode")));
    pl->addWidget(new QRadioButton(QStringLiteral("Stream mode")));
    auto* wa = new QWidgetAction(md);
    wa->setDefaultWidget(panel);
    md->addAction(wa);
    auto* dlg = new MyProgressDlg(QStringLiteral("Save File"), QStringLiteral("Cancel"), &win);
    dlg->labelMsg->setText(QStringLiteral("Saving the capture..."));
    dlg->setValue(64);

    QTimer::singleShot(300, &win, [&] {
        win.grab().save(out + QStringLiteral("/gallery_main.png"));
        menu->popup(win.mapToGlobal(QPoint(100, 100)));
        QTimer::singleShot(200, &win, [&] {
            menu->grab().save(out + QStringLiteral("/gallery_menu.png"));
            menu->hide();
            md->popup(win.mapToGlobal(QPoint(300, 100)));
            QTimer::singleShot(200, &win, [&] {
                md->grab().save(out + QStringLiteral("/gallery_menudialog.png"));
                md->hide();
                dlg->show();
                QTimer::singleShot(200, &win, [&] {
                    dlg->grab().save(out + QStringLiteral("/gallery_progress.png"));
                    if (!keep)
                        app.quit();
                });
            });
        });
    });
    return app.exec();
}
