// MyMenu and MenuDialog (entries that keep the menu open) and MyProgressDlg.
#include "core/config.h"
#include "widgets/menudialog.h"
#include "widgets/mymenu.h"
#include "widgets/myprogressdlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

namespace {

// Pops the menu up and clicks the entry in its middle.
void clickEntry(QMenu& menu, QAction* action)
{
    if (!menu.isVisible()) {
        menu.popup(QPoint(100, 100));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
    }
    const QPoint at = menu.actionGeometry(action).center();
    QTest::mouseMove(&menu, at);
    QTest::mouseClick(&menu, Qt::LeftButton, {}, at);
}

} // namespace

class TstKitMenus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Config::fillLists(); }
    void entryStaysOpen_data();
    void entryStaysOpen();
    void checkableToggles();
    void disabledEntryNotTriggered();
    void menuDialogLook();
    void progressValue_data();
    void progressValue();
    void progressCloseOnFull();
    void progressButton();
    void progressLayout();
};

void TstKitMenus::entryStaysOpen_data()
{
    QTest::addColumn<bool>("dialog");
    QTest::addColumn<QVariant>("canHide");
    QTest::addColumn<bool>("closes");
    for (bool dialog : {false, true}) {
        const char* kind = dialog ? "MenuDialog " : "MyMenu ";
        QTest::newRow(QByteArray(kind).append("none")) << dialog << QVariant() << false;
        QTest::newRow(QByteArray(kind).append("true")) << dialog << QVariant(QStringLiteral("true")) << true;
        QTest::newRow(QByteArray(kind).append("True")) << dialog << QVariant(QStringLiteral("True")) << false;
        QTest::newRow(QByteArray(kind).append("TRUE")) << dialog << QVariant(QStringLiteral("TRUE")) << false;
        QTest::newRow(QByteArray(kind).append("false")) << dialog << QVariant(QStringLiteral("false")) << false;
        // A bool property reads as the text "true".
        QTest::newRow(QByteArray(kind).append("bool")) << dialog << QVariant(true) << true;
    }
}

void TstKitMenus::entryStaysOpen()
{
    QFETCH(bool, dialog);
    QFETCH(QVariant, canHide);
    QFETCH(bool, closes);
    QScopedPointer<QMenu> menu(dialog ? static_cast<QMenu*>(new MenuDialog) : new MyMenu);
    menu->addAction(QStringLiteral("First"));
    QAction* entry = menu->addAction(QStringLiteral("Second entry"));
    if (canHide.isValid())
        entry->setProperty("canHideMenu", canHide);
    QSignalSpy triggered(entry, &QAction::triggered);
    clickEntry(*menu, entry);
    QCOMPARE(triggered.count(), 1);
    QCOMPARE(menu->isVisible(), !closes);
    if (!closes) {
        clickEntry(*menu, entry);
        QCOMPARE(triggered.count(), 2);
        QVERIFY(menu->isVisible());
    }
}

void TstKitMenus::checkableToggles()
{
    MyMenu menu;
    QAction* a = menu.addAction(QStringLiteral("Frequency"));
    a->setCheckable(true);
    QSignalSpy triggered(a, &QAction::triggered);
    clickEntry(menu, a);
    QVERIFY(a->isChecked());
    QVERIFY(menu.isVisible());
    clickEntry(menu, a);
    QVERIFY(!a->isChecked());
    QCOMPARE(triggered.count(), 2);
    QCOMPARE(triggered.at(0).at(0).toBool(), true);
    QCOMPARE(triggered.at(1).at(0).toBool(), false);
}

void TstKitMenus::disabledEntryNotTriggered()
{
    MyMenu menu;
    QAction* a = menu.addAction(QStringLiteral("Disabled"));
    a->setCheckable(true);
    a->setEnabled(false);
    menu.addAction(QStringLiteral("Other"));
    QSignalSpy triggered(a, &QAction::triggered);
    clickEntry(menu, a);
    QCOMPARE(triggered.count(), 0);
    QVERIFY(!a->isChecked());
}

