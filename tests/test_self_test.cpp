// The self-test through the program's own --self-test path, on the simulated card with each kind
// of fault: the exit status and the lines that name what failed.

#include "command_line.h"
#include "recording_port.h"
#include "script_runner.h"
#include "self_test_command.h"
#include "simulated_card.h"
#include "support/captured_output.h"
#include "support/json_samples.h"
#include "support/row_name.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

using namespace qm5083;

namespace {

qm5083::testing::CapturedOutput selfTest(QStringList arguments)
{
    const commands::CommandLine commandLine
        = commands::parseCommandLine(QStringList {"qm5083-bench", "--self-test"} + arguments);
    if (commandLine.exitCode)
        return {*commandLine.exitCode, {}, commandLine.errors.toStdString()};
    return qm5083::testing::captureOutput([&](std::FILE *out, std::FILE *err) {
        return commands::runSelfTestCommand(
            commandLine, out, err, [](auto duration) { std::this_thread::sleep_for(duration); });
    });
}

struct SelfTestRow
{
    const char *name;
    QStringList arguments;
    int status;
    std::vector<std::string> lines; // in the output, each whole
    std::string error = "";
};

void PrintTo(const SelfTestRow &row, std::ostream *os)
{
    *os << row.name;
}

class SelfTest : public ::testing::TestWithParam<SelfTestRow>
{ };

TEST_P(SelfTest, FindsAndNamesEveryFault)
{
    // @DIR@ holds a named pipe and a link to it: files a report must never replace.
    QTemporaryDir dir;
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(dir.filePath("pipe"), dir.filePath("link")));
    QStringList arguments;
    for (const QString &argument : GetParam().arguments)
        arguments << QString(argument).replace("@DIR@", dir.path());
    const qm5083::testing::CapturedOutput outcome = selfTest(arguments);
    EXPECT_EQ(outcome.status, GetParam().status);
    for (const std::string &line : GetParam().lines)
        EXPECT_NE(outcome.out.find(line + "\n"), std::string::npos)
            << "no line \"" << line << "\" in:\n"
            << outcome.out;
    EXPECT_EQ(outcome.err,
              QString::fromStdString(GetParam().error).replace("@DIR@", dir.path()).toStdString());
    EXPECT_TRUE(QFileInfo(dir.filePath("link")).isSymLink()
                && !QFileInfo(dir.filePath("pipe")).isFile());
}

const std::string kLeft = " The card is left with outputs 00, DA codes 0 and the clock outputs at "
                          "k 1000, n 10.";

