#pragma once

#include "meters.h"

#include <QStringList>

#include <chrono>
#include <memory>
#include <string>

namespace qm5083::commands {

// The helper that reads libsigrok meters in a process of its own.
QString sigrokHelper();

// A multimeter libsigrok drives, from "DRIVER[:KEY=VALUE]..." as --meter sigrok: takes it (for
// example scpi-dmm:conn=tcp-raw/192.168.1.20/5025). A reading that does not come within timeout
// counts as the meter stopped answering. Throws CannotRun when no such meter can be opened.
std::unique_ptr<Meter> openSigrokMeter(const std::string &address, std::chrono::seconds timeout,
                                       const QString &helper = sigrokHelper());

// The multimeter drivers this program's libsigrok has. Throws CannotRun when the helper cannot
// be run.
QStringList sigrokMultimeterDrivers(const QString &helper = sigrokHelper());

} // namespace qm5083::commands
