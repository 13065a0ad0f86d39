#include "script/dialog_answerer.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QVariant>

namespace kx9 {

QString CaptionText(const QString &caption)
{
    QString t = caption;
    t.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    t.remove(u'&');
    t.replace(QChar(1), u'&');
    return t;
}

namespace {

bool parseInt(const QString &text, int base, qlonglong *out)
{
    bool ok = false;
    QString t = text.trimmed();
    if (base == 16 && (t.startsWith(QStringLiteral("0x")) || t.startsWith(QStringLiteral("0X"))))
        t = t.mid(2);
    *out = t.toLongLong(&ok, base);
    return ok;
}

QWidget *findWidget(QWidget *dialog, const QString &name)
{
    if (dialog->objectName() == name)
        return dialog;
    return dialog->findChild<QWidget *>(name);
}

// Every fill starts here: the widget exists and a person could use it.
QString usable(QWidget *dialog, const QString &name, QWidget **out)
{
    QWidget *w = findWidget(dialog, name);
    if (!w)
        return QStringLiteral("no widget '%1' in %2").arg(name, DescribeDialog(dialog));
    if (!w->isEnabled())
        return QStringLiteral("widget '%1' in %2 is disabled").arg(name, DescribeDialog(dialog));
    *out = w;
    return {};
}

QRadioButton *radioAt(QWidget *group, int index)
{
    const QList<QRadioButton *> radios = group->findChildren<QRadioButton *>();
    return (index >= 0 && index < radios.size()) ? radios[index] : nullptr;
}

} // namespace

QString TypeDialogText(QWidget *dialog, const QString &name, const QString &text)
{
    QWidget *w = nullptr;
    if (QString err = usable(dialog, name, &w); !err.isEmpty())
        return err;
    w->setFocus(Qt::OtherFocusReason);
    if (auto *le = qobject_cast<QLineEdit *>(w)) {
        // Typed over the old text, so textEdited fires as for a person.
        le->selectAll();
        le->insert(text);
        if (le->text() != text)
            return QStringLiteral("line edit '%1' took \"%2\" as \"%3\"").arg(name, text, le->text());
        emit le->editingFinished();
        return {};
    }
    if (auto *cb = qobject_cast<QComboBox *>(w)) {
        if (!cb->isEditable())
            return QStringLiteral("combo box '%1' is not editable").arg(name);
        cb->setEditText(text);
        return {};
    }
    if (auto *pe = qobject_cast<QPlainTextEdit *>(w)) {
        pe->setPlainText(text);
        return {};
    }
    if (auto *te = qobject_cast<QTextEdit *>(w)) {
        te->setPlainText(text);
        return {};
    }
    if (auto *sb = qobject_cast<QAbstractSpinBox *>(w)) {
        QLineEdit *le = sb->findChild<QLineEdit *>();
        if (!le)
            return QStringLiteral("spin box '%1' has no editor").arg(name);
        le->selectAll();
        le->insert(text);
        sb->interpretText();
        return {};
    }
    if (w->metaObject()->indexOfProperty("text") >= 0 && w->setProperty("text", text))
        return {};
    return QStringLiteral("widget '%1' (%2) takes no text").arg(name, QString::fromLatin1(w->metaObject()->className()));
}

QString ChooseDialogIndex(QWidget *dialog, const QString &name, int index)
{
    QWidget *w = nullptr;
    if (QString err = usable(dialog, name, &w); !err.isEmpty())
        return err;
    if (auto *cb = qobject_cast<QComboBox *>(w)) {
        if (index < -1 || index >= cb->count())
            return QStringLiteral("combo box '%1' has no item %2").arg(name).arg(index);
        cb->setCurrentIndex(index);
        emit cb->activated(index);
        emit cb->textActivated(cb->currentText());
        return {};
    }
    if (auto *lw = qobject_cast<QListWidget *>(w)) {
        if (index < 0 || index >= lw->count())
            return QStringLiteral("list '%1' has no row %2").arg(name).arg(index);
        lw->setCurrentRow(index);
        emit lw->itemClicked(lw->item(index));
        return {};
    }
    if (QRadioButton *radio = radioAt(w, index)) {
        if (!radio->isEnabled())
            return QStringLiteral("radio %1 of '%2' is disabled").arg(index).arg(name);
        if (!radio->isChecked())
            radio->click();
        return {};
    }
    if (w->metaObject()->indexOfProperty("currentIndex") >= 0 && w->setProperty("currentIndex", index))
        return {};
    return QStringLiteral("widget '%1' has no item %2").arg(name).arg(index);
}

QString ChooseDialogItem(QWidget *dialog, const QString &name, const QString &text)
{
    QWidget *w = nullptr;
    if (QString err = usable(dialog, name, &w); !err.isEmpty())
        return err;
    if (auto *cb = qobject_cast<QComboBox *>(w)) {
        const int i = cb->findText(text);
        if (i < 0)
            return QStringLiteral("combo box '%1' has no item \"%2\"").arg(name, text);
        cb->setCurrentIndex(i);
        emit cb->activated(i);
        emit cb->textActivated(text);
        return {};
    }
    if (auto *lw = qobject_cast<QListWidget *>(w)) {
        const QList<QListWidgetItem *> items = lw->findItems(text, Qt::MatchExactly);
        if (items.isEmpty())
            return QStringLiteral("list '%1' has no row \"%2\"").arg(name, text);
        lw->setCurrentItem(items.first());
        emit lw->itemClicked(items.first());
        return {};
    }
    const QList<QRadioButton *> radios = w->findChildren<QRadioButton *>();
    for (QRadioButton *r : radios) {
        if (CaptionText(r->text()) == text) {
            if (!r->isChecked())
                r->click();
            return {};
        }
    }
    return QStringLiteral("widget '%1' has no item \"%2\"").arg(name, text);
}

QString CheckDialogButton(QWidget *dialog, const QString &name, bool checked)
{
    QWidget *w = nullptr;
    if (QString err = usable(dialog, name, &w); !err.isEmpty())
        return err;
    auto *b = qobject_cast<QAbstractButton *>(w);
    if (!b || !b->isCheckable())
        return QStringLiteral("widget '%1' is not a check box or radio button").arg(name);
    if (b->isChecked() != checked)
        b->click();
    if (b->isChecked() != checked)
        return QStringLiteral("'%1' cannot be %2").arg(name, checked ? QStringLiteral("checked") : QStringLiteral("cleared"));
    return {};
}

QString SetDialogValue(QWidget *dialog, const QString &name, const QVariant &value)
{
    QWidget *w = nullptr;
    if (QString err = usable(dialog, name, &w); !err.isEmpty())
        return err;
    if (auto *sb = qobject_cast<QSpinBox *>(w)) {
        sb->setValue(value.toInt());
        return {};
    }
    if (auto *db = qobject_cast<QDoubleSpinBox *>(w)) {
        db->setValue(value.toDouble());
        return {};
    }
    if (w->metaObject()->indexOfProperty("value") >= 0 && w->setProperty("value", value))
        return {};
    if (auto *le = qobject_cast<QLineEdit *>(w)) {
        le->selectAll();
        le->insert(value.toString());
        emit le->editingFinished();
        return {};
    }
    return QStringLiteral("widget '%1' (%2) takes no value").arg(name, QString::fromLatin1(w->metaObject()->className()));
}

QString SetDialogField(QWidget *dialog, const QString &field, const QString &value)
{
    QWidget *w = nullptr;
    if (QString err = usable(dialog, field, &w); !err.isEmpty())
        return err;
    qlonglong n = -1;
    if (auto *combo = qobject_cast<QComboBox *>(w)) {
        // An item text first, then an index; an editable box takes any text.
        if (combo->findText(value) >= 0)
            return ChooseDialogItem(dialog, field, value);
        if (parseInt(value, 10, &n))
            return ChooseDialogIndex(dialog, field, int(n));
        return combo->isEditable() ? TypeDialogText(dialog, field, value)
                                   : QStringLiteral("combo box '%1' has no item \"%2\"").arg(field, value);
    }
    if (qobject_cast<QListWidget *>(w))
        return parseInt(value, 10, &n) ? ChooseDialogIndex(dialog, field, int(n)) : ChooseDialogItem(dialog, field, value);
    if (auto *button = qobject_cast<QAbstractButton *>(w); button && button->isCheckable()) {
        if (value != u"1" && value != u"0")
            return QStringLiteral("field %1 takes 0 or 1").arg(field);
        return CheckDialogButton(dialog, field, value == u"1");
    }
    // Number boxes, spin boxes and line edits take the value as typed, in
    // their own radix.
    if (qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QPlainTextEdit *>(w)
        || qobject_cast<QTextEdit *>(w))
        return TypeDialogText(dialog, field, value);
    if (!w->findChildren<QRadioButton *>().isEmpty()) {
        if (!parseInt(value, 10, &n))
            return QStringLiteral("field %1 takes an item index").arg(field);
        return ChooseDialogIndex(dialog, field, int(n));
    }
    return QStringLiteral("field %1 (%2) is not a widget a script can set")
        .arg(field, QString::fromLatin1(w->metaObject()->className()));
}

QString DescribeDialog(const QWidget *dialog)
{
    if (!dialog)
        return QStringLiteral("(no dialog)");
    QString text = QStringLiteral("%1 '%2' \"%3\"")
                       .arg(QString::fromLatin1(dialog->metaObject()->className()), dialog->objectName(),
                            dialog->windowTitle());
    if (auto *box = qobject_cast<const QMessageBox *>(dialog))
        text += QStringLiteral(" text \"%1\"").arg(box->text());
    return text;
}

QAbstractButton *FindDialogButton(QWidget *dialog, const QString &nameOrCaption)
{
    if (auto *b = dialog->findChild<QAbstractButton *>(nameOrCaption))
        return b;
    const QString caption = CaptionText(nameOrCaption);
    const QList<QAbstractButton *> buttons = dialog->findChildren<QAbstractButton *>();
    for (QAbstractButton *b : buttons)
        if (b->isVisible() && CaptionText(b->text()) == caption)
            return b;
    for (QAbstractButton *b : buttons)
        if (CaptionText(b->text()) == caption)
            return b;
    return nullptr;
}

QAbstractButton *FindStandardButton(QWidget *dialog, QDialogButtonBox::StandardButton which)
{
    if (auto *box = qobject_cast<QMessageBox *>(dialog))
        if (QAbstractButton *b = box->button(QMessageBox::StandardButton(int(which))))
            return b;
    for (QDialogButtonBox *bb : dialog->findChildren<QDialogButtonBox *>())
        if (QAbstractButton *b = bb->button(which))
            return b;
    return nullptr;
}

namespace {

QAbstractButton *findFirst(QWidget *dialog, QDialogButtonBox::StandardButton which, std::initializer_list<const char *> names)
{
    QAbstractButton *b = FindStandardButton(dialog, which);
    for (const char *n : names)
        if (!b)
            b = FindDialogButton(dialog, QString::fromUtf8(n));
    return b;
}

} // namespace

QAbstractButton *FindOkButton(QWidget *dialog)
{
    return findFirst(dialog, QDialogButtonBox::Ok, {"OKBtn", "OKButton", "BtOK", "OK", "ＯＫ"});
}

QAbstractButton *FindCancelButton(QWidget *dialog)
{
    return findFirst(dialog, QDialogButtonBox::Cancel, {"CancelBtn", "BtCancel", "キャンセル", "ｷｬﾝｾﾙ", "Cancel"});
}

QString ClickDialogButton(QAbstractButton *button, const QWidget *dialog, const QString &what)
{
    if (!button)
        return QStringLiteral("no button %1 in %2").arg(what, DescribeDialog(dialog));
    if (!button->isEnabled())
        return QStringLiteral("button %1 in %2 is disabled").arg(what, DescribeDialog(dialog));
    button->click();
    return {};
}

QString PressDialogButton(QWidget *dialog, const QString &button)
{
    if (button == u"ok")
        return ClickDialogButton(FindOkButton(dialog), dialog, QStringLiteral("OK"));
    if (button == u"cancel") {
        QAbstractButton *b = FindCancelButton(dialog);
        // No Cancel button: close the window, as a person would.
        if (!b) {
            if (auto *d = qobject_cast<QDialog *>(dialog)) {
                d->reject();
                return {};
            }
        }
        return ClickDialogButton(b, dialog, QStringLiteral("Cancel"));
    }
    return ClickDialogButton(FindDialogButton(dialog, button), dialog, button);
}

QString AnswerDialog(QWidget *dialog, const QList<QPair<QString, QString>> &fields, const QString &button)
{
    for (const auto &f : fields)
        if (QString e = SetDialogField(dialog, f.first, f.second); !e.isEmpty())
            return e;
    return PressDialogButton(dialog, button);
}

QString AnswerMessageBox(QMessageBox *box, const QString &answer)
{
    QAbstractButton *b = nullptr;
    if (answer == u"yes" || answer == u"no") {
        b = box->button(answer == u"yes" ? QMessageBox::Yes : QMessageBox::No);
        if (!b)
            return QStringLiteral("the message box \"%1\" is not a yes/no question").arg(box->text());
    } else {
        b = box->button(QMessageBox::Ok);
        if (!b)
            b = box->defaultButton();
        if (!b)
            b = box->escapeButton();
        if (!b && !box->buttons().isEmpty())
            b = box->buttons().first();
        if (!b)
            return QStringLiteral("the message box \"%1\" has no button").arg(box->text());
    }
    b->click();
    return {};
}

// ---------------------------------------------------------------- windows

QWidget *CurrentDialog(const QWidget *mainWindow, const char *skipProperty)
{
    auto skipped = [skipProperty](const QWidget *w) { return skipProperty && w->property(skipProperty).toBool(); };
    if (QWidget *modal = QApplication::activeModalWidget())
        return (modal->isVisible() && !skipped(modal)) ? modal : nullptr;
    QWidget *last = nullptr;
    QWidget *active = QApplication::activeWindow();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w == mainWindow || !w->isVisible() || skipped(w))
            continue;
        if (!qobject_cast<QDialog *>(w) && w->windowType() != Qt::Dialog)
            continue;
        if (w == active)
            return w;
        last = w;
    }
    return last;
}