INSTANTIATE_TEST_SUITE_P(
    Rows, SelfTest,
    ::testing::Values(
        SelfTestRow {"CleanCard",
                     {"--simulate", "--meter", "sim"},
                     0,
                     {"PASS   digital loopback, group 1", "PASS   digital loopback, group 4",
                      "PASS   counter chip A (counter 0: counting not checked, its clock input is "
                      "not known)",
                      "PASS   counter chip D",
                      "PASS   DA3: offset 0.00, gain 0.00, inl 0.00, dnl 0.00 LSB over 10 codes",
                      "Self-test of card 1, simulated, base E000: 12 of 12 checks passed. "
                      "Verdict: Passed."
                          + kLeft}},
        SelfTestRow {"StuckBit",
                     {"--simulate", "--sim-fault", "stuck:2.3=1"},
                     1,
                     {"PASS   digital loopback, group 1",
                      "FAIL   digital loopback, group 2: bit 3 wrote 0, read 1 (group wrote F7, "
                      "read FF)",
                      "Self-test of card 1, simulated, base E000: 7 of 8 checks passed. Not "
                      "tested: da (no meter was set). Verdict: Failed."
                          + kLeft}},
        SelfTestRow {"BridgedBitsInTwoGroups",
                     {"--simulate", "--sim-fault", "short:1.0-3.7"},
                     1,
                     {"FAIL   digital loopback, group 1: bit 0 wrote 1, read 0 (group wrote FD, "
                      "read FC)",
                      "PASS   digital loopback, group 2",
                      "FAIL   digital loopback, group 3: bit 7 wrote 1, read 0 (group wrote FD, "
                      "read 7D)"}},
        SelfTestRow {"BridgedBitsInOneGroup",
                     {"--simulate", "--sim-fault", "short:4.1-4.2"},
                     1,
                     // Testing group 1, group 4 holds FD (bit 1 low) then FB (bit 2 low).
                     {"FAIL   digital loopback, group 4: bit 1 wrote 1, read 0 (group wrote FB, "
                      "read F9); bit 2 wrote 1, read 0 (group wrote FD, read F9)"}},
        SelfTestRow {"DeadChip",
                     {"--simulate", "--sim-fault", "dead-chip:C"},
                     1,
                     {"PASS   counter chip B", "ABSENT counter chip C: its ports read FF",
                      "PASS   counter chip D"}},
        // Never clocked, the counter never loads the count written.
        SelfTestRow {"StoppedCounter",
                     {"--simulate", "--sim-fault", "counter-stopped:D.2"},
                     1,
                     {"PASS   counter chip C",
                      "FAIL   counter chip D: no clock reached counter 2 (its count was never "
                      "loaded)"}},
        // RW1 held low: each control word 34 arrives as 14, the low byte only.
        SelfTestRow {"DataLineStuck",
                     {"--simulate", "--sim-fault", "chip-data:B.5=0"},
                     1,
                     {"PASS   counter chip C",
                      "FAIL   counter chip B: counter 0 reads back status bits 14, not the 34 "
                      "written; counter 1 reads back status bits 14, not the 34 written; counter 2 "
                      "reads back status bits 14, not the 34 written"}},
        SelfTestRow {"BadFaultText",
                     {"--simulate", "--sim-fault", "stuck:5.1=1"},
                     2,
                     {},
                     "qm5083-bench: --sim-fault \"stuck:5.1=1\" is not a fault of the simulated "
                     "card: stuck:G.B=V (input group G (1 to 4), bit B (0 to 7) always reads V (0 "
                     "or 1)), short:G.B-H.C (input bits G.B and H.C bridged), dead-chip:X (counter "
                     "chip X (A to D) absent), counter-stopped:X.N (counter N (0 to 2) of chip X "
                     "never counts), chip-data:X.B=V (data line B of chip X stuck at V), "
                     "da-offset:C=MV (DA channel C (0 to 3) off by MV millivolts (-10000 to "
                     "10000)), da-gain:C=PCT (DA channel C's span off by PCT percent (-50 to "
                     "50)), K/FAULT (the fault on simulated card K, 1 to 8; card 1 without K/)\n"},
        // Chips B to D count the base clock chip A makes.
        SelfTestRow {"DeadChipA",
                     {"--simulate", "--sim-fault", "dead-chip:A"},
                     1,
                     {"ABSENT counter chip A: its ports read FF",
                      "PASS   counter chip B (counting not checked: no base clock, as chip A is "
                      "absent)"}},
        SelfTestRow {"WithoutTheLoopbackCable",
                     {"--simulate", "--skip", "loopback"},
                     3,
                     {"Self-test of card 1, simulated, base E000: 4 of 4 checks passed. Not "
                      "tested: loopback (skipped), da (no meter was set). Verdict: Incomplete."
                      + kLeft}},
        // Leaving the counters out leaves the DA part in.
        SelfTestRow {"WithoutTheCounters",
                     {"--simulate", "--skip", "counters"},
                     3,
                     {"CHECK  DA3: not measured, as no meter was set (--meter): codes 0, 800, FFF "
                      "written, which cannot be read back. With a meter on the channel, type each "
                      "in DA3 and press DA 输出: 0 gives the bottom of its range, 800 the middle, "
                      "FFF the top.",
                      "Self-test of card 1, simulated, base E000: 4 of 4 checks passed. Not "
                      "tested: counters (skipped), da (no meter was set). Verdict: Incomplete."
                          + kLeft}},
        // A report never replaces what is not a regular file (a device, a directory), and the
        // test does not start.
        SelfTestRow {"ReportOverADirectory",
                     {"--simulate", "--report", "/tmp"},
                     2,
                     {},
                     "qm5083-bench: the report /tmp cannot be written: it is a folder; the "
                     "self-test did not run\n"},
        SelfTestRow {"ReportThroughALinkToAPipe",
                     {"--simulate", "--report", "@DIR@/link"},
                     2,
                     {},
                     "qm5083-bench: the report @DIR@/link cannot be written: it is a link; give "
                     "the file itself; the self-test did not run\n"},
        SelfTestRow {"NoSuchCard",
                     {"--simulate", "--card", "2"},
                     2,
                     {},
                     "qm5083-bench: the self-test cannot run: there is no card 2\n"},
        SelfTestRow {
            "NoCardReached",
            {"--config", "/nonexistent/qm5083/cards.conf"},
            2,
            {},
            "qm5083-bench: the self-test cannot run: The program reaches no card: it "
            "was started without --pci-id, and the card set-up "
            "/nonexistent/qm5083/cards.conf names no card. To practise on the simulated "
            "card, start it with --simulate. For a real card, set it up once with sudo "
            "qm5083-bench --setup VVVV:DDDD, the vendor and device id that lspci -nn shows "
            "for the card, or start the program with --pci-id VVVV:DDDD.\n"}),
    qm5083::testing::RowName {});

