// The received-tag list and its grid, and the communication log's line limit.
#include "link/comm_module.h"
#include "link/main_state.h"
#include "link/options.h"
#include "link/tag_list.h"
#include "link_test_util.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace kx9;

namespace {

// A grid as the main window has it: a heading row and 20 rows at start.
class FakeGrid : public TagListView {
public:
    explicit FakeGrid(int columns = 5) : columns_(columns) { cells_.resize(20); for (auto &r : cells_) r.resize(columns_); }
    void setCell(int row, int column, const QString &text) override
    {
        QVERIFY2(row >= 0 && row < rowCount() && column >= 0 && column < columns_, "cell outside the grid");
        cells_[row][column] = text;
    }
    QString cell(int row, int column) const override { return cells_.value(row).value(column); }
    int rowCount() const override { return int(cells_.size()); }
    void setRowCount(int rows) override
    {
        cells_.resize(rows);
        for (auto &r : cells_)
            r.resize(columns_);
    }
    void setCountText(const QString &text) override { countText = text; }
    void repaintGrid() override { ++repaints; }

    QStringList row(int r) const { return cells_.value(r); }
    QString countText;
    int repaints = 0;

private:
    int columns_;
    QVector<QStringList> cells_;
};

// The list as a plain scan from entry 0 finds it, for comparison.
struct ScanModel {
    int capacity;
    QVector<TagListEntry> entries;
    int lastRow = 0;
    void add(const QString &d, const QString *u)
    {
        for (int i = 0; i < entries.size(); ++i)
            if (entries[i].dataText == d && (!u || entries[i].uidText == *u)) {
                ++entries[i].readCount;
                lastRow = i + 1;
                return;
            }
        if (entries.size() < capacity) {
            entries.append({d, u ? *u : QString(), 1});
            lastRow = int(entries.size());
        }
    }
};

} // namespace

class TestLinkTagList : public QObject {
    Q_OBJECT

    AppOptions opts_;

private slots:
    void init() { opts_ = AppOptions{}; }

    void sameTextCountedCaseSensitive()
    {
        FakeGrid grid;
        TagList list(200);
        list.setView(&grid);
        list.setOptions(&opts_);
        list.AddDataEntry("ABC");
        list.AddDataEntry("ABC");
        list.AddDataEntry("abc");
        QCOMPARE(list.count(), 2);
        QCOMPARE(grid.row(1), QStringList({"1", "2", "ABC", "", "0"}));
        QCOMPARE(grid.row(2), QStringList({"2", "1", "abc", "", "0"}));
        QCOMPARE(grid.countText, QStringLiteral("読みとり総数： 2"));
        QCOMPARE(list.LastUpdatedRow(), 2);
        list.AddDataEntry("ABC");
        QCOMPARE(list.LastUpdatedRow(), 1);
        QCOMPARE(grid.cell(1, 1), QStringLiteral("3"));
    }

    void uidEntriesKeyedByUidAndData()
    {
        FakeGrid grid;
        TagList list(200);
        list.setView(&grid);
        list.setOptions(&opts_);
        const QString u1 = "78 56 34 12 00 01 04 E0 ", u2 = "79 56 34 12 00 01 04 E0 ";
        list.AddUidEntry("ABC", u1);
        list.AddUidEntry("ABC", u2);
        list.AddUidEntry("ABC", u1);
        QCOMPARE(list.count(), 2);
        QCOMPARE(grid.row(1), QStringList({"1", "2", "ABC", u1, "0"}));
        QCOMPARE(grid.row(2), QStringList({"2", "1", "ABC", u2, "0"}));
        // A text-only report counts the first entry with that text, whatever its UID.
        list.AddDataEntry("ABC");
        QCOMPARE(list.count(), 2);
        QCOMPARE(grid.cell(1, 1), QStringLiteral("3"));
    }

    void gridGrowsFrom20Rows()
    {
        FakeGrid grid;
        TagList list(200);
        list.setView(&grid);
        for (int i = 1; i <= 19; ++i)
            list.AddDataEntry(QString::number(i));
        QCOMPARE(grid.rowCount(), 20);
        list.AddDataEntry("20");
        QCOMPARE(grid.rowCount(), 21);
        QCOMPARE(grid.row(20).mid(0, 3), QStringList({"20", "1", "20"}));
        list.AddDataEntry("21");
        QCOMPARE(grid.rowCount(), 22);
    }

    void fullListDropsNewEntriesOnly()
    {
        FakeGrid grid;
        TagList list(200);
        list.setView(&grid);
        for (int i = 1; i <= 200; ++i)
            list.AddDataEntry(QString::number(i));
        QCOMPARE(list.count(), 200);
        QCOMPARE(grid.cell(200, 2), QStringLiteral("200"));
        const int repaints = grid.repaints;
        list.AddDataEntry("201");
        QCOMPARE(list.count(), 200);
        QCOMPARE(grid.rowCount(), 201);
        QCOMPARE(grid.countText, QStringLiteral("読みとり総数： 200"));
        QCOMPARE(grid.repaints, repaints);
        QCOMPARE(list.LastUpdatedRow(), 200);
        list.AddDataEntry("7");
        QCOMPARE(grid.cell(7, 1), QStringLiteral("2"));
        QCOMPARE(list.LastUpdatedRow(), 7);
    }

