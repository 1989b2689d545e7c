#include "self_test_dialog.h"

#include "appearance.h"
#include "bench_settings.h"
#include "error_report.h"
#include "output_text.h"
#include "test_dialog_parts.h"
#include "text_lines.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QJsonValue>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace qm5083::window {

namespace {

const QString kSkipKey = QStringLiteral("selfTest/skip");
const QString kMeterKey = QStringLiteral("selfTest/meter");
const QString kDaRangeKey = QStringLiteral("selfTest/daRange");

} // namespace

SelfTestDialog::SelfTestDialog(const commands::CardChoice &card, Runner run, QWidget *parent,
                               EarlierResults earlier)
    : QDialog(parent)
    , card_(card)
    , run_(std::move(run))
    , earlier_(std::move(earlier))
{
    setObjectName(QStringLiteral("selfTestDialog"));
    // The caption says which card it tests: the window's (the simulated one, or where the real
    // one is), its number and its base.
    const QString cardShown = tr("Self-test of card %1, base %2")
                                  .arg(card_.number)
                                  .arg(card_.base ? commands::hex4(*card_.base) : tr("none found"));
    setWindowTitle(parent ? QStringLiteral("%1 - %2").arg(parent->windowTitle(), cardShown)
                          : cardShown);
    const QSettings remembered = benchSettings();

    serial_ = limitedEdit(QStringLiteral("serialBox"), kMaxFactLength, {}, this);
    // What the next test will not test, said where the serial is typed, every time.
    notTested_ = new QLabel(this);
    notTested_->setObjectName(QStringLiteral("notTestedLabel"));
    notTested_->setTextFormat(Qt::PlainText);
    notTested_->setWordWrap(true);
    // The card's earlier results, once its serial is scanned: how often, the last verdict,
    // "retest" when it failed before.
    earlierLabel_ = new QLabel(this);
    earlierLabel_->setObjectName(QStringLiteral("earlierResultsLabel"));
    earlierLabel_->setTextFormat(Qt::PlainText);
    earlierLabel_->setWordWrap(true);
    operator_ = limitedEdit(QStringLiteral("operatorBox"), kMaxFactLength, {}, this);
    operator_->setText(remembered.value(kOperatorKey).toString().left(kMaxFactLength));
    station_ = limitedEdit(QStringLiteral("stationBox"), kMaxFactLength, {}, this);
    station_->setText(remembered.value(kStationKey).toString().left(kMaxFactLength));
    folder_ = limitedEdit(QStringLiteral("resultsFolderBox"), kMaxFolderLength, {}, this);
    folder_->setText(remembered.value(kResultsFolderKey, defaultResultsFolder())
                         .toString()
                         .left(kMaxFolderLength));
    meter_ = limitedEdit(QStringLiteral("meterBox"), kMaxMeterLength,
                         remembered.value(kMeterKey).toString(), this);
    meter_->setPlaceholderText(tr("empty: the DA channels are not measured"));
    meter_->setToolTip(tr("The meter that measures each DA channel in turn, as --meter gives it: "
                          "sim, command:CMD, sigrok:DRIVER[:KEY=VALUE]... or file:FILE"));
    daRange_ = limitedEdit(QStringLiteral("daRangeBox"), kMaxFactLength,
                           remembered.value(kDaRangeKey, QStringLiteral("0:10")).toString(), this);
    daRange_->setToolTip(tr("LOW:HIGH in volts: what code 0 and the top of the range give"));
    auto *choose = new QPushButton(tr("Choose…"), this);
    choose->setObjectName(QStringLiteral("chooseFolderButton"));
    choose->setAutoDefault(false);
    connect(choose, &QPushButton::clicked, this, &SelfTestDialog::chooseFolder);
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(folder_);
    folderRow->addWidget(choose);

    // One text, "loopback, counters": a list is no setting a station writes by hand.
    QStringList skipped = remembered.value(kSkipKey).toString().split(QLatin1Char(','));
    for (QString &part : skipped)
        part = part.trimmed();
    const auto skipBox = [&](const QString &name, const QString &part, const QString &text) {
        auto *box = new QCheckBox(text, this);
        box->setObjectName(name);
        box->setChecked(skipped.contains(part));
        return box;
    };
    skipLoopback_ = skipBox(QStringLiteral("skipLoopback"), QStringLiteral("loopback"),
                            tr("digital loopback (no loopback cable)"));
    skipCounters_
        = skipBox(QStringLiteral("skipCounters"), QStringLiteral("counters"), tr("counters"));
    skipDa_ = skipBox(QStringLiteral("skipDa"), QStringLiteral("da"), tr("DA writes"));
    auto *skipRow = new QHBoxLayout;
    skipRow->addWidget(skipLoopback_);
    skipRow->addWidget(skipCounters_);
    skipRow->addWidget(skipDa_);
    skipRow->addStretch();

    auto *meterRow = new QHBoxLayout;
    meterRow->addWidget(meter_, 3);
    meterRow->addWidget(new QLabel(tr("Range (V):"), this));
    meterRow->addWidget(daRange_, 1);

    auto *form = new QFormLayout;
    form->addRow(tr("Serial number:"), serial_);
    form->addRow(QString(), notTested_);
    form->addRow(QString(), earlierLabel_);
    form->addRow(tr("Operator:"), operator_);
    form->addRow(tr("Station:"), station_);
    form->addRow(tr("Results folder:"), folderRow);
    form->addRow(tr("Skip:"), skipRow);
    form->addRow(tr("DA meter:"), meterRow);
    for (QCheckBox *box : {skipLoopback_, skipCounters_, skipDa_})
        connect(box, &QCheckBox::toggled, this, &SelfTestDialog::showNotTested);
    connect(meter_, &QLineEdit::textChanged, this, &SelfTestDialog::showNotTested);
    showNotTested();

    start_ = new QPushButton(tr("Start the test (Enter)"), this);
    start_->setObjectName(QStringLiteral("startButton"));
    start_->setAutoDefault(false);
    connect(start_, &QPushButton::clicked, this, &SelfTestDialog::startTest);
    // The scanner's Enter after the serial starts the test.
    connect(serial_, &QLineEdit::returnPressed, this, &SelfTestDialog::startTest);

    lines_ = new QListWidget(this);
    lines_->setObjectName(QStringLiteral("checkLines"));
    lines_->setWordWrap(true);
    lines_->setFocusPolicy(Qt::NoFocus);
    lines_->setMinimumHeight(180);

    verdict_ = new QLabel(this);
    verdict_->setObjectName(QStringLiteral("verdictLabel"));
    verdict_->setTextFormat(Qt::PlainText);
    verdict_->setAlignment(Qt::AlignCenter);
    QFont large = verdict_->font();
    large.setPointSize(large.pointSize() * 3);
    large.setBold(true);
    verdict_->setFont(large);
    verdictFor_ = new QLabel(this);
    verdictFor_->setObjectName(QStringLiteral("verdictForLabel"));
    verdictFor_->setTextFormat(Qt::PlainText);
    verdictFor_->setAlignment(Qt::AlignCenter);
    verdictFor_->setWordWrap(true);
    // A verdict belongs to the card it was given for: the next serial clears it.
    connect(serial_, &QLineEdit::textChanged, this, &SelfTestDialog::clearVerdict);

    filed_ = new QLabel(this);
    filed_->setObjectName(QStringLiteral("reportFiledLabel"));
    filed_->setTextFormat(Qt::PlainText);
    filed_->setWordWrap(true);
    filed_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addStretch();
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(lines_, 1);
    layout->addWidget(verdict_);
    layout->addWidget(verdictFor_);
    layout->addWidget(filed_);
    resize(640, 560);
    serial_->setFocus(Qt::OtherFocusReason);
}