TEST(SelfTestReport, IsJsonWithTheCardAndEachCheck)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("report.json");
    const qm5083::testing::CapturedOutput outcome = selfTest(
        {"--simulate", "--sim-fault", "stuck:1.0=0", "--sim-fault", "counter-stopped:D.2",
         "--report", file, "--serial", "QM-0042", "--operator", "Li Wei", "--station", "line 3"});
    ASSERT_EQ(outcome.status, 1) << outcome.err;
    QFile read(file);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    const QByteArray text = read.readAll();
    qm5083::testing::keepJsonSample("self-test-report",
                                    text.toStdString()); // its shape: the schema's check
    const QJsonObject report = QJsonDocument::fromJson(text).object();
    EXPECT_EQ(report["serial"].toString(), "QM-0042");
    EXPECT_EQ(report["operator"].toString(), "Li Wei");
    EXPECT_EQ(report["station"].toString(), "line 3");
    EXPECT_EQ(report["command"].toString(), "self-test");
    EXPECT_EQ(report["card"].toObject(),
              (QJsonObject {{"kind", "simulated"},
                            {"number", 1},
                            {"base", "E000"},
                            {"faults", QJsonArray {"stuck:1.0=0", "counter-stopped:D.2"}}}));
    EXPECT_EQ(report["passed"].toBool(true), false);
    EXPECT_EQ(report["status"].toInt(), 1);
    const QJsonArray checks = report["checks"].toArray();
    ASSERT_EQ(checks.size(), 4 + 4 + 4);
    EXPECT_EQ(checks[0].toObject(),
              (QJsonObject {{"check", "loopback"},
                            {"group", 1},
                            {"result", "fail"},
                            {"failingBits",
                             QJsonArray {QJsonObject {{"group", 1},
                                                      {"bit", 0},
                                                      {"wrote", 1},
                                                      {"read", 0},
                                                      {"byteWritten", "01"},
                                                      {"byteRead", "00"}}}}}));
    EXPECT_EQ(
        checks[4].toObject(),
        (QJsonObject {{"check", "counters"},
                      {"chip", "A"},
                      {"result", "pass"},
                      {"problems", QJsonArray {}},
                      {"countingNotChecked",
                       QJsonArray {QJsonObject {{"counter", 0}, {"why", "clock-unknown"}}}}}));
    EXPECT_EQ(checks[7].toObject()["problems"].toArray(),
              (QJsonArray {QJsonObject {
                  {"code", "no-clock"},
                  {"chip", "D"},
                  {"counter", 2},
                  {"expected", "F000"},
                  {"read", "0000"},
                  {"text", "no clock reached counter 2 (its count was never loaded)"}}}));
    EXPECT_EQ(
        report["leftWith"].toObject(),
        (QJsonObject {
            {"outputs", "00"}, {"daCodes", "0"}, {"baseDivider", 1000}, {"outputDivider", 10}}));
    EXPECT_EQ(checks[11].toObject(),
              (QJsonObject {{"check", "da"},
                            {"channel", 3},
                            {"result", "not measured"},
                            {"why", "no meter"},
                            {"codes", QJsonArray {"0", "800", "FFF"}}}));
}

