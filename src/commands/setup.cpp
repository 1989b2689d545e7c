#include "setup.h"

#include "error_report.h"
#include "output_text.h"
#include "pci_bus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

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
        std::vector<gid_t> groups(static_cast<std::size_t>(::getgroups(0, nullptr)));
        ::getgroups(static_cast<int>(groups.size()), groups.data());
        return std::find(groups.begin(), groups.end(), entry->gr_gid) != groups.end();
    }
};

class RealSystem final : public SystemSetup
{
public:
    bool isRoot() const override { return ::geteuid() == 0; }
    std::optional<std::string> sudoUser() const override
    {
        const char *user = std::getenv("SUDO_USER");
        if (!user || !*user || std::string(user) == "root")
            return std::nullopt;
        return user;
    }
    bool groupExists(const std::string &group) const override
    {
        return ::getgrnam(group.c_str()) != nullptr;
    }
    bool createGroup(const std::string &group) override
    {
        return run("groupadd", {QStringLiteral("--system"), qs(group)});
    }
    bool userInGroup(const std::string &user, const std::string &group) const override
    {
        return accountInGroup(::getpwnam(user.c_str()), group);
    }
    bool addUserToGroup(const std::string &user, const std::string &group) override
    {
        return run("usermod",
                   {QStringLiteral("--append"), QStringLiteral("--groups"), qs(group), qs(user)});
    }
    bool applyUdevRules(const std::vector<hardware::PciId> &ids) override
    {
        bool done = run("udevadm", {QStringLiteral("control"), QStringLiteral("--reload-rules")});
        for (const hardware::PciId &id : ids)
            done = run("udevadm",
                       {QStringLiteral("trigger"), QStringLiteral("--action=add"),
                        QStringLiteral("--subsystem-match=pci"),
                        QStringLiteral("--attr-match=vendor=0x%1")
                            .arg(id.vendor, 4, 16, QLatin1Char('0')),
                        QStringLiteral("--attr-match=device=0x%1")
                            .arg(id.device, 4, 16, QLatin1Char('0'))})
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
        lines.fail(tr("%1: %2 (%3) cannot be used: %4; choose its I/O BAR with --pci-id %3:<BAR> "
                      "or in the card set-up")
                       .arg(name, qs(card.address),
                            qs(hardware::formatPciIds(card.vendor, card.device)),
                            reports::translated(*card.unusable)));
        return false;
    }
    lines.ok(tr("%1: %2 (%3), BAR %4, base %5")
                 .arg(name, qs(card.address), qs(hardware::formatPciIds(card.vendor, card.device)))
                 .arg(card.bar)
                 .arg(hex4(card.start)));
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

int runSetupCheck(const CommandLine &commandLine, const UserAccess &user,
                  const std::filesystem::path &lockdownFile, std::FILE *out, std::FILE *err)
{
    CheckLines lines {out};
    const hardware::BackendOptions &backends = commandLine.backends;
    const QString config = qs(backends.cardsConfig.string());
    std::vector<hardware::PciId> ids = backends.pciIds;
    if (commandLine.pciIdsGiven) {
        lines.ok(tr("cards named with --pci-id: %1").arg(idsText(ids)));
    } else if (commandLine.cardsConfigProblem) {
        lines.fail(reports::translated(*commandLine.cardsConfigProblem));
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
        cards = hardware::scanPciCards(ids, backends.sysfsRoot);
    } catch (...) {
        printProblem(err,
                     tr("the set-up check cannot run: %1")
                         .arg(reports::failureSentence(std::current_exception())));
        return 2;
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
    const bool lockdownFree = checkLockdown(lockdownFile, lines);
    return firstUsable && lockdownFree && !commandLine.cardsConfigProblem ? 0 : 1;
}

int runSetup(const CommandLine &commandLine, SystemSetup &system, std::FILE *out, std::FILE *err)
{
    const std::vector<hardware::PciId> &ids = commandLine.setupIds;
    if (!system.isRoot()) {
        printProblem(err,
                     tr("--setup changes the system: run it with sudo, as sudo "
                        "qm5083-bench --setup %1")
                         .arg(idsText(ids).replace(QStringLiteral(", "), QStringLiteral(" "))));
        return 2;
    }
    const QString config = qs(commandLine.backends.cardsConfig.string());
    const QByteArray text = QByteArray::fromStdString(hardware::cardsConfigText(ids));
    QFile current(config);
    const bool exists = current.exists();
    const bool same = exists && current.open(QIODevice::ReadOnly) && current.readAll() == text;
    current.close();
    if (same) {
        print(out, tr("The card set-up %1 already names %2.").arg(config, idsText(ids)));
    } else {
        QDir().mkpath(QFileInfo(config).absolutePath());
        if (exists) {
            QFile::remove(config + QStringLiteral(".old"));
            QFile::copy(config, config + QStringLiteral(".old"));
        }
        QSaveFile save(config);
        if (!save.open(QIODevice::WriteOnly) || save.write(text) < 0 || !save.commit()) {
            printProblem(
                err,
                tr("the card set-up %1 cannot be written: %2").arg(config, save.errorString()));
            return 2;
        }
        QFile::setPermissions(config,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                  | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        print(out,
              exists ? tr("Wrote %1: %2 (the old one is kept as %1.old).").arg(config, idsText(ids))
                     : tr("Wrote %1: %2.").arg(config, idsText(ids)));
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
    if (system.applyUdevRules(ids)) {
        print(out, tr("Reloaded the udev rules and applied them to the cards present."));
    } else {
        print(out,
              tr("The udev rules could not all be applied (udevadm failed): the cards' files open "
                 "to group %1 once the PC starts again.")
                  .arg(qs(group)));
        complete = false;
    }
    std::vector<hardware::PciCard> cards;
    try {
        cards = hardware::scanPciCards(ids, commandLine.backends.sysfsRoot);
    } catch (...) {
        printProblem(err, reports::failureSentence(std::current_exception()));
    }
    if (cards.empty())
        print(out, tr("No card %1 is in this PC now.").arg(idsText(ids)));
    for (std::size_t i = 0; i < cards.size(); ++i)
        print(out,
              cards[i].usable()
                  ? tr("Card %1: %2, BAR %3, base %4.")
                        .arg(i + 1)
                        .arg(qs(cards[i].address))
                        .arg(cards[i].bar)
                        .arg(hex4(cards[i].start))
                  : tr("Card %1: %2, which cannot be used: %3.")
                        .arg(i + 1)
                        .arg(qs(cards[i].address), reports::translated(*cards[i].unusable)));
    print(out,
          addedUser ? tr("Next: %1 logs out and in again, then starts qm5083-bench from the "
                         "menu; qm5083-bench --check-setup tells whether all is ready.")
                          .arg(qs(*user))
                    : tr("Next: start qm5083-bench from the menu; qm5083-bench --check-setup "
                         "tells whether all is ready."));
    return complete ? 0 : 1;
}

} // namespace qm5083::commands
