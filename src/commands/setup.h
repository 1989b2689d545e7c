#pragma once

#include "command_line.h"
#include "pci_id.h"

#include <sys/types.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qm5083::commands {

// The group whose members may reach the cards' ports.
inline constexpr const char *kCardGroup = "qm5083";

// Who runs the program, as far as reaching a card's files goes.
class UserAccess
{
public:
    virtual ~UserAccess() = default;
    virtual std::string name() const = 0;
    // Whether this process may open the file for reading and writing.
    virtual bool mayOpen(const std::filesystem::path &file) const = 0;
    // Whether the group lists the user, and whether this process has the group (it has not when
    // the user was added after logging in).
    virtual bool listedIn(const std::string &group) const = 0;
    virtual bool hasGroup(const std::string &group) const = 0;

    // The process's own.
    static const UserAccess &current();

protected:
    UserAccess() = default;
    UserAccess(const UserAccess &) = default;
    UserAccess &operator=(const UserAccess &) = default;
};

// The cards a set-up or its check is about, and where the card set-up is kept.
struct CardsNamed
{
    std::vector<hardware::PciId> ids;
    bool byPciId = false; // --pci-id named them, not the card set-up
    std::filesystem::path cardsConfig;
    std::optional<hardware::Message> cardsConfigProblem; // why the card set-up was not read
    std::filesystem::path sysfsRoot;
};

// What the command line names: --setup's ids for the set-up, else --pci-id's or the card set-up's.
CardsNamed cardsNamed(const CommandLine &commandLine);

// --check-setup: one line per item, OK or the problem and what to do: the card set-up, each card
// found (address, BAR, base), its I/O decoding, its region file's group and mode, whether this
// user can open it, and the kernel's lockdown. Returns 0 when card 1 can be used, 1 when not, 2
// when the check cannot run.
int runSetupCheck(const CardsNamed &named, const UserAccess &user,
                  const std::filesystem::path &lockdownFile, std::FILE *out, std::FILE *err);

// What --setup changes on the system besides the card set-up's file.
class SystemSetup
{
public:
    virtual ~SystemSetup() = default;
    virtual bool isRoot() const = 0;
    virtual std::optional<std::string> sudoUser() const = 0; // who ran it through sudo
    virtual bool groupExists(const std::string &group) const = 0;
    virtual bool createGroup(const std::string &group) = 0;
    virtual bool userInGroup(const std::string &user, const std::string &group) const = 0;
    virtual bool addUserToGroup(const std::string &user, const std::string &group) = 0;
    // Reloads the udev rules and applies them to every PCI device now present: the cards listed
    // are opened to the group, and any other device's files the group holds are taken back.
    virtual bool applyUdevRules() = 0;

    // The real system: groupadd, usermod, udevadm.
    static SystemSetup &real();

protected:
    SystemSetup() = default;
    SystemSetup(const SystemSetup &) = default;
    SystemSetup &operator=(const SystemSetup &) = default;
};

// --setup VVVV:DDDD[:BAR][/SSSS:TTTT]...: writes the card set-up's file (keeping the old one),
// makes sure the group exists, adds the user who ran it through sudo, applies the udev rules to
// every PCI device, and says what it did, the cards it found and what the user does next. Running
// it twice changes nothing more. Returns 0 when done, 1 when a step failed, 2 when it could not
// be (not root, ids that name one card twice, a card present whose named BAR is no port region,
// a card set-up that cannot be written safely: nothing is written).
int runSetup(const CardsNamed &named, SystemSetup &system, std::FILE *out, std::FILE *err);

} // namespace qm5083::commands
