#include "sigrok_meter.h"

namespace qm5083::commands {

std::unique_ptr<Meter> openSigrokMeter(const std::string &spec, std::chrono::seconds)
{
    throw CannotRun {tr("--meter sigrok:%1: this build reaches no libsigrok meter yet")
                         .arg(QString::fromStdString(spec))};
}

QStringList sigrokMultimeterDrivers()
{
    return {};
}

} // namespace qm5083::commands
