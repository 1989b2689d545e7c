// The commands for scripts: their register accesses against the window's for the same values,
// and whole runs with their exit statuses and answers, on the simulated card.

#include "card_commands.h"
#include "command_line.h"
#include "da_check.h"
#include "each_kind.h"
#include "panel_harness.h"
#include "script_runner.h"
#include "simulated_card.h"
#include "support/captured_output.h"
#include "support/clock_protocol.h"
#include "support/row_name.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

using namespace qm5083;
using namespace qm5083::testing;

namespace {

// A command and the window's operation for the same values: the same accesses, these.
struct AccessRow
{
    const char *name;
    std::vector<std::string> words;
    panels::Operation operation;
    std::vector<std::pair<const char *, const char *>> typed; // into the window's boxes
    std::vector<Access> accesses;
};

void PrintTo(const AccessRow &row, std::ostream *os)
{
    *os << row.name;
}

class CommandAccesses : public ::testing::TestWithParam<AccessRow>
{ };

std::vector<Access> daWrites(std::array<std::pair<int, int>, 4> bytes)
{
    std::vector<Access> writes;
    for (const auto &[low, high] : bytes)
        writes.insert(writes.end(),
                      {out(0xE008, static_cast<std::int16_t>(low)),
                       out(0xE009, static_cast<std::int16_t>(high)), out(0xE00A, 0)});
    return writes;
}

TEST_P(CommandAccesses, AreTheWindowsForTheSameValues)
{
    RecordingPort port; // reads FF, as the window's harness does
    protocol::CardRegisters registers(port, 0xE000);
    const scripting::ScriptCommand command = scripting::parseCommand(GetParam().words);
    std::visit(
        EachKind {
            [&](const scripting::OutCommand &c) { scripting::writeOutputs(registers, c.bytes); },
            [&](const scripting::InCommand &c) { scripting::readInputs(registers, c.expect); },
            [&](const scripting::ClockCommand &c) { scripting::startClocks(registers, c.k, c.n); },
            [&](const scripting::DaCommand &c) { scripting::writeDaCodes(registers, c.codes); },
            [](const auto &) { FAIL() << "not a card command"; },
        },
        command);
    EXPECT_EQ(port.accesses(), GetParam().accesses);

    PanelHarness window;
    window.IOBase.store(std::int16_t {-8192}); // E000, as the locate stores it
    window.type("txtIOBase", "E000");
    for (const auto &[box, text] : GetParam().typed)
        window.type(box, text);
    window.run(GetParam().operation);
    EXPECT_EQ(window.port.accesses(), GetParam().accesses);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CommandAccesses,
    ::testing::Values(
        AccessRow {"Out",
                   {"out", "12", "a5", "3C", "FF"},
                   panels::Operation::WriteDigitalOutputs,
                   {{"txtOutput0", "12"},
                    {"txtOutput1", "A5"},
                    {"txtOutput2", "3C"},
                    {"txtOutput3", "FF"}},
                   {out(0xE000, 0x12), out(0xE001, 0xA5), out(0xE002, 0x3C), out(0xE003, 0xFF)}},
        AccessRow {"In",
                   {"in"},
                   panels::Operation::ReadDigitalInputs,
                   {},
                   {in(0xE000, 0xFF), in(0xE001, 0xFF), in(0xE002, 0xFF), in(0xE003, 0xFF)}},
        AccessRow {"ClockAsTheWindowStarts",
                   {"clock", "1000", "10"},
                   panels::Operation::StartClockOutputs,
                   {{"txtClkBase", "1000"}, {"txtClkOutput", "10"}},
                   expectedClockWrites(0xE000, 0xE8, 0x03, 0x0A, 0x00)},
        AccessRow {"Clock65536IsWrittenAs0",
                   {"clock", "65536", "2"},
                   panels::Operation::StartClockOutputs,
                   {{"txtClkBase", "0"}, {"txtClkOutput", "2"}},
                   expectedClockWrites(0xE000, 0x00, 0x00, 0x02, 0x00)},
        AccessRow {
            "Da",
            {"da", "0", "400", "800", "FFF"},
            panels::Operation::WriteDaCodes,
            {{"txtda(0)", "0"}, {"txtda(1)", "400"}, {"txtda(2)", "800"}, {"txtda(3)", "FFF"}},
            daWrites({{{0x00, 0x00}, {0x00, 0x14}, {0x00, 0x28}, {0xFF, 0x3F}}})}),
    RowName {});

const char *const kIdealOn4095 = "code  ideal V  reading V  error LSB\n"
                                 "0 0.000000 0.000000 0.00\n19A 0.410000 0.410000 0.00\n"
                                 "E66 3.686000 3.686000 0.00\nFFF 4.095000 4.095000 0.00\n"
                                 "offset: 0.000000 V = 0.00 LSB\n"
                                 "gain: 0.000000 V = 0.00 LSB (0.000 %)\n"
                                 "inl: 0.000000 V = 0.00 LSB at code 0\n"
                                 "monotonic: yes\n";

struct RunRow
{
    const char *name;
    QStringList arguments;
    std::string input; // standard input
    int status;
    std::string out;
    std::string err = "";
};

void PrintTo(const RunRow &row, std::ostream *os)
{
    *os << row.name;
}

class CommandRun : public ::testing::TestWithParam<RunRow>
{ };

TEST_P(CommandRun, AnswersAndExits)
{
    QTemporaryDir dir;
    std::ofstream(dir.filePath("readings").toStdString()) << "0\n0.410\n3.686\n4.095\n";
    QStringList arguments {"qm5083-bench"};
    for (const QString &argument : GetParam().arguments)
        arguments << QString(argument).replace("@DIR@", dir.path());
    const commands::CommandLine commandLine = commands::parseCommandLine(arguments);
    ASSERT_FALSE(commandLine.exitCode) << commandLine.errors.toStdString();
    std::istringstream input(GetParam().input);
    const CapturedOutput output = captureOutput([&](std::FILE *out, std::FILE *err) {
        return commands::runScriptCommand(commandLine, input, out, err, nullptr);
    });
    EXPECT_EQ(output.status, GetParam().status);
    EXPECT_EQ(output.out, GetParam().out);
    EXPECT_EQ(output.err, GetParam().err);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CommandRun,
    ::testing::Values(
        RunRow {"Cards", {"--simulate", "cards"}, "", 0, "1 simulated - - E000\n"},
        RunRow {"OutEchoesTheBytes",
                {"--simulate", "out", "12", "A5", "3C", "FF"},
                "",
                0,
                "12 A5 3C FF\n"},
        RunRow {
            "InExpectNamesAStuckBit",
            {"--simulate", "--sim-fault", "stuck:2.3=1", "in", "--expect", "00", "00", "00", "00"},
            "",
            1,
            "00 08 00 00 differs: group 2 bit 3 expected 0 read 1\n"},
        // What was expected and what was read, each where a script looks for it.
        RunRow {"InExpectAsJson",
                {"--simulate", "--json", "--sim-fault", "stuck:2.3=1", "in", "--expect", "00", "00",
                 "00", "00"},
                "",
                1,
                "{\"card\":1,\"command\":\"in\",\"differences\":[{\"bit\":3,\"expected\":0,"
                "\"group\":2,\"read\":1}],\"equal\":false,\"expected\":[\"00\",\"00\",\"00\","
                "\"00\"],\"read\":[\"00\",\"08\",\"00\",\"00\"],\"status\":1}\n"},
        RunRow {"InExpectEqual",
                {"--simulate", "in", "--expect", "00", "00", "00", "00"},
                "",
                0,
                "00 00 00 00 as expected\n"},
        RunRow {"InAsJson",
                {"--simulate", "--json", "in"},
                "",
                0,
                "{\"card\":1,\"command\":\"in\",\"read\":[\"00\",\"00\",\"00\",\"00\"],\"status\":"
                "0}\n"},
        RunRow {"ClockFrequencies",
                {"--simulate", "clock", "1000", "10"},
                "",
                0,
                "base 2000 Hz, outputs 200 Hz\n"},
        // 2 MHz / 2, and that / 65536: no exponent for awk to stumble on.
        RunRow {"ClockAtTheFastestBase",
                {"--simulate", "clock", "2", "65536"},
                "",
                0,
                "base 1000000 Hz, outputs 15.2588 Hz\n"},
        RunRow {"NoSuchCard",
                {"--simulate", "--card", "2", "out", "0", "0", "0", "0"},
                "",
                2,
                "",
                "qm5083-bench: out: there is no card 2\n"},
        // The simulated card's state is kept from line to line; a failing line writes nothing
        // and the batch goes on, exiting with the worst status.
        RunRow {"Batch",
                {"--simulate", "batch"},
                "out 12 A5 3C FF\n\n# a comment\nout 100 0 0 0\nin --expect 12 A5 3C "
                "FE\nbatch\nself-test\nin\n",
                2,
                "12 A5 3C FF\n"
                "error: out: B1 \"100\" is not a byte: 00 to FF in hexadecimal\n"
                "12 A5 3C FF differs: group 4 bit 0 expected 0 read 1\n"
                "error: batch: batch is not for a batch; run it on its own\n"
                "error: self-test: self-test is not for a batch; run it on its own\n"
                "12 A5 3C FF\n"},
        // Whatever a line holds, it gets one answer: a NUL, an escape, a DEL, a C1 control (named
        // as the character it is) or one byte over the limit are that line's error, quoted short
        // and escaped, and the next line runs.
        RunRow {"BatchLinesThatAreNoCommands",
                {"--simulate", "batch"},
                std::string("in\0 x\nout 1B 00 00 00\x1b[2J\n", 26) + std::string(4097, 'a')
                    + "\nin\x7F\nin \xC2\x85\nin \xC2\x9F\nin\n",
                2,
                "error: line 1 holds the control character \\x00: \"in\\x00 x\"\n"
                "error: line 2 holds the control character \\x1B: \"out 1B 00 00 00\\x1B[2J\"\n"
                "error: line 3 is longer than 4096 bytes: \""
                    + std::string(40, 'a')
                    + "…\"\n"
                      "error: line 4 holds the control character \\x7F: \"in\\x7F\"\n"
                      "error: line 5 holds the control character \\u0085: \"in \\u0085\"\n"
                      "error: line 6 holds the control character \\u009F: \"in \\u009F\"\n"
                      "00 00 00 00\n"},
        // A reading that is not a number is asked for again; q ends the check.
        RunRow {
            "DaCheckAsksAgain",
            {"--simulate", "da-check", "--channel", "0", "--range", "0:10.24", "--points", "2"},
            "0\nabc\n20.5\nq\n",
            2,
            "",
            "Connect DA0's output to the meter. The check visits 10 codes. The DA writes also "
            "reload chip B's counters, so clock outputs 4, 7 and 10 change while the check runs.\n"
            "DA0 at code 0 (ideal 0.000000 V): the meter's reading in volts, or q to end: "
            "DA0 at code 1 (ideal 0.002500 V): the meter's reading in volts, or q to end: "
            "\"abc\" is not a number of volts; type the reading, or q to end\n"
            "DA0 at code 1 (ideal 0.002500 V): the meter's reading in volts, or q to end: "
            "20.5 V lies further outside 0 to 10.24 V than the range is wide; check the meter's "
            "range and its leads, and type the reading again\n"
            "DA0 at code 1 (ideal 0.002500 V): the meter's reading in volts, or q to end: "
            "qm5083-bench: da-check: the check was ended at code 1; DA0 is left at code 0\n"}),
    RowName {});

// The DA check on its paths: its answer's lines (and what it says) for readings from a file,
// the simulated card and a program, with the figures and verdicts a lab reads.
struct DaCheckRow
{
    const char *name;
    QStringList arguments; // after --channel 1; before the command word, a fault
    std::string fault;
    std::string readings; // the file @DIR@/readings
    int status;
    std::vector<std::string> lines; // each in the answer, whole
    std::string err = "";
};

void PrintTo(const DaCheckRow &row, std::ostream *os)
{
    *os << row.name;
}

class DaCheckRun : public ::testing::TestWithParam<DaCheckRow>
{ };

TEST_P(DaCheckRun, SaysWhatItFound)
{
    QTemporaryDir dir;
    std::ofstream(dir.filePath("readings").toStdString()) << GetParam().readings;
    QStringList arguments {"qm5083-bench", "--simulate"};
    if (!GetParam().fault.empty())
        arguments << "--sim-fault" << QString::fromStdString(GetParam().fault);
    arguments << "da-check"
              << "--channel"
              << "1";
    for (const QString &argument : GetParam().arguments)
        arguments << QString(argument).replace("@DIR@", dir.path());
    const commands::CommandLine commandLine = commands::parseCommandLine(arguments);
    ASSERT_FALSE(commandLine.exitCode) << commandLine.errors.toStdString();
    std::istringstream none;
    const CapturedOutput output = captureOutput([&](std::FILE *out, std::FILE *err) {
        return commands::runScriptCommand(commandLine, none, out, err, nullptr);
    });
    EXPECT_EQ(output.status, GetParam().status) << output.err;
    const std::string out
        = QString::fromStdString(output.out).replace(dir.path(), "@DIR@").toStdString();
    for (const std::string &line : GetParam().lines)
        EXPECT_NE(out.find(line + "\n"), std::string::npos) << "no line \"" << line << "\" in:\n"
                                                            << out;
    EXPECT_EQ(QString::fromStdString(output.err).replace(dir.path(), "@DIR@").toStdString(),
              GetParam().err);
}

// 0 to 4.096 V, FSR/4096: 1 mV an LSB. The ten codes of --points 2 (the carries), read ideal,
// with a blank line among them that is no reading.
const std::string kIdealReadings
    = "0\n0.001\n1.023\n1.024\n\n2.047\n2.048\n3.071\n3.072\n4.094\n4.095\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, DaCheckRun,
    ::testing::Values(
        // 50 mV on 10.24 V / 4096 = 2.5 mV an LSB: 20 LSB, every figure but the offset within.
        DaCheckRow {"OffsetBeyondItsLimit",
                    {"--range", "0:10.24", "--meter", "sim", "--limit", "1", "--points", "2"},
                    "da-offset:1=50",
                    "",
                    1,
                    {"zero-code error: 0.050000 V = 20.00 LSB", "offset: 0.050000 V = 20.00 LSB",
                     "offset beyond +-1 LSB", "gain within +-1 LSB"}},
        DaCheckRow {"IdealFromAFile",
                    {"--range", "0:4.096", "--readings", "@DIR@/readings", "--points", "2",
                     "--limit", "offset=0.5,gain=0.5,inl=0.5,dnl=0.5"},
                    "",
                    kIdealReadings,
                    0,
                    {"meter: readings from the file @DIR@/readings",
                     "offset: 0.000000 V = 0.00 LSB",
                     "dnl: 0.00 LSB at 000/001, over 5 pairs of "
                     "neighbouring codes: 000/001, 3FF/400, 7FF/800, BFF/C00, FFE/FFF",
                     "offset within +-0.5 LSB", "dnl within +-0.5 LSB",
                     "verdict: Passed, judged on offset, gain, inl, dnl, monotonicity"}},
        DaCheckRow {"ANonFiniteReading",
                    {"--range", "0:4.096", "--readings", "@DIR@/readings", "--points", "2"},
                    "",
                    "0\n0.001\ninf\n",
                    2,
                    {},
                    "qm5083-bench: da-check: line 3 of the readings file @DIR@/readings, \"inf\", "
                    "is not a number of volts\n"},
        DaCheckRow {"AReadingFarOutsideTheRange",
                    {"--range", "0:4.096", "--readings", "@DIR@/readings", "--points", "2"},
                    "",
                    "0\n0.001\n9\n1.024\n2.047\n2.048\n3.071\n3.072\n4.094\n4.095\n",
                    2,
                    {},
                    "qm5083-bench: da-check: the meter read 9 V at code 3FF, further outside 0 to "
                    "4.096 V than the range is wide; check the meter's range and its leads; DA1 "
                    "is left at code 0\n"},
        // Two readings a code, 0.2 mV apart: their mean is the reading, their spread shown.
        DaCheckRow {"Averaged",
                    {"--range", "0:4.096", "--readings", "@DIR@/readings", "--points", "2",
                     "--average", "2"},
                    "",
                    "0\n0.0002\n0.001\n0.0012\n1.023\n1.0232\n1.024\n1.0242\n2.047\n2.0472\n"
                    "2.048\n2.0482\n3.071\n3.0712\n3.072\n3.0722\n4.094\n4.0942\n4.095\n"
                    "4.0952\n",
                    3,
                    {"code  ideal V  reading V  error LSB  INL LSB  spread V",
                     "0 0.000000 0.000100 0.10 0.00 0.000200",
                     "not judged, without a limit: offset, gain, inl, dnl",
                     "verdict: Not judged, judged on monotonicity"}},
        DaCheckRow {"Plan",
                    {"--range", "0:10", "--plan", "--codes", "123"},
                    "",
                    "",
                    0,
                    {"0", "1", "123", "3FF", "400", "7FF", "800", "BFF", "C00", "FFE", "FFF"}},
        // A program that reads the meter: its first line, in volts DC, is the reading.
        DaCheckRow {
            "AProgramReadsTheMeter",
            {"--range", "0:4.096", "--meter", "command:echo $QM5083_DA_IDEAL V", "--points", "2"},
            "",
            "",
            3,
            {"meter: readings printed by \"echo $QM5083_DA_IDEAL V\"",
             "7FF 2.047000 2.047000 0.00 0.00"}},
        DaCheckRow {"AProgramReadingAlternatingVolts",
                    {"--range", "0:4.096", "--meter", "command:echo 2.048 VAC", "--points", "2"},
                    "",
                    "",
                    2,
                    {},
                    "qm5083-bench: da-check: the meter command \"echo 2.048 VAC\" printed "
                    "\"2.048 VAC\", which is no reading of DC volts at code 0; DA1 is left at "
                    "code 0\n"},
        DaCheckRow {
            "AProgramReadingAcPlusDc",
            {"--range", "0:4.096", "--meter", "command:echo 2.048 V AC+DC", "--points", "2"},
            "",
            "",
            2,
            {},
            "qm5083-bench: da-check: the meter command \"echo 2.048 V AC+DC\" printed "
            "\"2.048 V AC+DC\", which is no reading of DC volts at code 0; DA1 is left "
            "at code 0\n"},
        // What a program printed before it failed is no reading.
        DaCheckRow {"AProgramThatPrintsAReadingAndFails",
                    {"--range", "0:4.096", "--meter", "command:echo 5.0; exit 3", "--points", "2"},
                    "",
                    "",
                    2,
                    {},
                    "qm5083-bench: da-check: the meter command \"echo 5.0; exit 3\" failed (exit "
                    "status 3) at code 0; DA1 is left at code 0\n"},
        DaCheckRow {"AProgramSlowerThanTheTimeout",
                    {"--range", "0:4.096", "--meter", "command:sleep 3; echo 1", "--meter-timeout",
                     "1", "--points", "2"},
                    "",
                    "",
                    2,
                    {},
                    "qm5083-bench: da-check: the meter command \"sleep 3; echo 1\" gave no reading "
                    "within 1 s at code 0; DA1 is left at code 0\n"},
        DaCheckRow {"MoreReadingsThanCodes",
                    {"--range", "0:4.096", "--readings", "@DIR@/readings", "--points", "2"},
                    "",
                    kIdealReadings + "4.095\n",
                    2,
                    {},
                    "qm5083-bench: da-check: the readings file @DIR@/readings has 11 readings; the "
                    "check takes 10, one a line in the order of its codes\n"}),
    RowName {});