// The counter check's verdict on chip B counter 0 when it answers as scripted: its read-back
// status, then two latched counts, low byte first, then its status again. It was loaded with F000.
// Chip A answers its status, so the base clock is there.
struct CounterReadsRow
{
    const char *name;
    std::vector<std::uint8_t> reads;
    std::optional<selftest::CounterProblem> problem;
};

void PrintTo(const CounterReadsRow &row, std::ostream *os)
{
    *os << row.name;
}

class CounterCheck : public ::testing::TestWithParam<CounterReadsRow>
{ };

TEST_P(CounterCheck, NamesWhatTheCounterShows)
{
    qm5083::testing::RecordingPort port;
    std::size_t next = 0;
    port.answer = [&](std::uint16_t address) -> std::uint8_t {
        const auto &reads = GetParam().reads;
        if (address == 0xE005)
            return 0x34;
        return address == 0xE008 && next < reads.size() ? reads[next++] : 0xFF;
    };
    const auto result = selftest::runSelfTest(port, 0xE000, [](auto) {});
    const auto &problems = result.chips[1].problems;
    const auto found = std::find_if(problems.begin(), problems.end(),
                                    [](const auto &problem) { return problem.counter == 0; });
    EXPECT_EQ(found == problems.end() ? std::nullopt : std::optional(*found), GetParam().problem);
}

using Kind = selftest::CounterProblem::Kind;
INSTANTIATE_TEST_SUITE_P(
    Rows, CounterCheck,
    ::testing::Values(
        CounterReadsRow {"CountsDown", {0x34, 0x00, 0xE0, 0x00, 0xD0}, std::nullopt},
        CounterReadsRow {"FromTheCountLoaded", {0x34, 0x00, 0xF0, 0xFF, 0xEF}, std::nullopt},
        CounterReadsRow {
            "OutAndNullCountAreNotChecked", {0xF4, 0x00, 0xE0, 0x00, 0xD0}, std::nullopt},
        CounterReadsRow {"WrongAccessBits", {0x14}, {{Kind::Status, 0, 0x34, 0x14}}},
        CounterReadsRow {"WrongMode", {0x32}, {{Kind::Status, 0, 0x34, 0x32}}},
        CounterReadsRow {
            "LatchedAtZero", {0x34, 0x00, 0x00, 0xFF, 0xEF}, {{Kind::Count, 0, 0xF000, 0}}},
        CounterReadsRow {"AboveTheCountLoaded",
                         {0x34, 0x01, 0xF0, 0x00, 0xF0},
                         {{Kind::Count, 0, 0xF000, 0xF001}}},
        CounterReadsRow {"NotMoving",
                         {0x34, 0x00, 0xE0, 0x00, 0xE0, 0x34},
                         {{Kind::Stopped, 0, 0xF000, 0xE000}}},
        CounterReadsRow {"NeverLoaded",
                         {0x34, 0x00, 0xE0, 0x00, 0xE0, 0x74},
                         {{Kind::NoClock, 0, 0xF000, 0xE000}}}),
    qm5083::testing::RowName {});

// What the summary says the card is left with, read from the card.
TEST(SelfTestEndState, OutputsZeroDaCodesZeroAndTheClocksAtK1000N10)
{
    hardware::SimulatedCard card;
    selftest::runSelfTest(card, 0xE000, [](auto) {});
    for (int group = 0; group < 4; ++group)
        EXPECT_EQ(card.outputLatch(group), 0x00) << "group " << group;
    for (int channel = 0; channel < 4; ++channel)
        EXPECT_EQ(card.daCode(channel), 0) << "DA" << channel;
    EXPECT_EQ(card.chip(0).state(1).count, 1000U);
    for (const auto &[chip, counter] : {std::pair {0, 2},
                                        {1, 0},
                                        {1, 1},
                                        {1, 2},
                                        {2, 0},
                                        {2, 1},
                                        {2, 2},
                                        {3, 0},
                                        {3, 1},
                                        {3, 2}}) {
        EXPECT_EQ(card.chip(chip).state(counter).mode, hardware::Pit8254::Mode::SquareWave);
        EXPECT_EQ(card.chip(chip).state(counter).count, 10U) << chip << "." << counter;
    }
}