void TstKitMenus::menuDialogLook()
{
    MenuDialog m;
    QCOMPARE(m.styleSheet(),
             QStringLiteral("QMenu{background-color:#F0F0F0; color:black;}QGroupBox{border:1px solid black;"
                            "border-radius:4px;margin-top:8px;margin-bottom:4px;}QGroupBox::title{"
                            "subcontrol-origin:margin; position:relative;left:16px;}"));
    QCOMPARE(m.contentsMargins(), QMargins(8, 10, 8, 6));
}

void TstKitMenus::progressValue_data()
{
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("shown");
    QTest::newRow("negative") << -5 << 0;
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("mid") << 42 << 42;
    QTest::newRow("99") << 99 << 99;
    QTest::newRow("100") << 100 << 100;
    QTest::newRow("over") << 250 << 100;
}

void TstKitMenus::progressValue()
{
    QFETCH(int, in);
    QFETCH(int, shown);
    MyProgressDlg dlg(QStringLiteral("Save File"), QStringLiteral("Cancel"));
    dlg.show();
    QSignalSpy accepted(&dlg, &QDialog::accepted);
    dlg.setValue(50);
    dlg.setValue(in);
    auto* bar = dlg.findChild<QProgressBar*>();
    QVERIFY(bar);
    QCOMPARE(bar->value(), shown);
    QCOMPARE(dlg.value(), shown);
    QVERIFY(dlg.isVisible());
    QCOMPARE(accepted.count(), 0);
}

void TstKitMenus::progressCloseOnFull()
{
    MyProgressDlg dlg(QStringLiteral("Open File"), QStringLiteral("Cancel"));
    dlg.closeOnFull = true;
    dlg.show();
    QSignalSpy accepted(&dlg, &QDialog::accepted);
    dlg.setValue(99);
    QVERIFY(dlg.isVisible());
    dlg.setValue(100);
    QCOMPARE(accepted.count(), 1);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

void TstKitMenus::progressButton()
{
    MyProgressDlg dlg(QStringLiteral("Export"), QStringLiteral("Stop"));
    auto* button = dlg.findChild<QPushButton*>();
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("Stop"));
    dlg.closeByButton = false;
    dlg.show();
    QSignalSpy rejected(&dlg, &QDialog::rejected);
    button->click();
    button->click();
    QCOMPARE(rejected.count(), 2);
    QVERIFY(dlg.isVisible());

    dlg.closeByButton = true;
    button->click();
    QCOMPARE(rejected.count(), 3);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));

    dlg.setButtonShow(false);
    QVERIFY(button->isHidden());
    dlg.setButtonShow(true);
    QVERIFY(!button->isHidden());
}

void TstKitMenus::progressLayout()
{
    MyProgressDlg dlg(QStringLiteral("Device connect"), QStringLiteral("Close"));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Device connect"));
    QCOMPARE(dlg.minimumSize(), QSize(260, 120));
    QCOMPARE(dlg.windowModality(), Qt::ApplicationModal);
    QVERIFY(!(dlg.windowFlags() & Qt::WindowContextHelpButtonHint));
    QVERIFY(!(dlg.windowFlags() & Qt::WindowCloseButtonHint));
    auto* button = dlg.findChild<QPushButton*>();
    QCOMPARE(button->size(), QSize(56, 26));
    QVERIFY(dlg.labelMsg->wordWrap());
    auto* bar = dlg.findChild<QProgressBar*>();
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QVERIFY(!bar->isTextVisible());
    dlg.labelMsg->setText(QStringLiteral("Connecting..."));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    // Bar above the message, the button bottom right.
    QVERIFY(bar->geometry().bottom() < dlg.labelMsg->geometry().top());
    QVERIFY(dlg.labelMsg->geometry().bottom() < button->geometry().top());
    QCOMPARE(button->geometry().right(), dlg.width() - 20 - 1);
    QCOMPARE(bar->geometry().left(), 20);
    QCOMPARE(bar->geometry().top(), 20);
}

QTEST_MAIN(TstKitMenus)
#include "tst_kitmenus.moc"
