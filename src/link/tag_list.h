#pragma once
// The received-tag list: fixed capacity, found through a hash index kept beside
// the array so a report costs the same with 20 entries or 65535.
#include <QHash>
#include <QPair>
#include <QString>
#include <QVector>

namespace kx9 {

struct AppOptions;

struct TagListEntry {
    QString dataText;
    QString uidText;
    int readCount = 0;
};

// What the list writes to: the main window's grid and status bar.
class TagListView {
public:
    virtual ~TagListView() = default;
    virtual void setCell(int row, int column, const QString &text) = 0;
    virtual QString cell(int row, int column) const = 0;
    virtual int rowCount() const = 0;
    virtual void setRowCount(int rows) = 0;
    virtual void setCountText(const QString &text) = 0;   // status bar panel 1
    virtual void repaintGrid() = 0;
};

class TagList {
public:
    explicit TagList(int capacity);

    void setView(TagListView *view) { view_ = view; }
    void setOptions(const AppOptions *opts) { opts_ = opts; }

    void AddDataEntry(const QString &dataText);
    void AddUidEntry(const QString &dataText, const QString &uidText);
    void ClearTagList();

    int capacity() const { return capacity_; }
    int count() const { return int(entries_.size()); }
    int LastUpdatedRow() const { return lastUpdatedRow_; }
    // Entry i (an unused row reads as an empty entry).
    const TagListEntry &entry(int i) const;

private:
    void writeInOut(int row);
    void addEntry(const QString &dataText, const QString &uidText);
    void countEntry(int index);

    // Rows are all empty until used, so only the used ones are kept; the
    // capacity is the fixed limit.
    int capacity_ = 0;
    QVector<TagListEntry> entries_;
    int lastUpdatedRow_ = 0;
    TagListView *view_ = nullptr;
    const AppOptions *opts_ = nullptr;
    // First entry with a given data text (whatever its UID text), and first
    // entry with a given UID text and data text: what a scan from entry 0 finds.
    QHash<QString, int> byData_;
    QHash<QPair<QString, QString>, int> byUidData_;
};

} // namespace kx9
