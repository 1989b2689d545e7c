#pragma once

#include "access_recorder.h"
#include "backends.h"
#include "command_line.h"
#include "control_layout.h"
#include "digital_input_panel.h"
#include "error_report.h"
#include "line_edit_box.h"
#include "message.h"
#include "panel_operations.h"
#include "self_test_command.h"
#include "session_log.h"
#include "stored_base.h"
#include "window_layout.h"

#include <QColor>
#include <QJsonObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace qm5083::hardware {
class CardLocator;
class PortAccess;
} // namespace qm5083::hardware

class QMenuBar;

namespace qm5083::window {

// The text colour of a box whose text does not read as what it shows.
inline constexpr QRgb kWarningTextColour = qRgb(0xB0, 0x50, 0x00);

// A control that the operations need is missing from the tables the window was built from.
class MissingControl : public std::logic_error
{
public:
    using std::logic_error::logic_error;
};

// What went wrong before the window opened, to be reported when it starts.
struct StartupProblems
{
    std::exception_ptr failure;              // finding the cards failed
    std::optional<hardware::Message> noCard; // the program reaches no card at all
    QString recordNotice {};                 // what opening the session record found
};

// What the card's tests from the menu work with: the command line the window was started with
// (the card, the simulated faults) and the backend the window reaches the card through.
struct TestBench
{
    const commands::CommandLine *commandLine = nullptr;
    const hardware::Backend *backend = nullptr;
};

// The program's one window: five framed panels and Exit, built from the controls' tables. It owns
// IOBase and turns button presses, Enter in a box and timer ticks into panel operations, one at
// a time.
class MainWindow final : public QWidget
{
    Q_OBJECT

public:
    using Reporter = std::function<void(const reports::ErrorReport &)>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // Throws MissingControl when the tables lack a control that an operation reads.
    MainWindow(hardware::PortAccess &port, hardware::CardLocator &locator,
               hardware::BackendKind backend,
               std::span<const panels::PanelLayout *const> panels = panels::kPanels,
               QWidget *parent = nullptr);
    ~MainWindow() override;

    // Runs once, before the window is first shown: reports what went wrong before it, locates
    // the card, then starts the input monitor, whose first tick comes a second later.
    void start(const StartupProblems &problems = {});

    // Runs one operation unless another is running (an open report counts), reporting a failure.
    // True when it ran to its end.
    bool run(panels::Operation operation);

    // Ends the program as Exit does; with a report open, it closes too.
    void endAsExitDoes();

    // Replaces the message box that reports failures (tests record reports instead).
    void setReporter(Reporter reporter);
    // Records every operation in log from now on (--log), until the window ends or another log
    // (or none) is set; log must outlive that. A record that stops is reported once, and the
    // caption says so.
    void setSessionLog(reports::SessionLog *log);
    // Replaces the clock the input monitor's record lines are timed by (tests).
    void setClock(Clock clock) { clock_ = std::move(clock); }

    // Lets the menu's tests run; without a bench their menu entries are greyed.
    void setTestBench(TestBench bench);
    const TestBench &testBench() const { return bench_; }

    // The card the window shows, which the tests from the menu work on: the card number and the
    // base the last locate found (none when it found none), on the bench's backend.
    commands::CardChoice cardInView() const;

    // The self-test of card with settings, as one operation: the monitor paused from start to
    // end, the report filed in target, the record written, each check told to shown as it is
    // made. A test that could not run is reported as any failure is. Afterwards the boxes show
    // what the test left on the card. Nothing while another operation runs.
    // Its result is stored in filing, when given.
    std::optional<commands::SelfTestRun>
    runSelfTest(const commands::CardChoice &card, const commands::SelfTestSettings &settings,
                const std::optional<commands::ReportTarget> &target,
                const commands::CheckShownTo &shown, commands::ResultsFiling *filing = nullptr);

    // Where the menu's tests store their results: as the command line says, or nowhere without
    // one (tests). Throws results::ResultsError when the results database cannot be used.
    std::unique_ptr<commands::ResultsFiling> openResults() const;
    // Sends a test's stored result to the line's database while the window goes on: a server
    // away holds no one up; the result stays queued in the station's database.
    void sendResults(std::unique_ptr<commands::ResultsFiling> filing);

