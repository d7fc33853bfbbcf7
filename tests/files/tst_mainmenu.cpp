// The main menu's file actions end to end with real files: the dialogs are
// driven through the menu's hooks, and a small rig plays the main window's
// part (it replaces the device object when a file's settings were merged).
#include "core/config.h"
#include "core/lang.h"
#include "common/tempenv.h"
#include "device/devbase.h"
#include "files/exportdataset.h"
#include "files/mainmenu.h"
#include "files/options.h"
#include "filetesthelp.h"
#include "widgets/chnenagroupbox.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QRadioButton>
#include <QUrl>
#include <QtTest>

#include <functional>
#include <memory>

class TstMainMenu : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempEnv> env;
    std::unique_ptr<MainMenu> menu;
    QStringList boxes;                          // texts of the message boxes shown
    QStringList savePaths;                      // answers of the save dialogs, in order
    int saveAsked = 0;
    int boxAnswer = QMessageBox::Close;
    std::function<void(ExportDataSet&)> drive;  // what the user does in the range dialog
    int replaced = 0;
    QVector<int> ready;                         // sigSmpDataReady of the device objects
    RefCapture ref;

    void newDevice(int model)
    {
        delete devUsing;
        devUsing = DevBase::createDevice(model);
        connect(devUsing, &DevBase::sigSmpDataReady, this, [this](int f) { ready << f; });
    }
    // A capture on display: 16 channels, trigger at 300 of 1000 samples.
    void showCapture()
    {
        std::mt19937_64 rng(7);
        ref = randomCapture(rng, 16, 1000, 0.02);
        ref.trigger = 300;
        fillStore(*devUsing->displayedSmpData(), ref);
    }
    // What "User Guide..." opens with the guides in res, in language lang.
    QList<QUrl> openGuide(const QString& res, const QString& lang)
    {
        AppPaths::setResources(res);
        QList<QUrl> urls;
        menu->hooks.openUrl = [&urls](const QUrl& u) { urls << u; return true; };
        Lang::code = lang;
        menu->actOpenUserGuide();
        Lang::code = "en-US";
        AppPaths::setResources(QString());
        return urls;
    }

