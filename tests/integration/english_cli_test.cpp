// Every korvane-cli command in English over the simulated line: nothing the program itself says,
// on its streams or in the files it writes for people (text export, report), may be Japanese.
// The sample data files name their parameters, groups and units in ASCII, so any CJK character
// in these runs is a text of the program that the English catalog lacks or the code does not
// look up. The same runs without a language under the C locale must still speak Japanese.
#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "integration/programs.h"
#include "unit/paradb/paradb_test_util.h"

namespace korvane::testing {
namespace {

// Kana, CJK ideographs and punctuation, and full-width forms.
bool IsCjk(char32_t c) {
    return (c >= 0x3000 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF);
}

// The first line holding a CJK character, or empty.
std::string FirstCjkLine(const std::string& text) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        for (std::size_t i = 0; i < line.size();) {
            const auto b = static_cast<unsigned char>(line[i]);
            const int length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            char32_t c = length == 1 ? b : b & (0x3F >> (length - 1));
            for (int k = 1; k < length && i + k < line.size(); ++k)
                c = (c << 6) | (static_cast<unsigned char>(line[i + k]) & 0x3F);
            if (IsCjk(c)) return line;
            i += static_cast<std::size_t>(length);
        }
    }
    return {};
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// How a run chooses its language.
struct CliLanguage {
    const char* name;
    std::vector<std::string> options;
    std::vector<std::string> environment;
    bool english;
};

void PrintTo(const CliLanguage& language, std::ostream* os) {
    *os << language.name;
}

const CliLanguage kLanguages[] = {
    {"Option", {"--lang", "en"}, {"LANG=C"}, true},
    {"Environment", {}, {"LANG=en_US.UTF-8"}, true},
    {"Japanese", {}, {"LANG=C"}, false},
};

struct CliRun {
    std::vector<std::string> args;
    // A file the command writes for people, checked as its output is.
    std::string written;
    // A Japanese text the same run shows in Japanese: the run reaches translated texts.
    const char* japanese;
};

// The commands in four groups, each on a line of its own, so that no test runs long.
enum class Group { kLine, kTransfer, kDocuments, kRunning };

void PrintTo(Group group, std::ostream* os) {
    *os << static_cast<int>(group);
}

std::vector<CliRun> RunsOf(Group group, const TempDir& tmp) {
    const std::string data = KORVANE_TEST_DATA_DIR;
    const std::string set = tmp.file("set.par");
    switch (group) {
        case Group::kLine:
            return {
                {{"scan", "1-4", "--data-dir", data}, "", "ノーエラー"},
                {{"read", "1", "4"}, "", "アドレス範囲エラー"},
                {{"write", "1", "0", "7"}, "", "書き込みモードエラー"},
                {{"read", "9", "0"}, "", nullptr},
                {{"get", "3", "Drive Group", "--data-dir", data}, "", nullptr},
                {{"set", "3", "0x1003", "25.0 sec", "--data-dir", data}, "", nullptr},
                {{"set", "3", "0x1003", "fast", "--data-dir", data}, "", nullptr},
                {{"monitor", "3", "0x000E", "0x0005", "--polls", "2"}, "", nullptr},
                {{"params", "--series", "11", "--version", "0x0310", "--data-dir", data},
                 "",
                 nullptr},
                {{"params", "--series", "99", "--version", "0x0100", "--data-dir", data},
                 "",
                 "このモデルをサポートしていません"},
                {{"sco", "/dev/zero"}, "", "範囲ファイルを開くことができません"},
            };
        case Group::kTransfer:
            return {
                {{"upload", "3", set, "--data-dir", data},
                 "",
                 "アップロードアクションが終了しました"},
                {{"upload", "3", set, "--data-dir", data}, "", "上書き"},
                {{"upload", "3", tmp.file("missing/set.par"), "--data-dir", data}, "", nullptr},
                {{"compare", "3", set, "--data-dir", data}, "", "比較アクションが終了しました"},
                {{"download", "3", set, "--data-dir", data},
                 "",
                 "ダウンロードアクションが終了しました"},
            };
        case Group::kDocuments:
            return {
                {{"export", "3", tmp.file("online.txt"), "--data-dir", data},
                 tmp.file("online.txt"),
                 nullptr},
                {{"export", "--series", "11", "--version", "0x0310", "--data-dir", data,
                  tmp.file("offline.txt")},
                 tmp.file("offline.txt"),
                 nullptr},
                {{"report", tmp.file("online.htm"), "3", "--data-dir", data},
                 tmp.file("online.htm"),
                 "企業"},
                {{"report", tmp.file("offline.htm"), "--series", "11", "--version", "0x0310",
                  "--data-dir", data},
                 tmp.file("offline.htm"),
                 "パラメータグループ名"},
            };
        case Group::kRunning:
            return {
                {{"run", "3", "forward", "--data-dir", data}, "", "順方向"},
                {{"set", "3", "0x1006", "Keypad-2", "--data-dir", data},
                 "",
                 "インバータ実行ステータス"},
                {{"info", "3", "--polls", "2", "--data-dir", data}, "", "順方向"},
                {{"scope", "3:9", "3:10", "--duration", "1", "--data-dir", data}, "", nullptr},
                {{"run", "3", "stop", "--data-dir", data}, "", "減速中"},
            };
    }
    return {};
}

class EnglishCli : public ::testing::TestWithParam<std::tuple<CliLanguage, Group>> {
protected:
    const CliLanguage& language() const { return std::get<0>(GetParam()); }

