// Operator scripts on dialogs that do not simply open and close: kept open
// across waits, shown twice, opening a file dialog, shown without blocking,
// clicked with modifier keys, and dumped control by control. The runner is
// the real one, driving a small window of test dialogs in this process.
#include "script/script_parser.h"
#include "script/script_runner.h"
#include "ui/int_edit.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCheckBox>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// Logs every press and double-click it receives with the keys held.
class Panel : public QLabel {
public:
    Panel(QPlainTextEdit *log, QWidget *parent) : QLabel(QStringLiteral("panel"), parent), log_(log)
    {
        setObjectName(QStringLiteral("Panel1"));
        setMinimumSize(80, 30);
    }

protected:
    void mousePressEvent(QMouseEvent *e) override { log_->appendPlainText("press " + keys(e)); }
    void mouseDoubleClickEvent(QMouseEvent *e) override { log_->appendPlainText("double " + keys(e)); }

private:
    static QString keys(const QMouseEvent *e)
    {
        QStringList k;
        if (e->modifiers() & Qt::ShiftModifier)
            k << "shift";
        if (e->modifiers() & Qt::ControlModifier)
            k << "ctrl";
        if (e->modifiers() & Qt::AltModifier)
            k << "alt";
        return k.isEmpty() ? QStringLiteral("none") : k.join(u'+');
    }
    QPlainTextEdit *log_;
};

QPushButton *addButton(QDialog *d, QLayout *lay, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, d);
    b->setObjectName(QString::fromLatin1(name));
    lay->addWidget(b);
    return b;
}

// The monitor's shape in small: a log page named Memo1, menu items, a toolbar.
class TestWindow : public QMainWindow {
public:
    QPlainTextEdit *log = new QPlainTextEdit(this);
    QString dir;

