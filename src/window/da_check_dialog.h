#pragma once

#include "card_session.h"
#include "da_check_command.h"
#include "meters.h"

#include <QDialog>
#include <QTimer>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace qm5083::window {

// The DA check from the menu, on the card the window shows: the channel stepped through the
// command's codes, each code and the voltage it should give shown large, the reading typed (Enter
// takes it; a reading that is no voltage of the range is asked again) or taken from the meter set
// up; a live table, the picture of the errors with the limits' band, the verdict per figure and
// the verdict naming the serial and the card, and the report and the picture filed in the results
// folder. Esc stops the check, files the readings so far and leaves the channel at code 0.
class DaCheckDialog final : public QDialog
{
    Q_OBJECT

public:
    // Reports a failure that stopped a test (the card stopped answering), as the window does.
    using FailureReporter
        = std::function<void(const std::exception_ptr &failure, const QString &test)>;

    // The check of card, its line recorded in sessionLog (when given) and a card that fails
    // reported by reportFailure; parent's caption heads the dialog's.
    // Each check's result is stored as results opens its filing, and then sent.
    DaCheckDialog(const commands::CardChoice &card, reports::SessionLog *sessionLog,
                  FailureReporter reportFailure, QWidget *parent = nullptr,
                  commands::ResultsHandling results = {});
    ~DaCheckDialog() override;

    // The report the last check filed; empty when it filed none.
    const QString &lastReport() const { return lastReport_; }
    bool running() const { return steps_ != nullptr; }

    static constexpr int kMaxTextLength = 64;
    static constexpr int kMaxMeterLength = 300;
    static constexpr int kMaxFolderLength = 1024;
    static constexpr int kMaxReadingLength = 32;

public slots:
    // While a check runs, Esc ends it, the channel left at code 0; else it closes the dialog.
    void reject() override;

private:
    void startCheck();
    void showCode();
    void takeTypedReading();
    void readFromMeter();
    void pointTaken(std::uint16_t code, const std::vector<double> &taken);
    void end(const std::exception_ptr &why);
    void finishCheck();
    void fileAndShow();
    void remember() const;
    void showPlan();
    void clearVerdict();

    commands::CardChoice card_;
    reports::SessionLog *sessionLog_;
    FailureReporter reportFailure_;
    QLineEdit *serial_;
    QLineEdit *operator_;
    QLineEdit *station_;
    QComboBox *channel_;
    QLineEdit *range_;
    QLineEdit *points_;
    QLineEdit *limits_;
    QLineEdit *meterBox_;
    QLineEdit *folder_;
    QPushButton *start_;
    QLabel *code_;
    QLabel *expected_;
    QLineEdit *reading_;
    QLabel *problem_;
    QTableWidget *table_;
    QLabel *picture_;
    QListWidget *figures_;
    QLabel *verdict_;
    QLabel *verdictFor_;
    QLabel *filed_;
    QLabel *plan_;

    // The check in progress, and what it works with.
    scripting::DaCheckCommand check_;
    QString commandText_;
    QString reportPath_;
    std::unique_ptr<commands::CardSession> session_;
    std::unique_ptr<commands::Meter> meter_;
    std::unique_ptr<commands::DaCheckSteps> steps_;
    commands::ResultsHandling results_;
    std::unique_ptr<commands::ResultsFiling> filing_; // the running check's
    std::size_t next_ = 0;                            // the index of the code shown
    QTimer meterRead_; // reads the meter once the code shown has been drawn
    QString lastReport_;
};

} // namespace qm5083::window
