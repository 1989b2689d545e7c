#include "main_window.h"

#include "appearance.h"
#include "base_address_panel.h"
#include "box_reading.h"
#include "card_locator.h"
#include "clock_panel.h"
#include "da_panel.h"
#include "digital_output_panel.h"
#include "hex_text.h"
#include "manual_viewer.h"
#include "output_text.h"
#include "parse_number.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace qm5083::window {

namespace {

using panels::ControlKind;
using panels::ControlLayout;
using panels::Operation;
using panels::PanelLayout;

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString shownText(const QWidget *widget)
{
    if (const auto *frame = qobject_cast<const QGroupBox *>(widget))
        return frame->title();
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        return label->text();
    if (const auto *edit = qobject_cast<const QLineEdit *>(widget))
        return edit->text();
    if (const auto *button = qobject_cast<const QPushButton *>(widget))
        return button->text();
    return {};
}

// A panel's frame: a thin rounded border with the caption on its top line, so the frame's whole
// height is inside the border and controls placed near its top stay clear of it. Drawn here
// rather than through a style sheet, which would put every control in the panel through Qt's
// slower style-sheet style and cost the window's first paint a few milliseconds.
class PanelFrame final : public QGroupBox
{
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent *) override
    {
        constexpr int kCaptionLeft = 6;
        constexpr int kCaptionPadding = 2;
        QPainter painter(this);
        const QFontMetrics metrics = fontMetrics();
        // The caption's box is its text and a space, as the toolkit's own frames measure it.
        const int captionWidth
            = metrics.size(Qt::TextShowMnemonic, title() + QLatin1Char(' ')).width();
        const QRect caption(kCaptionLeft, 0, captionWidth + 2 * kCaptionPadding, metrics.height());
        const int borderTop = (metrics.height() + 1) / 2; // half a line, rounded
        // The border as one open line, from the caption's right round to its left: a border
        // drawn whole and clipped round the caption costs the raster engine several times more.
        constexpr qreal kRadius = 2;
        constexpr qreal kDiameter = 2 * kRadius;
        const QRectF box
            = QRectF(rect().adjusted(0, borderTop, 0, 0)).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath border(QPointF(caption.right() + 1, box.top()));
        border.arcTo(box.right() - kDiameter, box.top(), kDiameter, kDiameter, 90, -90);
        border.arcTo(box.right() - kDiameter, box.bottom() - kDiameter, kDiameter, kDiameter, 0,
                     -90);
        border.arcTo(box.left(), box.bottom() - kDiameter, kDiameter, kDiameter, 270, -90);
        border.arcTo(box.left(), box.top(), kDiameter, kDiameter, 180, -90);
        border.lineTo(caption.left(), box.top());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawPath(border);
        int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
        if (!style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this))
            flags |= Qt::TextHideMnemonic;
        style()->drawItemText(&painter, caption.adjusted(kCaptionPadding, 0, -kCaptionPadding, 0),
                              flags, palette(), isEnabled(), title(), QPalette::WindowText);
    }
};

} // namespace

MainWindow::MainWindow(hardware::PortAccess &port, hardware::CardLocator &locator,
                       hardware::BackendKind backend, std::span<const PanelLayout *const> panels,
                       QWidget *parent)
    : QWidget(parent)
    , port_(port)
    , locator_(locator)
    , backend_(backend)
{
    setObjectName(QStringLiteral("MainWindow"));
    updateCaption();
    // The form keeps its size; the menu bar sits above it and the window grows by its height.
    buildMenu();
    const int menuHeight = menuBar_->sizeHint().height();
    form_ = new QWidget(this);
    form_->setObjectName(QStringLiteral("form"));
    form_->setGeometry(0, menuHeight, toPixels(kClientWidth), toPixels(kClientHeight));
    menuBar_->setGeometry(0, 0, toPixels(kClientWidth), menuHeight);
    setGeometry(toPixels(kClientLeft), toPixels(kClientTop), toPixels(kClientWidth),
                toPixels(kClientHeight) + menuHeight);
    setFixedSize(toPixels(kClientWidth), toPixels(kClientHeight) + menuHeight);

    reporter_ = [this](const reports::ErrorReport &report) {
        showReport(report);
    };
    buildControls(panels);
    buildTabOrder(panels);

    inputTimer_.setObjectName(QStringLiteral("Timer1"));
    inputTimer_.setTimerType(Qt::PreciseTimer); // a coarse timer may tick 5% early
    inputTimer_.setInterval(panels::kInputPollIntervalMs);
    connect(&inputTimer_, &QTimer::timeout, this, [this] { run(Operation::ReadDigitalInputs); });
    connect(this, &MainWindow::sessionRecordStopped, this, &MainWindow::recordingStopped,
            Qt::QueuedConnection);
}