QString AnswerFileDialog(QWidget *dialog, const QString &path, const QString &filter)
{
    auto *fd = qobject_cast<QFileDialog *>(dialog);
    if (!fd)
        return QStringLiteral("expected a file dialog, but %1 is open").arg(DescribeDialog(dialog));
    if (!filter.isEmpty()) {
        const QStringList filters = fd->nameFilters();
        bool isIndex = false;
        const int index = filter.toInt(&isIndex);
        QString chosen;
        if (isIndex && index >= 0 && index < filters.size())
            chosen = filters[index];
        for (const QString &f : filters)
            if (chosen.isEmpty() && (f == filter || f.section(QLatin1String(" ("), 0, 0) == filter))
                chosen = f;
        if (chosen.isEmpty())
            return QStringLiteral("file dialog %1 has no filter \"%2\" (it has: %3)")
                .arg(DescribeDialog(dialog), filter, filters.join(QLatin1String("; ")));
        fd->selectNameFilter(chosen);
    }
    // As a person would: go to the folder, type the name. (selectFile() does
    // not reach the name box while the folder is still being read.)
    const QFileInfo info(path);
    fd->setDirectory(info.absolutePath());
    if (auto *name = fd->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        name->setText(info.fileName());
    else
        fd->selectFile(info.absoluteFilePath());
    QPointer<QFileDialog> guard(fd);
    static_cast<QDialog *>(fd)->accept();   // QFileDialog keeps its override protected
    // Still in front: it refused the name (no such file to open, say).
    if (guard && guard->isVisible() && (QApplication::activeModalWidget() == guard || !QApplication::activeModalWidget()))
        return QStringLiteral("file dialog %1 did not take \"%2\"").arg(DescribeDialog(dialog), path);
    return {};
}

// ---------------------------------------------------------------- clicks

bool ParseModifiers(const QString &text, Qt::KeyboardModifiers *out)
{
    Qt::KeyboardModifiers mods;
    for (const QString &word : text.toLower().split(u'+', Qt::SkipEmptyParts)) {
        if (word == u"ctrl" || word == u"control")
            mods |= Qt::ControlModifier;
        else if (word == u"shift")
            mods |= Qt::ShiftModifier;
        else if (word == u"alt")
            mods |= Qt::AltModifier;
        else
            return false;
    }
    *out = mods;
    return true;
}

namespace {

// The widget a person would click for `name`: a widget of that name, else the
// toolbar button or other widget that shows the action of that name.
QWidget *clickTarget(QWidget *root, const QString &name)
{
    if (QWidget *w = findWidget(root, name))
        return w;
    const QList<QAction *> actions = root->findChildren<QAction *>(name);
    for (QAction *a : actions) {
        for (QObject *o : a->associatedObjects()) {
            if (auto *bar = qobject_cast<QToolBar *>(o)) {
                if (QWidget *button = bar->widgetForAction(a))
                    return button;
            } else if (auto *w = qobject_cast<QWidget *>(o); w && !qobject_cast<QMenu *>(w)) {
                return w;
            }
        }
    }
    return nullptr;
}

void sendMouse(QWidget *w, QEvent::Type type, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods)
{
    const QPointF pos = QPointF(w->rect().center());
    const QPointF global = QPointF(w->mapToGlobal(w->rect().center()));
    QMouseEvent event(type, pos, pos, global, Qt::LeftButton, buttons, mods);
    QApplication::sendEvent(w, &event);
}

} // namespace

QString ClickWidget(QWidget *root, const QString &name, Qt::KeyboardModifiers modifiers, bool doubleClick)
{
    QWidget *w = clickTarget(root, name);
    if (!w)
        return QStringLiteral("no widget '%1' in %2").arg(name, DescribeDialog(root));
    if (!w->isVisible())
        return QStringLiteral("widget '%1' in %2 is not shown").arg(name, DescribeDialog(root));
    if (!w->isEnabled())
        return QStringLiteral("widget '%1' in %2 is disabled").arg(name, DescribeDialog(root));
    // The order a real double-click arrives in: press, release, double-click, release.
    QPointer<QWidget> guard(w);
    sendMouse(w, QEvent::MouseButtonPress, Qt::LeftButton, modifiers);
    if (guard)
        sendMouse(w, QEvent::MouseButtonRelease, Qt::NoButton, modifiers);
    if (doubleClick && guard) {
        sendMouse(w, QEvent::MouseButtonDblClick, Qt::LeftButton, modifiers);
        if (guard)
            sendMouse(w, QEvent::MouseButtonRelease, Qt::NoButton, modifiers);
    }
    return {};
}

// ---------------------------------------------------------------- what a dialog shows

namespace {

QString escapeValue(QString v)
{
    v.replace(u'\\', QLatin1String("\\\\"));
    v.replace(u'\t', QLatin1String("\\t"));
    v.replace(u'\r', QString());
    v.replace(u'\n', QLatin1String("\\n"));
    return v;
}

QString modelText(const QAbstractItemView *view, bool withHeading)
{
    const QAbstractItemModel *m = view->model();
    if (!m)
        return {};
    QStringList rows;
    if (withHeading) {
        QStringList cells;
        for (int c = 0; c < m->columnCount(); ++c)
            cells << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        rows << cells.join(u'\t');
    }
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < m->columnCount(); ++c)
            cells << m->index(r, c).data(Qt::DisplayRole).toString();
        rows << cells.join(u'\t');
    }
    return rows.join(u'\n');
}

