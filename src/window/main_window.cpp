#include "main_window.h"

#include "panels/base_address_panel.h"
#include "panels/clock_panel.h"
#include "panels/da_panel.h"
#include "panels/digital_output_panel.h"
#include "window_table.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace qm5083::window {

namespace {

QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string indexed(const char *name, int index)
{
    return std::string(name) + std::to_string(index);
}

} // namespace

Testqm5083::Testqm5083(hardware::PortAccess &port, hardware::CardLocator &locator, bool simulated,
                       QWidget *parent)
    : QWidget(parent)
    , port_(port)
    , locator_(locator)
{
    setObjectName(QStringLiteral("Testqm5083"));
    QString caption = qs(kCaption);
    if (simulated)
        caption += qs(kSimulatedCaptionSuffix);
    setWindowTitle(caption);
    setGeometry(toPixels(kClientLeft), toPixels(kClientTop), toPixels(kClientWidth),
                toPixels(kClientHeight));
    setFixedSize(toPixels(kClientWidth), toPixels(kClientHeight));

    reporter_ = [this](const ErrorReport &report) {
        showReport(report);
    };
    buildControls();
    buildTabOrder();
    connectEvents();

    Timer1_.setObjectName(QString::fromLatin1(panels::kTimer1.name));
    Timer1_.setTimerType(Qt::PreciseTimer); // a coarse timer may tick 5% early
    Timer1_.setInterval(panels::kTimer1IntervalMs);
    Timer1_.start();
}

Testqm5083::~Testqm5083() = default;

int Testqm5083::toPixels(int twips) const
{
    return twipsToPixels(twips, logicalDpiX());
}

void Testqm5083::buildControls()
{
    const auto place = [this](QWidget *widget, const panels::ControlSpec &spec) {
        widget->setObjectName(qs(spec.name));
        widget->setGeometry(toPixels(spec.left), toPixels(spec.top), toPixels(spec.width),
                            toPixels(spec.height));
    };
    const auto addButton = [&](QWidget *parent, const panels::ControlSpec &spec) {
        auto *button = new QPushButton(qs(spec.text), parent);
        place(button, spec);
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAutoDefault(false);
    };

    for (const panels::PanelSpec *panel : kPanels) {
        auto *frame = new QGroupBox(qs(panel->frame.text), this);
        place(frame, panel->frame);
        // The caption sits on the border line, so the frame's whole height is inside the border
        // and controls placed near its top stay clear of it.
        frame->setStyleSheet(QStringLiteral(
            "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0 2px; }"));
        frame->setFocusPolicy(Qt::NoFocus);
        for (const panels::ControlSpec &spec : panel->controls) {
            switch (spec.kind) {
            case panels::ControlKind::Label: {
                auto *label = new QLabel(qs(spec.text), frame);
                place(label, spec);
                // Labels size themselves to their text. The line is taller than the designed
                // 180 twips in most fonts, so it is centred on the designed box.
                const QSize fit = label->sizeHint();
                const int designHeight = toPixels(spec.height);
                label->setGeometry(label->x(), label->y() - (fit.height() - designHeight) / 2,
                                   fit.width(), fit.height());
                break;
            }
            case panels::ControlKind::TextBox: {
                auto *edit = new QLineEdit(qs(spec.text), frame);
                place(edit, spec);
                boxes_.push_back(std::make_unique<LineEditBox>(edit));
                break;
            }
            case panels::ControlKind::Button:
                addButton(frame, spec);
                break;
            case panels::ControlKind::Frame:
            case panels::ControlKind::Timer:
                break;
            }
        }
    }
    addButton(this, kCommandExit);

    txtCardNo_ = &box("txtCardNo");
    txtIOBase_ = &box("txtIOBase");
    for (int i = 0; i < 4; ++i) {
        txtOutput_[i] = &box(indexed("txtOutput", i).c_str());
        txtInput_[i] = &box(indexed("txtInput", i).c_str());
        txtda_[i] = &box(("txtda(" + std::to_string(i) + ")").c_str());
    }
    txtClkBase_ = &box("txtClkBase");
    txtClkOutput_ = &box("txtClkOutput");
    updateClockTooltips();
}

LineEditBox &Testqm5083::box(const char *name)
{
    const auto found = std::find_if(boxes_.begin(), boxes_.end(),
                                    [name](const auto &b) { return b->name() == name; });
    Q_ASSERT(found != boxes_.end());
    return **found;
}