MainWindow::~MainWindow()
{
    setSessionLog(nullptr);
}

int MainWindow::toPixels(int twips) const
{
    return twipsToPixels(twips, logicalDpiX());
}

void MainWindow::buildControls(std::span<const PanelLayout *const> panels)
{
    const auto place = [this](QWidget *widget, const ControlLayout &layout) {
        widget->setObjectName(qs(layout.name));
        widget->setGeometry(toPixels(layout.left), toPixels(layout.top), toPixels(layout.width),
                            toPixels(layout.height));
        layouts_.push_back(&layout);
    };
    const auto addButton = [&](QWidget *parent, const ControlLayout &layout) {
        auto *button = new QPushButton(qs(layout.text), parent);
        place(button, layout);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAutoDefault(true); // Enter on the focused button presses it
        const Operation operation = layout.operation;
        connect(button, &QPushButton::clicked, this, [this, operation] { run(operation); });
    };

    for (const PanelLayout *panel : panels) {
        auto *frame = new PanelFrame(qs(panel->frame.text), form_);
        place(frame, panel->frame);
        frame->setFocusPolicy(Qt::NoFocus);
        // Enter in a box of a panel with a button runs the panel's operation.
        const bool hasButton
            = std::any_of(panel->controls.begin(), panel->controls.end(),
                          [](const ControlLayout &c) { return c.kind == ControlKind::Button; });
        const Operation panelOperation = panel->operation;
        for (const ControlLayout &layout : panel->controls) {
            switch (layout.kind) {
            case ControlKind::Label: {
                auto *label = new QLabel(qs(layout.text), frame);
                place(label, layout);
                // Labels size themselves to their text. The line is taller than the laid-out
                // 180 twips in most fonts, so it is centred on the laid-out box.
                const QSize fit = label->sizeHint();
                const int laidOutHeight = toPixels(layout.height);
                label->setGeometry(label->x(), label->y() - (fit.height() - laidOutHeight) / 2,
                                   fit.width(), fit.height());
                if (layout.name == panels::kCardNumberingHint)
                    label->setToolTip(tr("Card numbers here follow the cards' PCI addresses: the "
                                         "card with the lowest address is card 1."));
                break;
            }
            case ControlKind::TextBox: {
                auto *edit = new QLineEdit(qs(layout.text), frame);
                place(edit, layout);
                boxes_.push_back(std::make_unique<LineEditBox>(edit));
                if (hasButton && layout.enterRuns)
                    connect(edit, &QLineEdit::returnPressed, this,
                            [this, panelOperation] { run(panelOperation); });
                break;
            }
            case ControlKind::Button:
                addButton(frame, layout);
                break;
            case ControlKind::Frame:
                break;
            }
        }
    }
    addButton(form_, kExitButton);

    panelBoxes_ = panels::findPanelBoxes(
        [this](std::string_view name) -> panels::TextBox & { return requireBox(name); });
    for (const auto &box : boxes_)
        connect(box->edit(), &QLineEdit::textChanged, this, &MainWindow::updateBoxLooks);
    updateBoxLooks();
}

LineEditBox &MainWindow::requireBox(std::string_view name)
{
    const auto found = std::find_if(boxes_.begin(), boxes_.end(),
                                    [name](const auto &box) { return box->name() == name; });
    if (found == boxes_.end())
        throw MissingControl("the window's control tables have no text box named "
                             + std::string(name) + ", which an operation reads");
    return **found;
}