TEST(SelfTestReport, IsCheckedBeforeTheTestStarts)
{
    const qm5083::testing::CapturedOutput outcome
        = selfTest({"--simulate", "--report", "/nonexistent/qm5083/report.json"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err,
              "qm5083-bench: the report /nonexistent/qm5083/report.json cannot be "
              "written: its folder /nonexistent/qm5083 does not exist; the "
              "self-test did not run\n");
    EXPECT_EQ(outcome.out, "");
}

// A station always has a report to file, also when the test could not run.
TEST(SelfTestReport, SaysWhyTheTestCouldNotRun)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("report.json");
    const qm5083::testing::CapturedOutput outcome
        = selfTest({"--simulate", "--card", "2", "--report", file});
    ASSERT_EQ(outcome.status, 2);
    QFile read(file);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    const QByteArray text = read.readAll();
    qm5083::testing::keepJsonSample("self-test-report", text.toStdString());
    const QJsonObject report = QJsonDocument::fromJson(text).object();
    EXPECT_EQ(report["status"].toInt(), 2);
    EXPECT_EQ(report["error"].toString(), "the self-test cannot run: there is no card 2");
}

// ---- Every way a verdict could lie, in the commands

// A command as a station runs it, with --json and --log: its exit status, its one answer and the
// record's last line.
struct Ran
{
    int status;
    QJsonObject answer;
    QJsonObject record;
    std::string err;
};

Ran runAsAStation(const QStringList &arguments, const QString &dir)
{
    const commands::CommandLine commandLine
        = commands::parseCommandLine(QStringList {"qm5083-bench", "--json"} + arguments);
    if (commandLine.exitCode)
        return {*commandLine.exitCode, {}, {}, commandLine.errors.toStdString()};
    QString error;
    QString notice;
    auto log = reports::SessionLog::open(dir + "/record.log", error, notice);
    std::istringstream none;
    const qm5083::testing::CapturedOutput output
        = qm5083::testing::captureOutput([&](std::FILE *out, std::FILE *err) {
              const auto wait = [](auto duration) {
                  std::this_thread::sleep_for(duration);
              };
              return commandLine.mode == commands::Mode::SelfTest
                  ? commands::runSelfTestCommand(commandLine, out, err, wait, log.get(), none)
                  : commands::runScriptCommand(commandLine, none, out, err, log.get());
          });
    log.reset(); // every line on the disk
    QFile record(dir + "/record.log");
    record.open(QIODevice::ReadOnly);
    const QByteArray lines = record.readAll().trimmed();
    qm5083::testing::keepJsonLines("record-line", lines.toStdString());
    return {output.status, QJsonDocument::fromJson(QByteArray::fromStdString(output.out)).object(),
            QJsonDocument::fromJson(lines.mid(lines.lastIndexOf('\n') + 1)).object(), output.err};
}

// The value at path ("checks/8/result") in json.
QJsonValue at(QJsonValue json, const QString &path)
{
    for (const QString &step : path.split('/')) {
        bool index = false;
        const int i = step.toInt(&index);
        json = index ? json.toArray().at(i) : json.toObject().value(step);
    }
    return json;
}

using Expected = std::vector<std::pair<const char *, QJsonValue>>;

struct LieRow
{
    const char *name;
    QStringList arguments; // @DIR@ holds the file readings
    std::string readings;
    int status;
    Expected answer; // each path's value in the JSON answer
    Expected record; // and in the record's line for the check
};

void PrintTo(const LieRow &row, std::ostream *os)
{
    *os << row.name;
}

class WaysAVerdictCouldLie : public ::testing::TestWithParam<LieRow>
{ };