QString checkedText(const QAbstractButton *b) { return b->isChecked() ? QStringLiteral("1") : QStringLiteral("0"); }

// Kind and value of one control, as a person reads it off the screen.
void describeControl(QWidget *w, ControlState *c)
{
    if (auto *le = qobject_cast<QLineEdit *>(w)) {
        c->kind = w->inherits("kx9::IntEdit") ? QStringLiteral("number") : QStringLiteral("line");
        c->value = le->text();
    } else if (auto *cb = qobject_cast<QComboBox *>(w)) {
        c->kind = QStringLiteral("combo");
        c->value = QStringLiteral("%1 [%2]").arg(cb->currentText()).arg(cb->currentIndex());
    } else if (auto *sb = qobject_cast<QAbstractSpinBox *>(w)) {
        c->kind = QStringLiteral("spin");
        c->value = sb->text();
    } else if (auto *check = qobject_cast<QCheckBox *>(w)) {
        c->kind = QStringLiteral("check");
        c->value = checkedText(check);
    } else if (auto *radio = qobject_cast<QRadioButton *>(w)) {
        c->kind = QStringLiteral("radio");
        c->value = checkedText(radio);
    } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        c->kind = button->isCheckable() ? QStringLiteral("toggle") : QStringLiteral("button");
        c->value = button->isCheckable() ? checkedText(button) : CaptionText(button->text());
    } else if (auto *pe = qobject_cast<QPlainTextEdit *>(w)) {
        c->kind = QStringLiteral("text");
        c->value = pe->toPlainText();
    } else if (auto *te = qobject_cast<QTextEdit *>(w)) {
        c->kind = QStringLiteral("text");
        c->value = te->toPlainText();
    } else if (auto *table = qobject_cast<QTableView *>(w)) {
        c->kind = QStringLiteral("grid");
        c->value = modelText(table, !table->horizontalHeader()->isHidden());
    } else if (auto *view = qobject_cast<QAbstractItemView *>(w)) {
        c->kind = QStringLiteral("list");
        const int row = view->currentIndex().isValid() ? view->currentIndex().row() : -1;
        c->value = QStringLiteral("[%1] ").arg(row) + modelText(view, false);
    } else if (auto *label = qobject_cast<QLabel *>(w)) {
        c->kind = QStringLiteral("label");
        c->value = label->text();
    } else if (auto *bar = qobject_cast<QProgressBar *>(w)) {
        c->kind = QStringLiteral("progress");
        c->value = QString::number(bar->value());
    } else if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
        c->kind = QStringLiteral("pages");
        c->value = QStringLiteral("%1 [%2]").arg(tabs->tabText(tabs->currentIndex())).arg(tabs->currentIndex());
    } else if (auto *stack = qobject_cast<QStackedWidget *>(w)) {
        c->kind = QStringLiteral("pages");
        c->value = QString::number(stack->currentIndex());
    } else if (QList<QRadioButton *> radios = w->findChildren<QRadioButton *>(); !radios.isEmpty()) {
        // A radio group: the index of the item chosen, -1 for none.
        c->kind = QStringLiteral("radio-group");
        int index = -1;
        for (int i = 0; i < radios.size(); ++i)
            if (radios[i]->isChecked())
                index = i;
        c->value = QString::number(index);
    } else if (auto *group = qobject_cast<QGroupBox *>(w)) {
        c->kind = QStringLiteral("group");
        c->value = group->isCheckable() ? QString::number(group->isChecked() ? 1 : 0) + u' ' + group->title()
                                         : group->title();
    } else {
        c->kind = QString::fromLatin1(w->metaObject()->className()).section(QLatin1String("::"), -1).toLower();
        if (w->metaObject()->indexOfProperty("text") >= 0)
            c->value = w->property("text").toString();
    }
    c->value = escapeValue(c->value);
}