std::optional<reports::BoxDescription> MainWindow::describeBox(const QString &objectName) const
{
    for (const ControlLayout *layout : layouts_)
        if (layout->kind == ControlKind::TextBox && qs(layout->name) == objectName
            && !layout->shownAs.empty())
            return reports::BoxDescription {
                qs(layout->shownAs), qs(layout->lowest), qs(layout->highest),
                layout->rangeNote ? QCoreApplication::translate("Card", layout->rangeNote)
                                  : QString()};
    return std::nullopt;
}

void MainWindow::buildTabOrder(std::span<const PanelLayout *const> panels)
{
    struct Stop
    {
        int tabIndex;
        QWidget *widget;
    };
    std::vector<Stop> stops;
    const auto collect = [&](const ControlLayout &layout) {
        if (layout.kind != ControlKind::TextBox && layout.kind != ControlKind::Button)
            return;
        if (auto *widget = findChild<QWidget *>(qs(layout.name)))
            stops.push_back({layout.tabIndex, widget});
    };
    collect(kExitButton);
    for (const PanelLayout *panel : panels)
        std::for_each(panel->controls.begin(), panel->controls.end(), collect);
    std::sort(stops.begin(), stops.end(),
              [](const Stop &a, const Stop &b) { return a.tabIndex < b.tabIndex; });
    for (std::size_t i = 1; i < stops.size(); ++i)
        setTabOrder(stops[i - 1].widget, stops[i].widget);
    // Exit holds the focus when the window opens.
    stops.front().widget->setFocus(Qt::OtherFocusReason);
}

QStringList MainWindow::layoutLines() const
{
    // The window, the menu bar and the form below it; the controls relative to the form, the
    // client area they were laid out in.
    QStringList lines {QStringLiteral("%1 0 0 %2 %3 %4")
                           .arg(objectName())
                           .arg(width())
                           .arg(height())
                           .arg(windowTitle())};
    for (const QWidget *part : std::initializer_list<const QWidget *> {menuBar_, form_})
        lines << QStringLiteral("%1 %2 %3 %4 %5")
                     .arg(part->objectName())
                     .arg(part->x())
                     .arg(part->y())
                     .arg(part->width())
                     .arg(part->height());
    for (const ControlLayout *layout : layouts_) {
        const auto *widget = form_->findChild<QWidget *>(qs(layout->name));
        const QPoint topLeft = widget->mapTo(form_, QPoint(0, 0));
        lines << QStringLiteral("%1 %2 %3 %4 %5 %6")
                     .arg(widget->objectName())
                     .arg(topLeft.x())
                     .arg(topLeft.y())
                     .arg(widget->width())
                     .arg(widget->height())
                     .arg(shownText(widget));
    }
    return lines;
}

void MainWindow::buildMenu()
{
    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("menuBar"));
    menuBar_->setNativeMenuBar(false); // above the form on every desktop
    QMenu *test = menuBar_->addMenu(tr("&Test"));
    test->setObjectName(QStringLiteral("testMenu"));
    QAction *selfTest = test->addAction(tr("&Self-test…"), this, &MainWindow::askForSelfTest);
    selfTest->setObjectName(QStringLiteral("selfTestAction"));
    QAction *daCheck = test->addAction(tr("&DA check…"), this, &MainWindow::askForDaCheck);
    daCheck->setObjectName(QStringLiteral("daCheckAction"));
    QAction *results = test->addAction(tr("&Results…"), this, &MainWindow::resultsAsked);
    results->setObjectName(QStringLiteral("resultsAction"));
    QMenu *help = menuBar_->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("helpMenu"));
    help->addAction(tr("&Manual"), this, &MainWindow::openManual)
        ->setObjectName(QStringLiteral("manualAction"));
    help->addAction(tr("&About"), this, &MainWindow::openAbout)
        ->setObjectName(QStringLiteral("aboutAction"));
    setTestBench({});
}

void MainWindow::setTestBench(TestBench bench)
{
    bench_ = bench;
    const bool ready = bench_.commandLine && bench_.backend;
    for (QAction *action : menuBar_->findChildren<QAction *>())
        if (action->objectName() == QLatin1String("selfTestAction")
            || action->objectName() == QLatin1String("daCheckAction"))
            action->setEnabled(ready);
        else if (action->objectName() == QLatin1String("resultsAction"))
            action->setEnabled(bench_.commandLine != nullptr); // no card needed
}