    TestWindow()
    {
        setObjectName(QStringLiteral("TestWindow"));
        auto *central = new QWidget(this);
        auto *lay = new QVBoxLayout(central);
        log->setObjectName(QStringLiteral("Memo1"));
        lay->addWidget(log);
        lay->addWidget(new Panel(log, central));
        setCentralWidget(central);

        QMenu *menu = menuBar()->addMenu(QStringLiteral("テスト"));
        item(menu, "MnKeepOpen", [this] { keepOpen(); });
        item(menu, "MnTwice", [this] { twice(); });
        item(menu, "MnLoad", [this] { load(); });
        item(menu, "MnProgress", [this] { progress(); });
        item(menu, "MnShow", [this] { showControls(); });
        item(menu, "MnHidden", [this] { log->appendPlainText("hidden item ran"); })->setVisible(false);
        QAction *off = item(menu, "MnHiddenOff", [this] { log->appendPlainText("disabled item ran"); });
        off->setVisible(false);
        off->setEnabled(false);
        QToolBar *bar = addToolBar(QStringLiteral("tools"));
        QAction *tool = bar->addAction(QStringLiteral("道具"));
        tool->setObjectName(QStringLiteral("TBtTool"));
        connect(tool, &QAction::triggered, this, [this] { log->appendPlainText("tool button clicked"); });
    }

private:
    QAction *item(QMenu *menu, const char *name, std::function<void()> run)
    {
        QAction *a = menu->addAction(QString::fromLatin1(name));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, run);
        return a;
    }

    // Saves as often as the operator presses, while a timer keeps ticking.
    void keepOpen()
    {
        QDialog d(this);
        d.setObjectName(QStringLiteral("KeepOpenDlg"));
        auto *lay = new QHBoxLayout(&d);
        auto *name = new QLineEdit(&d);
        name->setObjectName(QStringLiteral("EdName"));
        lay->addWidget(name);
        int saves = 0;
        connect(addButton(&d, lay, "BtSave", QStringLiteral("保存(&S)")), &QPushButton::clicked, &d,
                [&] { log->appendPlainText(QStringLiteral("saved %1 %2").arg(++saves).arg(name->text())); });
        connect(addButton(&d, lay, "BtClose", QStringLiteral("閉じる")), &QPushButton::clicked, &d, &QDialog::accept);
        QTimer tick;
        connect(&tick, &QTimer::timeout, &d, [this] { log->appendPlainText("tick"); });
        tick.start(50);
        d.exec();
        log->appendPlainText("closed");
    }

    // One dialog object, shown a second time after its OK.
    void twice()
    {
        QDialog d(this);
        d.setObjectName(QStringLiteral("TwiceDlg"));
        auto *lay = new QHBoxLayout(&d);
        auto *name = new QLineEdit(&d);
        name->setObjectName(QStringLiteral("EdName"));
        lay->addWidget(name);
        connect(addButton(&d, lay, "OKBtn", QStringLiteral("OK")), &QPushButton::clicked, &d, &QDialog::accept);
        for (int i = 1; i <= 2; ++i)
            if (d.exec() == QDialog::Accepted)
                log->appendPlainText(QStringLiteral("answer %1: %2").arg(i).arg(name->text()));
    }

    // A dialog whose button opens a file dialog, as settings files are loaded.
    void load()
    {
        QDialog d(this);
        d.setObjectName(QStringLiteral("LoadDlg"));
        auto *lay = new QHBoxLayout(&d);
        auto *file = new QLabel(&d);
        file->setObjectName(QStringLiteral("LbFile"));
        lay->addWidget(file);
        connect(addButton(&d, lay, "BtLoad", QStringLiteral("Load")), &QPushButton::clicked, &d, [&] {
            QString filter;
            const QString path = QFileDialog::getOpenFileName(&d, QStringLiteral("開く"), dir,
                                                              QStringLiteral("設定ファイル (*.KXI);;すべてのファイル (*)"),
                                                              &filter);
            file->setText(path);
            log->appendPlainText(QStringLiteral("loaded %1 with %2").arg(path, filter));
        });
        connect(addButton(&d, lay, "OKBtn", QStringLiteral("OK")), &QPushButton::clicked, &d, &QDialog::accept);
        d.exec();
    }

    // A box shown without blocking while the action works, until its Cancel.
    void progress()
    {
        QDialog box(this);
        box.setObjectName(QStringLiteral("ProgressDlg"));
        auto *lay = new QHBoxLayout(&box);
        auto *count = new QLabel(QStringLiteral("0"), &box);
        count->setObjectName(QStringLiteral("LbCount"));
        lay->addWidget(count);
        bool cancelled = false;
        connect(addButton(&box, lay, "BtCancel", QStringLiteral("Cancel")), &QPushButton::clicked, &box,
                [&] { cancelled = true; });
        box.show();
        int n = 0;
        while (!cancelled && n < 400) {
            count->setText(QString::number(++n));
            QTest::qWait(25);
        }
        log->appendPlainText(QStringLiteral("progress %1").arg(cancelled ? "cancelled" : "ran out"));
    }

    // One control of each kind, for the dump.
    void showControls()
    {
        QDialog d(this);
        d.setObjectName(QStringLiteral("ShowDlg"));
        auto *lay = new QVBoxLayout(&d);
        auto *hex = new kx9::IntEdit(&d);
        hex->setObjectName(QStringLiteral("EdHex"));
        hex->setRadix(16);
        hex->setRange(0, 255);
        hex->setValue(0x1F);
        lay->addWidget(hex);
        auto *red = new QLineEdit(QStringLiteral("alarm"), &d);
        red->setObjectName(QStringLiteral("EdRed"));
        QPalette p = red->palette();
        p.setColor(QPalette::Base, QColor(255, 0, 0));
        red->setPalette(p);
        red->setEnabled(false);
        lay->addWidget(red);
        auto *combo = new QComboBox(&d);
        combo->setObjectName(QStringLiteral("CBSpeed"));
        combo->addItems({QStringLiteral("9600"), QStringLiteral("19200")});
        combo->setCurrentIndex(1);
        lay->addWidget(combo);
        auto *group = new QGroupBox(QStringLiteral("動作"), &d);
        group->setObjectName(QStringLiteral("RadioGroup1"));
        auto *gl = new QHBoxLayout(group);
        for (int i = 0; i < 3; ++i) {
            auto *r = new QRadioButton(QString::number(i), group);
            gl->addWidget(r);
            r->setChecked(i == 2);
        }
        lay->addWidget(group);
        auto *check = new QCheckBox(QStringLiteral("有効"), &d);
        check->setObjectName(QStringLiteral("CBUse"));
        check->setChecked(true);
        check->setVisible(false);
        lay->addWidget(check);
        auto *memo = new QPlainTextEdit(QStringLiteral("line one\nline\ttwo"), &d);
        memo->setObjectName(QStringLiteral("MemoDlg"));
        lay->addWidget(memo);
        auto *grid = new QTableWidget(2, 2, &d);
        grid->setObjectName(QStringLiteral("GridDlg"));
        grid->setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("UID")});
        grid->setItem(0, 0, new QTableWidgetItem(QStringLiteral("1")));
        grid->setItem(0, 1, new QTableWidgetItem(QStringLiteral("E004")));
        lay->addWidget(grid);
        connect(addButton(&d, lay, "OKBtn", QStringLiteral("OK")), &QPushButton::clicked, &d, &QDialog::accept);
        d.exec();
    }
};