QString backgroundOf(QWidget *w)
{
    w->ensurePolished();
    const QPalette::ColorRole role = w->backgroundRole();
    // Compared in the state it is drawn in: a disabled box is greyed by default.
    const QPalette::ColorGroup group = w->isEnabled() ? QPalette::Active : QPalette::Disabled;
    const QColor own = w->palette().color(group, role);
    const QColor usual = QApplication::palette(w).color(group, role);
    return own == usual ? QString() : own.name();
}

} // namespace

QList<ControlState> ReadControls(QWidget *root)
{
    QList<ControlState> out;
    if (!root)
        return out;
    const QList<QWidget *> widgets = root->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        const QString name = w->objectName();
        // Qt's own parts of composite widgets (a spin box's editor) are not controls.
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")))
            continue;
        ControlState c;
        c.name = name;
        describeControl(w, &c);
        c.enabled = w->isEnabled();
        c.visible = w->isVisibleTo(root) && (root->isVisible() ? w->isVisible() : true);
        c.background = backgroundOf(w);
        out << c;
    }
    return out;
}

QString FormatControls(const QList<ControlState> &controls)
{
    QString text;
    for (const ControlState &c : controls) {
        text += QStringLiteral("%1\t%2\t%3\tenabled=%4\tvisible=%5")
                    .arg(c.name, c.kind, c.value)
                    .arg(c.enabled ? 1 : 0)
                    .arg(c.visible ? 1 : 0);
        if (!c.background.isEmpty())
            text += QStringLiteral("\tbg=") + c.background;
        text += u'\n';
    }
    return text;
}

QString CheckControls(QWidget *root, const QList<QPair<QString, QString>> &expected)
{
    const QList<ControlState> controls = ReadControls(root);
    for (const auto &e : expected) {
        const ControlState *found = nullptr;
        for (const ControlState &c : controls)
            if (!found && c.name == e.first)
                found = &c;
        if (!found)
            return QStringLiteral("no control '%1' in %2").arg(e.first, DescribeDialog(root));
        if (found->value != e.second)
            return QStringLiteral("'%1' shows \"%2\", expected \"%3\"").arg(e.first, found->value, e.second);
    }
    return {};
}

} // namespace kx9
