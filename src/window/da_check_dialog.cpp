#include "da_check_dialog.h"

#include "bench_settings.h"
#include "da_plot.h"
#include "ending.h"
#include "output_text.h"
#include "self_test_dialog.h"
#include "test_dialog_parts.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <sstream>

namespace qm5083::window {

namespace {

const QString kChannelKey = QStringLiteral("daCheck/channel");
const QString kRangeKey = QStringLiteral("daCheck/range");
const QString kPointsKey = QStringLiteral("daCheck/points");
const QString kLimitsKey = QStringLiteral("daCheck/limits");
const QString kMeterKey = QStringLiteral("daCheck/meter");

QLabel *plainLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

void makeLarge(QLabel *label, int times)
{
    QFont large = label->font();
    large.setPointSize(large.pointSize() * times);
    large.setBold(true);
    label->setFont(large);
    label->setAlignment(Qt::AlignCenter);
}

// Readings typed in the dialog, as the report names them.
class TypedInTheWindow final : public commands::Meter
{
public:
    QJsonObject identity() const override { return {{QStringLiteral("kind"), "typed"}}; }
    double read(std::uint16_t) override { throw commands::CannotRun {}; }
};

} // namespace

DaCheckDialog::DaCheckDialog(const commands::CardChoice &card, reports::SessionLog *sessionLog,
                             FailureReporter reportFailure, QWidget *parent,
                             commands::ResultsHandling results)
    : QDialog(parent)
    , card_(card)
    , sessionLog_(sessionLog)
    , reportFailure_(std::move(reportFailure))
    , results_(std::move(results))
{
    setObjectName(QStringLiteral("daCheckDialog"));
    const QString cardShown = tr("DA check of card %1, base %2")
                                  .arg(card_.number)
                                  .arg(card_.base ? commands::hex4(*card_.base) : tr("none found"));
    setWindowTitle(parent ? QStringLiteral("%1 - %2").arg(parent->windowTitle(), cardShown)
                          : cardShown);
    const QSettings remembered = benchSettings();

    // A station's texts as the self-test takes them, under the one rule for them.
    constexpr int kFactLength = SelfTestDialog::kMaxFactLength;
    serial_ = limitedEdit(QStringLiteral("serialBox"), kFactLength, {}, this);
    operator_ = limitedEdit(QStringLiteral("operatorBox"), kFactLength,
                            remembered.value(kOperatorKey).toString(), this);
    station_ = limitedEdit(QStringLiteral("stationBox"), kFactLength,
                           remembered.value(kStationKey).toString(), this);
    channel_ = new QComboBox(this);
    channel_->setObjectName(QStringLiteral("channelBox"));
    for (int channel = 0; channel < 4; ++channel)
        channel_->addItem(QStringLiteral("DA%1").arg(channel));
    channel_->setCurrentIndex(std::clamp(remembered.value(kChannelKey, 0).toInt(), 0, 3));
    range_ = limitedEdit(QStringLiteral("rangeBox"), kMaxTextLength,
                         remembered.value(kRangeKey, QStringLiteral("0:10")).toString(), this);
    range_->setToolTip(tr("LOW:HIGH in volts: what code 0 and the top of the range give"));
    points_ = limitedEdit(QStringLiteral("pointsBox"), kMaxTextLength,
                          remembered.value(kPointsKey, QStringLiteral("11")).toString(), this);
    points_->setToolTip(tr("How many codes, spread evenly from 0 to FFF; the major carries are "
                           "always among them"));
    limits_ = limitedEdit(QStringLiteral("limitsBox"), kMaxTextLength,
                          remembered.value(kLimitsKey, QStringLiteral("1")).toString(), this);
    limits_->setToolTip(tr("In LSB: one limit for every figure, or offset=L,gain=L,inl=L,dnl=L"));
    meterBox_ = limitedEdit(QStringLiteral("meterBox"), kMaxMeterLength,
                            remembered.value(kMeterKey).toString(), this);
    meterBox_->setPlaceholderText(tr("empty: type each reading"));
    meterBox_->setToolTip(tr("The meter, as --meter gives it: sim, command:CMD or "
                             "sigrok:DRIVER[:KEY=VALUE]...; empty to type each reading"));
    folder_
        = limitedEdit(QStringLiteral("resultsFolderBox"), kMaxFolderLength,
                      remembered.value(kResultsFolderKey, defaultResultsFolder()).toString(), this);

    auto *form = new QFormLayout;
    form->addRow(tr("Serial number:"), serial_);
    form->addRow(tr("Operator:"), operator_);
    form->addRow(tr("Station:"), station_);
    form->addRow(tr("Channel:"), channel_);
    form->addRow(tr("Range (V):"), range_);
    form->addRow(tr("Codes:"), points_);
    plan_ = plainLabel(QStringLiteral("planLabel"), this);
    plan_->setWordWrap(true);
    form->addRow(QString(), plan_);
    connect(points_, &QLineEdit::textChanged, this, &DaCheckDialog::showPlan);
    showPlan();
    form->addRow(tr("Limits (LSB):"), limits_);
    form->addRow(tr("Meter:"), meterBox_);
    form->addRow(tr("Results folder:"), folder_);

    start_ = new QPushButton(tr("Start the check"), this);
    start_->setObjectName(QStringLiteral("startButton"));
    start_->setAutoDefault(false);
    connect(start_, &QPushButton::clicked, this, &DaCheckDialog::startCheck);
    connect(serial_, &QLineEdit::returnPressed, this, &DaCheckDialog::startCheck);

    code_ = plainLabel(QStringLiteral("codeLabel"), this);
    makeLarge(code_, 3);
    expected_ = plainLabel(QStringLiteral("expectedLabel"), this);
    makeLarge(expected_, 2);
    reading_ = limitedEdit(QStringLiteral("readingBox"), kMaxReadingLength, {}, this);
    reading_->setPlaceholderText(tr("reading in volts, then Enter"));
    reading_->setEnabled(false);
    connect(reading_, &QLineEdit::returnPressed, this, &DaCheckDialog::takeTypedReading);
    problem_ = plainLabel(QStringLiteral("readingProblem"), this);
    problem_->setWordWrap(true);

    table_ = new QTableWidget(0, 4, this);
    table_->setObjectName(QStringLiteral("readingsTable"));
    table_->setHorizontalHeaderLabels(
        {tr("code"), tr("ideal V"), tr("reading V"), tr("error LSB")});
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setFocusPolicy(Qt::NoFocus);
    picture_ = plainLabel(QStringLiteral("pictureLabel"), this);
    picture_->setMinimumSize(320, 200);
    picture_->setAlignment(Qt::AlignCenter);
    figures_ = new QListWidget(this);
    figures_->setObjectName(QStringLiteral("figureLines"));
    figures_->setFocusPolicy(Qt::NoFocus);
    verdict_ = plainLabel(QStringLiteral("verdictLabel"), this);
    makeLarge(verdict_, 3);
    verdictFor_ = plainLabel(QStringLiteral("verdictForLabel"), this);
    verdictFor_->setWordWrap(true);
    verdictFor_->setAlignment(Qt::AlignCenter);
    // A verdict belongs to the card it was given for: the next serial clears it.
    connect(serial_, &QLineEdit::textChanged, this, &DaCheckDialog::clearVerdict);
    filed_ = plainLabel(QStringLiteral("reportFiledLabel"), this);
    filed_->setWordWrap(true);

    auto *left = new QVBoxLayout;
    left->addLayout(form);
    left->addWidget(start_);
    left->addWidget(code_);
    left->addWidget(expected_);
    left->addWidget(reading_);
    left->addWidget(problem_);
    left->addWidget(verdict_);
    left->addWidget(verdictFor_);
    left->addStretch();
    auto *right = new QVBoxLayout;
    right->addWidget(table_, 2);
    right->addWidget(picture_, 2);
    right->addWidget(figures_, 1);
    right->addWidget(filed_);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 2);
    resize(980, 640);
    serial_->setFocus(Qt::OtherFocusReason);