struct Run {
    bool ended = false;
    int exitCode = -1;
    QString out, err, log;
};

} // namespace

class TestScriptDialogs : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    Run runScript(const QString &text, int timeoutMs = 30000)
    {
        Run result;
        kx9::ScriptParseError error;
        auto program = kx9::ParseScript(text, &error);
        if (!program) {
            result.err = QStringLiteral("parse error line %1: %2").arg(error.line).arg(error.message);
            return result;
        }
        TestWindow window;
        window.dir = dir_.path();
        window.show();
        QTextStream out(&result.out), err(&result.err);
        {
            kx9::ScriptRunner runner(std::move(*program), out, err);
            QEventLoop loop;
            connect(&runner, &kx9::ScriptRunner::ended, &loop, &QEventLoop::quit);
            QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
            runner.beginStartup();
            runner.run(&window);
            loop.exec();
            result.ended = runner.finished();
            result.exitCode = runner.exitCode();
        }
        // Nothing may be left open by a script, passed or failed.
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != &window && w->isVisible() && qobject_cast<QDialog *>(w))
                qobject_cast<QDialog *>(w)->reject();
        result.log = window.log->toPlainText();
        return result;
    }

    static QString path(const QTemporaryDir &d, const char *name) { return d.filePath(QString::fromLatin1(name)); }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void dialogStaysOpenAcrossWaitsAndPresses()
    {
        const Run r = runScript(QStringLiteral("menu MnKeepOpen\n"
                                               "dialog EdName=first BtSave\n"
                                               "wait 200\n"
                                               "dialog BtSave\n"
                                               "expect-log tick\n"
                                               "dialog EdName=third 保存(&S)\n"
                                               "wait 100\n"
                                               "dialog 閉じる\n"
                                               "expect-log closed\n"));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QStringList lines = r.log.split(u'\n');
        const int s1 = lines.indexOf("saved 1 first"), s2 = lines.indexOf("saved 2 first"), s3 = lines.indexOf("saved 3 third");
        QVERIFY2(s1 >= 0 && s2 > s1 && s3 > s2, qPrintable(r.log));
        // The dialog's timer ran between the presses, and it closed only at the end.
        QVERIFY(lines.mid(s1, s2 - s1).contains("tick"));
        QCOMPARE(lines.indexOf("closed") > s3, true);
        QCOMPARE(lines.count("closed"), 1);
    }

    void dialogShownTwiceIsAnsweredTwice()
    {
        const Run r = runScript(QStringLiteral("menu MnTwice\ndialog EdName=a ok\ndialog EdName=b ok\n"));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.log.contains("answer 1: a\nanswer 2: b"), qPrintable(r.log));
    }

    void fileDialogOpenedFromADialog()
    {
        const QString file = path(dir_, "reader.txt");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        const Run r = runScript(QStringLiteral("menu MnLoad\n"
                                               "dialog BtLoad\n"
                                               "file \"%1\" 1\n"
                                               "expect-field LbFile=%1\n"
                                               "dialog ok\n").arg(file));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.log.contains(QStringLiteral("loaded %1 with すべてのファイル (*)").arg(file)), qPrintable(r.log));

        // A filter the dialog does not have fails on its line, and leaves nothing open.
        const Run bad = runScript(QStringLiteral("menu MnLoad\ndialog BtLoad\nfile \"%1\" 設定\ndialog ok\n").arg(file));
        QCOMPARE(bad.exitCode, 1);
        QVERIFY2(bad.err.contains("line 3: file dialog") && bad.err.contains("has no filter \"設定\""), qPrintable(bad.err));
    }

    void windowShownWithoutBlocking()
    {
        const Run r = runScript(QStringLiteral("menu MnProgress\nwait 150\ndialog cancel\nexpect-log \"progress cancelled\"\n"));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    }

    void clicksWithModifierKeys()
    {
        const Run r = runScript(QStringLiteral("click Panel1 ctrl\n"
                                               "double-click Panel1 shift+ctrl\n"
                                               "click Panel1\n"
                                               "click TBtTool\n"));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(r.log.split(u'\n'),
                 QStringList({"press ctrl", "press shift+ctrl", "double shift+ctrl", "press none", "tool button clicked"}));
    }

    void hiddenItems()
    {
        const Run r = runScript(QStringLiteral("trigger MnHidden\n"));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(r.log, QStringLiteral("hidden item ran"));

        const Run hidden = runScript(QStringLiteral("menu MnHidden\n"));
        QVERIFY2(hidden.err.contains("line 1: menu item MnHidden is hidden"), qPrintable(hidden.err));
        const Run off = runScript(QStringLiteral("wait 10\ntrigger MnHiddenOff\n"));
        QCOMPARE(off.exitCode, 1);
        QVERIFY2(off.err.contains("line 2: menu item MnHiddenOff is disabled"), qPrintable(off.err));
        QVERIFY(!off.log.contains("ran"));
    }

    void dumpShowsEveryControl()
    {
        const QString file = path(dir_, "controls.txt");
        const Run r = runScript(QStringLiteral("menu MnShow\ndump \"%1\"\nexpect-field EdHex=1F CBSpeed=\"19200 [1]\"\ndialog ok\n")
                                    .arg(file));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
        const QStringList expected = {
            "EdHex\tnumber\t1F\tenabled=1\tvisible=1",
            "EdRed\tline\talarm\tenabled=0\tvisible=1\tbg=#ff0000",
            "CBSpeed\tcombo\t19200 [1]\tenabled=1\tvisible=1",
            "RadioGroup1\tradio-group\t2\tenabled=1\tvisible=1",
            "CBUse\tcheck\t1\tenabled=1\tvisible=0",
            "MemoDlg\ttext\tline one\\nline\\ttwo\tenabled=1\tvisible=1",
            "GridDlg\tgrid\tNo.\\tUID\\n1\\tE004\\n\\t\tenabled=1\tvisible=1",
            "OKBtn\tbutton\tOK\tenabled=1\tvisible=1",
        };
        QCOMPARE(lines, expected);

        const Run wrong = runScript(QStringLiteral("menu MnShow\nexpect-field EdHex=20 200\ndialog ok\n"));
        QCOMPARE(wrong.exitCode, 1);
        QVERIFY2(wrong.err.contains("line 2: 'EdHex' shows \"1F\", expected \"20\""), qPrintable(wrong.err));
    }

    // The picture is of the dialog in front: its red box is in it.
    void snapshotOfTheDialogInFront()
    {
        const QString file = path(dir_, "controls.png");
        const Run r = runScript(QStringLiteral("menu MnShow\nsnapshot \"%1\"\ndialog ok\n").arg(file));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QImage picture(file);
        QVERIFY(!picture.isNull());
        bool red = false;
        for (int y = 0; y < picture.height() && !red; ++y) {
            for (int x = 0; x < picture.width() && !red; ++x)
                red = picture.pixelColor(x, y) == QColor(Qt::red);
        }
        QVERIFY(red);
    }

    void failuresNeverHang_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("error");
        QTest::newRow("dialog left open at the end")
            << QStringLiteral("menu MnKeepOpen\ndialog BtSave\n")
            << QStringLiteral("line 1: a dialog opened with no answer for it: QDialog 'KeepOpenDlg'");
        QTest::newRow("menu while a dialog waits")
            << QStringLiteral("menu MnTwice\nmenu MnKeepOpen\n")
            << QStringLiteral("line 1: a dialog opened with no answer for it: QDialog 'TwiceDlg'");
        QTest::newRow("message answer for a dialog")
            << QStringLiteral("menu MnTwice\nmessage\n")
            << QStringLiteral("line 2: expected a message box, but QDialog 'TwiceDlg'");
        QTest::newRow("file answer for a dialog")
            << QStringLiteral("menu MnTwice\nfile /tmp/x\n")
            << QStringLiteral("line 2: expected a file dialog, but QDialog 'TwiceDlg'");
        QTest::newRow("button that is not there")
            << QStringLiteral("menu MnKeepOpen\ndialog BtNone\n")
            << QStringLiteral("line 2: no button BtNone in QDialog 'KeepOpenDlg'");
    }
    void failuresNeverHang()
    {
        QFETCH(QString, script);
        QFETCH(QString, error);
        const Run r = runScript(script);
        QVERIFY(r.ended);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(error), qPrintable(r.err));
    }
};

QTEST_MAIN(TestScriptDialogs)
#include "test_script_dialogs.moc"