SelfTestDialog::~SelfTestDialog() = default;

QString SelfTestDialog::fileNameOf(const QString &serial)
{
    QString name;
    for (const char32_t c : serial.left(kMaxFactLength).toUcs4()) {
        const bool kept = QChar::isLetterOrNumber(c) || c == U'-' || c == U'_' || c == U'.';
        name += kept ? QString::fromUcs4(&c, 1) : QStringLiteral("_");
    }
    // Never a hidden file, nor "." or "..".
    if (name.startsWith(QLatin1Char('.')))
        name[0] = QLatin1Char('_');
    return name.isEmpty() ? QStringLiteral("no-serial") : name;
}

QString SelfTestDialog::stationTextRefused(const QString &label, const QString &text)
{
    if (scripting::keepsStationTextRule(text.toStdString()))
        return {};
    QString box = label;
    while (box.endsWith(QLatin1Char(':')) || box.endsWith(QChar(0xFF1A))) // ":" or "："
        box.chop(1);
    return tr("%1 \"%2\" is not %3; correct it and start again.")
        .arg(box, QString::fromStdString(convert::excerpt(text.toStdString())),
             reports::translated(scripting::stationTextRule()));
}

void SelfTestDialog::reject()
{
    if (!running_)
        QDialog::reject();
}

