// The result grid, its CSV file, the clipboard and the two log writers on a
// running window.
#include "app_fixture.h"

#include "app/log_pane.h"
#include "app/tag_grid.h"
#include "link/tag_list.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QTabWidget>

using namespace kx9test;
using kx9::TKX9AppForm;

namespace {

// Counts pixels of the row's text that are clearly red and clearly dark/blue.
struct RowInk {
    int red = 0, black = 0, blue = 0;
};

RowInk inkOfRow(kx9::TagGrid *grid, int gridRow)
{
    const QImage img = grid->viewport()->grab().toImage();
    const QRect r = grid->visualRect(grid->model()->index(gridRow - 1, 2));
    RowInk ink;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.red() > 180 && c.green() < 90 && c.blue() < 90)
                ++ink.red;
            else if (c.blue() > 180 && c.red() < 90 && c.green() < 90)
                ++ink.blue;
            else if (c.red() < 60 && c.green() < 60 && c.blue() < 60)
                ++ink.black;
        }
    }
    return ink;
}

} // namespace

class AppGridLogTest : public QObject {
    Q_OBJECT
private slots:
    void entriesInTheGrid()
    {
        AppFixture f;
        QVERIFY(f.start());
        TKX9AppForm &w = *f.window;
        kx9::TagList &list = w.comm()->tagList();
        list.AddDataEntry(QStringLiteral("ABC"));
        list.AddUidEntry(QStringLiteral("DATA"), QStringLiteral("E0 07 01"));
        list.AddDataEntry(QStringLiteral("ABC"));
        kx9::TagGrid *g = w.grid();
        QCOMPARE(g->cell(1, 0), QStringLiteral("1"));
        QCOMPARE(g->cell(1, 1), QStringLiteral("2"));
        QCOMPARE(g->cell(1, 2), QStringLiteral("ABC"));
        QCOMPARE(g->cell(1, 3), QString());
        QCOMPARE(g->cell(2, 2), QStringLiteral("DATA"));
        QCOMPARE(g->cell(2, 3), QStringLiteral("E0 07 01"));
        QCOMPARE(list.LastUpdatedRow(), 1);
        QCOMPARE(g->rowTextColor(1), QColor(Qt::red));
        QCOMPARE(g->rowTextColor(2), QColor(Qt::black));
        QVERIFY(w.countText().startsWith(QStringLiteral("読みとり総数： ")));
        QVERIFY(w.countText().endsWith(QLatin1Char('2')));

        // What the operator sees: the last updated row in red, the other in black.
        w.findChild<QTabWidget *>(QStringLiteral("PageControl1"))->setCurrentIndex(0);
        g->setCurrentCell(10, 0);
        const RowInk last = inkOfRow(g, 1), other = inkOfRow(g, 2);
        QVERIFY(last.red > 0);
        QCOMPARE(last.black, 0);
        QVERIFY(other.black > 0);
        QCOMPARE(other.red, 0);

        // Clear: the list, the grid back to 20 rows and panel 1; the log too while it is the page shown.
        for (int i = 0; i < 30; ++i)
            list.AddDataEntry(QStringLiteral("T%1").arg(i));
        QCOMPARE(g->rowCount(), 33);
        w.AppLog(QStringLiteral("a line"));
        const int logLines = w.logPane()->lineCount();
        w.findAction(QStringLiteral("MnClear1"))->trigger();
        QCOMPARE(g->rowCount(), 20);
        QCOMPARE(g->cell(1, 2), QString());
        QCOMPARE(w.countText(), QString());
        QCOMPARE(w.logPane()->lineCount(), logLines);   // grid page active: the log stays
        w.findChild<QTabWidget *>(QStringLiteral("PageControl1"))->setCurrentIndex(1);
        w.findAction(QStringLiteral("MnClear1"))->trigger();
        QCOMPARE(w.logPane()->lineCount(), 0);
        list.AddDataEntry(QStringLiteral("next"));
        QCOMPARE(g->cell(1, 0), QStringLiteral("1"));
    }

