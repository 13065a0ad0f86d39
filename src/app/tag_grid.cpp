#include "app/tag_grid.h"

#include "link/options.h"
#include "link/text_codec.h"

#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace kx9 {

namespace {

// Draws a data row's text at 2 pixels from the cell's left edge and at its top
// edge, in the row's colour; selection and focus are drawn by the style.
class TagRowDelegate : public QStyledItemDelegate {
public:
    explicit TagRowDelegate(TagGrid *grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (!grid_->ownerDrawn()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        QStyle *style = opt.widget ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        painter->save();
        painter->setFont(opt.font);
        painter->setPen(grid_->rowTextColor(index.row() + 1));
        painter->drawText(opt.rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        painter->restore();
    }

private:
    TagGrid *grid_;
};

const int kWidths[] = {41, 69, 288, 181};
constexpr int kDefaultWidth = 64;

} // namespace

TagGrid::TagGrid(QWidget *parent) : QTableWidget(parent)
{
    setObjectName(QStringLiteral("StringGrid1"));
    setColumnCount(4);
    QTableWidget::setRowCount(kStartRows - 1);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultSectionSize(kDefaultWidth);
    horizontalHeader()->setHighlightSections(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setShowGrid(true);
    setWordWrap(false);
    // The grid's own drawing is in blue.
    QPalette pal = palette();
    pal.setColor(QPalette::Text, Qt::blue);
    setPalette(pal);
    setItemDelegate(new TagRowDelegate(this));
}

void TagGrid::setHeadings(const AppOptions &options)
{
    const bool inOut = options.fUseInOutFormat != 0;
    setColumnCount(inOut ? 5 : 4);
    setCell(0, 0, QStringLiteral("No."));
    setCell(0, 1, QStringLiteral("データ数"));
    setCell(0, 2, QStringLiteral("受信データ"));
    setCell(0, 3, QStringLiteral("ＵＩＤ"));
    if (inOut)
        setCell(0, 4, options.InOutTitle);
    for (int c = 0; c < columnCount(); ++c)
        setColumnWidth(c, c < 4 ? kWidths[c] : kDefaultWidth);
}

void TagGrid::setCell(int row, int column, const QString &text)
{
    if (column < 0 || column >= columnCount() || row < 0)
        return;
    if (row == 0) {
        QTableWidgetItem *h = horizontalHeaderItem(column);
        if (!h) {
            h = new QTableWidgetItem;
            h->setForeground(Qt::blue);
            setHorizontalHeaderItem(column, h);
        }
        h->setText(text);
        return;
    }
    if (row > QTableWidget::rowCount())
        return;
    QTableWidgetItem *it = item(row - 1, column);
    if (!it) {
        if (text.isEmpty())
            return;
        it = new QTableWidgetItem;
        setItem(row - 1, column, it);
    }
    it->setText(text);
}

QString TagGrid::cell(int row, int column) const
{
    if (row == 0) {
        const QTableWidgetItem *h = horizontalHeaderItem(column);
        return h ? h->text() : QString();
    }
    const QTableWidgetItem *it = item(row - 1, column);
    return it ? it->text() : QString();
}

int TagGrid::rowCount() const { return QTableWidget::rowCount() + 1; }

void TagGrid::setRowCount(int rows) { QTableWidget::setRowCount(qMax(rows, 1) - 1); }

void TagGrid::setCountText(const QString &text)
{
    if (countSink_)
        countSink_(text);
}

void TagGrid::repaintGrid() { viewport()->update(); }

void TagGrid::setOwnerDraw(std::function<bool()> enabled, std::function<int()> lastUpdatedRow)
{
    ownerDraw_ = std::move(enabled);
    lastUpdatedRow_ = std::move(lastUpdatedRow);
}

QColor TagGrid::rowTextColor(int gridRow) const
{
    const int last = lastUpdatedRow_ ? lastUpdatedRow_() : 0;
    return gridRow == last ? QColor(Qt::red) : QColor(Qt::black);
}

QByteArray TagGrid::csvBytes() const
{
    QString text;
    const int columns = columnCount();
    for (int r = 1; r < rowCount(); ++r) {
        for (int c = 0; c < columns; ++c) {
            if (c)
                text += QLatin1Char(',');
            text += cell(r, c);
        }
        text += QLatin1String("\r\n");
    }
    return EncodeCp932(text);
}

void TagGrid::clearDataRows()
{
    for (int r = 1; r < rowCount(); ++r) {
        for (int c = 0; c < columnCount(); ++c)
            setCell(r, c, QString());
    }
    if (rowCount() > kStartRows)
        setRowCount(kStartRows);
    viewport()->update();
}

QString TagGrid::focusedCellText() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? cell(i.row() + 1, i.column()) : QString();
}

QString CsvPathFor(const QString &chosenPath)
{
    const QFileInfo fi(chosenPath);
    const QString name = fi.fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString base = dot < 0 ? name : name.left(dot);
    const QString dir = chosenPath.left(chosenPath.size() - name.size());
    return dir + base + QStringLiteral(".csv");
}

} // namespace kx9