TEST_P(WaysAVerdictCouldLie, InTheCommands)
{
    QTemporaryDir dir;
    std::ofstream(dir.filePath("readings").toStdString()) << GetParam().readings;
    QStringList arguments;
    for (const QString &argument : GetParam().arguments)
        arguments << QString(argument).replace("@DIR@", dir.path());
    const Ran ran = runAsAStation(arguments, dir.path());
    EXPECT_EQ(ran.status, GetParam().status) << ran.err;
    EXPECT_EQ(ran.answer["status"].toInt(-1), GetParam().status);
    const auto same = [&](const QJsonValue &value, const QJsonValue &expected) {
        if (expected.isString())
            return value == QString(expected.toString()).replace("@DIR@", dir.path());
        return expected.isDouble() ? std::fabs(value.toDouble() - expected.toDouble()) < 1e-6
                                   : value == expected;
    };
    for (const auto &[json, rows] :
         {std::pair {ran.answer, GetParam().answer}, std::pair {ran.record, GetParam().record}})
        for (const auto &[path, expected] : rows)
            EXPECT_TRUE(same(at(json, path), expected))
                << path << ": "
                << QJsonDocument(QJsonArray {at(json, path)}).toJson().toStdString();
    // Every check's line names the card, the serial, the report file and the process.
    EXPECT_EQ(ran.record["pid"].toInteger(), QCoreApplication::applicationPid());
    EXPECT_TRUE(ran.record["card"]["number"].isDouble());
    EXPECT_TRUE(ran.record["serial"].isString());
    EXPECT_TRUE(ran.record.contains("reportFile"));
}

// Four simulated cards, a different fault on each: a test of the wrong card says so.
const QStringList kFourCards = QString("--simulate 4 --sim-fault 1/da-gain:0=5 --sim-fault "
                                       "2/dead-chip:C --sim-fault 3/stuck:2.3=1 --sim-fault "
                                       "3/da-offset:0=100 --sim-fault 4/counter-stopped:D.2")
                                   .split(' ');
const QStringList kDaCheck
    = QString("--simulate da-check --channel 1 --range 0:10 --points 2").split(' ');