    // The window is drawn before the meter is read.
    meterRead_.setSingleShot(true);
    meterRead_.setInterval(0);
    connect(&meterRead_, &QTimer::timeout, this, &DaCheckDialog::readFromMeter);
}

DaCheckDialog::~DaCheckDialog()
{
    // A dialog closed mid-check leaves the channel as Esc does.
    if (steps_) {
        try {
            steps_->leaveAtZero();
        } catch (...) { }
    }
}

void DaCheckDialog::showPlan()
{
    // The command's plan for that many codes, read as the command reads --points.
    try {
        const std::vector<std::string> words {"da-check",
                                              "--channel",
                                              "0",
                                              "--range",
                                              "0:10",
                                              "--points",
                                              points_->text().trimmed().toStdString()};
        const auto check = std::get<scripting::DaCheckCommand>(scripting::parseCommand(words));
        QStringList codes;
        for (const std::uint16_t code : check.plannedCodes())
            codes << commands::codeText(code);
        plan_->setText(codes.join(QLatin1Char(' ')));
    } catch (const scripting::CommandError &) {
        plan_->setText(tr("2 to 4096 codes")); // the start says why, should it be pressed
    }
}

void DaCheckDialog::clearVerdict()
{
    if (steps_)
        return;
    verdict_->clear();
    verdictFor_->clear();
}

