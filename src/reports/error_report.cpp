#include "error_report.h"

#include "hex_text.h"
#include "port_refused.h"
#include "runtime_error.h"
#include "translations.h"
#include "value.h"

#include <QCoreApplication>

#include <cmath>
#include <system_error>

namespace qm5083::reports {

namespace {

QString fromStd(const std::string &text)
{
    return QString::fromStdString(text);
}

// A stored base as the operator typed it: four hex digits for a 16-bit value, eight for one
// beyond (FFFF7FFE), as the hexadecimal boxes read them.
QString storedBaseAsTyped(double value)
{
    const auto integral = static_cast<std::int64_t>(std::llround(value));
    if (integral >= -32768 && integral < 0)
        return fromStd(convert::hex4(static_cast<std::uint16_t>(integral)));
    return QString::number(static_cast<std::uint32_t>(integral), 16).toUpper();
}

QString boxSentence(const convert::RuntimeError &error, const FailureContext &context)
{
    const QString name = fromStd(error.source());
    const QString typed = quotedText(fromStd(error.sourceText()));
    const std::optional<BoxDescription> box
        = context.describeBox ? context.describeBox(name) : std::nullopt;
    if (!box)
        return tr("In text box %1: \"%2\".").arg(name, typed);
    if (!box->rangeNote.isEmpty())
        return tr("%1: \"%2\" cannot be used; type a value from %3 to %4 (%5).")
            .arg(box->shownAs, typed, box->lowest, box->highest, box->rangeNote);
    return tr("%1: \"%2\" cannot be used; type a value from %3 to %4.")
        .arg(box->shownAs, typed, box->lowest, box->highest);
}

QString storedBaseSentence(const convert::RuntimeError &error)
{
    const QString base = storedBaseAsTyped(error.storedBase());
    if (error.storedOffset() < 0)
        return tr("The base address stored last (%1) is not a 16-bit port number.").arg(base);
    return tr("The base address stored last (%1) plus register offset %2 is not a 16-bit port "
              "number.")
        .arg(base, QString::number(error.storedOffset()));
}

// What the operation reached before it stopped: the ports written, or read by the monitor.
QString reachedSentence(const FailureContext &context)
{
    QStringList reached;
    for (const hardware::RecordedAccess &access : context.accessesBefore)
        reached << QStringLiteral("%1=%2").arg(fromStd(convert::hex4(access.port)),
                                               fromStd(convert::hex2(access.byte())));
    const QString list = reached.join(QStringLiteral(", "));
    if (context.stopsInputs)
        return reached.isEmpty() ? tr("No port was read.")
                                 : tr("Read before it stopped (port=byte): %1.").arg(list);
    return reached.isEmpty() ? tr("No port was written.")
                             : tr("Written before it stopped (port=byte): %1.").arg(list);
}

// The step that can help when a port is refused.
QString refusalAdvice(hardware::Refusal refusal)
{
    switch (refusal) {
    case hardware::Refusal::NoCard:
        // Whether --pci-id or the card set-up named the cards, the check says which step is
        // missing.
        return tr("qm5083-bench --check-setup says what stands between the program and the card "
                  "(the card set-up, the card on the bus, its ids); then start the program again.");
    case hardware::Refusal::NotARegister:
    case hardware::Refusal::OtherCard:
        return tr("Press 得到板卡的基地址 to locate the card, or type its base address in 基地址 "
                  "and press 输出 or DA 输出.");
    }
    return {};
}

} // namespace

QString translated(const hardware::Message &message)
{
    return fromStd(message.render([](const char *english) {
        return QCoreApplication::translate("Card", english).toStdString();
    }));
}

ErrorReport describeFailure(const std::exception_ptr &failure, const FailureContext &context)
{
    ErrorReport report;
    QStringList paragraphs;
    try {
        std::rethrow_exception(failure);
    } catch (const convert::RuntimeError &error) {
        // The error number and its description are kept as the card's users know them.
        report.headline = fromStd(error.what());
        switch (error.sourceKind()) {
        case convert::ErrorSource::TextBox:
            report.sourceBox = fromStd(error.source());
            paragraphs << boxSentence(error, context);
            break;
        case convert::ErrorSource::StoredBase:
            paragraphs << storedBaseSentence(error)
                       << tr("Type the card's base address in 基地址 and press 输出 or DA 输出, or "
                             "press 得到板卡的基地址.");
            break;
        case convert::ErrorSource::Unknown:
            break;
        }
        report.cause = report.headline + QLatin1Char('|') + fromStd(error.source())
            + QLatin1Char('|') + fromStd(error.sourceText());
    } catch (const hardware::PortRefused &error) {
        report.headline = tr("Port access refused");
        paragraphs << translated(error.message()) << refusalAdvice(error.refusal());
        // Every port refused for one reason is one cause.
        report.cause = QStringLiteral("refused|") + fromStd(error.reason().english());
    } catch (const hardware::PortError &error) {
        report.headline = tr("Port access error %1: %2")
                              .arg(error.code().value())
                              .arg(fromStd(error.code().message()));
        paragraphs << translated(error.message());
        // One errno on one card's file is one cause, whichever port met it.
        report.cause
            = QStringLiteral("%1|%2").arg(error.code().value()).arg(fromStd(error.subject()));
    } catch (const hardware::Explained &error) {
        report.headline = tr("The card cannot be used");
        paragraphs << translated(error.message());
        report.cause = translated(error.message());
    } catch (const std::system_error &error) {
        report.headline = tr("Port access error %1: %2")
                              .arg(error.code().value())
                              .arg(fromStd(error.code().message()));
        paragraphs << fromStd(error.what());
        report.cause = fromStd(error.what());
    } catch (const std::exception &error) {
        report.headline = tr("Error");
        paragraphs << fromStd(error.what());
        report.cause = fromStd(error.what());
    } catch (...) {
        report.headline = tr("Unexpected error");
    }
    paragraphs << reachedSentence(context)
               << tr("The operation %1 stopped there; the program goes on.").arg(context.operation);
    if (context.stopsInputs)
        paragraphs << tr("The inputs are no longer read; they are read again once a base address "
                         "is stored.");
    report.detail = paragraphs.join(QStringLiteral("\n\n"));
    return report;
}

QString quotedText(const QString &text)
{
    constexpr qsizetype kQuoted = 40;
    const QList<uint> characters = text.toUcs4();
    if (characters.size() <= kQuoted)
        return text;
    return QString::fromUcs4(reinterpret_cast<const char32_t *>(characters.constData()), kQuoted)
        + QStringLiteral("…");
}

QString failureSentence(const std::exception_ptr &failure)
{
    const ErrorReport report = describeFailure(failure, {});
    return report.headline + QStringLiteral(": ")
        + report.detail.section(QStringLiteral("\n\n"), 0, 0);
}

ErrorReport noticeReport(const QString &headline, const hardware::Message &message)
{
    ErrorReport report;
    report.headline = headline;
    report.detail = translated(message);
    report.cause = report.detail;
    return report;
}

QString reportLine(const ErrorReport &report, const QDateTime &when)
{
    // Paragraphs apart, as the report box shows them: not all of them end a sentence.
    QString detail = report.detail;
    detail.replace(QStringLiteral("\n\n"), QStringLiteral(" | "));
    detail.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("%1 %2: %3")
        .arg(when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), report.headline, detail);
}

} // namespace qm5083::reports
