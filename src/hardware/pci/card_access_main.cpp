// qm5083-card-access DEVICE_FOLDER: run by the udev rule, as root, for every PCI device that
// appears, binds or changes. Gives group qm5083 the resource file of the device's I/O BAR when
// the card set-up lists the device, and takes back from the group every other BAR file it holds,
// so that a card no longer listed is closed at once. A card set-up that root does not own, that
// others may change, or that cannot be read whole grants nothing.
//
// --config FILE reads another card set-up, with the same checks (for the tests).

#include "card_access.h"

#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace qm5083::hardware;

constexpr const char *kCardGroup = "qm5083";

} // namespace

int main(int argc, char *argv[])
{
    std::string config = QM5083_CARDS_CONF;
    int next = 1;
    if (argc == 4 && std::string_view(argv[1]) == "--config") {
        config = argv[2];
        next = 3;
    }
    if (argc != next + 1) {
        std::fprintf(stderr, "usage: qm5083-card-access [--config FILE] DEVICE_FOLDER\n");
        return 2;
    }
    const struct group *group = ::getgrnam(kCardGroup);
    if (!group)
        return 0; // no group: nothing was ever given, and nothing is
    const int deviceDir = ::open(argv[next], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (deviceDir < 0) {
        std::fprintf(stderr, "qm5083-card-access: %s: %s\n", argv[next], std::strerror(errno));
        return 1;
    }
    int status = 0;
    try {
        // A device whose ids cannot be read is no card listed: what the group held of it, from
        // an earlier grant, is taken back all the same.
        std::optional<SysfsDevice> device;
        try {
            device = readSysfsDevice(deviceDir);
        } catch (const std::system_error &error) {
            std::fprintf(stderr, "qm5083-card-access: %s: %s; nothing of it is given to group %s\n",
                         argv[next], error.what(), kCardGroup);
            status = 1;
        }
        std::vector<PciId> listed;
        try {
            listed = listedCards(config, 0);
        } catch (const InvalidPciId &error) {
            std::fprintf(stderr, "qm5083-card-access: %s; no card is given to group %s\n",
                         error.what(), kCardGroup);
        }
        const std::optional<int> bar = device ? grantedBar(listed, *device) : std::nullopt;
        applyAccessChanges(deviceDir, accessChanges(barFiles(deviceDir), bar, group->gr_gid, 0));
    } catch (const std::system_error &error) {
        std::fprintf(stderr, "qm5083-card-access: %s: %s\n", argv[next], error.what());
        status = 1;
    }
    ::close(deviceDir);
    return status;
}
