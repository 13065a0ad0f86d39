#include "tag_list.h"

#include "options.h"

namespace kx9 {

namespace {
constexpr int kGridRows = 20;
const QString kCountLabel = QStringLiteral("読みとり総数： ");
} // namespace

TagList::TagList(int capacity) : capacity_(std::max(0, capacity))
{
    entries_.reserve(std::min(capacity_, 4096));
}

void TagList::writeInOut(int row)
{
    if (!view_ || !opts_ || !opts_->fUseInOutFormat)
        return;
    // No report carries an in/out code, so the code compared here is always 0.
    constexpr int inOutCode = 0;
    if (opts_->InOutMode != 0)
        view_->setCell(row, 4, QString::number(inOutCode));
    else if (inOutCode == opts_->InCode)
        view_->setCell(row, 4, opts_->InString);
    else if (inOutCode == opts_->OutCode)
        view_->setCell(row, 4, opts_->OutString);
}

void TagList::countEntry(int index)
{
    TagListEntry &e = entries_[index];
    ++e.readCount;
    const int row = index + 1;
    lastUpdatedRow_ = row;
    if (!view_)
        return;
    view_->setCell(row, 1, QString::number(e.readCount));
    writeInOut(row);
    view_->repaintGrid();
}

void TagList::addEntry(const QString &dataText, const QString &uidText)
{
    const int index = int(entries_.size());
    entries_.append(TagListEntry{dataText, uidText, 1});
    // Only the first entry with a key is indexed, as a scan would find it.
    if (!byData_.contains(dataText))
        byData_.insert(dataText, index);
    const auto uidKey = qMakePair(uidText, dataText);
    if (!byUidData_.contains(uidKey))
        byUidData_.insert(uidKey, index);
    const int row = index + 1;
    lastUpdatedRow_ = row;
    if (!view_)
        return;
    // The grid grows before the new row is written: a grid control drops
    // writes to rows it does not have yet.
    if (row >= kGridRows && view_->rowCount() < row + 1)
        view_->setRowCount(row + 1);
    view_->setCell(row, 3, uidText);
    view_->setCell(row, 2, dataText);
    view_->setCell(row, 1, QStringLiteral("1"));
    view_->setCell(row, 0, QString::number(row));
    writeInOut(row);
    view_->setCountText(kCountLabel + QString::number(row));
    view_->repaintGrid();
}

void TagList::AddDataEntry(const QString &dataText)
{
    const auto it = byData_.constFind(dataText);
    if (it != byData_.constEnd()) {
        countEntry(it.value());
        return;
    }
    if (count() < capacity_)
        addEntry(dataText, QString());
}

void TagList::AddUidEntry(const QString &dataText, const QString &uidText)
{
    const auto it = byUidData_.constFind(qMakePair(uidText, dataText));
    if (it != byUidData_.constEnd()) {
        countEntry(it.value());
        return;
    }
    if (count() < capacity_)
        addEntry(dataText, uidText);
}

const TagListEntry &TagList::entry(int i) const
{
    static const TagListEntry empty;
    return (i >= 0 && i < entries_.size()) ? entries_[i] : empty;
}

void TagList::ClearTagList()
{
    entries_.clear();
    byData_.clear();
    byUidData_.clear();
    if (!view_)
        return;
    const int columns = (opts_ && opts_->fUseInOutFormat) ? 5 : 4;
    for (int row = 1; row < view_->rowCount(); ++row)
        for (int col = 0; col < columns; ++col)
            view_->setCell(row, col, QString());
    if (view_->rowCount() > kGridRows)
        view_->setRowCount(kGridRows);
}

} // namespace kx9