    // A Kapok drive (station 3) and an Elm drive (station 1) on a fast line.
    ProgramResult cli(std::vector<std::string> args) {
        std::vector<std::string> argv{KORVANE_CLI_PATH, "--port", sim.pty(),   "--baud", "115200",
                                      "--timeout",      "150",    "--retries", "1"};
        argv.insert(argv.end(), language().options.begin(), language().options.end());
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(argv, 100000, language().environment);
    }

    // Whatever a run said is in the chosen language.
    void expectLanguage(const std::string& said, const char* japanese) {
        if (language().english) {
            EXPECT_EQ(FirstCjkLine(said), "") << said;
        } else if (japanese != nullptr) {
            EXPECT_NE(said.find(japanese), std::string::npos) << said;
        }
    }

    SimProcess sim{{"--baud", "115200", "--drive", "3:11:0x0310:5:1", "--drive", "1:4:0x0100:3:1"}};
    TempDir tmp;
};

TEST_P(EnglishCli, EveryCommandSpeaksTheChosenLanguage) {
    ASSERT_TRUE(sim.started());
    for (const CliRun& run : RunsOf(std::get<1>(GetParam()), tmp)) {
        std::string command;
        for (const std::string& a : run.args) command += a + " ";
        SCOPED_TRACE(command);
        const ProgramResult r = cli(run.args);
        ASSERT_NE(r.exitCode, -1) << "did not finish";
        ASSERT_NE(r.exitCode, 2) << r.err;  // every run above is a valid command line
        expectLanguage(r.out + r.err + (run.written.empty() ? "" : ReadText(run.written)),
                       run.japanese);
    }
    if (std::get<1>(GetParam()) != Group::kRunning) return;

    // A tripped drive: its fault names and its run state.
    ASSERT_NE(sim.command("trip 3 0").find("tripped"), std::string::npos);
    const std::string data = KORVANE_TEST_DATA_DIR;
    const ProgramResult faults =
        cli({"info", "3", "--page", "faults", "--polls", "2", "--data-dir", data});
    const ProgramResult state = cli({"run", "3", "stop", "--data-dir", data});
    expectLanguage(faults.out + faults.err + state.out + state.err, "ヒューズ開放");
}

std::string TestName(const ::testing::TestParamInfo<std::tuple<CliLanguage, Group>>& info) {
    static const char* const kGroups[] = {"Line", "Transfer", "Documents", "Running"};
    return std::string(std::get<0>(info.param).name) +
           kGroups[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Languages, EnglishCli,
                         ::testing::Combine(::testing::ValuesIn(kLanguages),
                                            ::testing::Values(Group::kLine, Group::kTransfer,
                                                              Group::kDocuments, Group::kRunning)),
                         TestName);

TEST(EnglishCliUsage, LanguageOptionTakesJaOrEn) {
    for (const char* bad : {"fr", "", "EN", "english"}) {
        const ProgramResult r = RunProgram({KORVANE_CLI_PATH, "--lang", bad, "scan", "1"});
        EXPECT_EQ(r.exitCode, 2) << bad;
        EXPECT_NE(r.err.find("--lang"), std::string::npos) << r.err;
    }
    const ProgramResult help = RunProgram({KORVANE_CLI_PATH, "--help"});
    EXPECT_NE(help.out.find("--lang ja|en"), std::string::npos);
}

// --lang wins over the environment; without it, the first language variable set decides.
TEST(EnglishCliUsage, OptionThenEnvironmentChooseTheLanguage) {
    const char* const kJapanese = "このモデルをサポートしていません";
    const struct {
        std::vector<std::string> options;
        std::vector<std::string> environment;
        bool japanese;
    } cases[] = {
        {{"--lang", "en"}, {"LANG=ja_JP.UTF-8"}, false},
        {{"--lang", "ja"}, {"LANG=en_US.UTF-8"}, true},
        {{}, {"LANGUAGE=en", "LANG=ja_JP.UTF-8"}, false},
        {{}, {"LC_ALL=C", "LANG=en_US.UTF-8"}, true},
        {{}, {"LANG=POSIX"}, true},
        {{}, {}, true},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{KORVANE_CLI_PATH};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        argv.insert(argv.end(), {"params", "--series", "99", "--version", "0x0100", "--data-dir",
                                 KORVANE_TEST_DATA_DIR});
        const ProgramResult r = RunProgram(argv, 60000, c.environment);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(r.err.find(kJapanese) != std::string::npos, c.japanese)
            << r.err << " with " << c.environment.size() << " variables";
        EXPECT_EQ(FirstCjkLine(r.err).empty(), !c.japanese) << r.err;
    }
}

}  // namespace
}  // namespace korvane::testing
