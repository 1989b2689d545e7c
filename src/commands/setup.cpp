#include "setup.h"

#include "error_report.h"
#include "output_text.h"
#include "pci_bus.h"
#include "safe_files.h"

#include <QFileInfo>
#include <QProcess>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <set>

namespace qm5083::commands {

namespace {

QString qs(const std::string &text)
{
    return QString::fromStdString(text);
}

QString idsText(const std::vector<hardware::PciId> &ids)
{
    QStringList texts;
    for (const hardware::PciId &id : ids)
        texts << qs(hardware::formatPciId(id));
    return texts.join(QStringLiteral(", "));
}

// "0000:03:00.0 (1234:5678, subsystem 1234:0001)": the card, and which board it is.
QString cardText(const hardware::PciCard &card)
{
    return QStringLiteral("%1 (%2, %3)")
        .arg(qs(card.address), qs(hardware::formatPciIds(card.vendor, card.device)),
             tr("subsystem %1")
                 .arg(qs(hardware::formatPciIds(card.subsystem.vendor, card.subsystem.device))));
}

// Whether the account is in the group as the group file says (its own group, or a member listed),
// whatever the groups of a login made before.
bool accountInGroup(const passwd *account, const std::string &group)
{
    const struct group *entry = ::getgrnam(group.c_str());
    if (!entry || !account)
        return false;
    if (account->pw_gid == entry->gr_gid)
        return true;
    for (char **member = entry->gr_mem; *member; ++member)
        if (std::string_view(account->pw_name) == *member)
            return true;
    return false;
}

class ProcessUser final : public UserAccess
{
public:
    std::string name() const override
    {
        const passwd *entry = ::getpwuid(::getuid());
        return entry ? entry->pw_name : std::to_string(::getuid());
    }
    bool mayOpen(const std::filesystem::path &file) const override
    {
        return ::access(file.c_str(), R_OK | W_OK) == 0;
    }
    bool listedIn(const std::string &group) const override
    {
        return accountInGroup(::getpwuid(::getuid()), group);
    }
    bool hasGroup(const std::string &group) const override
    {
        const struct group *entry = ::getgrnam(group.c_str());
        if (!entry)
            return false;
        if (::getegid() == entry->gr_gid)
            return true;
        std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
        // What the second call fills is what counts; a failed call names no group.
        const int filled = ::getgroups(static_cast<int>(groups.size()), groups.data());
        groups.resize(static_cast<std::size_t>(std::max(filled, 0)));
        return std::find(groups.begin(), groups.end(), entry->gr_gid) != groups.end();
    }
};

class RealSystem final : public SystemSetup
{
public:
    bool isRoot() const override { return ::geteuid() == 0; }
    std::optional<std::string> sudoUser() const override
    {
        // Only an account the password database knows, with the uid sudo noted for it: the
        // environment is the caller's to set.
        const char *user = std::getenv("SUDO_USER");
        const char *uidText = std::getenv("SUDO_UID");
        if (!user || !*user || !uidText)
            return std::nullopt;
        const std::string_view uidWord(uidText);
        unsigned long uid = 0;
        if (std::from_chars(uidWord.data(), uidWord.data() + uidWord.size(), uid).ptr
            != uidWord.data() + uidWord.size())
            return std::nullopt;
        const passwd *account = ::getpwnam(user);
        if (!account || account->pw_uid != uid || account->pw_uid == 0)
            return std::nullopt;
        return std::string(account->pw_name);
    }
    bool groupExists(const std::string &group) const override
    {
        return ::getgrnam(group.c_str()) != nullptr;
    }
    bool createGroup(const std::string &group) override
    {
        return run("groupadd", {QStringLiteral("--system"), QStringLiteral("--"), qs(group)});
    }
    bool userInGroup(const std::string &user, const std::string &group) const override
    {
        return accountInGroup(::getpwnam(user.c_str()), group);
    }
    bool addUserToGroup(const std::string &user, const std::string &group) override
    {
        return run("usermod",
                   {QStringLiteral("--append"), QStringLiteral("--groups"), qs(group),
                    QStringLiteral("--"), qs(user)});
    }
    bool applyUdevRules() override
    {
        // Every PCI device, not only the cards listed now: the rule's helper takes access back
        // from a card no longer listed.
        bool done = run("udevadm", {QStringLiteral("control"), QStringLiteral("--reload-rules")});
        done = run("udevadm",
                   {QStringLiteral("trigger"), QStringLiteral("--action=change"),
                    QStringLiteral("--subsystem-match=pci")})
            && done;
        return run("udevadm", {QStringLiteral("settle"), QStringLiteral("--timeout=30")}) && done;
    }

private:
    static bool run(const char *program, const QStringList &arguments)
    {
        return QProcess::execute(QString::fromLatin1(program), arguments) == 0;
    }
};

struct CheckLines
{
    std::FILE *out;
    bool allOk = true;

