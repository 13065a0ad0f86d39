#pragma once
// The result grid StringGrid1: the tag list's view. Grid row 0 is the fixed
// heading row (the table header), data row r is table row r-1, so the rows
// the tag list speaks of are the rows the operator sees.
#include "link/tag_list.h"

#include <QColor>
#include <QTableWidget>
#include <functional>

namespace kx9 {

struct AppOptions;

class TagGrid : public QTableWidget, public TagListView {
    Q_OBJECT
public:
    static constexpr int kStartRows = 20;   // heading row included

    explicit TagGrid(QWidget *parent = nullptr);

    // Column headings "No.", "データ数", "受信データ", "ＵＩＤ" and, with the
    // in/out format, a fifth column headed by InOutTitle.
    void setHeadings(const AppOptions &options);

    // ---- TagListView
    void setCell(int row, int column, const QString &text) override;
    QString cell(int row, int column) const override;
    int rowCount() const override;
    void setRowCount(int rows) override;
    void setCountText(const QString &text) override;
    void repaintGrid() override;

    // Where the count text goes (the status bar).
    void setCountTextSink(std::function<void(const QString &)> sink) { countSink_ = std::move(sink); }
    // Owner drawing of the data rows: on while `enabled` says so; `lastUpdatedRow`
    // is the grid row drawn in red.
    void setOwnerDraw(std::function<bool()> enabled, std::function<int()> lastUpdatedRow);
    bool ownerDrawn() const { return ownerDraw_ && ownerDraw_(); }
    // Text colour of a data row under owner drawing (red for the last updated row, else black).
    QColor rowTextColor(int gridRow) const;

    // Rows 1 to the last, each the texts of every column joined with "," and
    // ended by CR LF, in CP932; no heading line, no quoting.
    QByteArray csvBytes() const;
    // Empties every data cell and goes back to 20 rows (the grid part of the tag list clear).
    void clearDataRows();
    // Text of the focused cell (empty when there is none).
    QString focusedCellText() const;

private:
    std::function<void(const QString &)> countSink_;
    std::function<bool()> ownerDraw_;
    std::function<int()> lastUpdatedRow_;
};

// The CSV file name for a chosen path: the file name's extension replaced by
// ".csv", or ".csv" appended when it has none (a dot in a folder name does not count).
QString CsvPathFor(const QString &chosenPath);

} // namespace kx9