void Testqm5083::buildTabOrder()
{
    struct Stop
    {
        int tabIndex;
        QWidget *widget;
    };
    std::vector<Stop> stops;
    const auto collect = [&](const panels::ControlSpec &spec) {
        if (spec.kind != panels::ControlKind::TextBox && spec.kind != panels::ControlKind::Button)
            return;
        if (auto *widget = findChild<QWidget *>(qs(spec.name)))
            stops.push_back({spec.tabIndex, widget});
    };
    collect(kCommandExit);
    for (const panels::PanelSpec *panel : kPanels)
        std::for_each(panel->controls.begin(), panel->controls.end(), collect);
    std::sort(stops.begin(), stops.end(),
              [](const Stop &a, const Stop &b) { return a.tabIndex < b.tabIndex; });
    for (std::size_t i = 1; i < stops.size(); ++i)
        setTabOrder(stops[i - 1].widget, stops[i].widget);
    // Exit holds the focus when the window opens.
    stops.front().widget->setFocus(Qt::OtherFocusReason);
}

void Testqm5083::connectEvents()
{
    const auto button = [this](std::string_view name) {
        return findChild<QPushButton *>(qs(name));
    };
    connect(button("cmdIOBase"), &QPushButton::clicked, this, &Testqm5083::cmdIOBase_Click);
    connect(button("cmdOutput"), &QPushButton::clicked, this, &Testqm5083::cmdOutput_Click);
    connect(button("cmdClk"), &QPushButton::clicked, this, &Testqm5083::cmdClk_Click);
    connect(button("cmdDA"), &QPushButton::clicked, this, &Testqm5083::cmdDA_Click);
    connect(button(kCommandExit.name), &QPushButton::clicked, this,
            &Testqm5083::Command_exit_Click);
    connect(&Timer1_, &QTimer::timeout, this, &Testqm5083::Timer1_Timer);
    connect(txtClkBase_->edit(), &QLineEdit::textChanged, this, &Testqm5083::updateClockTooltips);
    connect(txtClkOutput_->edit(), &QLineEdit::textChanged, this, &Testqm5083::updateClockTooltips);
}

void Testqm5083::setReporter(Reporter reporter)
{
    reporter_ = std::move(reporter);
}

void Testqm5083::reportFailure(const std::exception_ptr &failure, const QString &during)
{
    reporter_(describeFailure(failure, during));
}

void Testqm5083::Form_Load()
{
    cmdIOBase_Click();
}

void Testqm5083::cmdIOBase_Click()
{
    runOperation("cmdIOBase_Click",
                 [this] { panels::cmdIOBase_Click(*txtCardNo_, *txtIOBase_, IOBase_, locator_); });
}

void Testqm5083::cmdOutput_Click()
{
    runOperation("cmdOutput_Click",
                 [this] { panels::cmdOutput_Click(*txtIOBase_, txtOutput_, IOBase_, port_); });
}

void Testqm5083::Timer1_Timer()
{
    runOperation("Timer1_Timer", [this] { monitor_.tick(txtInput_, IOBase_, port_); });
}

void Testqm5083::cmdClk_Click()
{
    runOperation("cmdClk_Click",
                 [this] { panels::cmdClk_Click(*txtClkBase_, *txtClkOutput_, IOBase_, port_); });
}

void Testqm5083::cmdDA_Click()
{
    runOperation("cmdDA_Click",
                 [this] { panels::cmdDA_Click(*txtIOBase_, txtda_, IOBase_, port_); });
}

void Testqm5083::Command_exit_Click()
{
    // Nothing is written on the way out: the card keeps the last values written.
    Timer1_.stop();
    hide();
    QCoreApplication::exit(0);
}

void Testqm5083::closeEvent(QCloseEvent *event)
{
    Timer1_.stop();
    event->accept();
    QCoreApplication::exit(0);
}

void Testqm5083::runOperation(const char *name, const std::function<void()> &operation)
{
    // A tick or click that arrives while a report is open is dropped: operations never overlap.
    if (operationRunning_)
        return;
    operationRunning_ = true;
    try {
        operation();
    } catch (...) {
        const ErrorReport report
            = describeFailure(std::current_exception(), QString::fromLatin1(name));
        reporter_(report);
    }
    operationRunning_ = false;
}

void Testqm5083::showReport(const ErrorReport &report)
{
    QMessageBox box(QMessageBox::Critical, windowTitle(), report.headline, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("errorReport"));
    box.setInformativeText(report.detail);
    box.exec();
    // Back at the box that failed, with its text selected for retyping.
    if (!report.sourceBox.isEmpty()) {
        if (auto *edit = findChild<QLineEdit *>(report.sourceBox)) {
            edit->setFocus(Qt::OtherFocusReason);
            edit->selectAll();
        }
    }
}

void Testqm5083::updateClockTooltips()
{
    const auto description
        = panels::DescribeClockDividers(txtClkBase_->text(), txtClkOutput_->text());
    txtClkBase_->edit()->setToolTip(qs(description.base));
    txtClkOutput_->edit()->setToolTip(qs(description.output));
}

} // namespace qm5083::window