INSTANTIATE_TEST_SUITE_P(
    Rows, WaysAVerdictCouldLie,
    ::testing::Values(
        LieRow {"SelfTestOfTheCardNamed",
                kFourCards + QStringList {"--card", "3", "--self-test", "--meter", "sim"},
                "",
                1,
                {{"card/number", 3},
                 {"card/base", "E200"},
                 {"checks/1/failingBits/0/bit", 3},
                 {"checks/8/result", "fail"},
                 {"verdict", "failed"}},
                {{"card/number", 3}, {"verdict", "failed"}}},
        LieRow {"DaCheckOfTheCardNamed",
                kFourCards
                    + QStringList {"--card", "3", "da-check", "--channel", "0", "--range", "0:10",
                                   "--points", "2", "--meter", "sim", "--limit", "1"},
                "",
                1,
                // 100 mV on 10 V / 4096: 40.96 LSB.
                {{"card/number", 3}, {"card/base", "E200"}, {"figures/offset/lsb", 40.96}},
                {{"card/number", 3}, {"verdict", "failed"}}},
        LieRow {"NothingLeftToTestCannotRun",
                {"--simulate", "--self-test", "--skip", "loopback", "--skip", "counters", "--skip",
                 "da"},
                "",
                2,
                {{"verdict", "could not run"}, {"complete", false}},
                {{"verdict", "could not run"}, {"accesses", QJsonArray {}}}},
        LieRow {
            "SkippedPartsAreIncomplete",
            {"--simulate", "--self-test", "--skip", "loopback", "--meter", "sim"},
            "",
            3,
            {{"passed", false},
             {"complete", false},
             {"verdict", "incomplete"},
             {"notTested", QJsonArray {QJsonObject {{"part", "loopback"}, {"why", "skipped"}}}}},
            {{"verdict", "incomplete"}, {"complete", false}, {"result", "incomplete"}}},
        LieRow {"UnmeasuredDaChannelsAreIncomplete",
                {"--simulate", "--self-test"},
                "",
                3,
                {{"passed", false},
                 {"notTested/0/why", "no meter"},
                 {"checks/8/result", "not measured"}},
                {{"verdict", "incomplete"}}},
        LieRow {"EveryPartMeasuredAndPassed",
                {"--simulate", "--self-test", "--meter", "sim"},
                "",
                0,
                {{"passed", true}, {"complete", true}, {"verdict", "passed"}},
                {{"verdict", "passed"}, {"checks/of", 12}}},
        LieRow {"AMeasuredDaChannelFails",
                {"--simulate", "--sim-fault", "da-gain:2=5", "--self-test", "--meter", "sim"},
                "",
                1,
                {{"checks/10/result", "fail"}, {"checks/10/beyond/0", "gain"}},
                {{"verdict", "failed"}, {"problems/0/channel", 2}}},
        LieRow {
            "ADaCheckWithoutLimitsIsNotJudged",
            kDaCheck + QStringList {"--meter", "sim"},
            "",
            3,
            {{"verdict", "not judged"},
             {"notJudged", QJsonArray {"offset", "gain", "inl", "dnl"}},
             {"verdicts",
              QJsonArray {QJsonObject {{"figure", "monotonic"}, {"value", 0}, {"within", true}}}}},
            {{"verdict", "not judged"}}},
        LieRow {"AFigureWithoutALimitIsNotJudgedByName",
                QStringList {"--simulate", "--sim-fault", "da-offset:1=100"} + kDaCheck.mid(1)
                    + QStringList {"--meter", "sim", "--limit", "inl=1"},
                "",
                3,
                {{"verdict", "not judged"}, {"notJudged", QJsonArray {"offset", "gain", "dnl"}}},
                {{"notJudged", QJsonArray {"offset", "gain", "dnl"}}}},
        LieRow {"ReadingsThatDoNotMoveAreTheWiring",
                kDaCheck + QStringList {"--meter", "command:echo 5.000", "--limit", "1"},
                "",
                2,
                {{"complete", false}, {"endedBy", "wiring"}, {"verdict", "could not run"}},
                {{"endedBy", "wiring"}}},
        LieRow {"ReadingsOfTheWrongSignAreTheWiring",
                kDaCheck + QStringList {"--meter", "command:echo -$QM5083_DA_IDEAL"},
                "",
                2,
                {{"endedBy", "wiring"}, {"figures", QJsonValue::Undefined}},
                {{"verdict", "could not run"}}},
        // 0 to 4.096 V, 1 mV an LSB: 800 reads 2 mV below 7FF, with no limit given.
        LieRow {"AChannelThatStepsBackFailsWithoutLimits",
                {"--simulate", "da-check", "--channel", "1", "--range", "0:4.096", "--points", "2",
                 "--readings", "@DIR@/readings"},
                "0\n0.001\n1.023\n1.024\n2.047\n2.045\n3.071\n3.072\n4.094\n4.095\n",
                1,
                {{"verdict", "failed"}, {"figures/monotonic", false}},
                {{"verdict", "failed"}}},
        LieRow {"ADaCheckWithinItsLimitsIsRecordedPassed",
                kDaCheck + QStringList {"--meter", "sim", "--limit", "1", "--serial", "W1"},
                "",
                0,
                {{"verdict", "passed"}},
                {{"verdict", "passed"}, {"serial", "W1"}, {"result", "done"}}},
        LieRow {"ADaCheckBeyondItsLimitsIsRecordedFailed",
                QStringList {"--simulate", "--sim-fault", "da-offset:1=50"} + kDaCheck.mid(1)
                    + QStringList {"--meter", "sim", "--limit", "1"},
                "",
                1,
                {{"verdict", "failed"}},
                {{"verdict", "failed"}, {"result", "check failed"}}},
        LieRow {"TheRecordNamesTheReportFiled",
                {"--simulate", "--self-test", "--meter", "sim", "--serial", "QM-7", "--report",
                 "@DIR@/report.json"},
                "",
                0,
                {{"serial", "QM-7"}},
                {{"serial", "QM-7"}, {"reportFile", "@DIR@/report.json"}}}),
    qm5083::testing::RowName {});

} // namespace