void MainWindow::askForDaCheck()
{
    if (!bench_.commandLine || !bench_.backend || operationRunning_)
        return;
    emit daCheckAsked();
}

void MainWindow::askForSelfTest()
{
    if (!bench_.commandLine || !bench_.backend || operationRunning_)
        return;
    emit selfTestAsked();
}

commands::CardChoice MainWindow::cardInView() const
{
    commands::CardChoice card;
    card.backend = bench_.backend;
    card.number = locatedNumber_;
    card.base = locatedBase_;
    if (bench_.commandLine)
        card.faults = bench_.commandLine->backends.simulatedFaults;
    return card;
}

void MainWindow::openManual()
{
    showManual(this);
}

void MainWindow::openAbout()
{
    QString card;
    QString setup;
    if (!bench_.backend || backend_ == hardware::BackendKind::Simulated) {
        card = tr("the simulated card");
    } else {
        card = locatedCard_.isEmpty() ? tr("no card found") : locatedCard_;
    }
    if (bench_.commandLine && backend_ == hardware::BackendKind::Pci)
        setup = bench_.commandLine->pciIdsGiven
            ? tr("the cards' ids given with --pci-id")
            : QString::fromStdString(bench_.commandLine->backends.cardsConfig.string());
    else
        setup = tr("none (the simulated card)");
    QMessageBox box(QMessageBox::Information, tr("About qm5083-bench"),
                    tr("qm5083-bench %1").arg(QStringLiteral(QM5083_VERSION)), QMessageBox::Ok,
                    this);
    box.setObjectName(QStringLiteral("aboutBox"));
    box.setInformativeText(tr("The bench test program for the qm5083 PCI I/O card.\n"
                              "Licence: GPL-3.0-or-later.\nCard set-up: %1\nCard: %2")
                               .arg(setup, card));
    showAsPlainText(box);
    box.exec();
}

std::unique_ptr<commands::ResultsFiling> MainWindow::openResults() const
{
    if (!bench_.commandLine)
        return nullptr;
    return commands::resultsOpenerFor(*bench_.commandLine)();
}

void MainWindow::sendResults(std::unique_ptr<commands::ResultsFiling> filing)
{
    if (!filing)
        return;
    // One at a time: the one before is waited for first (a server away takes the connection's
    // timeout, 3 s).
    sending_ = std::async(std::launch::async, [sent = std::move(filing)] {
        if (const auto notSent = sent->send())
            commands::printProblem(stderr, *notSent);
    });
}

std::optional<commands::SelfTestRun>
MainWindow::runSelfTest(const commands::CardChoice &card,
                        const commands::SelfTestSettings &settings,
                        const std::optional<commands::ReportTarget> &target,
                        const commands::CheckShownTo &shown, commands::ResultsFiling *filing)
{
    if (operationRunning_ || !card.backend)
        return std::nullopt;
    // One operation: no tick and no press comes in between, and the monitor waits for its end.
    operationRunning_ = true;
    const bool polling = inputTimer_.isActive();
    inputTimer_.stop();
    port_.clear();
    const commands::SelfTestRun outcome = commands::runSelfTestOnCard(
        settings, card, port_, target,
        [](std::chrono::microseconds duration) { std::this_thread::sleep_for(duration); },
        sessionLog_, shown, {}, filing);
    // It ran to its end when it has its lines; the card is then left as the test leaves it.
    const bool ran = !outcome.lines.isEmpty();
    if (outcome.status == commands::kCannotRun) {
        reports::FailureContext context;
        context.operation = tr("self-test");
        context.accessesBefore = port_.accesses();
        const reports::ErrorReport failure = outcome.failure
            ? reports::describeFailure(outcome.failure, context)
            : reports::ErrorReport {ran ? tr("The self-test ran, but its report was not filed")
                                        : tr("The self-test could not run"),
                                    outcome.problems.join(QLatin1Char('\n')),
                                    {},
                                    {}};
        report(failure);
    }
    operationRunning_ = false;
    if (ran)
        showWhatTheSelfTestLeft();
    if (polling)
        inputTimer_.start();
    return outcome;
}