    // A test from the menu that a failure stopped (the card stopped answering): reported as any
    // operation's failure is, on standard error too.
    void reportTestFailure(const std::exception_ptr &failure, const QString &test);

    // The session record the tests' lines go to; none without --log.
    reports::SessionLog *sessionLog() const { return sessionLog_; }

    // The menu bar above the form, and the form that holds the controls.
    QMenuBar *menuBar() const { return menuBar_; }
    QWidget *form() const { return form_; }

    const panels::StoredBase &IOBase() const { return IOBase_; }
    QTimer &inputTimer() { return inputTimer_; }

    // Twips to pixels at this window's logical DPI.
    int toPixels(int twips) const;

    // The window ("<object name> 0 0 <width> <height> <caption>"), the menu bar and the form
    // ("<object name> <x> <y> <width> <height>", in the window), then every control in table
    // order, one a line: "<object name> <x> <y> <width> <height> <text>", in pixels relative to
    // the form, the client area the controls were laid out in.
    QStringList layoutLines() const;

signals:
    // The session record stopped; emitted from whichever thread found it.
    void sessionRecordStopped(const QString &why);
    // The menu asked for a test of the card in view, while none other runs.
    void selfTestAsked();
    void daCheckAsked();
    // The menu asked for today's results.
    void resultsAsked();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

public slots:
    void askForSelfTest();
    void askForDaCheck();
    void openManual();
    void openAbout();

private:
    void buildMenu();
    void showWhatTheSelfTestLeft();
    void buildControls(std::span<const panels::PanelLayout *const> panels);
    void buildTabOrder(std::span<const panels::PanelLayout *const> panels);
    LineEditBox &requireBox(std::string_view name);
    std::optional<reports::BoxDescription> describeBox(const QString &objectName) const;
    void updateBoxLooks();
    void updateCaption();
    void updateInputsLook();
    QString titleOf(panels::Operation operation) const;
    void runOperation(panels::Operation operation, const panels::PanelBoxes &boxes);
    // What a locate left in the boxes: the card number, and the base or "NO".
    struct LocateShown
    {
        std::int16_t card;
        QString base;
    };
    LocateShown locateShown();
    void noteLocatedCard();
    void report(const reports::ErrorReport &report);
    void record(panels::Operation operation, const std::vector<panels::TextRead> &textsRead,
                const reports::ErrorReport *failure, bool reported);
    bool inputLineDue(const reports::ErrorReport *failure, QJsonObject &details);
    QJsonObject locateDetails();
    void recordingStopped(const QString &why);
    void exitProgram();
    void showReport(const reports::ErrorReport &report);

    hardware::AccessRecorder port_;
    hardware::CardLocator &locator_;
    hardware::BackendKind backend_;
    panels::StoredBase IOBase_;
    panels::InputMonitor monitor_;
    QTimer inputTimer_;
    bool operationRunning_ = false;
    Reporter reporter_;
    QString lastReportCause_; // of the last report, until an operation reaches the card
    reports::SessionLog *sessionLog_ = nullptr;
    bool recordingStopped_ = false;
    QString pendingRecordReport_; // why the record stopped, while another report is open
    Clock clock_ = [] {
        return std::chrono::steady_clock::now();
    };
    // What the input monitor's record last said: the bytes, whether it held, and when.
    std::optional<std::array<std::uint8_t, 4>> recordedInputs_;
    bool recordedHolding_ = false;
    std::chrono::steady_clock::time_point lastInputLine_;
    QString locatedCard_;            // the caption's card: "0000:03:00.0 E000", empty when none
    std::int16_t locatedNumber_ = 1; // the card number the last locate was for
    std::optional<std::uint16_t> locatedBase_; // the base it found; none: "NO"
    QString locateNote_;      // what the last locate found, for the base box's tooltip
    bool focusShown_ = false; // the focus frame was shown at the first activation

    TestBench bench_;
    std::future<void> sending_; // the last result sent to the line's database
    QMenuBar *menuBar_ = nullptr;
    QWidget *form_ = nullptr;
    std::vector<const panels::ControlLayout *> layouts_; // in table order, frames included
    std::vector<std::unique_ptr<LineEditBox>> boxes_;
    panels::PanelBoxes panelBoxes_;
};

} // namespace qm5083::window
