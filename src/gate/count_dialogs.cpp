#include "gate/count_dialogs.h"

#include "ui/int_edit.h"

#include <QChart>
#include <QComboBox>
#include <QChartView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPen>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QValueAxis>
#include <QVBoxLayout>

namespace kx9::gate {

namespace {

// Enough for hours of polling at 1 s; older points scroll out.
constexpr int kMaxChartPoints = 3600;

QLabel *valueField(QWidget *parent, const QString &name)
{
    auto *l = new QLabel(QStringLiteral("0"), parent);
    l->setObjectName(name);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setMinimumWidth(80);
    return l;
}

QTabWidget *pages(QWidget *parent)
{
    auto *t = new QTabWidget(parent);
    t->setObjectName(QStringLiteral("PageControl1"));
    return t;
}

QWidget *page(QTabWidget *tabs, const QString &title)
{
    auto *w = new QWidget(tabs);
    tabs->addTab(w, title);
    return w;
}

} // namespace

// ------------------------------------------------------------------ count dialogs

GateCountDialog::GateCountDialog(Model model, const char *name, const QString &caption, const QString &logPath,
                                 Poller poll, QWidget *parent)
    : GateDialog(name, caption, QStringLiteral("保存(&S)"), QStringLiteral("キャンセル(&C)"), parent),
      model_(model), log_(model, logPath), poll_(std::move(poll))
{
    // "保存(&S)" appends a line and leaves the dialog open.
    OKBtn->disconnect(this);
    connect(OKBtn, &QPushButton::clicked, this, &GateCountDialog::OKBtnClick);
    OKBtn->setDefault(false);
    OKBtn->setAutoDefault(false);

    auto *v = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    const QStringList titles = model == Model::W20
        ? QStringList{QStringLiteral("ゲート１"), QStringLiteral("ゲート２")}
        : QStringList{QStringLiteral("通路１（入）"), QStringLiteral("通路１（出）"), QStringLiteral("通路２（入）"),
                      QStringLiteral("通路２（出）"), QStringLiteral("通路３（入）"), QStringLiteral("通路３（出）")};
    QList<QLabel *> people, alarms;
    for (int s = 0; s < titles.size(); ++s) {
        auto *g = new QGroupBox(titles[s], this);
        auto *gl = new QGridLayout(g);
        people << valueField(g, QStringLiteral("EdPeople%1").arg(s + 1));
        alarms << valueField(g, QStringLiteral("EdAlarm%1").arg(s + 1));
        gl->addWidget(new QLabel(QStringLiteral("人数"), g), 0, 0);
        gl->addWidget(people.last(), 0, 1);
        gl->addWidget(new QLabel(QStringLiteral("人"), g), 0, 2);
        gl->addWidget(new QLabel(QStringLiteral("アラーム"), g), 1, 0);
        gl->addWidget(alarms.last(), 1, 1);
        gl->addWidget(new QLabel(QStringLiteral("回"), g), 1, 2);
        grid->addWidget(g, s / 2, s % 2);
    }
    // Log order: per record people A, alarms A, people B, alarms B.
    for (int r = 0; r < RecordCount(model); ++r)
        fields_ << people[2 * r] << alarms[2 * r] << people[2 * r + 1] << alarms[2 * r + 1];
    v->addLayout(grid);

    auto *row = new QHBoxLayout;
    auto *timing = new QGroupBox(QStringLiteral("マニュアル時のデータ読み込みタイミング"), this);
    auto *tl = new QHBoxLayout(timing);
    IntEdit1 = new IntEdit(timing);
    IntEdit1->setObjectName(QStringLiteral("IntEdit1"));
    IntEdit1->setRadix(10);
    IntEdit1->setRange(0, 3600);
    IntEdit1->setValue(1);
    IntEdit1->setFixedWidth(60);
    tl->addWidget(IntEdit1);
    tl->addWidget(new QLabel(QStringLiteral("秒"), timing));
    tl->addStretch();
    row->addWidget(timing);
    RadioGroup1 = new RadioGroup(QStringLiteral("RadioGroup1"), QStringLiteral("カウントモード"),
                                 {QStringLiteral("マニュアル"), QStringLiteral("オート")}, this, 2);
    RadioGroup1->setIndex(0);
    row->addWidget(RadioGroup1);
    v->addLayout(row);

    // The counts over the time the dialog is open: a line per sensor for the
    // people and (dashed) for the alarms.
    chart_ = new QChart;
    chart_->setObjectName(QStringLiteral("CountChart"));
    chart_->legend()->setAlignment(Qt::AlignRight);
    chart_->setMargins(QMargins(2, 2, 2, 2));
    axisX_ = new QValueAxis(chart_);
    axisX_->setTitleText(QStringLiteral("経過時間（秒）"));
    axisX_->setLabelFormat(QStringLiteral("%d"));
    axisX_->setRange(0, 60);
    axisY_ = new QValueAxis(chart_);
    axisY_->setLabelFormat(QStringLiteral("%d"));
    axisY_->setRange(0, 10);
    chart_->addAxis(axisX_, Qt::AlignBottom);
    chart_->addAxis(axisY_, Qt::AlignLeft);
    const QStringList names = CountLogHeader(model).split(u',').mid(2);
    for (int i = 0; i < names.size(); ++i) {
        auto *s = new QLineSeries(chart_);
        s->setName(names[i]);
        chart_->addSeries(s);
        s->attachAxis(axisX_);
        s->attachAxis(axisY_);
        if (i % 2 == 1) {
            QPen pen = s->pen();
            pen.setStyle(Qt::DashLine);
            s->setPen(pen);
        }
        series_ << s;
    }
    chartView_ = new QChartView(chart_, this);
    chartView_->setObjectName(QStringLiteral("ChCounts"));
    chartView_->setRenderHint(QPainter::Antialiasing);
    chartView_->setMinimumSize(420, 200);
    v->addWidget(chartView_, 1);
    v->addWidget(buttons());
    since_.start();

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer1"));
    connect(timer_, &QTimer::timeout, this, &GateCountDialog::PollTick);
    connect(IntEdit1, &QLineEdit::textChanged, this, &GateCountDialog::applyTimer);
    connect(IntEdit1, &QLineEdit::editingFinished, this, &GateCountDialog::applyTimer);
    connect(RadioGroup1->button(0), &QAbstractButton::toggled, this, &GateCountDialog::applyTimer);
    applyTimer();
}

bool GateCountDialog::manualMode() const { return RadioGroup1->index() != 1; }

void GateCountDialog::applyTimer()
{
    // Seconds × 1000; 0 seconds never fires (a Qt timer of 0 would fire on every pass of the loop).
    const int seconds = IntEdit1->value();
    if (!manualMode() || seconds <= 0) {
        timer_->stop();
        return;
    }
    if (timer_->interval() != seconds * 1000 || !timer_->isActive())
        timer_->start(seconds * 1000);
}

bool GateCountDialog::CreateLogIfMissing()
{
    QString error;
    if (log_.ensureExists(&error))
        return true;
    QMessageBox::warning(this, QStringLiteral("エラー"), error);
    return false;
}

void GateCountDialog::PollTick()
{
    // The wait inside a poll runs the event loop, so the next tick can come
    // while it waits: at most one poll is outstanding.
    if (!manualMode() || busy_ || !poll_)
        return;
    busy_ = true;
    CountValues v = values_;
    if (poll_(v))
        setValues(v);
    busy_ = false;
}

bool GateCountDialog::ShowReport(int count, const QByteArray &bytes)
{
    const int needed = model_ == Model::W20 ? 12 : 24;
    if (count < needed)
        return false;
    CountValues v = values_;
    // Never past what arrived: only whole records are taken.
    if (DecodeCountRecords(bytes.left(qMax(count - 1, 0)), RecordCount(model_), v) == 0)
        return false;
    setValues(v);
    return true;
}

void GateCountDialog::setValues(const CountValues &v)
{
    values_ = v;
    const QList<qint64> f = CountFields(model_, v);
    for (int i = 0; i < fields_.size(); ++i)
        fields_[i]->setText(QString::number(f[i]));
    addChartPoint();
}

void GateCountDialog::addChartPoint()
{
    const double t = since_.elapsed() / 1000.0;
    const QList<qint64> f = CountFields(model_, values_);
    for (int i = 0; i < series_.size(); ++i) {
        QLineSeries *s = series_[i];
        if (s->count() >= kMaxChartPoints)
            s->remove(0);
        s->append(t, double(f[i]));
        maxY_ = qMax(maxY_, double(f[i]));
    }
    const double x0 = series_.isEmpty() || series_[0]->count() == 0 ? 0 : series_[0]->at(0).x();
    axisX_->setRange(x0, qMax(x0 + 60, t));
    axisY_->setRange(0, qMax(10.0, maxY_ * 1.1));
}

void GateCountDialog::OKBtnClick()
{
    QString error;
    if (!log_.append(values_, QDateTime::currentDateTime(), &error))
        QMessageBox::warning(this, QStringLiteral("エラー"), error);
}

TGateCountDlg::TGateCountDlg(const QString &logPath, Poller poll, QWidget *parent)
    : GateCountDialog(Model::W20, "TGateCountDlg", QStringLiteral("人数カウントダイアログ"), logPath, std::move(poll),
                      parent)
{
}

TGateCount2Dlg::TGateCount2Dlg(const QString &logPath, Poller poll, QWidget *parent)
    : GateCountDialog(Model::W30, "TGateCount2Dlg", QStringLiteral("人数カウントダイアログ２"), logPath,
                      std::move(poll), parent)
{
}

// ------------------------------------------------------------------ counter values

TMCountValue::TMCountValue(Model model, QWidget *parent)
    : GateDialog("TMCountValue", QStringLiteral("人数カウントデータ"), QStringLiteral("設定"), QStringLiteral("Close"),
                 parent),
      model_(model)
{
    PageControl1 = pages(this);
    auto alarmBox = [](QWidget *p, const QString &name) {
        auto *e = new IntEdit(p);
        e->setObjectName(name);
        e->setRadix(10);
        e->setRange(0, 65535);
        e->setValue(0);
        return e;
    };
    const QString digits = QStringLiteral("１２３４５６");
    QWidget *w20 = page(PageControl1, QStringLiteral("W20"));
    {
        auto *g = new QGridLayout(w20);
        const char *people[] = {"S1Mcount", "S2Mcount"};
        const char *alarms[] = {"S1Acount", "S2Acount"};
        for (int s = 0; s < 2; ++s) {
            w20People_ << new CountEdit(QLatin1String(people[s]), w20);
            g->addWidget(new QLabel(QStringLiteral("赤外線センサー%1の人数カウント値").arg(digits[s]), w20), s, 0);
            g->addWidget(w20People_.last(), s, 1);
        }
        for (int s = 0; s < 2; ++s) {
            w20Alarms_ << alarmBox(w20, QLatin1String(alarms[s]));
            g->addWidget(new QLabel(QStringLiteral("赤外線センサー%1のアラームカウント値").arg(digits[s]), w20), 2 + s, 0);
            g->addWidget(w20Alarms_.last(), 2 + s, 1);
        }
        g->setRowStretch(4, 1);
    }
    QWidget *w30 = page(PageControl1, QStringLiteral("W30"));
    {
        auto *g = new QGridLayout(w30);
        int n = 1;
        for (int r = 0; r < 3; ++r) {
            const QChar a = digits[2 * r], b = digits[2 * r + 1];
            const QString labels[] = {
                QStringLiteral("赤外線センサー%1の人数カウント値").arg(a),
                QStringLiteral("赤外線センサー%1の人数カウント値").arg(b),
                QStringLiteral("赤外線センサー%1のアラームカウント値").arg(a),
                QStringLiteral("赤外線センサー%1のアラームカウント値").arg(b),
            };
            for (int i = 0; i < 4; ++i, ++n) {
                const QString name = QStringLiteral("EdCount%1").arg(n);
                QWidget *field;
                if (i < 2) {
                    people_ << new CountEdit(name, w30);
                    field = people_.last();
                } else {
                    alarms_ << alarmBox(w30, name);
                    field = alarms_.last();
                }
                g->addWidget(new QLabel(labels[i], w30), n - 1, 0);
                g->addWidget(field, n - 1, 1);
            }
        }
        g->setRowStretch(12, 1);
    }
    PageControl1->setTabVisible(0, model == Model::W20);
    PageControl1->setTabVisible(1, model == Model::W30);
    PageControl1->setCurrentIndex(model == Model::W20 ? 0 : 1);
    auto *v = new QVBoxLayout(this);
    v->addWidget(PageControl1);
    v->addWidget(buttons());
}

void TMCountValue::ShowValues(const CountValues &v)
{
    const auto &people = model_ == Model::W20 ? w20People_ : people_;
    const auto &alarms = model_ == Model::W20 ? w20Alarms_ : alarms_;
    for (int s = 0; s < people.size(); ++s) {
        people[s]->setValue(v.people[s]);
        alarms[s]->setValue(v.alarms[s]);
    }
}

CountValues TMCountValue::TakeValues() const
{
    CountValues v;
    const auto &people = model_ == Model::W20 ? w20People_ : people_;
    const auto &alarms = model_ == Model::W20 ? w20Alarms_ : alarms_;
    for (int s = 0; s < people.size(); ++s) {
        v.people[s] = uint32_t(people[s]->value());
        v.alarms[s] = uint16_t(alarms[s]->value());
    }
    return v;
}

// ------------------------------------------------------------------ counting mode

TMCountSetDlg::TMCountSetDlg(bool w30, QWidget *parent)
    : GateDialog("TMCountSetDlg", QStringLiteral("人数カウント動作モードの設定"), QStringLiteral("ＯＫ"),
                 QStringLiteral("キャンセル"), parent)
{
    PageControl1 = pages(this);
    QWidget *p[3] = {page(PageControl1, QStringLiteral("メモリースイッチ１")),
                     page(PageControl1, QStringLiteral("メモリースイッチ２")),
                     page(PageControl1, QStringLiteral("メモリースイッチ3"))};
    for (QWidget *w : p)
        new QVBoxLayout(w);
    const QStringList offOn{QStringLiteral("無効"), QStringLiteral("有効")};
    auto radio = [&](int word, int bit, const QString &name, const QString &title, const QStringList &items) {
        auto *g = new RadioGroup(name, title, items, p[word - 1], 2);
        p[word - 1]->layout()->addWidget(g);
        bits_.add(g, word - 1, bit, 1);
    };
    radio(1, 0, "EEP11_Lb0", QStringLiteral("赤外線センサー１の人数カウント機能"), offOn);
    radio(1, 1, "EEP11_Lb1", QStringLiteral("赤外線センサー２の人数カウント機能"), offOn);
    radio(1, 4, "EEP11_Lb4", QStringLiteral("赤外線センサー１のアラームカウント機能"), offOn);
    radio(1, 5, "EEP11_Lb5", QStringLiteral("赤外線センサー２のアラームカウント機能"), offOn);
    radio(1, 8, "EEP11_Hb0", QStringLiteral("赤外線センサー遮光回数の1/2カウント機能"), offOn);

    auto combo = [&](const char *name, const QString &title, const QStringList &items) {
        auto *g = new QGroupBox(title, p[1]);
        auto *l = new QHBoxLayout(g);
        auto *c = new QComboBox(g);
        c->setObjectName(QLatin1String(name));
        c->addItems(items);
        l->addWidget(c);
        p[1]->layout()->addWidget(g);
        return c;
    };
    bits_.add(combo("EEP12_Lb03", QStringLiteral("カウンタ値の自動送信モード"),
                    {QStringLiteral("自動送信しない"), QStringLiteral("センサー遮光毎に上位へ送信"),
                     QStringLiteral("インターバル毎に上位へ送信"), QStringLiteral("インターバル毎に上位へ送信＆クリア")}),
              1, 0, 4);
    bits_.add(combo("CBInterVal", QStringLiteral("カウント値のインターバル送信時、ベース時間"),
                    {QStringLiteral("分"), QStringLiteral("時間")}),
              1, 4, 2);
    {
        auto *g = new QGroupBox(QStringLiteral("カウント値のインターバル送信時、カウント時間(DEC)"), p[1]);
        auto *l = new QHBoxLayout(g);
        auto *e = new IntEdit(g);
        e->setObjectName(QStringLiteral("EEP12_Hb"));
        e->setRadix(10);
        e->setRange(0, 255);
        e->setFixedWidth(60);
        l->addWidget(e);
        l->addWidget(new QLabel(QStringLiteral("（1～255、0：未使用）"), g));
        l->addStretch();
        p[1]->layout()->addWidget(g);
        bits_.add(e, 1, 8, 8);
    }
    const char *sensorTitles[] = {"３の人数", "４の人数", "３のアラーム", "４のアラーム",
                                  "５の人数", "６の人数", "５のアラーム", "６のアラーム"};
    for (int b = 0; b < 8; ++b)
        radio(3, b, QStringLiteral("RG_MW3_%1").arg(b),
              QStringLiteral("赤外線センサー") + QString::fromUtf8(sensorTitles[b]) + QStringLiteral("カウント機能"), offOn);
    radio(3, 8, "RG_MW3_8", QStringLiteral("タグ検出モード（有効なモード）"),
          {QStringLiteral("タグ有りの時"), QStringLiteral("タグなしの時")});
    radio(3, 9, "RG_MW3_9", QStringLiteral("ブザー音の出力選択"), {QStringLiteral("スピーカー"), QStringLiteral("ブザー")});
    radio(3, 10, "RG_MW3_10", QStringLiteral("W20互換モード"), {QStringLiteral("有効"), QStringLiteral("無効")});
    for (QWidget *w : p)
        static_cast<QVBoxLayout *>(w->layout())->addStretch();
    PageControl1->setTabVisible(2, w30);
    auto *v = new QVBoxLayout(this);
    v->addWidget(PageControl1);
    v->addWidget(buttons());
}

void TMCountSetDlg::ShowWords(const QList<uint16_t> &words) { bits_.show(words); }

QList<uint16_t> TMCountSetDlg::TakeWords(const QList<uint16_t> &read) const
{
    QList<uint16_t> in = read;
    while (in.size() < 3)
        in.append(0);
    return bits_.take(in.mid(0, 3));
}

} // namespace kx9::gate