void DaCheckDialog::remember() const
{
    QSettings remembered = benchSettings();
    remembered.setValue(kOperatorKey, operator_->text());
    remembered.setValue(kStationKey, station_->text());
    remembered.setValue(kResultsFolderKey, folder_->text());
    remembered.setValue(kChannelKey, channel_->currentIndex());
    remembered.setValue(kRangeKey, range_->text());
    remembered.setValue(kPointsKey, points_->text());
    remembered.setValue(kLimitsKey, limits_->text());
    remembered.setValue(kMeterKey, meterBox_->text());
}

void DaCheckDialog::startCheck()
{
    if (steps_)
        return;
    const QString serial = serial_->text().trimmed();
    if (serial.isEmpty()) {
        serial_->setFocus(Qt::OtherFocusReason);
        return;
    }
    remember();
    table_->setRowCount(0);
    figures_->clear();
    clearVerdict();
    filed_->clear();
    picture_->clear();
    problem_->clear();
    lastReport_.clear();
    for (const auto &[label, box] : {std::pair {tr("Serial number:"), serial_},
                                     {tr("Operator:"), operator_},
                                     {tr("Station:"), station_}}) {
        const QString refused = SelfTestDialog::stationTextRefused(label, box->text().trimmed());
        if (!refused.isEmpty()) {
            problem_->setText(refused);
            box->setFocus(Qt::OtherFocusReason);
            return;
        }
    }

    const QString folder = folder_->text();
    const QString stem = SelfTestDialog::fileNameOf(serial)
        + QStringLiteral("_DA%1_").arg(channel_->currentIndex())
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    // A name whose report or picture is taken, by a file or a link, is left to what holds it.
    const auto taken = [](const QString &path) {
        return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
    };
    QString base = QDir(folder).filePath(stem);
    for (int n = 2; taken(base + QStringLiteral(".json")) || taken(base + QStringLiteral(".svg"));
         ++n)
        base = QDir(folder).filePath(stem + QStringLiteral("-%1").arg(n));
    reportPath_ = base + QStringLiteral(".json");

    // The command's own options: one reading of them, the same checks and the same plan.
    std::vector<std::string> words {"da-check",
                                    "--channel",
                                    std::to_string(channel_->currentIndex()),
                                    "--range",
                                    range_->text().trimmed().toStdString(),
                                    "--points",
                                    points_->text().trimmed().toStdString(),
                                    "--report",
                                    reportPath_.toStdString(),
                                    "--plot",
                                    (base + QStringLiteral(".svg")).toStdString(),
                                    "--serial",
                                    serial.toStdString(),
                                    "--operator",
                                    operator_->text().trimmed().toStdString(),
                                    "--station",
                                    station_->text().trimmed().toStdString()};
    if (!limits_->text().trimmed().isEmpty())
        words.insert(words.end(), {"--limit", limits_->text().trimmed().toStdString()});
    if (!meterBox_->text().trimmed().isEmpty())
        words.insert(words.end(), {"--meter", meterBox_->text().trimmed().toStdString()});
    QStringList shownWords;
    for (const std::string &word : words)
        shownWords << QString::fromStdString(word);
    commandText_ = shownWords.join(QLatin1Char(' '));

    try {
        const auto parsed = scripting::parseCommand(words);
        check_ = std::get<scripting::DaCheckCommand>(parsed);
        try {
            reports::makeFolders(folder);
        } catch (const reports::FileRefused &refused) {
            throw commands::CannotRun {
                tr("the results folder %1 cannot be made: %2").arg(folder, refused.why)};
        }
        if (!card_.backend)
            throw commands::CannotRun {tr("the window reaches no card")};
        // Where the result goes is checked before the check begins, as the report's place is.
        try {
            filing_ = results_.open ? results_.open() : nullptr;
        } catch (const results::ResultsError &error) {
            throw commands::CannotRun {error.message()};
        }
        session_ = std::make_unique<commands::CardSession>(card_);
        steps_ = std::make_unique<commands::DaCheckSteps>(check_, *session_);
        steps_->openTargets();
        if (check_.readings == scripting::DaCheckCommand::Readings::Terminal) {
            meter_.reset();
        } else {
            std::istringstream noInput;
            meter_ = commands::openMeter(check_, *session_,
                                         static_cast<int>(steps_->codes().size()) * check_.average,
                                         noInput, stderr);
        }
    } catch (...) {
        const QString why = commands::reasonOf(std::current_exception());
        steps_.reset();
        session_.reset();
        filing_.reset();
        problem_->setText(tr("The DA check cannot start: %1").arg(why));
        serial_->setFocus(Qt::OtherFocusReason);
        return;
    }
    start_->setEnabled(false);
    next_ = 0;
    showCode();
}