    void clearAfter35Entries()
    {
        FakeGrid grid;
        TagList list(200);
        list.setView(&grid);
        list.setOptions(&opts_);
        for (int i = 1; i <= 35; ++i)
            list.AddUidEntry("d" + QString::number(i), "u");
        QCOMPARE(grid.rowCount(), 36);
        list.ClearTagList();
        QCOMPARE(list.count(), 0);
        QCOMPARE(grid.rowCount(), 20);
        for (int r = 1; r < 20; ++r)
            QCOMPARE(grid.row(r), QStringList(5, QString()));
        list.AddUidEntry("d5", "u");
        QCOMPARE(grid.row(1), QStringList({"1", "1", "d5", "u", "0"}));
        QCOMPARE(grid.countText, QStringLiteral("読みとり総数： 1"));
    }

    void inOutColumn_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("inCode");
        QTest::addColumn<int>("outCode");
        QTest::addColumn<QString>("cell");
        QTest::newRow("channel mode shows the code") << 1 << 1 << 0 << 1 << "0";
        QTest::newRow("in/out mode, InCode 0") << 1 << 0 << 0 << 1 << "IN";
        QTest::newRow("in/out mode, OutCode 0") << 1 << 0 << 1 << 0 << "OUT";
        QTest::newRow("in/out mode, neither") << 1 << 0 << 1 << 2 << "old";
        QTest::newRow("no in/out column") << 0 << 1 << 0 << 1 << "old";
    }
    void inOutColumn()
    {
        QFETCH(int, format);
        QFETCH(int, mode);
        QFETCH(int, inCode);
        QFETCH(int, outCode);
        QFETCH(QString, cell);
        opts_.fUseInOutFormat = format;
        opts_.InOutMode = mode;
        opts_.InCode = inCode;
        opts_.OutCode = outCode;
        opts_.InString = "IN";
        opts_.OutString = "OUT";
        FakeGrid grid;
        grid.setCell(1, 4, "old");
        TagList list(200);
        list.setView(&grid);
        list.setOptions(&opts_);
        list.AddDataEntry("x");
        QCOMPARE(grid.cell(1, 4), cell);
        grid.setCell(1, 4, "old");
        list.AddDataEntry("x");   // a counted entry refreshes it too
        QCOMPARE(grid.cell(1, 4), cell);
    }

    void indexEqualsScan()
    {
        // Few texts and UIDs, so repeats, shared texts with other UIDs and a
        // full list all occur.
        QRandomGenerator rng(12345);
        TagList list(40);
        ScanModel model{40, {}, 0};
        const QStringList texts = {"A", "a", "B", "", "AB", "ab", "C"};
        const QStringList uids = {"", "01 ", "02 ", "03 04 ", "01 02 "};
        for (int step = 0; step < 3000; ++step) {
            const QString d = texts[rng.bounded(int(texts.size()))] + QString::number(rng.bounded(8));
            if (rng.bounded(3) == 0) {
                list.AddDataEntry(d);
                model.add(d, nullptr);
            } else {
                const QString u = uids[rng.bounded(int(uids.size()))];
                list.AddUidEntry(d, u);
                model.add(d, &u);
            }
            QCOMPARE(list.LastUpdatedRow(), model.lastRow);
            QCOMPARE(list.count(), int(model.entries.size()));
        }
        for (int i = 0; i < model.entries.size(); ++i) {
            QCOMPARE(list.entry(i).dataText, model.entries[i].dataText);
            QCOMPARE(list.entry(i).uidText, model.entries[i].uidText);
            QCOMPARE(list.entry(i).readCount, model.entries[i].readCount);
        }
        QCOMPARE(list.entry(40).readCount, 0);
    }

    void moduleAllocatesItsList()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("k.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[ComDebug]\nMAX_REC_NO=65535\n");
        f.close();
        MainState state;
        kx9test::MemoryLog log;
        CommModule m(LinkConfig{}, f.fileName(), opts_, state, &log);
        QCOMPARE(m.tagList().capacity(), 65535);
        QCOMPARE(m.tagList().count(), 0);
    }

    void commLogEmptiesAt250Lines()
    {
        QTemporaryDir dir;
        MainState state;
        kx9test::MemoryLog log;
        CommModule m(LinkConfig{}, dir.filePath("k.ini"), opts_, state, &log);
        // Lines from the main window's own writer count as well.
        for (int i = 0; i < 249; ++i)
            log.appendLine("app " + QString::number(i));
        m.CommLog("249th+1");
        QCOMPARE(log.lineCount(), 250);
        QCOMPARE(log.clears, 0);
        m.CommLog("next");
        QCOMPARE(log.lines, QStringList{"next"});
        QCOMPARE(log.clears, 1);
        // Redirected to another control, and back.
        kx9test::MemoryLog runner;
        m.setLogTarget(&runner);
        m.CommLog("to runner");
        m.setLogTarget(&log);
        m.CommLog("back");
        QCOMPARE(runner.lines, QStringList{"to runner"});
        QCOMPARE(log.lines, QStringList({"next", "back"}));
    }
};

QTEST_GUILESS_MAIN(TestLinkTagList)
#include "tst_link_taglist.moc"
