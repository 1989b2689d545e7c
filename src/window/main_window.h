#pragma once

#include "error_report.h"
#include "line_edit_box.h"
#include "panels/digital_input_panel.h"
#include "panels/stored_base.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QLineEdit;
class QPushButton;

namespace qm5083::hardware {
class CardLocator;
class PortAccess;
} // namespace qm5083::hardware

namespace qm5083::window {

// The program's one window: five framed panels and Exit, built from the controls' tables. It owns
// IOBase and turns clicks and timer ticks into panel operations, one at a time.
class Testqm5083 final : public QWidget
{
    Q_OBJECT

public:
    using Reporter = std::function<void(const ErrorReport &)>;

    Testqm5083(hardware::PortAccess &port, hardware::CardLocator &locator, bool simulated,
               QWidget *parent = nullptr);
    ~Testqm5083() override;

    // Runs once, before the window is first shown: locates the card.
    void Form_Load();

    // Replaces the message box that reports failures (tests record reports instead).
    void setReporter(Reporter reporter);
    // Reports a failure outside the operations, such as one while finding the cards.
    void reportFailure(const std::exception_ptr &failure, const QString &during);

    const panels::StoredBase &IOBase() const { return IOBase_; }
    QTimer &Timer1() { return Timer1_; }

    // Twips to pixels at this window's logical DPI.
    int toPixels(int twips) const;

public slots:
    void cmdIOBase_Click();
    void cmdOutput_Click();
    void Timer1_Timer();
    void cmdClk_Click();
    void cmdDA_Click();
    void Command_exit_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildTabOrder();
    void connectEvents();
    LineEditBox &box(const char *name);
    void updateClockTooltips();
    // Runs an operation unless another is running (a report open counts), reporting a failure.
    void runOperation(const char *name, const std::function<void()> &operation);
    void showReport(const ErrorReport &report);

    hardware::PortAccess &port_;
    hardware::CardLocator &locator_;
    panels::StoredBase IOBase_;
    panels::InputMonitor monitor_;
    QTimer Timer1_;
    bool operationRunning_ = false;
    Reporter reporter_;

    std::vector<std::unique_ptr<LineEditBox>> boxes_;
    LineEditBox *txtCardNo_ = nullptr;
    LineEditBox *txtIOBase_ = nullptr;
    std::array<const panels::TextBox *, 4> txtOutput_ {};
    std::array<panels::TextBox *, 4> txtInput_ {};
    LineEditBox *txtClkBase_ = nullptr;
    LineEditBox *txtClkOutput_ = nullptr;
    std::array<const panels::TextBox *, 4> txtda_ {};
};

} // namespace qm5083::window
