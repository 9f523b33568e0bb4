// The kill harness: `orvtool survey --progress` against `orvsim instrument`, killed with SIGKILL
// at a random moment, again and again; after each kill `orvtool recover` must give back every
// station the survey acknowledged (its --progress line), byte for byte, plus at most the one in
// flight, and nothing else.
//
// The number of kills, the seed and a time limit come from the environment, so that
// scripts/crash-test runs the same code at any size:
//   ORV_CRASH_KILLS    kills (default 100, the size CI runs)
//   ORV_CRASH_SEED     the seed of the random moments (default: a fresh one, printed)
//   ORV_CRASH_MINUTES  stop after this many minutes even if kills remain (default: no limit)
//   ORV_CRASH_STATIONS stations of each survey (default 30: short surveys, so that most of the
//                      time goes to kills and recoveries rather than to measuring)
//   ORV_CRASH_LANES    surveys killed side by side, each against its own simulator (default 2:
//                      much of a kill's time is spent waiting for programs to start)
//   ORV_CRASH_PROGRAMS a folder holding orvtool and orvsim to run instead of the build's (a long
//                      run takes a copy, so that a rebuild meanwhile does not disturb it)

#include "SurveyFixture.h"
#include "base/Crc32.h"
#include "survey/JournalRecovery.h"
#include "survey/SessionFile.h"
#include "survey/Survey.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace orv;
using Clock = std::chrono::steady_clock;

long EnvNumber(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtol(text, nullptr, 10) : fallback;
}

std::string Program(const char* name)
{
    const char* folder = std::getenv("ORV_CRASH_PROGRAMS");
    return folder != nullptr && *folder != '\0'
               ? std::string(folder) + "/" + name
               : std::string(ORV_BINARY_DIR) + "/tools/" + name + "/" + name;
}

const std::string kOrvsim = Program("orvsim");
const std::string kOrvtool = Program("orvtool");
const int kStations = int(EnvNumber("ORV_CRASH_STATIONS", 30));