void DaCheckDialog::showCode()
{
    if (next_ >= steps_->codes().size())
        return finishCheck();
    const std::uint16_t code = steps_->codes()[next_];
    try {
        steps_->setCode(code);
    } catch (...) {
        return end(std::current_exception());
    }
    code_->setText(commands::codeText(code));
    expected_->setText(
        tr("%1 V").arg(scripting::idealVolts(code, check_.range, check_.lsb), 0, 'f', 4));
    if (meter_) {
        meterRead_.start();
        return;
    }
    reading_->setEnabled(true);
    reading_->clear();
    reading_->setFocus(Qt::OtherFocusReason);
}

void DaCheckDialog::takeTypedReading()
{
    if (!steps_ || meter_)
        return;
    const std::uint16_t code = steps_->codes()[next_];
    const std::optional<double> volts = commands::dcVolts(reading_->text());
    if (!volts || scripting::implausibleReading(*volts, check_.range)) {
        // Asked again: a slip of the finger is no reason to end the check.
        problem_->setText(tr("\"%1\" is no reading of %2 to %3 V; type the meter's reading in "
                             "volts again.")
                              .arg(reading_->text(), QString::number(check_.range.low),
                                   QString::number(check_.range.high)));
        reading_->selectAll();
        return;
    }
    problem_->clear();
    pointTaken(code, {*volts});
}

void DaCheckDialog::readFromMeter()
{
    if (!steps_)
        return;
    const std::uint16_t code = steps_->codes()[next_];
    try {
        std::vector<double> taken;
        for (int i = 0; i < check_.average; ++i) {
            taken.push_back(meter_->read(code));
            steps_->checkPlausible(code, taken.back());
        }
        pointTaken(code, taken);
    } catch (...) {
        end(std::current_exception());
    }
}

void DaCheckDialog::pointTaken(std::uint16_t code, const std::vector<double> &taken)
{
    steps_->addPoint(code, taken);
    const scripting::DaPoint &point = steps_->outcome().points.back();
    const double ideal = scripting::idealVolts(code, check_.range, check_.lsb);
    const double lsb = std::fabs(scripting::idealLsb(check_.range, check_.lsb));
    const double direction = check_.range.high > check_.range.low ? 1 : -1;
    const int row = table_->rowCount();
    table_->insertRow(row);
    const QStringList cells {commands::codeText(code), QString::number(ideal, 'f', 6),
                             QString::number(point.volts, 'f', 6),
                             QString::number((point.volts - ideal) * direction / lsb, 'f', 2)};
    for (int column = 0; column < cells.size(); ++column)
        table_->setItem(row, column, new QTableWidgetItem(cells[column]));
    table_->scrollToBottom();
    ++next_;
    showCode();
}

