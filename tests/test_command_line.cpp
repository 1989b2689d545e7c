#include "command_line.h"
#include "support/row_name.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <optional>
#include <vector>

using namespace qm5083;
using commands::CommandLine;

namespace {

struct CommandLineRow
{
    const char *name;
    QStringList arguments; // after the program's name
    std::optional<int> exitCode;
    std::string errors;
    bool simulate = false;
    bool trace = false;
    std::vector<hardware::PciId> pciIds = {};
    int simulatedCards = 1;
};

void PrintTo(const CommandLineRow &row, std::ostream *os)
{
    *os << row.name;
}

class CommandLineOutcome : public ::testing::TestWithParam<CommandLineRow>
{ };

TEST_P(CommandLineOutcome, ExitCodeMessageAndOptions)
{
    const CommandLineRow &row = GetParam();
    // Card set-ups to read: @DIR@ in a row stands for their directory.
    QTemporaryDir dir;
    std::ofstream(dir.filePath("good.conf").toStdString())
        << "# the bench's cards\n1234:5678\r\n\n  abcd:0001:2  # the spare\n"; // a DOS line too
    std::ofstream(dir.filePath("bad.conf").toStdString()) << "1234:5678\n1234:567\n";
    // One the group may change, as the udev helper would not trust it either.
    std::ofstream(dir.filePath("shared.conf").toStdString()) << "1234:5678\n";
    std::filesystem::permissions(dir.filePath("shared.conf").toStdString(),
                                 std::filesystem::perms::group_write,
                                 std::filesystem::perm_options::add);
    QStringList arguments {QStringLiteral("qm5083-bench")};
    for (const QString &argument : row.arguments)
        arguments << QString(argument).replace(QStringLiteral("@DIR@"), dir.path());
    const CommandLine parsed = commands::parseCommandLine(arguments);
    EXPECT_EQ(parsed.exitCode, row.exitCode);
    EXPECT_EQ(QString::fromStdString(row.errors).replace("@DIR@", dir.path()), parsed.errors);
    EXPECT_TRUE(parsed.output.isEmpty());
    EXPECT_EQ(parsed.backends.simulate, row.simulate);
    EXPECT_EQ(parsed.backends.trace, row.trace);
    EXPECT_EQ(parsed.backends.pciIds, row.pciIds);
    EXPECT_EQ(parsed.backends.simulatedCards, row.simulatedCards);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CommandLineOutcome,
    ::testing::Values(
        CommandLineRow {"SimulatedCard", {"--simulate"}, std::nullopt, "", true},
        CommandLineRow {
            "SimulatedCardTraced", {"--simulate", "--trace"}, std::nullopt, "", true, true},
        CommandLineRow {"TwoKindsOfRealCard",
                        {"--pci-id", "1234:5678", "--pci-id", "abcd:ef01:5"},
                        std::nullopt,
                        "",
                        false,
                        false,
                        {{0x1234, 0x5678, {}}, {0xABCD, 0xEF01, 5}}},
        CommandLineRow {"PciIdWithSimulateIsIgnoredAloud",
                        {"--simulate", "--pci-id", "1234:5678"},
                        std::nullopt,
                        "qm5083-bench: --pci-id is ignored with --simulate\n",
                        true,
                        false,
                        {{0x1234, 0x5678, {}}}},
        CommandLineRow {
            "BadPciIdEndsTheProgram",
            {"--pci-id", "zz"},
            2,
            "qm5083-bench: --pci-id \"zz\" is not VVVV:DDDD[:BAR][/SSSS:TTTT] (vendor and devic"
            "e id, four hex digits each as lspci -nn shows them, BAR 0 to 5, and the subsyste"
            "m's ids as lspci -nnv shows them)"
            "\n"},
        CommandLineRow {
            "OneBadPciIdAmongGoodOnes",
            {"--pci-id", "1234:5678", "--pci-id", "1234:5678:6"},
            2,
            "qm5083-bench: --pci-id \"1234:5678:6\" is not VVVV:DDDD[:BAR][/SSSS:TTTT] (vendor "
            "and device id, four hex digits each as lspci -nn shows them, BAR 0 to 5, and the"
            " subsystem's ids as lspci -nnv shows them)"
            "\n",
            false,
            false,
            {{0x1234, 0x5678, {}}}},
        // A command's arguments are strict: each refusal names the argument, and the command
        // never runs.
        CommandLineRow {"OutByteBeyondFF",
                        {"--simulate", "out", "100", "0", "0", "0"},
                        2,
                        "qm5083-bench: out: B1 \"100\" is not a byte: 00 to FF in hexadecimal\n",
                        true},
        CommandLineRow {"OutByteWithALetter",
                        {"--simulate", "out", "00", "1G", "0", "0"},
                        2,
                        "qm5083-bench: out: B2 \"1G\" is not a byte: 00 to FF in hexadecimal\n",
                        true},
        CommandLineRow {"DaCodeBeyondFFF",
                        {"--simulate", "da", "0", "0", "0", "1000"},
                        2,
                        "qm5083-bench: da: C3 \"1000\" is not a DA code: 0 to FFF in hexadecimal\n",
                        true},
        CommandLineRow {"ClockDividerOfOne",
                        {"--simulate", "clock", "1", "10"},
                        2,
                        "qm5083-bench: clock: K \"1\" is not a divider: 2 to 65536 in decimal\n",
                        true},
        CommandLineRow {
            "ClockDividerBeyond65536",
            {"--simulate", "clock", "65537", "10"},
            2,
            "qm5083-bench: clock: K \"65537\" is not a divider: 2 to 65536 in decimal\n",
            true},
        // 5:1 and 400 zeros overflows a double: refused as too large, never read as 5:0.
        CommandLineRow {
            "RangeTooLarge",
            {"--simulate", "da-check", "--channel", "0", "--range", "5:1" + QString(400, '0')},
            2,
            "qm5083-bench: da-check: --range \"5:1" + std::string(37, '0')
                + "…\" is too large: at most 32 characters and a number of volts a "
                  "meter shows\n",
            true},
        CommandLineRow {"MissingArgument",
                        {"--simulate", "out", "0", "0", "0"},
                        2,
                        "qm5083-bench: out: B4 is missing; give B1 B2 B3 B4\n",
                        true},
        CommandLineRow {"ExtraArgument",
                        {"--simulate", "clock", "1000", "10", "5"},
                        2,
                        "qm5083-bench: clock: \"5\" is one argument too many\n",
                        true},
        CommandLineRow {"UnknownCommand",
                        {"--simulate", "blink"},
                        2,
                        "qm5083-bench: \"blink\" is not a command; the commands are cards, out, "
                        "in, clock, da, da-check, meters, batch, self-test, results\n",
                        true},
        // Without --pci-id the card set-up names the cards; --pci-id overrides it.
        CommandLineRow {"IdsFromTheCardSetUp",
                        {"--config", "@DIR@/good.conf", "in"},
                        std::nullopt,
                        "",
                        false,
                        false,
                        {{0x1234, 0x5678, {}}, {0xABCD, 0x0001, 2}}},
        CommandLineRow {
            "MalformedLineInTheCardSetUp",
            {"--config", "@DIR@/bad.conf", "in"},
            2,
            "qm5083-bench: @DIR@/bad.conf, line 2: \"1234:567\" is not VVVV:DDDD[:BAR][/SSSS:TT"
            "TT] (vendor and device id, four hex digits each as lspci -nn shows them, BAR 0 t"
            "o 5, and the subsystem's ids as lspci -nnv shows them); correct it, or set the c"
            "ards up again with sudo qm5083-bench --setup"
            "\n"},
        CommandLineRow {"CardSetUpTheGroupMayChange",
                        {"--config", "@DIR@/shared.conf", "cards"},
                        2,
                        "qm5083-bench: the card set-up @DIR@/shared.conf is not used: group or "
                        "others may change it (mode 0664); the udev helper gives the group no "
                        "card from it either. Make it and its folder root's and writable by root "
                        "alone (sudo chown root: FILE; sudo chmod go-w FILE), or set the cards up "
                        "again with sudo qm5083-bench --setup\n"},
        CommandLineRow {"PciIdOverridesTheCardSetUp",
                        {"--config", "@DIR@/bad.conf", "--pci-id", "1234:5678", "in"},
                        std::nullopt,
                        "",
                        false,
                        false,
                        {{0x1234, 0x5678, {}}}},
        CommandLineRow {"StrayArgument",
                        {"--self-test", "extra"},
                        2,
                        "qm5083-bench: \"extra\" follows --self-test, which takes no command\n"},
        // A station's texts, under the one rule the DA check and the window hold them to: at the
        // limit in bytes (in Chinese, 66 characters), over it, on two lines, with a tab, a C1.
        CommandLineRow {"SerialAtItsLimit", {"--self-test", "--serial", QString(200, 'x')}, {}, ""},
        CommandLineRow {"SerialOverItsLimit",
                        {"--self-test", "--serial", QString(201, 'x')},
                        2,
                        "qm5083-bench: --serial \"" + std::string(40, 'x')
                            + "…\" is not a text of at most 200 bytes of UTF-8 on one line, with "
                              "no control character\n"},
        CommandLineRow {"ChineseSerialAtItsLimit",
                        {"--self-test", "--serial", QString(66, QChar(0x5408))},
                        {},
                        ""},
        CommandLineRow {"ChineseSerialOverItsLimit",
                        {"--self-test", "--serial", QString(67, QChar(0x5408))},
                        2,
                        "qm5083-bench: --serial \"" + QString(40, QChar(0x5408)).toStdString()
                            + "…\" is not a text of at most 200 bytes of UTF-8 on one line, with "
                              "no control character\n"},
        CommandLineRow {"OperatorOnTwoLines",
                        {"--self-test", "--operator", "Li\nWei"},
                        2,
                        "qm5083-bench: --operator \"Li\\nWei\" is not a text of at most 200 bytes "
                        "of UTF-8 on one line, with no control character\n"},
        CommandLineRow {"StationWithATab",
                        {"--self-test", "--station", "3\t4"},
                        2,
                        "qm5083-bench: --station \"3\\t4\" is not a text of at most 200 bytes of "
                        "UTF-8 on one line, with no control character\n"},
        CommandLineRow {"DaCheckStationWithAC1Control",
                        {"--simulate", "da-check", "--channel", "0", "--range", "0:10", "--station",
                         "3\u00854"},
                        2,
                        "qm5083-bench: da-check: --station \"3\\u00854\" is not a text of at most "
                        "200 bytes of UTF-8 on one line, with no control character\n",
                        true},
        CommandLineRow {"CardTwice",
                        {"--self-test", "--card", "1", "--card", "2"},
                        2,
                        "qm5083-bench: --card is given 2 times; give it once\n"},
        CommandLineRow {"ContradictingFaults",
                        {"--simulate", "--sim-fault", "stuck:1.0=1", "--sim-fault", "stuck:1.0=0",
                         "--self-test"},
                        2,
                        "qm5083-bench: --sim-fault \"stuck:1.0=0\" contradicts \"stuck:1.0=1\": "
                        "give one value for one place\n",
                        true},
        // The word after --simulate is the number of cards when it is a number of 1 to 8 digits.
        CommandLineRow {"ThreeSimulatedCards",
                        {"--simulate", "3", "--card", "3", "out", "1", "2", "3", "4"},
                        std::nullopt,
                        "",
                        true,
                        false,
                        {},
                        3},
        CommandLineRow {"EightSimulatedCardsInEightDigits",
                        {"--simulate", "00000008"},
                        std::nullopt,
                        "",
                        true,
                        false,
                        {},
                        8},
        CommandLineRow {"NineSimulatedCards",
                        {"--simulate", "9", "in"},
                        2,
                        "qm5083-bench: --simulate 9: give the number of simulated cards, 1 to 8\n",
                        true},
        CommandLineRow {"NoSimulatedCard",
                        {"--simulate", "0"},
                        2,
                        "qm5083-bench: --simulate 0: give the number of simulated cards, 1 to 8\n",
                        true},
        CommandLineRow {"NineDigitsAreNoNumberOfCards",
                        {"--simulate", "000000001"},
                        2,
                        "qm5083-bench: \"000000001\" is not a command; the commands are cards, "
                        "out, in, clock, da, da-check, meters, batch, self-test, results\n",
                        true},
        CommandLineRow {"FaultOnACardNotSimulated",
                        {"--simulate", "2", "--sim-fault", "3/stuck:1.0=1", "--self-test"},
                        2,
                        "qm5083-bench: --sim-fault \"3/stuck:1.0=1\" is on simulated card 3, "
                        "which is not simulated: give --simulate 3 or more\n",
                        true,
                        false,
                        {},
                        2},
        CommandLineRow {"SimResetWithACommand",
                        {"--simulate", "--sim-reset", "in"},
                        2,
                        "qm5083-bench: --sim-reset is given on its own (with --simulate at most)\n",
                        true},
        CommandLineRow {"BitBridgedToItself",
                        {"--simulate", "--sim-fault", "short:1.0-1.0", "--self-test"},
                        2,
                        "qm5083-bench: --sim-fault \"short:1.0-1.0\" bridges input bit 1.0 to "
                        "itself; name two different bits\n",
                        true},
        CommandLineRow {
            "ThreeDigitDeviceId",
            {"--pci-id", "1234:567"},
            2,
            "qm5083-bench: --pci-id \"1234:567\" is not VVVV:DDDD[:BAR][/SSSS:TTTT] (vendor and"
            " device id, four hex digits each as lspci -nn shows them, BAR 0 to 5, and the su"
            "bsystem's ids as lspci -nnv shows them)"
            "\n"},
        CommandLineRow {"CardZero",
                        {"--self-test", "--card", "0"},
                        2,
                        "qm5083-bench: --card \"0\" is not a card number from 1 to 32767\n"},
        CommandLineRow {"UnknownOption",
                        {"--simulat"},
                        2,
                        "qm5083-bench: Unknown option 'simulat'.\nTry 'qm5083-bench --help'.\n"},
        CommandLineRow {"PciIdWithoutItsValue",
                        {"--pci-id"},
                        2,
                        "qm5083-bench: Missing value after '--pci-id'.\nTry 'qm5083-bench "
                        "--help'.\n"}),
    qm5083::testing::RowName {});

TEST(CommandLine, HelpAndVersionAnswerOnStandardOutput)
{
    const CommandLine help = commands::parseCommandLine({"qm5083-bench", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.startsWith("Usage: qm5083-bench [options] [command [arguments]]\n"))
        << help.output.toStdString();
    EXPECT_TRUE(help.output.contains("--pci-id <VVVV:DDDD[:BAR][/SSSS:TTTT]>"));
    EXPECT_TRUE(help.output.contains("A real card's ids come from --pci-id or from the card "
                                     "set-up that sudo qm5083-bench --setup writes once"));
    // The commands' table after the options, each command's line whole.
    EXPECT_TRUE(help.output.contains(
        "\n  out B1 B2 B3 B4       write output groups 1 to 4 (hex 00 to FF)\n"));
    const CommandLine version = commands::parseCommandLine({"qm5083-bench", "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, "qm5083-bench 0.1.0\n");
}

// Reading --sim-reset leaves the kept state alone (the window's start reads its command line
// once more); doing it removes the state and says where it was.
TEST(CommandLine, SimResetIsDoneByTheProgramNotByReadingIt)
{
    const std::string folder = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/qm5083-bench";
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    std::ofstream(folder + "/card1.state") << "kept";
    CommandLine reset = commands::parseCommandLine({"qm5083-bench", "--simulate", "--sim-reset"});
    EXPECT_TRUE(reset.resetsSimulatedCards);
    EXPECT_FALSE(reset.exitCode);
    EXPECT_TRUE(std::filesystem::exists(folder + "/card1.state"));
    commands::resetSimulatedCards(reset);
    EXPECT_EQ(reset.exitCode, 0) << reset.errors.toStdString();
    EXPECT_FALSE(std::filesystem::exists(folder + "/card1.state"));
    EXPECT_EQ(reset.output.toStdString(),
              "The simulated cards start afresh: what they kept in " + folder + " is gone.\n");
}

} // namespace

namespace {

// Every range an argument has, with a row just inside and just outside each end: accepted, or
// refused with exit status 2 before anything runs.
struct RangeRow
{
    const char *name;
    QStringList arguments; // after --simulate
    bool accepted;
};

void PrintTo(const RangeRow &row, std::ostream *os)
{
    *os << row.name;
}

class ArgumentRange : public ::testing::TestWithParam<RangeRow>
{ };

TEST_P(ArgumentRange, IsAcceptedInsideAndRefusedOutside)
{
    const CommandLine parsed = commands::parseCommandLine(QStringList {"qm5083-bench", "--simulate"}
                                                          + GetParam().arguments);
    EXPECT_EQ(parsed.exitCode, GetParam().accepted ? std::nullopt : std::optional(2))
        << parsed.errors.toStdString();
    EXPECT_EQ(parsed.refusals.isEmpty(), GetParam().accepted);
}

const QString kVolts32 = "1" + QString(31, '0'); // the longest number of volts taken
const QString kVolts33 = kVolts32 + "0";
// A libsigrok meter named in exactly the 1024 bytes taken after "sigrok:".
const QString kSigrok1024 = "sigrok:scpi-dmm:conn=" + QString(1024 - 14, 'a');
const QStringList kCheck {"da-check", "--channel", "0", "--range", "0:10"};

INSTANTIATE_TEST_SUITE_P(
    Rows, ArgumentRange,
    ::testing::Values(
        RangeRow {"ByteLowest", {"out", "00", "0", "0", "0"}, true},
        RangeRow {"ByteBelow", {"out", "-1", "0", "0", "0"}, false},
        RangeRow {"ByteHighest", {"out", "0", "0", "0", "FF"}, true},
        RangeRow {"ByteAbove", {"out", "0", "0", "0", "100"}, false},
        RangeRow {"ExpectedByteHighest", {"in", "--expect", "FF", "0", "0", "0"}, true},
        RangeRow {"ExpectedByteAbove", {"in", "--expect", "100", "0", "0", "0"}, false},
        RangeRow {"BaseDividerLowest", {"clock", "2", "10"}, true},
        RangeRow {"BaseDividerBelow", {"clock", "1", "10"}, false},
        RangeRow {"BaseDividerHighest", {"clock", "65536", "10"}, true},
        RangeRow {"BaseDividerAbove", {"clock", "65537", "10"}, false},
        RangeRow {"OutputDividerLowest", {"clock", "1000", "2"}, true},
        RangeRow {"OutputDividerBelow", {"clock", "1000", "1"}, false},
        RangeRow {"OutputDividerHighest", {"clock", "1000", "65536"}, true},
        RangeRow {"OutputDividerAbove", {"clock", "1000", "65537"}, false},
        RangeRow {"DividerBeyondAnUnsigned", {"clock", "1000", "4294967298"}, false},
        RangeRow {"DaCodeLowest", {"da", "0", "0", "0", "0"}, true},
        RangeRow {"DaCodeBelow", {"da", "-1", "0", "0", "0"}, false},
        RangeRow {"DaCodeHighest", {"da", "0", "0", "0", "FFF"}, true},
        RangeRow {"DaCodeAbove", {"da", "0", "0", "0", "1000"}, false},
        RangeRow {"DaCodeOfFourDigits", {"da", "000F", "0", "0", "0"}, false},
        RangeRow {"ChannelLowest", {"da-check", "--channel", "0", "--range", "0:10"}, true},
        RangeRow {"ChannelBelow", {"da-check", "--channel", "-1", "--range", "0:10"}, false},
        RangeRow {"ChannelHighest", {"da-check", "--channel", "3", "--range", "0:10"}, true},
        RangeRow {"ChannelAbove", {"da-check", "--channel", "4", "--range", "0:10"}, false},
        RangeRow {"ChannelBeyondAnUnsigned",
                  {"da-check", "--channel", "18446744073709551616", "--range", "0:10"},
                  false},
        RangeRow {"PointsLowest", kCheck + QStringList {"--points", "2"}, true},
        RangeRow {"PointsBelow", kCheck + QStringList {"--points", "1"}, false},
        RangeRow {"PointsHighest", kCheck + QStringList {"--points", "4096"}, true},
        RangeRow {"PointsAbove", kCheck + QStringList {"--points", "4097"}, false},
        RangeRow {"LimitSmall", kCheck + QStringList {"--limit", "0.001"}, true},
        RangeRow {"LimitZero", kCheck + QStringList {"--limit", "0"}, false},
        RangeRow {"LimitLongest", kCheck + QStringList {"--limit", kVolts32}, true},
        RangeRow {"LimitTooLong", kCheck + QStringList {"--limit", kVolts33}, false},
        RangeRow {"LimitsByFigure", kCheck + QStringList {"--limit", "offset=2,dnl=0.5"}, true},
        RangeRow {"LimitOfNoFigure", kCheck + QStringList {"--limit", "offset=2,noise=1"}, false},
        RangeRow {"LimitByFigureZero", kCheck + QStringList {"--limit", "inl=0"}, false},
        RangeRow {"AverageLowest", kCheck + QStringList {"--average", "1"}, true},
        RangeRow {"AverageBelow", kCheck + QStringList {"--average", "0"}, false},
        RangeRow {"AverageHighest", kCheck + QStringList {"--average", "100"}, true},
        RangeRow {"AverageAbove", kCheck + QStringList {"--average", "101"}, false},
        RangeRow {"SettleLongest", kCheck + QStringList {"--settle", "60000"}, true},
        RangeRow {"SettleTooLong", kCheck + QStringList {"--settle", "60001"}, false},
        RangeRow {"MeterTimeoutShortest", kCheck + QStringList {"--meter-timeout", "1"}, true},
        RangeRow {"MeterTimeoutZero", kCheck + QStringList {"--meter-timeout", "0"}, false},
        RangeRow {"MeterTimeoutLongest", kCheck + QStringList {"--meter-timeout", "600"}, true},
        RangeRow {"MeterTimeoutTooLong", kCheck + QStringList {"--meter-timeout", "601"}, false},
        RangeRow {"SigrokMeterLongest", kCheck + QStringList {"--meter", kSigrok1024}, true},
        RangeRow {"SigrokMeterTooLong", kCheck + QStringList {"--meter", kSigrok1024 + "x"}, false},
        RangeRow {"SigrokMeterWithOptions",
                  kCheck + QStringList {"--meter", "sigrok:scpi-dmm:conn=tcp-raw/h/5025:x=1"},
                  true},
        RangeRow {"SigrokMeterOptionWithoutValue",
                  kCheck + QStringList {"--meter", "sigrok:scpi-dmm:conn"}, false},
        RangeRow {"SigrokMeterOptionGivenTwice",
                  kCheck + QStringList {"--meter", "sigrok:fluke-dmm:conn=a:conn=b"}, false},
        RangeRow {"SigrokMeterWithoutDriver", kCheck + QStringList {"--meter", "sigrok::conn=a"},
                  false},
        RangeRow {"SigrokMeterWithAControl",
                  kCheck
                      + QStringList {"--meter",
                                     "sigrok:fluke-dmm:conn=a\x1B"
                                     "b"},
                  false},
        RangeRow {"CodeListHighest", kCheck + QStringList {"--codes", "0,7FE,FFF"}, true},
        RangeRow {"CodeListAbove", kCheck + QStringList {"--codes", "0,1000"}, false},
        RangeRow {"PointsAndCodes", kCheck + QStringList {"--points", "3", "--all"}, false},
        RangeRow {"RangeLongest", {"da-check", "--channel", "0", "--range", "0:" + kVolts32}, true},
        RangeRow {
            "RangeTooLong", {"da-check", "--channel", "0", "--range", "0:" + kVolts33}, false},
        RangeRow {"RangeOfNoWidth", {"da-check", "--channel", "0", "--range", "10:10"}, false},
        RangeRow {"CardLowest", {"--card", "1", "in"}, true},
        RangeRow {"CardBelow", {"--card", "0", "in"}, false},
        RangeRow {"CardHighest", {"--card", "32767", "in"}, true},
        RangeRow {"CardAbove", {"--card", "32768", "in"}, false}),
    qm5083::testing::RowName {});

// An argument refused is quoted by its first 40 characters, however long it is.
TEST(RefusedArguments, AreQuotedShort)
{
    for (const char *option : {"--sim-fault", "--card", "--skip"}) {
        const CommandLine parsed = commands::parseCommandLine(
            {"qm5083-bench", "--simulate", option, QString(100000, 'x'), "--self-test"});
        EXPECT_EQ(parsed.exitCode, 2) << option;
        EXPECT_TRUE(parsed.errors.contains("\"" + QString(40, 'x') + "…\"")) << option;
        EXPECT_LT(parsed.errors.size(), 1000) << option;
    }
}

} // namespace