void MainWindow::reportTestFailure(const std::exception_ptr &failure, const QString &test)
{
    reports::FailureContext context;
    context.operation = test;
    report(reports::describeFailure(failure, context));
}

void MainWindow::showWhatTheSelfTestLeft()
{
    for (const std::string_view name : panels::kOutputBoxes)
        requireBox(name).edit()->setText(QStringLiteral("00"));
    for (const std::string_view name : panels::kDaBoxes)
        requireBox(name).edit()->setText(QStringLiteral("0"));
    requireBox(panels::kBaseDividerBox)
        .edit()
        ->setText(QString::number(selftest::kFinalBaseDivider));
    requireBox(panels::kOutputDividerBox)
        .edit()
        ->setText(QString::number(selftest::kFinalOutputDivider));
    run(Operation::ReadDigitalInputs); // the inputs as the card now gives them
}

void MainWindow::setReporter(Reporter reporter)
{
    reporter_ = std::move(reporter);
}

void MainWindow::setSessionLog(reports::SessionLog *log)
{
    const auto tellOnStandardError = [](const QString &why) {
        commands::printProblem(stderr, why);
    };
    // A record the window leaves is told on standard error only from now on.
    if (sessionLog_)
        sessionLog_->setStopped(tellOnStandardError);
    sessionLog_ = log;
    if (!log)
        return;
    // Told from whichever thread found it; reported in this one.
    log->setStopped([this, tellOnStandardError](const QString &why) {
        tellOnStandardError(why);
        emit sessionRecordStopped(why);
    });
}

void MainWindow::recordingStopped(const QString &why)
{
    recordingStopped_ = true;
    updateCaption();
    if (operationRunning_) {
        pendingRecordReport_ = why; // after the report or operation in hand
        return;
    }
    operationRunning_ = true;
    reporter_({tr("The session record stopped"), why, {}, {}});
    operationRunning_ = false;
}

QString MainWindow::titleOf(Operation operation) const
{
    if (operation == kExitButton.operation)
        return qs(kExitButton.text);
    const PanelLayout *panel = panels::panelRunning(operation);
    return panel ? QString::fromStdString(panels::operationTitle(*panel)) : QString();
}

void MainWindow::record(Operation operation, const std::vector<panels::TextRead> &textsRead,
                        const reports::ErrorReport *failure, bool reported)
{
    if (!sessionLog_)
        return;
    QJsonObject details;
    if (operation == Operation::ReadDigitalInputs && !inputLineDue(failure, details))
        return;
    if (operation == Operation::LocateCard && !failure)
        details = locateDetails();
    sessionLog_->append(reports::operationLine(
        {titleOf(operation), textsRead, port_.accesses(), failure, reported, details}));
}

bool MainWindow::inputLineDue(const reports::ErrorReport *failure, QJsonObject &details)
{
    // A line when what the inputs read changes, when the monitor holds and when it resumes, and
    // one every ten minutes that nothing changed: not one a second.
    constexpr auto kUnchangedLineEvery = std::chrono::minutes(10);
    const auto now = clock_();
    QString state;
    if (failure || port_.accesses().empty()) {
        if (recordedHolding_ && !failure)
            return false;
        state = QStringLiteral("held");
        recordedHolding_ = true;
        recordedInputs_.reset();
    } else {
        std::array<std::uint8_t, 4> bytes {};
        for (std::size_t i = 0; i < bytes.size() && i < port_.accesses().size(); ++i)
            bytes[i] = port_.accesses()[i].byte();
        if (recordedHolding_)
            state = QStringLiteral("resumed");
        else if (!recordedInputs_)
            state = QStringLiteral("first");
        else if (bytes != *recordedInputs_)
            state = QStringLiteral("changed");
        else if (now - lastInputLine_ >= kUnchangedLineEvery)
            state = QStringLiteral("unchanged");
        else
            return false;
        recordedHolding_ = false;
        recordedInputs_ = bytes;
    }
    lastInputLine_ = now;
    details[QStringLiteral("inputs")] = state;
    return true;
}

