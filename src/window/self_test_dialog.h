#pragma once

#include "self_test_command.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qm5083::window {

// The self-test from the menu, made for a barcode scanner: the serial typed and Enter runs the
// test on the card the window shows, each check shown as it is made, a large verdict naming the
// serial and the card, and the report filed in the results folder without asking. Then the
// serial box is ready for the next card. The operator, station, folder, parts skipped and the
// meter are remembered between runs.
class SelfTestDialog final : public QDialog
{
    Q_OBJECT

public:
    // Runs the self-test of the dialog's card as one operation of the window; nothing while
    // another runs.
    using Runner = std::function<std::optional<commands::SelfTestRun>(
        const commands::SelfTestSettings &settings,
        const std::optional<commands::ReportTarget> &target, const commands::CheckShownTo &shown)>;

    // What the results database says of a serial's earlier results.
    using EarlierResults = std::function<commands::EarlierResults(const QString &serial)>;

    // The test of card, run by run; parent's caption heads the dialog's. Each serial's earlier
    // results, when earlier is given, are shown as its test starts.
    SelfTestDialog(const commands::CardChoice &card, Runner run, QWidget *parent = nullptr,
                   EarlierResults earlier = {});
    ~SelfTestDialog() override;

    // A serial as a file name's part: letters and digits of any script, '-', '_' and '.' kept,
    // the rest '_'.
    static QString fileNameOf(const QString &serial);

    // Why the text typed in a station's box (its label as the form shows it) cannot go in a
    // report: it breaks the one rule for a serial, an operator and a station. Empty when it can.
    static QString stationTextRefused(const QString &label, const QString &text);

    // The report the last test filed; empty when it filed none.
    const QString &lastReport() const { return lastReport_; }

    // The longest text each box takes: for a station's text, one more than its rule allows, so
    // that a longer one (scanned, pasted or remembered) is refused with the rule named, never cut
    // to fit.
    static constexpr int kMaxFactLength = static_cast<int>(scripting::kMaxStationTextBytes) + 1;
    static constexpr int kMaxFolderLength = 1024;
    static constexpr int kMaxMeterLength = 300;

public slots:
    // Not while a test runs: it ends on its own, with the card left as always.
    void reject() override;

signals:
    // A check's line was shown as the check was made, while the test runs.
    void checkShown(const QString &line);

private:
    void startTest();
    void chooseFolder();
    void remember() const;
    void showLine(const QString &line, const QColor &colour);
    void showNotTested();
    void clearVerdict();
    void readyForNextCard();

    commands::CardChoice card_;
    Runner run_;
    EarlierResults earlier_;
    QLabel *earlierLabel_;
    QLineEdit *serial_;
    QLabel *notTested_;
    QLineEdit *operator_;
    QLineEdit *station_;
    QLineEdit *folder_;
    QCheckBox *skipLoopback_;
    QCheckBox *skipCounters_;
    QCheckBox *skipDa_;
    QLineEdit *meter_;
    QLineEdit *daRange_;
    QPushButton *start_;
    QListWidget *lines_;
    QLabel *verdict_;
    QLabel *verdictFor_;
    QLabel *filed_;
    QString lastReport_;
    bool running_ = false;
};

} // namespace qm5083::window