    void gridOwnDrawingWithoutColouring()
    {
        AppFixture f;
        QVERIFY(f.start(AppFixture::TcpServerOptions() + "[ComDebug]\r\nfDispCont1=0\r\n"));
        TKX9AppForm &w = *f.window;
        w.comm()->tagList().AddDataEntry(QStringLiteral("ABC"));
        w.findChild<QTabWidget *>(QStringLiteral("PageControl1"))->setCurrentIndex(0);
        w.grid()->setCurrentCell(10, 0);
        const RowInk ink = inkOfRow(w.grid(), 1);
        QCOMPARE(ink.red, 0);
        QVERIFY(ink.blue > 0);
    }

    void copyCellTakesTheFocusedCell()
    {
        AppFixture f;
        QVERIFY(f.start());
        TKX9AppForm &w = *f.window;
        w.comm()->tagList().AddUidEntry(QStringLiteral("X1"), QStringLiteral("E0 01"));
        w.grid()->setRangeSelected(QTableWidgetSelectionRange(0, 0, 0, 3), true);
        w.grid()->setCurrentCell(0, 3, QItemSelectionModel::NoUpdate);
        w.findAction(QStringLiteral("MnCopy1"))->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("E0 01"));
    }

    void csvThroughTheSaveDialog_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");
        QTest::newRow("list.txt") << QStringLiteral("list.txt") << QStringLiteral("list.csv");
        QTest::newRow("list") << QStringLiteral("list") << QStringLiteral("list.csv");
        QTest::newRow("dotted folder") << QStringLiteral("a.b/list") << QStringLiteral("a.b/list.csv");
    }
    void csvThroughTheSaveDialog()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        AppFixture f;
        QVERIFY(f.start());
        TKX9AppForm &w = *f.window;
        QDir(f.dir.path()).mkpath(QStringLiteral("a.b"));
        kx9::TagList &list = w.comm()->tagList();
        list.AddDataEntry(QStringLiteral("ア①"));
        list.AddUidEntry(QStringLiteral("B"), QStringLiteral("E0 02"));
        list.AddDataEntry(QStringLiteral("C,D"));
        QStringList filters;
        QString initialName, initialDir;
        f.driver.expect(QStringLiteral("SaveDialog1"))
            .then([&](QWidget *d) {
                auto *fd = static_cast<QFileDialog *>(d);
                filters = fd->nameFilters();
                initialName = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text();
                initialDir = fd->directory().absolutePath();
            })
            .setText(QStringLiteral("fileNameEdit"), f.dir.filePath(typed))
            .pressStandard(QDialogButtonBox::Save);
        w.findAction(QStringLiteral("MnSaveFile"))->trigger();
        QVERIFY2(f.driver.ok(), qPrintable(f.driver.report()));
        QCOMPARE(filters, QStringList{QStringLiteral("CSVﾌｧｲﾙ (*.csv)")});
        QCOMPARE(initialName, QStringLiteral("datalist.csv"));
        QCOMPARE(initialDir, QDir(QCoreApplication::applicationDirPath()).absolutePath());

        const QByteArray bytes = ReadFileBytes(f.dir.filePath(written));
        const QList<QByteArray> lines = bytes.split('\n');
        QCOMPARE(lines.size(), 20);          // 19 lines, each ending in CR LF
        QVERIFY(lines.last().isEmpty());
        QCOMPARE(lines[0], QByteArray("1,1,\x83\x41\x87\x40,,0\r"));   // CP932 bytes, no quoting
        QCOMPARE(lines[1], QByteArray("2,1,B,E0 02,0\r"));
        QCOMPARE(lines[2], QByteArray("3,1,C,D,,0\r"));
        int onlyCommas = 0;
        for (int i = 3; i < 19; ++i)
            onlyCommas += lines[i] == QByteArray(",,,,\r");
        QCOMPARE(onlyCommas, 16);
        if (typed != written)
            QVERIFY(!QFile::exists(f.dir.filePath(typed)));
    }

    void csvThatCannotBeCreated()
    {
        AppFixture f;
        QVERIFY(f.start());
        f.driver.expectMessage(QStringLiteral("作成できません")).pressOk();
        const QString path = f.dir.filePath(QStringLiteral("missing/folder/x.csv"));
        QVERIFY(!f.window->WriteGridCsv(path));
        QVERIFY2(f.driver.ok(), qPrintable(f.driver.report()));
        QVERIFY(!QFile::exists(path));
    }

    void appLogThousandLineRule()
    {
        AppFixture f;
        f.create(AppFixture::TcpServerOptions());
        TKX9AppForm &w = *f.window;
        for (int i = 1; i <= 1000; ++i)
            w.AppLog(QStringLiteral("line %1").arg(i));
        QCOMPARE(w.logPane()->lineCount(), 1000);
        QCOMPARE(w.logPane()->lines().last(), QStringLiteral("line 1000"));
        w.AppLog(QStringLiteral("line 1001"));
        QCOMPARE(w.logPane()->lines(), QStringList{QStringLiteral("line 1001")});
        // An empty line is a line too.
        w.logPane()->clearLog();
        w.AppLog(QString());
        w.AppLog(QStringLiteral("x"));
        QCOMPARE(w.logPane()->lines(), (QStringList{QString(), QStringLiteral("x")}));
    }

    void bothWritersShareTheLog()
    {
        AppFixture f;
        QVERIFY(f.start());
        TKX9AppForm &w = *f.window;
        w.logPane()->clearLog();
        for (int i = 0; i < 300; ++i)
            w.AppLog(QStringLiteral("app %1").arg(i));
        // The module's writer counts the same control and empties it at 250 lines.
        w.comm()->CommLog(QStringLiteral("module line"));
        QCOMPARE(w.logPane()->lines(), QStringList{QStringLiteral("module line")});
    }

    void nestedSuspendLogging()
    {
        AppFixture f;
        QVERIFY(f.start());
        TKX9AppForm &w = *f.window;
        w.comm()->setLogRx(1);
        w.comm()->setLogTx(0);
        w.logPane()->clearLog();
        w.SuspendLogging();
        QCOMPARE(w.comm()->LogRx(), 0);
        w.SuspendLogging();   // nested: must not save the zeros
        w.AppLog(QStringLiteral("hidden"));
        w.comm()->CommLog(QStringLiteral("decoder line"));
        QCOMPARE(w.logPane()->lines(), QStringList{QStringLiteral("decoder line")});
        w.ResumeLogging();
        QCOMPARE(w.comm()->LogRx(), 1);
        QCOMPARE(w.comm()->LogTx(), 0);
        QVERIFY(w.logSwitch());
        w.AppLog(QStringLiteral("shown"));
        QCOMPARE(w.logPane()->lines().last(), QStringLiteral("shown"));
        w.ResumeLogging();    // already on: nothing changes
        QCOMPARE(w.comm()->LogRx(), 1);
    }

    void commLogRedirection()
    {
        AppFixture f;
        QVERIFY(f.start());
        TKX9AppForm &w = *f.window;
        kx9::LogPane runnerLog;
        w.logPane()->clearLog();
        w.RedirectCommLog(&runnerLog);
        w.comm()->CommLog(QStringLiteral("to the runner"));
        w.RestoreCommLog();
        w.comm()->CommLog(QStringLiteral("back home"));
        QCOMPARE(runnerLog.lines(), QStringList{QStringLiteral("to the runner")});
        QCOMPARE(w.logPane()->lines(), QStringList{QStringLiteral("back home")});
    }
};

QTEST_MAIN(AppGridLogTest)
#include "app_grid_log_test.moc"