void SelfTestDialog::chooseFolder()
{
    const QString chosen
        = QFileDialog::getExistingDirectory(this, tr("Results folder"), folder_->text());
    if (!chosen.isEmpty())
        folder_->setText(chosen.left(kMaxFolderLength));
}

void SelfTestDialog::remember() const
{
    QSettings remembered = benchSettings();
    remembered.setValue(kOperatorKey, operator_->text());
    remembered.setValue(kStationKey, station_->text());
    remembered.setValue(kResultsFolderKey, folder_->text());
    QStringList skipped;
    if (skipLoopback_->isChecked())
        skipped << QStringLiteral("loopback");
    if (skipCounters_->isChecked())
        skipped << QStringLiteral("counters");
    if (skipDa_->isChecked())
        skipped << QStringLiteral("da");
    remembered.setValue(kSkipKey, skipped.join(QStringLiteral(", ")));
    remembered.setValue(kMeterKey, meter_->text());
    remembered.setValue(kDaRangeKey, daRange_->text());
}

void SelfTestDialog::showNotTested()
{
    QStringList parts;
    if (skipLoopback_->isChecked())
        parts << tr("the digital loopback");
    if (skipCounters_->isChecked())
        parts << tr("the counters");
    if (skipDa_->isChecked())
        parts << tr("the DA channels");
    else if (meter_->text().trimmed().isEmpty())
        parts << tr("the DA channels' outputs (no meter)");
    if (parts.isEmpty()) {
        notTested_->clear();
        return;
    }
    showInColour(notTested_,
                 parts.size() == 3 ? tr("Everything is skipped: there is nothing to test.")
                                   : tr("Not tested: %1. The verdict will not be a pass.")
                                         .arg(parts.join(QStringLiteral(", "))),
                 kNotAllColour);
}

void SelfTestDialog::clearVerdict()
{
    if (running_)
        return;
    verdict_->clear();
    verdictFor_->clear();
}

void SelfTestDialog::showLine(const QString &line, const QColor &colour)
{
    auto *item = new QListWidgetItem(line, lines_);
    if (colour.isValid())
        item->setForeground(colour);
    lines_->scrollToItem(item);
}

void SelfTestDialog::readyForNextCard()
{
    serial_->setFocus(Qt::OtherFocusReason);
    serial_->selectAll();
}