MainWindow::LocateShown MainWindow::locateShown()
{
    // Read from the edits themselves: these reads are not the operation's.
    return {convert::TextToInt16(requireBox(panels::kCardNumberBox).edit()->text().toStdString()),
            requireBox(panels::kBaseAddressBox).edit()->text()};
}

QJsonObject MainWindow::locateDetails()
{
    const auto [card, base] = locateShown();
    return {{QStringLiteral("located"),
             QJsonObject {
                 {QStringLiteral("card"), card},
                 {QStringLiteral("base"),
                  base == QLatin1String("NO") ? QJsonValue(QJsonValue::Null) : QJsonValue(base)}}}};
}

void MainWindow::start(const StartupProblems &problems)
{
    // Nothing else runs while a start-up report is open, and the monitor has not started yet.
    operationRunning_ = true;
    if (problems.failure) {
        reports::FailureContext context;
        context.operation = tr("finding the cards");
        report(reports::describeFailure(problems.failure, context));
    } else if (problems.noCard) {
        report(reports::noticeReport(tr("No card"), *problems.noCard));
    }
    if (!problems.recordNotice.isEmpty())
        reporter_({tr("The session record"), problems.recordNotice, {}, {}});
    operationRunning_ = false;

    if (!run(Operation::LocateCard))
        panelBoxes_.baseAddress->setText("NO"); // the locate failed: no card was found
    if (problems.failure || problems.noCard)
        monitor_.hold(IOBase_); // nothing to read; told once already
    updateCaption();
    updateInputsLook();
    inputTimer_.start();
}

bool MainWindow::run(Operation operation)
{
    // A tick or press that arrives while a report is open is dropped: operations never overlap.
    if (operationRunning_)
        return false;
    operationRunning_ = true;
    bool done = false;
    port_.clear();
    const panels::TextReadRecorder reads(panelBoxes_);
    try {
        runOperation(operation, reads.boxes());
        // The card answered: what failed before is over. A locate reaches no port, so it
        // proves nothing about the card.
        if (!port_.accesses().empty())
            lastReportCause_.clear();
        record(operation, reads.reads(), nullptr, false);
        if (operation == Operation::LocateCard)
            noteLocatedCard();
        done = true;
    } catch (...) {
        reports::FailureContext context;
        context.operation = titleOf(operation);
        context.accessesBefore = port_.accesses();
        context.describeBox = [this](const QString &name) {
            return describeBox(name);
        };
        context.stopsInputs = operation == Operation::ReadDigitalInputs;
        const reports::ErrorReport failure
            = reports::describeFailure(std::current_exception(), context);
        // One cause, one report: a tick failing for the cause last reported holds the monitor
        // without a second one. A person's press is always answered.
        const bool shown
            = operation != Operation::ReadDigitalInputs || failure.cause != lastReportCause_;
        record(operation, reads.reads(), &failure, shown);
        if (shown)
            report(failure);
        lastReportCause_ = failure.cause;
    }
    updateInputsLook();
    if (!pendingRecordReport_.isEmpty()) {
        const QString why = std::exchange(pendingRecordReport_, {});
        reporter_({tr("The session record stopped"), why, {}, {}});
    }
    operationRunning_ = false;
    return done;
}

void MainWindow::endAsExitDoes()
{
    if (!run(Operation::Exit))
        exitProgram();
}

void MainWindow::runOperation(Operation operation, const panels::PanelBoxes &boxes)
{
    if (operation == Operation::Exit)
        return exitProgram();
    panels::OperationContext context {IOBase_, monitor_, port_, locator_};
    panels::runPanelOperation(operation, boxes, context);
}

void MainWindow::noteLocatedCard()
{
    const auto [card, base] = locateShown();
    locatedCard_.clear();
    // The card the tests from the menu work on: the one this locate found, at its base.
    locatedNumber_ = card;
    bool hex = false;
    const auto baseValue = base.toUShort(&hex, 16);
    locatedBase_ = hex ? std::optional<std::uint16_t>(baseValue) : std::nullopt;
    if (base == QLatin1String("NO")) {
        QStringList numbers;
        for (const std::int16_t number : locator_.cardNumbers())
            numbers << QString::number(number);
        locateNote_ = numbers.isEmpty()
            ? tr("No card %1; no card was found.").arg(card)
            : tr("No card %1; cards found: %2.").arg(card).arg(numbers.join(QStringLiteral(", ")));
    } else {
        const auto place = locator_.place(card);
        locatedCard_ = place ? qs(place->address) + QLatin1Char(' ') + base : base;
        locateNote_ = place ? tr("Card %1 is %2 (%3), at base %4.")
                                  .arg(card)
                                  .arg(qs(place->address), qs(place->ids), base)
                            : tr("Card %1 is at base %2.").arg(card).arg(base);
    }
    updateCaption();
    updateBoxLooks();
}

