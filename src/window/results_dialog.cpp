#include "results_dialog.h"

#include "results_plot.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace qm5083::window {

namespace {

constexpr int kPictureWidth = 640;
constexpr int kPictureHeight = 360;

} // namespace

ResultsDialog::ResultsDialog(Ask ask, QWidget *parent)
    : QDialog(parent)
    , ask_(std::move(ask))
{
    setObjectName(QStringLiteral("resultsDialog"));
    setWindowTitle(parent ? QStringLiteral("%1 - %2").arg(parent->windowTitle(), tr("Results"))
                          : tr("Results"));
    database_ = new QLabel(this);
    database_->setObjectName(QStringLiteral("resultsDatabaseLabel"));
    database_->setTextFormat(Qt::PlainText);
    database_->setWordWrap(true);
    yield_ = new QListWidget(this);
    yield_->setObjectName(QStringLiteral("yieldLines"));
    yield_->setFocusPolicy(Qt::NoFocus);
    yield_->setMaximumHeight(120);
    pareto_ = new QLabel(this);
    pareto_->setObjectName(QStringLiteral("paretoPicture"));
    pareto_->setMinimumSize(kPictureWidth, kPictureHeight);
    pareto_->setAlignment(Qt::AlignCenter);

    auto *again = new QPushButton(tr("&Refresh"), this);
    again->setObjectName(QStringLiteral("refreshButton"));
    again->setAutoDefault(false);
    connect(again, &QPushButton::clicked, this, &ResultsDialog::refresh);
    auto *close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(again);
    buttons->addStretch();
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(database_);
    layout->addWidget(yield_);
    layout->addWidget(pareto_, 1);
    layout->addLayout(buttons);
    refresh();
}

void ResultsDialog::refresh()
{
    yield_->clear();
    pareto_->clear();
    try {
        const commands::TodaysResults today = ask_();
        database_->setText(tr("Today's results in %1").arg(today.database));
        yield_->addItems(today.lines);
        QPixmap picture;
        if (picture.loadFromData(results::paretoPicture(today.pareto, tr("Today's problems"),
                                                        QStringLiteral("pareto.png"))))
            pareto_->setPixmap(picture.scaled(kPictureWidth, kPictureHeight, Qt::KeepAspectRatio,
                                              Qt::SmoothTransformation));
    } catch (const results::ResultsError &error) {
        database_->setText(tr("The results cannot be read: %1").arg(error.message()));
    }
}

} // namespace qm5083::window