void SelfTestDialog::startTest()
{
    const QString serial = serial_->text().trimmed();
    if (serial.isEmpty() || running_) {
        readyForNextCard();
        return;
    }
    remember();
    lines_->clear();
    clearVerdict();
    filed_->clear();
    lastReport_.clear();
    for (const auto &[label, box] : {std::pair {tr("Serial number:"), serial_},
                                     {tr("Operator:"), operator_},
                                     {tr("Station:"), station_}}) {
        const QString refused = stationTextRefused(label, box->text().trimmed());
        if (!refused.isEmpty()) {
            showLine(refused, kFailColour);
            box->setFocus(Qt::OtherFocusReason);
            box->selectAll();
            return;
        }
    }
    earlierLabel_->clear();
    if (earlier_) {
        const commands::EarlierResults earlier = earlier_(serial);
        showInColour(earlierLabel_, earlier.text,
                     earlier.retest ? kNotAllColour : palette().color(QPalette::WindowText));
    }

    commands::SelfTestSettings settings;
    settings.serial = serial;
    settings.operatorName = operator_->text().trimmed();
    settings.station = station_->text().trimmed();
    if (skipLoopback_->isChecked())
        settings.skip.push_back(selftest::SelfTestPart::Loopback);
    if (skipCounters_->isChecked())
        settings.skip.push_back(selftest::SelfTestPart::Counters);
    if (skipDa_->isChecked())
        settings.skip.push_back(selftest::SelfTestPart::Da);
    if (const QString meter = meter_->text().trimmed(); !meter.isEmpty()) {
        try {
            settings.daMeter = scripting::selfTestDaCheck(meter.toStdString(),
                                                          daRange_->text().trimmed().toStdString());
        } catch (const scripting::CommandError &error) {
            showLine(tr("The meter or the range cannot be used: %1; the self-test did not run.")
                         .arg(reports::translated(error.message())),
                     kFailColour);
            readyForNextCard();
            return;
        }
    }

    // Each report a file of its own, named by the serial and the time: never one replaced.
    const QString folder = folder_->text();
    const QString stem = fileNameOf(serial) + QLatin1Char('_')
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = QDir(folder).filePath(stem + QStringLiteral(".json"));
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = QDir(folder).filePath(stem + QStringLiteral("-%1.json").arg(n));
    settings.reportFile = path;
    std::optional<commands::ReportTarget> target;
    try {
        reports::makeFolders(folder);
        target.emplace(path);
    } catch (const reports::FileRefused &refused) {
        showLine(tr("The report %1 cannot be written: %2; the self-test did not run.")
                     .arg(path, refused.why),
                 kFailColour);
        readyForNextCard();
        return;
    }

    start_->setEnabled(false);
    running_ = true;
    const auto shown = [this](const commands::CheckShown &check) {
        showLine(check.line, check.counted ? (check.passed ? kPassColour : kFailColour) : QColor());
        emit checkShown(check.line);
        // Drawn as it comes; what the operator types waits for the test's end.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    const std::optional<commands::SelfTestRun> outcome = run_(settings, target, shown);
    running_ = false;
    start_->setEnabled(true);
    if (!outcome) {
        showLine(tr("Another operation is running; try again when it ends."), kFailColour);
        readyForNextCard();
        return;
    }
    if (!outcome->lines.isEmpty())
        showLine(outcome->lines.last(), QColor()); // the summary
    for (const QString &problem : outcome->problems)
        showLine(problem, kFailColour);
    // A test that ran has its verdict, even when its report could not be filed (said above),
    // and it names what was not tested and the card it is for.
    showInColour(verdict_, commands::verdictWord(outcome->verdict),
                 verdictColour(outcome->verdict));
    QString verdictFor = tr("Serial %1, card %2, base %3")
                             .arg(serial)
                             .arg(card_.number)
                             .arg(card_.base ? commands::hex4(*card_.base) : tr("none found"));
    if (!outcome->notTested.isEmpty())
        verdictFor = tr("Not tested: %1.").arg(outcome->notTested) + QLatin1Char('\n') + verdictFor;
    verdictFor_->setText(verdictFor);
    if (outcome->reportFiled) {
        lastReport_ = path;
        filed_->setText(tr("Report filed: %1").arg(path));
    } else {
        filed_->setText(tr("No report was filed."));
    }
    readyForNextCard();
}

} // namespace qm5083::window