void DaCheckDialog::reject()
{
    if (!steps_)
        return QDialog::reject();
    end(std::make_exception_ptr(
        commands::StoppedByOperator {tr("the check was stopped at code %1; DA%2 is left at code 0")
                                         .arg(commands::codeText(steps_->codes()[next_]))
                                         .arg(check_.channel)}));
}

void DaCheckDialog::end(const std::exception_ptr &why)
{
    // However it ends, the channel is left at code 0, as the command leaves it. A card that
    // cannot take it is the failure why already tells.
    try {
        steps_->leaveAtZero();
    } catch (...) { }
    steps_->stopped(why);
    fileAndShow();
    // A card that stopped answering gets the window's report; the meter's, the wiring's and the
    // operator's ends are said in the dialog.
    try {
        std::rethrow_exception(why);
    } catch (const commands::MeterFailed &) {
    } catch (const commands::WiringFault &) {
    } catch (const commands::StoppedByOperator &) {
    } catch (const commands::CannotRun &) {
    } catch (...) {
        if (reportFailure_)
            reportFailure_(why, tr("DA check"));
    }
}

void DaCheckDialog::finishCheck()
{
    try {
        steps_->finish();
    } catch (...) {
        return end(std::current_exception());
    }
    fileAndShow();
}

void DaCheckDialog::fileAndShow()
{
    const TypedInTheWindow typed;
    const commands::Meter &meter = meter_ ? *meter_ : static_cast<const commands::Meter &>(typed);
    const QJsonObject json = steps_->report(&meter);
    QStringList problems;
    steps_->file(json, commandText_, sessionLog_, problems, filing_.get());
    if (filing_ && results_.send)
        results_.send(std::move(filing_));
    filing_.reset();
    const commands::DaCheckOutcome &outcome = steps_->outcome();
    if (outcome.figures) {
        for (const QString &line : steps_->lines(meter)) {
            auto *item = new QListWidgetItem(line);
            if (line.contains(QLatin1String(" within ")))
                item->setForeground(kPassColour);
            else if (line.contains(QLatin1String(" beyond ")))
                item->setForeground(kFailColour);
            figures_->addItem(item); // the list owns it
        }
        QPixmap picture;
        if (picture.loadFromData(reports::daCheckPicture(json, QStringLiteral("picture.png"))))
            picture_->setPixmap(
                picture.scaled(picture_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    if (!outcome.error.isEmpty())
        problems.prepend(outcome.error);
    problem_->setText(problems.join(QLatin1Char('\n')));
    // The check's own verdict, even when its report could not be filed (said above), with what
    // it rests on and the card it is for.
    showInColour(verdict_, commands::verdictWord(outcome.verdict), verdictColour(outcome.verdict));
    QString verdictFor = tr("Serial %1, card %2, base %3, DA%4")
                             .arg(QString::fromStdString(check_.serial))
                             .arg(card_.number)
                             .arg(card_.base ? commands::hex4(*card_.base) : tr("none found"))
                             .arg(check_.channel);
    if (outcome.figures)
        verdictFor = steps_->lines(meter).constLast() + QLatin1Char('\n') + verdictFor;
    verdictFor_->setText(verdictFor);
    // A check that ended early files its readings so far, marked incomplete.
    if (QFileInfo::exists(reportPath_))
        lastReport_ = reportPath_;
    filed_->setText(lastReport_.isEmpty() ? tr("No report was filed.")
                                          : tr("Report filed: %1").arg(lastReport_));
    steps_.reset();
    meter_.reset();
    session_.reset();
    code_->clear();
    expected_->clear();
    reading_->setEnabled(false);
    start_->setEnabled(true);
    serial_->setFocus(Qt::OtherFocusReason);
    serial_->selectAll();
}

} // namespace qm5083::window
