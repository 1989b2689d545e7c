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
        // Whatever a line holds, it gets one answer: a NUL, an escape or 5000 bytes are that
        // line's error, quoted short and escaped, and the next line runs.
        RunRow {"BatchLinesThatAreNoCommands",
                {"--simulate", "batch"},
                std::string("in\0 x\nout 1B 00 00 00\x1b[2J\n", 26) + std::string(5000, 'a')
                    + "\nin\n",
                2,
                "error: line 1 holds the control character \\x00: \"in\\x00 x\"\n"
                "error: line 2 holds the control character \\x1B: \"out 1B 00 00 00\\x1B[2J\"\n"
                "error: line 3 is longer than 4096 bytes: \""
                    + std::string(40, 'a') + "…\"\n00 00 00 00\n"},
        RunRow {"DaCheckWithinLimits",
                {"--simulate", "da-check", "--channel", "1", "--range", "0:10", "--meter", "sim",
                 "--limit-lsb", "1", "--points", "2"},
                "",
                0,
                "code  ideal V  reading V  error LSB\n"
                "0 0.000000 0.000000 0.00\n19A 1.001221 1.001221 0.00\n"
                "E66 9.001221 9.001221 0.00\nFFF 10.000000 10.000000 0.00\n"
                "offset: 0.000000 V = 0.00 LSB\ngain: 0.000000 V = 0.00 LSB (0.000 %)\n"
                "inl: 0.000000 V = 0.00 LSB at code 0\nmonotonic: yes\n"
                "within +-1 LSB: offset, gain, inl, monotonicity\n"},
        // 50 mV on 10 V / 4095 a step: 20.48 LSB.
        RunRow {"DaCheckNamesTheOffset",
                {"--simulate", "--sim-fault", "da-offset:1=50", "da-check", "--channel", "1",
                 "--range", "0:10", "--meter", "sim", "--limit-lsb", "1", "--points", "2"},
                "",
                1,
                "code  ideal V  reading V  error LSB\n"
                "0 0.000000 0.050000 20.48\n19A 1.001221 1.051221 20.48\n"
                "E66 9.001221 9.051221 20.48\nFFF 10.000000 10.050000 20.48\n"
                "offset: 0.050000 V = 20.48 LSB\ngain: 0.000000 V = 0.00 LSB (0.000 %)\n"
                "inl: 0.000000 V = 0.00 LSB at code 0\nmonotonic: yes\n"
                "beyond +-1 LSB: offset\n"},
        // On 0 to 4.095 V a step is 1 mV: a file of the ideal readings gives what the simulated
        // meter gives.
        RunRow {"DaCheckOnTheSimulatedMeter",
                {"--simulate", "da-check", "--channel", "2", "--range", "0:4.095", "--meter", "sim",
                 "--points", "2"},
                "",
                0,
                kIdealOn4095},
        RunRow {"DaCheckFromAFile",
                {"--simulate", "da-check", "--channel", "2", "--range", "0:4.095", "--readings",
                 "@DIR@/readings", "--points", "2"},
                "",
                0,
                kIdealOn4095},
        // A reading that is not a number is asked for again; q ends the check.
        RunRow {
            "DaCheckAsksAgain",
            {"--simulate", "da-check", "--channel", "0", "--range", "0:10", "--points", "2"},
            "0\nabc\nq\n",
            2,
            "",
            "Connect DA0's output to the meter. The DA writes also reload chip B's counters, "
            "so clock outputs 4, 7 and 10 change while the check runs.\n"
            "DA0 at code 0 (ideal 0.000000 V): the meter's reading in volts, or q to end: "
            "DA0 at code 19A (ideal 1.001221 V): the meter's reading in volts, or q to end: "
            "\"abc\" is not a number of volts; type the reading, or q to end\n"
            "DA0 at code 19A (ideal 1.001221 V): the meter's reading in volts, or q to end: "
            "qm5083-bench: da-check: the check was ended at code 19A; DA0 is left at code 0\n"}),
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

// A figure that is no number (readings so large the arithmetic overflowed) is never within a
// limit; one exactly at the limit is.
TEST(DaCheckLimits, NothingButANumberWithinTheLimitIsWithin)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    scripting::DaCheckFigures figures {};
    figures.monotonic = true;
    figures.offsetLsb = 1.0;
    figures.gainLsb = nan;
    figures.inlLsb = std::numeric_limits<double>::infinity();
    EXPECT_EQ(scripting::figuresBeyond(figures, 1.0), (std::vector<std::string> {"gain", "inl"}));
}

} // namespace
