#pragma once

#include "self_test_command.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qm5083::window {

class MainWindow;

// The self-test from the menu, made for a barcode scanner: the serial typed and Enter runs the
// test on the window's card, each check shown as it is made, a large verdict, and the report
// filed in the results folder without asking. Then the serial box is ready for the next card.
// The operator, station, folder and parts skipped are remembered between runs.
class SelfTestDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit SelfTestDialog(MainWindow &window);
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
    void showVerdict(const QString &verdict, const QColor &colour);
    void readyForNextCard();

    MainWindow &window_;
    QLineEdit *serial_;
    QLineEdit *operator_;
    QLineEdit *station_;
    QLineEdit *folder_;
    QCheckBox *skipLoopback_;
    QCheckBox *skipCounters_;
    QCheckBox *skipDa_;
    QPushButton *start_;
    QListWidget *lines_;
    QLabel *verdict_;
    QLabel *filed_;
    QString lastReport_;
    bool running_ = false;
};

} // namespace qm5083::window