// Starts a program with its stdout and stderr in files and `extra` ("NAME=value") added to its
// environment; -1 when it cannot be started.
pid_t Spawn(std::vector<std::string> args, const std::string& out, const std::string& err,
            const std::vector<std::string>& extra = {})
{
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> env(extra);
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string& x : extra) {
            replaced = replaced || x.compare(0, name.size(), name) == 0;
        }
        if (!replaced) {
            env.push_back(entry);
        }
    }
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Runs a program to its end; its exit status, or -1.
int RunTool(std::vector<std::string> args, const std::string& out, const std::string& err,
            const std::vector<std::string>& extra = {})
{
    const pid_t pid = Spawn(std::move(args), out, err, extra);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

long Lines(const std::string& path)
{
    const std::string text = ReadFileText(path);
    return long(std::count(text.begin(), text.end(), '\n'));
}

class KillTest : public orv::test::SurveyFixture
{
protected:
    KillTest()
    {
        setenv("ORVCONTROL_PORT_PATTERN", (m_dir.Path() / "port%u").c_str(), 1);
        setenv("ORVCONTROL_SETTINGS", m_dir.File("settings.conf").c_str(), 1);
        setenv("ORVCONTROL_CALIBRATION", m_dir.File("OrvCalibration.ini").c_str(), 1);
    }
    ~KillTest() override
    {
        for (const pid_t simulator : m_simulators) {
            kill(simulator, SIGTERM);
            int status = 0;
            waitpid(simulator, &status, 0);
        }
    }

    // A simulated instrument on port `port`; false when it does not come up.
    bool StartSimulator(unsigned port = 7)
    {
        const std::string name = "sim" + std::to_string(port);
        const pid_t simulator = Spawn({kOrvsim, "instrument", "--port", std::to_string(port)},
                                      m_dir.File(name + ".out"), m_dir.File(name + ".err"));
        if (simulator <= 0) {
            return false;
        }
        m_simulators.push_back(simulator);
        for (int i = 0; i < 500; ++i) {
            std::error_code ec;
            if (std::filesystem::is_symlink(m_dir.Path() / ("port" + std::to_string(port)), ec)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // The serial port's lock file names the killed survey's process number. Process numbers
    // come round again within a few thousand kills, and one given to the other lane's orvtool
    // makes the lock look held, so the next survey could not open its port: the lock of a
    // survey known dead goes with it.
    void ForgetPortLock(unsigned port) const
    {
        std::string lockFile = (m_dir.Path() / ("port" + std::to_string(port))).string();
        std::replace(lockFile.begin(), lockFile.end(), '/', '_');
        std::error_code ignored;
        std::filesystem::remove("/var/lock/LCK.." + lockFile, ignored);
    }

    // The survey a kill interrupts, in its own folder.
    static std::vector<std::string> SurveyCommand(const std::string& folder, unsigned port = 7)
    {
        return {kOrvtool,      "survey",
                "--port",      std::to_string(port),
                "--work-type", "Line",
                "--stations",  std::to_string(kStations),
                "--out",       folder + "/survey.orv",
                "--progress"};
    }
    // Its own data folder, where the pointers to its journals go.
    static std::vector<std::string> DataFolder(const std::string& folder)
    {
        return {"ORVCONTROL_DATA=" + folder + "/data"};
    }

    // Stations by index, the CRC-32 of each slot.
    using Crcs = std::map<int, uint32_t>;

    // The progress lines, {"Index":N,"Crc":"hhhhhhhh"}; a line cut by the kill is not one.
    static Crcs Acknowledged(const std::string& progress)
    {
        Crcs acked;
        std::istringstream lines(progress);
        std::string line;
        while (std::getline(lines, line)) {
            int index = 0;
            unsigned crc = 0;
            char end = 0;
            if (std::sscanf(line.c_str(), "{\"Index\":%d,\"Crc\":\"%8x\"%c", &index, &crc, &end) ==
                    3 &&
                end == '}') {
                acked[index] = uint32_t(crc);
            }
        }
        return acked;
    }

    Crcs StationsIn(const std::string& file, std::string& error)
    {
        const std::lock_guard lock(m_configMutex);
        Crcs stations;
        auto survey = OpenSession(file, m_config, error);
        if (!survey) {
            return stations;
        }
        for (int i = 0; i < survey->Slots().Count(); ++i) {
            if (!survey->Slots()[i].IsEmpty()) {
                stations[i] = Crc32(survey->Slots()[i].bytes);
            }
        }
        return stations;
    }

    std::vector<pid_t> m_simulators;
    std::mutex m_configMutex;
};

// What the kills came across, over all lanes.
struct Tally
{
    long kills = 0, finished = 0, nothingAcknowledged = 0, recovered = 0, inFlight = 0;
    long stations = 0;
};

TEST_F(KillTest, KilledSurveyLosesNoAcknowledgedStation)
{
    const long kills = EnvNumber("ORV_CRASH_KILLS", 100);
    const long minutes = EnvNumber("ORV_CRASH_MINUTES", 0);
    const int lanes = int(std::clamp(EnvNumber("ORV_CRASH_LANES", 2), 1L, 8L));
    const uint32_t seed = uint32_t(EnvNumber("ORV_CRASH_SEED", long(std::random_device{}())));
    std::printf(
        "kill harness: %ld kills of %d-station surveys in %d lanes, seed %u "
        "(replay: scripts/crash-test %ld --seed %u)\n",
        kills, kStations, lanes, seed, kills, seed);
    std::fflush(stdout);
    for (int lane = 0; lane < lanes; ++lane) {
        ASSERT_TRUE(StartSimulator(unsigned(7 + lane)));
    }

    // How long a whole survey takes here (the second of two runs: the first also fills the
    // disk cache and writes the settings and calibration files the others read).
    const std::string calibration = m_dir.File("calibrate");
    const auto begin = Clock::now();
    for (int warm = 0; warm < 2; ++warm) {
        std::filesystem::remove_all(calibration);
        std::filesystem::create_directories(calibration);
        ASSERT_EQ(RunTool(SurveyCommand(calibration), calibration + "/out", calibration + "/err",
                          DataFolder(calibration)),
                  0)
            << ReadFileText(calibration + "/err");
    }
    const long whole =
        long(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - begin).count()) /
        2;
    std::filesystem::remove_all(calibration);
    // A kill falls either at any moment of the survey's time, start-up and save included, and a
    // little after; or (four times in five) at a station: after a random number of
    // acknowledgements and a random part of a station's time more, so that the kills spread over
    // the stations whatever the machine's speed.
    const long perStation = std::max(1000L, whole / (kStations + 10));

    Tally tally;
    std::mutex tallyMutex;
    std::vector<std::string> problems;
    const auto deadline = Clock::now() + std::chrono::minutes(minutes > 0 ? minutes : 1000000);
    std::atomic<long> next{0};

    const auto lane = [&](int laneIndex) {
        const unsigned port = unsigned(7 + laneIndex);
        const std::string folder = m_dir.File("kill" + std::to_string(laneIndex));
        const auto failed = [&](std::string problem) {
            const std::lock_guard lock(tallyMutex);
            problems.push_back(std::move(problem));
        };
        const auto stop = [&] {
            const std::lock_guard lock(tallyMutex);
            return !problems.empty();
        };
        for (long k = next++; k < kills && !stop() && Clock::now() < deadline; k = next++) {
            // Each kill's moment from the seed and its number alone, whichever lane runs it.
            std::mt19937 random(seed ^ uint32_t(k * 2654435761u));
            const bool anywhere = std::uniform_int_distribution<int>(0, 4)(random) == 0;
            const long wait = std::uniform_int_distribution<long>(0, whole * 12 / 10)(random);
            const long count = std::uniform_int_distribution<long>(0, kStations)(random);
            const long extra = std::uniform_int_distribution<long>(0, perStation * 3 / 2)(random);

            std::filesystem::remove_all(folder);
            std::filesystem::create_directories(folder);
            const std::string where =
                "kill " + std::to_string(k) + " (seed " + std::to_string(seed) + ")";
            const std::string progress = folder + "/progress";
            const pid_t pid =
                Spawn(SurveyCommand(folder, port), progress, folder + "/err", DataFolder(folder));
            if (pid <= 0) {
                failed(where + ": orvtool survey does not start");
                return;
            }
            if (anywhere) {
                std::this_thread::sleep_for(std::chrono::microseconds(wait));
            } else {
                int status = 0;
                while (Lines(progress) < count && waitpid(pid, &status, WNOHANG) == 0) {
                    std::this_thread::sleep_for(std::chrono::microseconds(300));
                }
                std::this_thread::sleep_for(std::chrono::microseconds(extra));
            }
            kill(pid, SIGKILL);
            int status = 0;
            waitpid(pid, &status, 0);
            ForgetPortLock(port);
            const bool finished = WIFEXITED(status);
            if (finished && WEXITSTATUS(status) != 0) {
                failed(where + ": the survey failed: " + ReadFileText(folder + "/err"));
                return;
            }
            const Crcs acked = Acknowledged(ReadFileText(progress));

            // What the operator has afterwards: the saved file, if the save got that far, and
            // what recovery brings back.
            Crcs got;
            std::string error;
            if (std::filesystem::exists(folder + "/survey.orv")) {
                got = StationsIn(folder + "/survey.orv", error);
                if (!error.empty()) {
                    failed(where + ": the saved file does not open: " + error);
                }
            }
            // The journals left behind, found as `orvtool recover --list` finds them (the test
            // below runs the command itself); each is recovered by the command.
            long recoveries = 0;
            for (const OrphanedJournal& orphan : FindOrphanedJournals(folder + "/data")) {
                const std::string& journal = orphan.journalPath;
                const std::string recovered = folder + "/recovered.orv";
                std::filesystem::remove(recovered);
                if (RunTool({kOrvtool, "recover", journal, "--out", recovered}, folder + "/rec",
                            folder + "/rec.err", DataFolder(folder)) != 0) {
                    // A journal cut before its header was whole has nothing acknowledged in it.
                    if (!acked.empty()) {
                        failed(where + ": recover failed: " + ReadFileText(folder + "/rec.err"));
                    }
                    continue;
                }
                ++recoveries;
                for (const auto& [index, crc] : StationsIn(recovered, error)) {
                    got[index] = crc;
                }
                if (std::filesystem::exists(journal)) {
                    failed(where + ": the journal is still there after its recovery");
                }
            }

            for (const auto& [index, crc] : acked) {
                const auto found = got.find(index);
                if (found == got.end()) {
                    failed(where + ": acknowledged station " + std::to_string(index) + " is lost");
                } else if (found->second != crc) {
                    failed(where + ": station " + std::to_string(index) + " came back changed");
                }
            }
            const int following = acked.empty() ? 0 : acked.rbegin()->first + 1;
            long inFlight = 0;
            for (const auto& [index, crc] : got) {
                if (acked.count(index) == 0 && !finished) {
                    if (index == following) {
                        ++inFlight;
                    } else {
                        failed(where + ": station " + std::to_string(index) +
                               " came back though it was never acknowledged");
                    }
                }
            }
            const std::lock_guard lock(tallyMutex);
            ++tally.kills;
            tally.finished += finished ? 1 : 0;
            tally.nothingAcknowledged += acked.empty() ? 1 : 0;
            tally.recovered += recoveries;
            tally.inFlight += inFlight;
            tally.stations += long(got.size());
            if (tally.kills % 500 == 0) {
                // A long run tells how far it got.
                std::printf("kill harness: %ld kills so far\n", tally.kills);
                std::fflush(stdout);
            }
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < lanes; ++i) {
        threads.emplace_back(lane, i);
    }
    for (std::thread& t : threads) {
        t.join();
    }
    std::printf(
        "kill harness: %ld kills (seed %u): %ld during the survey, %ld after it ended; %ld "
        "with nothing acknowledged yet; %ld recoveries; %ld stations back, %ld of them in "
        "flight at the kill\n",
        tally.kills, seed, tally.kills - tally.finished, tally.finished, tally.nothingAcknowledged,
        tally.recovered, tally.stations, tally.inFlight);
    RecordProperty("Kills", int(tally.kills));
    EXPECT_TRUE(problems.empty()) << problems.size()
                                  << " problems; the first: " << problems.front();
    if (minutes == 0) {
        EXPECT_EQ(tally.kills, kills);
    }
}

}  // namespace

namespace {

// Waits until the survey acknowledged at least `count` stations, then kills it.
bool KillAfter(pid_t pid, const std::string& progress, int count)
{
    for (int i = 0; i < 3000; ++i) {
        const std::string text = ReadFileText(progress);
        if (std::count(text.begin(), text.end(), '\n') >= count) {
            kill(pid, SIGKILL);
            int status = 0;
            waitpid(pid, &status, 0);
            return WIFSIGNALED(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    kill(pid, SIGKILL);
    return false;
}

TEST_F(KillTest, RecoverListsRecoversAndDiscardsWithClearWords)
{
    ASSERT_TRUE(StartSimulator());
    const std::string folder = m_dir.File("work");
    std::filesystem::create_directories(folder);
    setenv("ORVCONTROL_DATA", (folder + "/data").c_str(), 1);
    const std::string out = folder + "/out", err = folder + "/err";
    const auto tool = [&](std::vector<std::string> args) {
        args.insert(args.begin(), kOrvtool);
        return RunTool(std::move(args), out, err);
    };

    pid_t pid = Spawn(SurveyCommand(folder), folder + "/progress", folder + "/survey.err");
    ASSERT_TRUE(KillAfter(pid, folder + "/progress", 5));
    ForgetPortLock(7);
    const Crcs acked = Acknowledged(ReadFileText(folder + "/progress"));
    ASSERT_EQ(tool({"recover", "--list"}), 0) << ReadFileText(err);
    const std::string list = ReadFileText(out);
    const std::string journal = folder + "/survey.orv.journal";
    EXPECT_NE(list.find("\"Journal\":\"" + journal + "\""), std::string::npos) << list;
    EXPECT_NE(list.find("\"Survey\":\"" + folder + "/survey.orv\""), std::string::npos) << list;
    EXPECT_NE(list.find("\"Damaged\":false"), std::string::npos) << list;
    EXPECT_NE(list.find("\"LastWritten\":\"20"), std::string::npos) << list;

    const struct
    {
        const char* legend;
        std::vector<std::string> args;
        const char* said;
    } wrong[] = {
        {"no output file", {"recover", journal}, "--out FILE.orv"},
        {"no such journal",
         {"recover", folder + "/gone.journal", "--out", folder + "/x.orv"},
         "there is no journal at"},
        {"output exists", {"recover", journal, "--out", folder + "/progress"}, "--overwrite"},
        {"output is the journal",
         {"recover", journal, "--out", journal, "--overwrite"},
         "over its own journal"},
        {"not a journal",
         {"recover", "discard", folder + "/progress"},
         "is not a measurement journal"},
    };
    for (const auto& w : wrong) {
        SCOPED_TRACE(w.legend);
        EXPECT_EQ(tool(w.args), 1);
        EXPECT_NE(ReadFileText(err).find(w.said), std::string::npos) << ReadFileText(err);
    }
    EXPECT_TRUE(std::filesystem::exists(folder + "/progress"));

    const std::string recovered = folder + "/recovered.orv";
    ASSERT_EQ(tool({"recover", journal, "--out", recovered}), 0) << ReadFileText(err);
    EXPECT_NE(ReadFileText(out).find("\"Stations\":"), std::string::npos) << ReadFileText(out);
    std::string error;
    const Crcs got = StationsIn(recovered, error);
    for (const auto& [index, crc] : acked) {
        ASSERT_EQ(got.count(index), 1u) << index;
        EXPECT_EQ(got.at(index), crc);
    }
    EXPECT_FALSE(std::filesystem::exists(journal));
    ASSERT_EQ(tool({"recover", "--list"}), 0);
    EXPECT_NE(ReadFileText(out).find("\"Journals\":[]"), std::string::npos) << ReadFileText(out);

    // Another survey killed: its journal is dropped for good.
    std::filesystem::remove(folder + "/progress");
    pid = Spawn(SurveyCommand(folder), folder + "/progress", folder + "/survey.err");
    ASSERT_TRUE(KillAfter(pid, folder + "/progress", 2));
    ForgetPortLock(7);
    ASSERT_EQ(tool({"recover", "discard", journal}), 0) << ReadFileText(err);
    EXPECT_FALSE(std::filesystem::exists(journal));
    ASSERT_EQ(tool({"recover", "--list"}), 0);
    EXPECT_NE(ReadFileText(out).find("\"Journals\":[]"), std::string::npos) << ReadFileText(out);
}

}  // namespace