void MainWindow::updateCaption()
{
    QString caption = qs(kCaption);
    if (backend_ == hardware::BackendKind::Simulated)
        caption += qs(kSimulatedCaptionSuffix);
    else if (!locatedCard_.isEmpty())
        caption += QStringLiteral(" [%1]").arg(locatedCard_);
    else
        caption += qs(kNoCardCaptionSuffix);
    if (recordingStopped_)
        caption += tr(" [recording stopped]");
    setWindowTitle(caption);
}

void MainWindow::updateInputsLook()
{
    // While the monitor holds, the inputs show their last values greyed, not taken for fresh.
    const bool reading = !monitor_.holding(IOBase_);
    for (const std::string_view name : panels::kInputBoxes)
        requireBox(name).edit()->setEnabled(reading);
    updateBoxLooks(); // their tooltips say why they hold
}

void MainWindow::report(const reports::ErrorReport &report)
{
    commands::print(stderr, reports::reportLine(report, QDateTime::currentDateTime()));
    reporter_(report);
}

void MainWindow::exitProgram()
{
    // Nothing is written on the way out: the card keeps the last values written.
    inputTimer_.stop();
    hide();
    QCoreApplication::exit(0);
}

void MainWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The focused control shows its focus frame from the start, so a stray Space or Enter is
    // no surprise. Activating the window counts as a focus change by other means, which hides
    // the frame; the first activation shows it again.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !focusShown_) {
        focusShown_ = true;
        setAttribute(Qt::WA_KeyboardFocusChange);
        if (QWidget *focused = focusWidget())
            focused->update();
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    inputTimer_.stop();
    event->accept();
    QCoreApplication::exit(0);
}

void MainWindow::showReport(const reports::ErrorReport &report)
{
    QMessageBox box(QMessageBox::Critical, windowTitle(), report.headline, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("errorReport"));
    box.setInformativeText(report.detail);
    showAsPlainText(box);
    box.exec();
    // Back at the box that failed, with its text selected for retyping.
    if (!report.sourceBox.isEmpty()) {
        if (auto *edit = findChild<QLineEdit *>(report.sourceBox)) {
            edit->setFocus(Qt::OtherFocusReason);
            edit->selectAll();
        }
    }
}

void MainWindow::updateBoxLooks()
{
    const auto texts = [this](std::string_view name) {
        return requireBox(name).text();
    };
    for (const auto &box : boxes_) {
        QLineEdit *edit = box->edit();
        const std::optional<panels::BoxReading> reading = panels::readingOf(box->name(), texts);
        QStringList tips;
        if (reading && reading->tooltip)
            tips << reports::translated(*reading->tooltip);
        const bool input
            = std::find(panels::kInputBoxes.begin(), panels::kInputBoxes.end(), box->name())
            != panels::kInputBoxes.end();
        if (const auto bits = panels::inputBits(box->text()); bits && input)
            tips << reports::translated(*bits);
        if (input && monitor_.holding(IOBase_))
            tips << tr("Not read now: the inputs are held until a base address is stored again "
                       "(输出, DA 输出 or 得到板卡的基地址); the byte shown is the last one read.");
        if (box->name() == panels::kBaseAddressBox && !locateNote_.isEmpty())
            tips << locateNote_;
        edit->setToolTip(plainToolTip(tips.join(QLatin1Char('\n'))));
        if (reading && !reading->asShown) {
            QPalette warning = edit->palette();
            warning.setColor(QPalette::Text, QColor(kWarningTextColour));
            edit->setPalette(warning);
        } else {
            edit->setPalette(QPalette()); // the window's own
        }
    }
}

} // namespace qm5083::window