// Each command, and each line of a batch, is one line of the session record.
TEST(CommandRecord, HasALinePerBatchLineWithItsAccesses)
{
    QTemporaryDir dir;
    QString error;
    QString notice;
    auto log = reports::SessionLog::open(dir.filePath("session.log"), error, notice);
    ASSERT_TRUE(log) << error.toStdString();
    const commands::CommandLine commandLine = commands::parseCommandLine(
        {"qm5083-bench", "--simulate", "--sim-fault", "stuck:1.0=1", "batch"});
    std::istringstream input("out 01 02 03 04\nout 1 2 3\n");
    std::FILE *out = std::tmpfile();
    commands::runScriptCommand(commandLine, input, out, out, log.get());
    std::fclose(out);
    log.reset();
    QFile file(dir.filePath("session.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray record = file.readAll();
    keepJsonLines("record-line", record.toStdString());
    const QList<QByteArray> lines = record.split('\n');
    ASSERT_EQ(lines.size(), 5); // the session's, two lines, the batch's and the end of the last
    const QJsonObject session = QJsonDocument::fromJson(lines[0]).object()["session"].toObject();
    EXPECT_EQ(session["card"].toString(), "simulated");
    EXPECT_EQ(session["faults"].toArray(), QJsonArray {"stuck:1.0=1"});
    EXPECT_EQ(session["cards"].toArray(),
              (QJsonArray {QJsonObject {{"number", 1}, {"base", "E000"}}}));
    EXPECT_EQ(session["arguments"].toArray().last().toString(), "batch");
    EXPECT_TRUE(
        session["started"].toString().contains(QRegularExpression("(Z|[+-]\\d\\d:\\d\\d)$")))
        << "no time zone";
    const QJsonObject done = QJsonDocument::fromJson(lines[1]).object();
    EXPECT_EQ(done["operation"].toString(), "out 01 02 03 04");
    EXPECT_EQ(done["result"].toString(), "done");
    EXPECT_EQ(done["accesses"].toArray().size(), 4);
    EXPECT_EQ(done["accesses"].toArray()[3].toObject(),
              (QJsonObject {{"access", "out"}, {"port", "E003"}, {"byte", "04"}}));
    const QJsonObject failed = QJsonDocument::fromJson(lines[2]).object();
    EXPECT_EQ(failed["result"].toString(), "refused");
    EXPECT_EQ(failed["status"].toInt(), 2);
    EXPECT_EQ(failed["accesses"].toArray().size(), 0);
}

// The DA check's figures from readings, each expectation worked out by hand from the definitions
// of IEEE Std 1658-2011 (one reference line for offset, gain, INL and DNL; INL and DNL in that
// line's LSB; errors along the range's direction). A range of 4096 V over 4096 codes makes one
// LSB exactly 1 V, so the arithmetic is exact where the hand's is.
struct FigureRow
{
    const char *name;
    scripting::DaRange range;
    scripting::LsbConvention lsb;
    scripting::ReferenceLine line;
    double (*volts)(int code);
    double zeroCode, fullScale, offset, gain, worstInl, worstDnl;
    bool monotonic;
};

void PrintTo(const FigureRow &row, std::ostream *os)
{
    *os << row.name;
}

class DaFigures : public ::testing::TestWithParam<FigureRow>
{ };

TEST_P(DaFigures, FollowTheDefinitions)
{
    const FigureRow &row = GetParam();
    std::vector<scripting::DaPoint> points;
    for (const std::uint16_t code : scripting::daCheckCodes(11))
        points.push_back({code, row.volts(code), 0, 1});
    const scripting::DaFigures figures = scripting::daFigures(points, row.range, row.lsb, row.line);
    constexpr double kClose = 1e-4;
    EXPECT_NEAR(figures.zeroCode.lsb, row.zeroCode, kClose);
    EXPECT_NEAR(figures.fullScale.lsb, row.fullScale, kClose);
    EXPECT_NEAR(figures.offset.lsb, row.offset, kClose);
    EXPECT_NEAR(figures.gain.lsb, row.gain, kClose);
    EXPECT_NEAR(figures.worstInl, row.worstInl, kClose);
    ASSERT_TRUE(figures.worstDnl);
    EXPECT_NEAR(figures.worstDnl->dnl, row.worstDnl, kClose);
    EXPECT_EQ(figures.monotonic, row.monotonic);
    EXPECT_EQ(figures.steps.size(), 5U) << "the five major carries' pairs";
}

using scripting::LsbConvention;
using scripting::ReferenceLine;
constexpr scripting::DaRange kUp {0, 4096};
constexpr auto kFsr = LsbConvention::FullScaleRange;
constexpr auto kEnds = ReferenceLine::EndPoint;

INSTANTIATE_TEST_SUITE_P(
    Rows, DaFigures,
    ::testing::Values(
        FigureRow {"Perfect", kUp, kFsr, kEnds, [](int c) { return double(c); }, 0, 0, 0, 0, 0, 0,
                   true},
        // Every code 10 V high: the end-point line is the ideal one moved by 10 LSB.
        FigureRow {"Offset", kUp, kFsr, kEnds, [](int c) { return c + 10.0; }, 10, 10, 10, 0, 0, 0,
                   true},
        // The same, on a range that runs down: the same signs as its twin.
        FigureRow {"OffsetOnAReversedRange",
                   {4096, 0},
                   kFsr,
                   kEnds,
                   [](int c) { return 4096.0 - c - 10; },
                   10,
                   10,
                   10,
                   0,
                   0,
                   0,
                   true},
        // Built to FSR/4096 (FFF at 4095 V), judged by (FS - ZS)/4095 on 0 to 4096 V: one LSB is
        // 4096/4095 V, FFF reads 1 V low, which is 4095/4096 LSB, and the line's span as well.
        FigureRow {"FsrCardJudgedByFs", kUp, LsbConvention::FullScaleSpan, kEnds,
                   [](int c) { return double(c); }, 0, -4095.0 / 4096, 0, -4095.0 / 4096, 0, 0,
                   true},
        // Code 0 reads 5 V high on 0 to 4095 V, (FS - ZS)/4095 (1 V an LSB). The end-point line
        // runs from 5 V at 0 to 4095 V at FFF: b = 4090/4095 V a code. Offset +5 LSB, gain
        // (4090 - 4095) = -5 LSB. INL at c > 0 is (c - 4095) / 818 line LSB, worst at code 1:
        // -4094/818. DNL 000/001: (1 - 5) / b - 1 = -4 x 4095/4090 - 1 = -5.004890, below -1.
        FigureRow {"CodeZeroHigh",
                   {0, 4095},
                   LsbConvention::FullScaleSpan,
                   kEnds,
                   [](int c) { return c == 0 ? 5.0 : double(c); },
                   5,
                   0,
                   5,
                   -5,
                   -4094.0 / 818,
                   -4 * 4095.0 / 4090 - 1,
                   false},
        // A step half an LSB short at the midscale carry 7FF/800: b = 4094.5/4095, DNL there
        // 0.5 / b - 1 = 0.5 x 4095/4094.5 - 1 = -0.499939. INL at 7FF: 2047 x 0.5/4094.5.
        FigureRow {"HalfAnLsbShortAtMidscale", kUp, kFsr, kEnds,
                   [](int c) { return c < 0x800 ? double(c) : c - 0.5; }, 0, -0.5, 0, -0.5,
                   2047 * 0.5 / 4094.5, 0.5 * 4095 / 4094.5 - 1, true},
        // Code 1 reads what code 0 reads, as a meter with too few digits shows a perfect
        // converter: DNL 000/001 is -1 exactly, which is still monotonic (non-decreasing).
        FigureRow {"NeighboursReadEqual", kUp, kFsr, kEnds,
                   [](int c) { return c == 1 ? 0.0 : double(c); }, 0, 0, 0, 0, -1, -1, true},
        // A straight line 2 V high with 1.1 V a code: the least-squares line is that line
        // itself. Offset +2 LSB, gain (1.1 - 1) x 4095 = 409.5 LSB, no INL, DNL 1.1/1.1 - 1 = 0.
        FigureRow {"BestFitOfAStraightLine", kUp, kFsr, ReferenceLine::BestFit,
                   [](int c) { return 2 + 1.1 * c; }, 2, 2 + 0.1 * 4095, 2, 409.5, 0, 0, true}),
    RowName {});

// A limit holds a figure exactly at it; a figure that is no number (all readings equal, so the
// line has no slope) is never within one, and proves no monotonicity.
TEST(DaVerdicts, AtTheLimitIsWithinAndNoNumberIsNever)
{
    std::vector<scripting::DaPoint> offset;
    std::vector<scripting::DaPoint> flat;
    for (const std::uint16_t code : scripting::daCheckCodes(11)) {
        offset.push_back({code, code + 10.0, 0, 1});
        flat.push_back({code, 1.0, 0, 1});
    }
    const scripting::DaLimits limits {10, 10, 1, 1};
    const auto within = [&](const std::vector<scripting::DaPoint> &points) {
        std::vector<std::pair<std::string, bool>> judged;
        for (const scripting::DaVerdict &verdict :
             scripting::daVerdicts(scripting::daFigures(points, kUp, kFsr, kEnds), limits))
            judged.emplace_back(verdict.figure, verdict.within);
        return judged;
    };
    using Judged = std::vector<std::pair<std::string, bool>>;
    EXPECT_EQ(
        within(offset),
        (Judged {
            {"offset", true}, {"gain", true}, {"inl", true}, {"dnl", true}, {"monotonic", true}}));
    EXPECT_EQ(within(flat),
              (Judged {{"offset", true},
                       {"gain", false},
                       {"inl", false},
                       {"dnl", false},
                       {"monotonic", false}}));
}

// The codes visited: the points asked for, the major carries and midscale always, each once.
TEST(DaCheckCodes, HoldTheCarriesAndMidscaleOnce)
{
    using Codes = std::vector<std::uint16_t>;
    EXPECT_EQ(scripting::daCheckCodes(2),
              (Codes {0x000, 0x001, 0x3FF, 0x400, 0x7FF, 0x800, 0xBFF, 0xC00, 0xFFE, 0xFFF}));
    EXPECT_EQ(
        scripting::daCheckCodes(std::nullopt, {0x123, 0x001}),
        (Codes {0x000, 0x001, 0x123, 0x3FF, 0x400, 0x7FF, 0x800, 0xBFF, 0xC00, 0xFFE, 0xFFF}));
    EXPECT_EQ(scripting::daCheckCodes(std::nullopt, {}, true).size(), 4096U);
    EXPECT_EQ(scripting::daCheckCodes(5).size(), 10U) << "0, 400, 800, BFF and FFF: carries all";
}

} // namespace