private slots:
    void init()
    {
        env.reset(new TempEnv);
        Config::loadDefaultConfig();
        Lang::load(QStringLiteral("en-US"));
        boxes.clear();
        savePaths.clear();
        saveAsked = replaced = 0;
        boxAnswer = QMessageBox::Close;
        drive = nullptr;
        ready.clear();
        newDevice(DevModelNone);
        menu.reset(new MainMenu);
        menu->hooks.saveFileName = [this](int) { ++saveAsked; return savePaths.isEmpty() ? QString() : savePaths.takeFirst(); };
        menu->hooks.execDialog = [this](QDialog& d) {
            if (auto* b = qobject_cast<QMessageBox*>(&d)) {
                boxes << b->text();
                return boxAnswer;
            }
            if (auto* e = qobject_cast<ExportDataSet*>(&d)) {
                if (drive)
                    drive(*e);
                e->buttonBox->buttons().first()->click();
                return e->result();
            }
            return d.exec();
        };
        // The main window's slotReplaceConfig.
        connect(menu.get(), &MainMenu::openSettingFile, this, [this] {
            ++replaced;
            newDevice(Config::getDevModel());
        }, Qt::DirectConnection);
    }
    void cleanup()
    {
        menu.reset();
        delete devUsing;
        devUsing = nullptr;
        env.reset();
    }

    void entriesAndStates()
    {
        menu->updateEntryStates();
        QStringList texts;
        for (QAction* a : menu->mainMenu->actions())
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(texts, QStringList({"Open...\tCtrl+O", "Save Settings...", "Save Data...\tCtrl+S", "-",
                                     "Export Data", "-", "Language", "-", "Options...", "-", "User Guide...", "-",
                                     "Check for Updates...", "Update Logs...", "-", "About VormelTAV..."}));
        QStringList exports;
        for (QAction* a : menu->exportMenu->actions())
            exports << a->text() + "=" + a->data().toString();
        QCOMPARE(exports, QStringList({"Text file (*.txt)=2", "CSV file (*.csv)=3", "Binary file (*.bin)=4"}));
        QVERIFY(menu->actionOpen->isEnabled() && !menu->actionSaveData->isEnabled());
        QVERIFY(!menu->exportMenu->menuAction()->isEnabled());

        // Ctrl+S without data: the message and no file dialog.
        menu->actSaveData();
        QCOMPARE(boxes, QStringList({"Sorry, there is no data that can be saved."}));
        showCapture();
        menu->updateEntryStates();
        QVERIFY(menu->actionSaveData->isEnabled() && menu->exportMenu->menuAction()->isEnabled());

        // While a capture runs nothing that reads or replaces it can be chosen,
        // and Ctrl+S is refused before any dialog.
        devUsing->smpRunning = true;
        menu->updateEntryStates();
        QVERIFY(!menu->actionOpen->isEnabled() && !menu->actionSaveSettings->isEnabled());
        QVERIFY(!menu->actionSaveData->isEnabled() && !menu->exportMenu->menuAction()->isEnabled());
        menu->actSaveData();
        devUsing->smpRunning = false;
        QCOMPARE(boxes.last(), QStringLiteral("Sampling is running, please stop it first."));
        QCOMPARE(saveAsked, 0);
    }

    void saveReopenEqualsCapture()
    {
        showCapture();
        const StoreImage before = StoreImage::of(*devUsing->displayedSmpData());
        const QString path = env->path("cap.vtdat");
        savePaths << path;
        menu->actSaveData();
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('|')));
        devUsing->displayedSmpData()->clearData();
        QVERIFY(menu->loadFile(path));
        QCOMPARE(replaced, 1);
        QCOMPARE(ready, QVector<int>({0, 1}));
        QVERIFY(StoreImage::of(*devUsing->displayedSmpData()) == before);
    }

    void exportSubRange_data()
    {
        QTest::addColumn<int>("type");
        QTest::newRow("csv") << int(FileCsv);
        QTest::newRow("binary") << int(FileBinary);
    }
    void exportSubRange()
    {
        QFETCH(int, type);
        showCapture();
        // The user unticks the odd channels and types -1 us .. 2.5 us around the trigger.
        drive = [](ExportDataSet& d) {
            for (int i = 1; i < 16; i += 2)
                d.chnDigital->boxes()[i]->setChecked(false);
            d.rangeButtons[ExportDataSet::RangeInterval]->click();
            d.startEdit->setText("-0.000001");
            d.endEdit->setText("0.0000025");
        };
        const QString path = env->path("out.x");
        savePaths << path;
        QAction a(nullptr);
        a.setData(type);
        menu->slotExportMenuTrig(&a);
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join('|')));
        Sel sel{};
        QByteArray header = "Time[s]";
        for (int c = 0; c < 16; c += 2) {
            sel[size_t(c)] = true;
            header += ", Channel " + QByteArray::number(c);
        }
        const QByteArray want = type == FileCsv ? refCsv(ref, sel, 200, 550, header + '\n') : refBin(ref, sel, 200, 550);
        QCOMPARE(readAllOf(path), want);
    }

    void corruptFileKeepsEverything_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("cut");   // bytes cut off a good data file; -1 another extension
        QTest::newRow("truncated records") << "bad.vtdat" << 7;
        QTest::newRow("stray bytes") << "bad.vtdat" << -2;
        QTest::newRow("other extension") << "bad.txt" << 0;
        QTest::newRow("missing") << "none.vtdat" << -9;
    }
    void corruptFileKeepsEverything()
    {
        QFETCH(QString, name);
        QFETCH(int, cut);
        showCapture();
        const QString good = env->path("good.vtdat");
        savePaths << good;
        menu->actSaveData();
        QByteArray bytes = readAllOf(good);
        bytes = cut >= 0 ? bytes.left(bytes.size() - cut) : bytes + QByteArray(-cut, 'x');
        const QString path = env->path(name);
        if (cut != -9)
            QVERIFY(writeFile(path, bytes));
        // The file comes from another model than the one in use.
        newDevice(DevModel2127);
        showCapture();
        DevBase* dev = devUsing;
        const StoreImage before = StoreImage::of(*dev->displayedSmpData());
        Config::dataFile.clear();
        QVERIFY(!menu->loadFile(path));
        QCOMPARE(boxes, QStringList({"File open failed.\r\n" + path}));
        QCOMPARE(replaced, 0);
        QCOMPARE(devUsing, dev);
        QCOMPARE(Config::getDevModel(), int(DevModel2127));
        QCOMPARE(Config::dataFile, QString());
        QVERIFY(StoreImage::of(*devUsing->displayedSmpData()) == before);
    }

    // A head naming one model before a sample block of another channel count:
    // refused before anything is merged. The oracle for what suits a model is
    // the device object the window builds for it.
    void blockOfAnotherModel_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("matching");
        for (int m : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 49, 65}) {
            QTest::addRow("model %d, its own count", m) << m << true;
            QTest::addRow("model %d, another count", m) << m << false;
        }
    }
    void blockOfAnotherModel()
    {
        QFETCH(int, model);
        QFETCH(bool, matching);
        std::unique_ptr<DevBase> probe(DevBase::createDevice(model));
        const int own = probe->dChnEna.size();
        const int chn = matching ? own : (own == 8 ? 16 : 8);
        // Head; block head: 1000 (0x3e8) samples at 1 MHz (0x0f4240), trigger 0,
        // chn channels; one channel section without edges, its closing record.
        QByteArray file = "<?xml version=\"1.0\"?>\n<settings><global><devModel>" + QByteArray::number(model)
            + "</devModel><viewState>2</viewState></global></settings>\n";
        file += QByteArray("vtdat\0\0\0\xe8\x03\0\0\0\0\0\0\x40\x42\x0f\0\0\0\0\0", 24) + QByteArray(8, 0)
            + char(chn) + QByteArray(7, 0);
        file += QByteArray("##D\0\0\x01\0\0\x01\0\0\0\0\0\0\0\xe8\x03\0\0\0", 21);
        const QString path = env->path("m.vtdat");
        QVERIFY(writeFile(path, file));

        newDevice(DevModel2127);
        Config::saveGlobalParam("viewState", "1");
        showCapture();
        DevBase* dev = devUsing;
        const StoreImage before = StoreImage::of(*dev->displayedSmpData());
        Config::dataFile.clear();
        QCOMPARE(menu->loadFile(path), matching);
        if (matching) {
            QCOMPARE(replaced, 1);
            QCOMPARE(Config::getDevModel(), model);
            QCOMPARE(devUsing->displayedSmpData()->smpCount, 1000LL);
            return;
        }
        QCOMPARE(boxes, QStringList({"File open failed.\r\n" + path}));
        QCOMPARE(replaced, 0);
        QCOMPARE(devUsing, dev);
        QCOMPARE(Config::getDevModel(), int(DevModel2127));
        QCOMPARE(Config::readGlobalParam("viewState"), QStringLiteral("1"));
        QCOMPARE(Config::dataFile, QString());
        QVERIFY(StoreImage::of(*devUsing->displayedSmpData()) == before);
    }

    void settingsSaveAndOpen()
    {
        // A failed write is reported with its path.
        const QString bad = env->path("no/such/folder/s.vtset");
        savePaths << bad;
        menu->actSaveSettings();
        QCOMPARE(boxes, QStringList({"File save failed.\r\n" + bad}));
        const QString path = env->path("s.vtset");
        savePaths << path;
        Config::saveGlobalParam("viewState", "2");
        menu->actSaveSettings();
        Config::saveGlobalParam("viewState", "1");
        QVERIFY(menu->loadFile(path));
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(replaced, 1);
        QCOMPARE(Config::readGlobalParam("viewState"), QStringLiteral("2"));
        QVERIFY(ready.isEmpty() && !devUsing->hasValidData());
    }

    void captureChangedUnderDialogs_data()
    {
        QTest::addColumn<bool>("inRangeDialog");
        QTest::newRow("device replaced in the range dialog") << true;
        QTest::newRow("stores swapped in the file dialog") << false;
    }
    void captureChangedUnderDialogs()
    {
        QFETCH(bool, inRangeDialog);
        showCapture();
        const QString path = env->path("never.vtdat");
        if (inRangeDialog) {
            drive = [this](ExportDataSet&) { newDevice(DevModelNone); showCapture(); };
            savePaths << path;
        } else {
            menu->hooks.saveFileName = [path](int) { devUsing->toggleSmpData(); return path; };
        }
        menu->actSaveData();
        QCOMPARE(boxes, QStringList({"The data changed while the dialog was open, please try again."}));
        QVERIFY(!QFile::exists(path));
        QCOMPARE(saveAsked, 0);
    }

    void languageChoice()
    {
        Config::saveGlobalParam("userLang", "en-US");
        QVERIFY(writeFile(env->resources() + "Language/de-DE.xml",
                          "<language><head><code>de-DE</code><name>Deutsch</name><info>Neustart</info></head>"
                          "<tav/><analyzers/></language>"));
        int restarts = 0;
        menu->hooks.restart = [&restarts] { ++restarts; };
        menu->createMainMenu();
        const QList<QAction*> langs = menu->langMenu->actions();
        QCOMPARE(langs.size(), 2);
        QVERIFY(langs[0]->isChecked());
        menu->slotLangMenuTrig(langs[0]);
        QVERIFY(boxes.isEmpty());
        boxAnswer = QMessageBox::Cancel;
        menu->slotLangMenuTrig(langs[1]);
        QCOMPARE(boxes, QStringList({"Neustart"}));
        QCOMPARE(Config::readGlobalParam("userLang"), QStringLiteral("de-DE"));
        QCOMPARE(restarts, 0);
        Config::saveGlobalParam("userLang", "en-US");
        boxAnswer = QMessageBox::Ok;
        menu->slotLangMenuTrig(langs[1]);
        QCOMPARE(restarts, 1);
    }

    void userGuide()
    {
        // A folder name that a hand-made file address would break.
        const QString res = env->path("Re sources #1") + "/";
        QVERIFY(QDir().mkpath(res));
        AppPaths::setResources(res);
        QList<QUrl> opened;
        menu->hooks.openUrl = [&opened](const QUrl& u) { opened << u; return true; };
        Lang::code = "zh-TW";
        menu->actOpenUserGuide();
        QCOMPARE(boxes, QStringList({"File open failed.\r\nYou may need to install a PDF reader to open the user guide."}));
        QVERIFY(writeFile(res + "ug-cn.pdf", "%PDF"));
        menu->actOpenUserGuide();
        Lang::code = "en-US";
        QCOMPARE(opened.size(), 1);
        QVERIFY(opened[0].isLocalFile());
        QCOMPARE(opened[0].toLocalFile(), res + "ug-cn.pdf");
    }

    // "User Guide..." falls back from Chinese to English, never the other way.
    void userGuideChoice()
    {
        const QString res = env->path("Resources") + "/";
        const QList<QUrl> english{QUrl::fromLocalFile(res + "ug-en.pdf")};
        QVERIFY(QDir().mkpath(res) && writeFile(res + "ug-en.pdf", "%PDF"));
        QCOMPARE(openGuide(res, "zh-CN"), english);
        QVERIFY(writeFile(res + "ug-cn.pdf", "%PDF"));
        QCOMPARE(openGuide(res, "en-US"), english);
        QVERIFY(QFile::remove(res + "ug-en.pdf"));
        QVERIFY(openGuide(res, "en-US").isEmpty());
        QCOMPARE(boxes, QStringList({"File open failed.\r\nYou may need to install a PDF reader to open the user guide."}));
    }

    // The guide the build made: its contents give each heading of its source
    // the page it stands on, and "User Guide..." in Chinese opens it.
    void builtUserGuide()
    {
        const QString res = qEnvironmentVariable("TAV_BIN_DIR") + "/../Resources/";
        const QString pdf = QDir::cleanPath(res + "ug-en.pdf");
        QVERIFY2(readAllOf(pdf).startsWith("%PDF-"), qPrintable(pdf));
        QProcess text;
        text.start("pdftotext", {"-layout", pdf, "-"});
        QVERIFY2(text.waitForFinished(60000) && text.exitCode() == 0, "pdftotext (poppler-utils) failed");
        // A form feed ends each page; the compatibility form turns ligatures
        // into letters. Lines as laid out (a table row's cells apart by runs
        // of spaces) and simplified.
        QVector<QStringList> laid;
        QVector<QStringList> pages;
        const QString out = QString::fromUtf8(text.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
        for (const QString& t : out.split('\f')) {
            laid << t.split('\n');
            pages << QStringList();
            for (const QString& l : laid.last())
                pages.last() << l.simplified();
        }
        while (!pages.isEmpty() && pages.last().join(QString()).isEmpty()) {
            pages.removeLast();
            laid.removeLast();
        }
        QStringList headings;   // chapters and sections
        const QStringList source =
            QString::fromUtf8(readAllOf(qEnvironmentVariable("TAV_SOURCE_DIR") + "/docs/user-guide.md")).split('\n');
        for (const QString& line : source)
            if (line.startsWith("## ") || line.startsWith("### "))
                headings << line.section(' ', 1).simplified();
        QVERIFY(headings.contains("Remote control over TCP"));
        const QStringList contents = pages.value(0) + pages.value(1);
        for (const QString& h : headings) {
            const int at = contents.indexOf(QRegularExpression("^" + QRegularExpression::escape(h) + " \\d+$"));
            const int page = at < 0 ? 0 : contents[at].section(' ', -1).toInt();
            QVERIFY2(page > 1 && page <= pages.size() && pages[page - 1].contains(h),
                     qPrintable(h + " on page " + QString::number(page)));
        }

        // What the source says the pages hold besides running text: the
        // title (the running head), the head rows of tables (printed again
        // where a table goes on), the captions under pictures, and the
        // words of code, which a line must not end inside.
        QString title;
        QStringList tableHeads;
        QStringList captions;
        QStringList codeStarts;   // "--", "--neg-", "set-", "get-actual-"...
        const QRegularExpression rule("^\\|[-:| ]+\\|$");
        const QRegularExpression code("`([^`]+)`");
        auto plain = [](QString t) {
            return t.remove('`').remove("**").replace(QRegularExpression("\\\\(.)"), "\\1").simplified();
        };
        for (int i = 0; i < source.size(); ++i) {
            const QString line = source[i].trimmed();
            if (line.startsWith("# ") && title.isEmpty())
                title = line.mid(2).simplified();
            if (line.startsWith('|') && i + 1 < source.size() && rule.match(source[i + 1].trimmed()).hasMatch())
                tableHeads << plain(line.mid(1).chopped(1).split('|').join(' '));
            if (line.startsWith("![") && i + 2 < source.size() && source[i + 2].startsWith('*'))
                captions << plain(source[i + 2].trimmed().mid(1).chopped(1));
            for (auto m = code.globalMatch(line); m.hasNext();)
                for (const QString& word : m.next().captured(1).split(' ', Qt::SkipEmptyParts))
                    for (int h = word.indexOf('-'); h >= 0 && h + 1 < word.size(); h = word.indexOf('-', h + 1))
                        if (word[h + 1] != '-' && (h == 1 || word.left(h).contains(QRegularExpression("\\w"))))
                            codeStarts << word.left(h + 1);
        }
        QVERIFY(!title.isEmpty() && !tableHeads.isEmpty() && !captions.isEmpty() && codeStarts.contains("--"));
        auto body = [&](int p) {
            QStringList lines;
            for (const QString& l : pages[p])
                if (!l.isEmpty() && l != title && !QRegularExpression("^\\d+ / \\d+$").match(l).hasMatch())
                    lines << l;
            return lines;
        };

        QStringList faults;
        for (int p = 0; p < pages.size(); ++p) {
            const QStringList lines = body(p);
            // Each page's text layer holds that page's text: no line of it
            // comes again, hidden, at the top of the next page.
            if (p + 1 < pages.size()) {
                const QStringList last = lines.mid(qMax(0, lines.size() - 3));
                for (const QString& l : body(p + 1).mid(0, 3))
                    if (last.contains(l) && !tableHeads.contains(l))
                        faults << QString("page %1 begins with \"%2\" of page %3").arg(p + 2).arg(l).arg(p + 1);
            }
            // A command or an option copied from any line, or any cell of a
            // table row, comes out whole.
            for (const QString& l : laid[p])
                for (const QString& cell : l.split(QRegularExpression("\\s{2,}"), Qt::SkipEmptyParts)) {
                    const QString end = cell.trimmed().section(' ', -1);
                    if (codeStarts.contains(end))
                        faults << QString("page %1: a line ends inside \"%2...\": %3")
                                      .arg(p + 1)
                                      .arg(end, cell.trimmed());
                }
            // Every page but the last holds text besides its pictures.
            QString rest = lines.join(' ').simplified();
            for (const QString& c : captions)
                rest.remove(c);
            if (p + 1 < pages.size() && rest.simplified().isEmpty())
                faults << QString("page %1 holds nothing but a picture").arg(p + 1);
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));

        QVERIFY(!QFileInfo::exists(res + "ug-cn.pdf"));
        QCOMPARE(openGuide(res, "zh-CN"), QList<QUrl>{QUrl::fromLocalFile(pdf)});
        QVERIFY(boxes.isEmpty());
    }

    void optionsSignalOnlyOnChange()
    {
        Config::saveProgressSample(false);
        QSignalSpy moved(menu.get(), &MainMenu::sigSmpProgPositionChanged);
        int clicks = 0;
        menu->hooks.execDialog = [&clicks](QDialog& d) {
            auto& o = dynamic_cast<Options&>(d);
            o.progressPlace.radios[1]->click();
            o.buttonBox->buttons().first()->click();
            ++clicks;
            return 0;
        };
        menu->actOpenOptions();
        menu->actOpenOptions();
        QCOMPARE(clicks, 2);
        QCOMPARE(moved.count(), 1);
        QVERIFY(Config::smpProgPosition);
    }
};

QTEST_MAIN(TstMainMenu)
#include "tst_mainmenu.moc"