    void ok(const QString &what) { print(out, QStringLiteral("OK   %1").arg(what)); }
    // Not in the way of card 1, but worth knowing.
    void warn(const QString &what) { print(out, QStringLiteral("WARN %1").arg(what)); }
    void fail(const QString &what)
    {
        print(out, QStringLiteral("FAIL %1").arg(what));
        allOk = false;
    }
};

QString modeText(mode_t mode)
{
    QString text;
    for (const auto &[bit, letter] : {std::pair {S_IRUSR, 'r'},
                                      {S_IWUSR, 'w'},
                                      {S_IRGRP, 'r'},
                                      {S_IWGRP, 'w'},
                                      {S_IROTH, 'r'},
                                      {S_IWOTH, 'w'}}) {
        text += (mode & bit) ? QLatin1Char(letter) : QLatin1Char('-');
    }
    return text;
}

QString groupName(gid_t gid)
{
    const struct group *entry = ::getgrgid(gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}

// Whether card number can be used by this user, line by line.
bool checkCard(int number, const hardware::PciCard &card, const UserAccess &user, CheckLines &lines)
{
    const QString name = tr("card %1").arg(number);
    if (!card.usable()) {
        lines.fail(tr("%1: %2 cannot be used: %3; choose its I/O BAR with --pci-id %4:<BAR> or in "
                      "the card set-up")
                       .arg(name, cardText(card), reports::translated(*card.unusable),
                            qs(hardware::formatPciIds(card.vendor, card.device))));
        return false;
    }
    lines.ok(tr("%1: %2, BAR %3, base %4")
                 .arg(name, cardText(card), QString::number(card.bar), hex4(card.start)));
    bool usable = true;
    switch (card.ioDecoding) {
    case hardware::IoDecoding::Enabled:
        lines.ok(tr("%1: I/O decoding is on").arg(name));
        break;
    case hardware::IoDecoding::Disabled:
        lines.fail(tr("%1: I/O decoding is off, so no port reaches it: load the card's driver, or "
                      "sudo setpci -s %2 COMMAND=0001:0001")
                       .arg(name, qs(card.address)));
        usable = false;
        break;
    case hardware::IoDecoding::Unknown:
        lines.ok(tr("%1: its I/O decoding cannot be read; the ports will tell").arg(name));
        break;
    }
    struct stat status
    { };
    const QString file = qs(card.resourceFile.string());
    if (::stat(card.resourceFile.c_str(), &status) != 0) {
        lines.fail(tr("%1: its region file %2 is missing").arg(name, file));
        return false;
    }
    const QString group = groupName(status.st_gid);
    const bool groupMay = group == QLatin1String(kCardGroup) && (status.st_mode & S_IRGRP)
        && (status.st_mode & S_IWGRP);
    if (groupMay)
        lines.ok(tr("%1: %2 is group %3, %4").arg(name, file, group, modeText(status.st_mode)));
    else
        lines.fail(
            tr("%1: %2 is group %3, %4, not open to group %5: the udev rule has not reached "
               "it; run the set-up again (sudo qm5083-bench --setup ...)")
                .arg(name, file, group, modeText(status.st_mode), QLatin1String(kCardGroup)));
    const QString userName = qs(user.name());
    if (user.mayOpen(card.resourceFile)) {
        lines.ok(tr("%1: %2 can open it").arg(name, userName));
    } else if (user.listedIn(kCardGroup) && !user.hasGroup(kCardGroup)) {
        lines.fail(tr("%1: %2 is in group %3 but has not logged in again since: log out and in")
                       .arg(name, userName, QLatin1String(kCardGroup)));
        usable = false;
    } else if (!user.listedIn(kCardGroup)) {
        lines.fail(tr("%1: %2 is not in group %3: sudo usermod -aG %3 %2, then log in again")
                       .arg(name, userName, QLatin1String(kCardGroup)));
        usable = false;
    } else {
        lines.fail(tr("%1: %2 cannot open it").arg(name, userName));
        usable = false;
    }
    return usable;
}

bool checkLockdown(const std::filesystem::path &lockdownFile, CheckLines &lines)
{
    std::ifstream in(lockdownFile);
    std::string state;
    if (!in || !std::getline(in, state)) {
        lines.ok(tr("kernel lockdown: this kernel has none"));
        return true;
    }
    const auto open = state.find('[');
    const auto close = state.find(']');
    const std::string mode = open != std::string::npos && close > open
        ? state.substr(open + 1, close - open - 1)
        : state;
    if (mode == "none") {
        lines.ok(tr("kernel lockdown: none"));
        return true;
    }
    lines.fail(tr("kernel lockdown is %1: port writes are refused; boot with Secure Boot off and "
                  "no lockdown= parameter")
                   .arg(qs(mode)));
    return false;
}

// The card set-up as --setup writes it: through its checked folder, the old one kept beside it.
// Throws reports::FileRefused before anything is written when either cannot be written safely.
// Returns whether it was written (false: it already named these cards).
bool writeCardsConfig(const QString &config, const QByteArray &text, bool &kept)
{
    const reports::FolderEntry file = reports::openSystemFolderOf(config);
    const reports::FolderEntry old = reports::sibling(file, file.name + ".old");
    kept = reports::regularOrNothing(file).has_value();
    const QByteArray current
        = kept ? reports::readWhole(file, qsizetype {64} * 1024) : QByteArray();
    if (kept && current == text)
        return false;
    if (kept) {
        try {
            reports::regularOrNothing(old); // a folder or a link there: nothing is written
            reports::replaceWhole(old, current, 0644, true);
        } catch (const reports::FileRefused &refused) {
            throw reports::FileRefused {
                tr("%1, where the old one would be kept: %2").arg(old.path, refused.why)};
        }
    }
    reports::replaceWhole(file, text, 0644, true);
    return true;
}

// Another device with a listed card's vendor and device ids but other subsystem ids: another
// board built on the same chip, which a line without subsystem ids names too.
QStringList sharedIdsWarnings(const std::vector<hardware::PciId> &ids,
                              const std::filesystem::path &sysfsRoot)
{
    std::vector<hardware::PciId> chips;
    for (const hardware::PciId &id : ids)
        if (std::none_of(chips.begin(), chips.end(), [&](const hardware::PciId &chip) {
                return chip.vendor == id.vendor && chip.device == id.device;
            }))
            chips.push_back({id.vendor, id.device, {}, {}});
    std::vector<hardware::PciCard> devices;
    try {
        devices = hardware::scanPciCards(chips, sysfsRoot);
    } catch (...) {
        return {};
    }
    QStringList warnings;
    for (const hardware::PciId &id : ids) {
        std::vector<const hardware::PciCard *> same;
        for (const hardware::PciCard &device : devices)
            if (device.vendor == id.vendor && device.device == id.device)
                same.push_back(&device);
        if (same.empty())
            continue;
        const hardware::SubsystemIds first = id.subsystem.value_or(same.front()->subsystem);
        for (const hardware::PciCard *device : same) {
            const hardware::DeviceIds deviceIds {device->vendor, device->device, device->subsystem};
            if (device->subsystem == first
                || std::any_of(ids.begin(), ids.end(), [&](const hardware::PciId &other) {
                       return other.subsystem && hardware::names(other, deviceIds);
                   }))
                continue; // the same board, or one another line names by its subsystem
            const QString ids = qs(hardware::formatPciIds(id.vendor, id.device));
            const QString subsystem
                = qs(hardware::formatPciIds(device->subsystem.vendor, device->subsystem.device));
            warnings << (id.subsystem
                             ? tr("%1 has the ids %2 but the subsystem ids %3, not %4: another "
                                  "board on the same chip; it is not listed and stays closed")
                                   .arg(qs(device->address), ids, subsystem,
                                        qs(hardware::formatPciIds(first.vendor, first.device)))
                             : tr("%1 has the ids %2 but the subsystem ids %3, not %4 as %5: "
                                  "another board on the same chip, which this line names too; "
                                  "name the card with %2/SSSS:TTTT (lspci -nnv -s ADDRESS shows "
                                  "them)")
                                   .arg(qs(device->address), ids, subsystem,
                                        qs(hardware::formatPciIds(first.vendor, first.device)),
                                        qs(same.front()->address)));
        }
    }
    return warnings;
}

} // namespace

const UserAccess &UserAccess::current()
{
    static const ProcessUser kUser;
    return kUser;
}

SystemSetup &SystemSetup::real()
{
    static RealSystem system;
    return system;
}

CardsNamed cardsNamed(const CommandLine &commandLine)
{
    const hardware::BackendOptions &backends = commandLine.backends;
    return {commandLine.mode == Mode::Setup ? commandLine.setupIds : backends.pciIds,
            commandLine.pciIdsGiven, backends.cardsConfig, commandLine.cardsConfigProblem,
            backends.sysfsRoot};
}

int runSetupCheck(const CardsNamed &named, const UserAccess &user,
                  const std::filesystem::path &lockdownFile, std::FILE *out, std::FILE *err)
{
    CheckLines lines {out};
    const QString config = qs(named.cardsConfig.string());
    const std::vector<hardware::PciId> &ids = named.ids;
    if (named.byPciId) {
        lines.ok(tr("cards named with --pci-id: %1").arg(idsText(ids)));
    } else if (named.cardsConfigProblem) {
        lines.fail(reports::translated(*named.cardsConfigProblem));
    } else if (!QFileInfo::exists(config)) {
        lines.fail(tr("no card set-up %1: run sudo qm5083-bench --setup VVVV:DDDD once, with the "
                      "ids lspci -nn shows for the card")
                       .arg(config));
    } else if (ids.empty()) {
        lines.fail(tr("the card set-up %1 names no card: run sudo qm5083-bench --setup VVVV:DDDD")
                       .arg(config));
    } else {
        lines.ok(tr("card set-up %1: %2").arg(config, idsText(ids)));
    }
    std::vector<hardware::PciCard> cards;
    try {
        cards = hardware::scanPciCards(ids, named.sysfsRoot);
    } catch (...) {
        printProblem(err,
                     tr("the set-up check cannot run: %1")
                         .arg(reports::failureSentence(std::current_exception())));
        return kCannotRun;
    }
    bool firstUsable = false;
    if (!ids.empty() && cards.empty())
        lines.fail(tr("no card %1 on the PCI bus: check with lspci -nn that the card is in the PC "
                      "and that these are its ids")
                       .arg(idsText(ids)));
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const bool usable = checkCard(static_cast<int>(i) + 1, cards[i], user, lines);
        if (i == 0)
            firstUsable = usable;
    }
    for (const QString &warning : sharedIdsWarnings(ids, named.sysfsRoot))
        lines.warn(warning);
    const bool lockdownFree = checkLockdown(lockdownFile, lines);
    return firstUsable && lockdownFree && !named.cardsConfigProblem ? kDone : kCheckFailed;
}

int runSetup(const CardsNamed &named, SystemSetup &system, std::FILE *out, std::FILE *err)
{
    const std::vector<hardware::PciId> &ids = named.ids;
    if (!system.isRoot()) {
        printProblem(err,
                     tr("--setup changes the system: run it with sudo, as sudo "
                        "qm5083-bench --setup %1")
                         .arg(idsText(ids).replace(QStringLiteral(", "), QStringLiteral(" "))));
        return kCannotRun;
    }
    // Every card that is here must be usable as named, before anything is written.
    std::vector<hardware::PciCard> cards;
    try {
        cards = hardware::scanPciCards(ids, named.sysfsRoot);
    } catch (...) {
        printProblem(err,
                     tr("nothing was set up: %1")
                         .arg(reports::failureSentence(std::current_exception())
                                  .replace(QStringLiteral("--pci-id"), QStringLiteral("--setup"))));
        return kCannotRun;
    }
    bool unusable = false;
    for (const hardware::PciCard &card : cards) {
        if (card.usable())
            continue;
        printProblem(
            err,
            tr("nothing was set up: %1 cannot be used: %2; name its I/O BAR, as "
               "VVVV:DDDD:BAR (lspci -vv -s %3 lists its regions; I/O BARs show \"I/O "
               "ports\")")
                .arg(cardText(card), reports::translated(*card.unusable), qs(card.address)));
        unusable = true;
    }
    if (unusable)
        return kCannotRun;

    const QString config = qs(named.cardsConfig.string());
    const QByteArray text = QByteArray::fromStdString(hardware::cardsConfigText(ids));
    try {
        bool kept = false;
        if (!writeCardsConfig(config, text, kept))
            print(out, tr("The card set-up %1 already names %2.").arg(config, idsText(ids)));
        else
            print(
                out,
                kept ? tr("Wrote %1: %2 (the old one is kept as %1.old).").arg(config, idsText(ids))
                     : tr("Wrote %1: %2.").arg(config, idsText(ids)));
    } catch (const reports::FileRefused &refused) {
        printProblem(err,
                     tr("the card set-up %1 was not written: %2; nothing was set up")
                         .arg(config, refused.why));
        return kCannotRun;
    }
    // A step that fails is said at once and the others still run; the exit status tells a script.
    bool complete = true;
    const std::string group = kCardGroup;
    if (system.groupExists(group)) {
        print(out, tr("Group %1 exists.").arg(qs(group)));
    } else if (system.createGroup(group)) {
        print(out, tr("Created group %1.").arg(qs(group)));
    } else {
        printProblem(err, tr("group %1 could not be created (groupadd failed)").arg(qs(group)));
        complete = false;
    }
    const std::optional<std::string> user = system.sudoUser();
    bool addedUser = false;
    if (!user) {
        print(out,
              tr("No user to add: run the set-up with sudo from the technician's account, or "
                 "add each user with sudo usermod -aG %1 USER.")
                  .arg(qs(group)));
    } else if (system.userInGroup(*user, group)) {
        print(out, tr("%1 is in group %2.").arg(qs(*user), qs(group)));
    } else if (system.addUserToGroup(*user, group)) {
        print(out, tr("Added %1 to group %2.").arg(qs(*user), qs(group)));
        addedUser = true;
    } else {
        printProblem(
            err,
            tr("%1 could not be added to group %2 (usermod failed)").arg(qs(*user), qs(group)));
        complete = false;
    }
    if (system.applyUdevRules()) {
        print(out,
              tr("Reloaded the udev rules and applied them to every PCI device: the cards listed "
                 "are open to group %1, and no other device is.")
                  .arg(qs(group)));
    } else {
        print(out,
              tr("The udev rules could not all be applied (udevadm failed): the cards' files open "
                 "to group %1 once the PC starts again.")
                  .arg(qs(group)));
        complete = false;
    }
    if (cards.empty())
        print(out, tr("No card %1 is in this PC now.").arg(idsText(ids)));
    for (std::size_t i = 0; i < cards.size(); ++i)
        print(out,
              tr("Card %1: %2, BAR %3, base %4.")
                  .arg(QString::number(i + 1), cardText(cards[i]), QString::number(cards[i].bar),
                       hex4(cards[i].start)));
    for (const QString &warning : sharedIdsWarnings(ids, named.sysfsRoot))
        print(out, tr("Note: %1.").arg(warning));
    if (cards.empty())
        print(out,
              tr("Next: put the card in the PC (lspci -nn shows it with these ids); "
                 "qm5083-bench --check-setup then tells whether all is ready."));
    else if (addedUser)
        print(out,
              tr("Next: %1 logs out and in again, then starts qm5083-bench from the menu; "
                 "qm5083-bench --check-setup tells whether all is ready.")
                  .arg(qs(*user)));
    else
        print(out,
              tr("Next: start qm5083-bench from the menu; qm5083-bench --check-setup tells "
                 "whether all is ready."));
    return complete ? kDone : kCheckFailed;
}

} // namespace qm5083::commands
