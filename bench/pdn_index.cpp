// Reading a PDN database of many games. A database is generated (by default 100,000 games of
// random legal play, about 30 MiB, written as real files write: tags, comments with clock
// commands, columns of padded squares, set-ups, a game in a hundred with a recording error),
// then each measure runs in a fresh process of this program:
//  - index time: opening and indexing the file, every move replayed (target at most 1 s);
//    the time to read the file's bytes alone is printed beside it;
//  - peak memory of the index, over what the process held before, against the file's size
//    plus 200 bytes a game (target at most 1);
//  - opening one game: the slowest of every game of the database (target 10 ms);
//  - linearity: the database written twice over, indexed (target at most 2.2 times the time).
// Times are medians of the runs. The files are written in the temporary directory and removed.
// Usage: pdn_index [games] [runs]      (defaults: 100000, 3)
//        pdn_index --write FILE [games] writes the database and ends (to try it elsewhere)
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "Game.h"
#include "Notation.h"
#include "PdnDatabase.h"

namespace
{
using Clock = std::chrono::steady_clock;
constexpr double c_IndexTarget = 1.0;
constexpr double c_BytesPerGame = 200.0;
constexpr double c_OpenTarget = 0.010;
constexpr double c_LinearTarget = 2.2;
const char* const c_SetUps[] = {"W:W27,28,31,32,33,36,37,38,41,42:B10,12,13,14,16,17,18,19,20,24",
                                "B:W31,32,34,35,K44:B6,9,13,18,K40"};

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Processor time of this process: on a busy machine it shows the work apart from the wait.
double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A kilobyte figure of this process from /proc/self/status ("VmRSS", "VmHWM").
long statusKiB(const char* name)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, std::strlen(name), name) == 0 && line[std::strlen(name)] == ':')
            return std::atol(line.c_str() + std::strlen(name) + 1);
    return 0;
}

// A move as columns write it: squares right-aligned in two characters ("1- 6", "47x 9").
std::string padded(const std::string& move)
{
    std::string text;
    std::size_t digits = 0;
    for (std::size_t at = 0; at <= move.size(); ++at) {
        if (at < move.size() && move[at] >= '0' && move[at] <= '9') {
            ++digits;
            continue;
        }
        const std::string square = move.substr(at - digits, digits);
        text += (digits == 1 ? " " : "") + square;
        if (at < move.size())
            text += move[at];
        digits = 0;
    }
    return text;
}

std::string generateGame(int number, std::mt19937& random)
{
    Draughts::Position start = Draughts::Position::initial();
    const bool setUp = number % 20 == 7;
    std::string error;
    if (setUp)
        Draughts::Position::fromFen(c_SetUps[number % 2], start, error);
    Draughts::Game game(start);
    const std::size_t length = 8 + random() % 32;
    while (game.result() == Draughts::Result::Ongoing && game.moves().size() < length) {
        const Draughts::MoveList moves = game.legalMoves();
        game.play(moves[random() % moves.size()]);
    }
    static const char* const c_Declared[] = {"2-0", "1-1", "0-2", "*"};
    const char* result = game.result() == Draughts::Result::Ongoing ? c_Declared[random() % 4]
                                                                     : Draughts::Game::resultText(game.result());

    std::string text = "[Event \"Generated tournament " + std::to_string(number / 50) + "\"]\n[Date \"20" +
                       std::to_string(10 + number % 15) + "." + std::to_string(1 + number % 12) + "." +
                       std::to_string(1 + number % 28) + "\"]\n[White \"Player " + std::to_string(random() % 5000) +
                       "\"]\n[Black \"Player " + std::to_string(random() % 5000) + "\"]\n[Result \"" + result +
                       "\"]\n";
    if (setUp)
        text += "[FEN \"" + start.toFen() + "\"]\n";
    const bool columns = number % 10 == 3;
    const bool clocks = number % 7 == 2;
    // One game in a hundred lost a move when it was recorded.
    const std::size_t dropped = number % 100 == 42 && game.moves().size() > 4 ? 3 : game.moves().size();
    std::string line;
    for (std::size_t ply = 0; ply < game.moves().size(); ++ply) {
        if (ply == dropped)
            continue;
        const bool black = game.positionBefore(ply).sideToMove() == Draughts::Color::Black;
        if (!black || ply == 0)
            line += std::to_string(game.moveNumber(ply)) + (black ? "... " : ". ");
        const std::string move = game.moveText(ply);
        line += (columns ? padded(move) : move) + (columns ? "  " : " ");
        if (clocks && black)
            line += "{[%clock w0:0" + std::to_string(9 - ply / 10 % 9) + ":12 b0:08:44]} ";
        if (line.size() > 70) {
            text += line + "\n";
            line.clear();
        }
    }
    return text + line + result + "\n\n";
}

std::string generate(int games)
{
    std::mt19937 random(2024);
    std::string text;
    for (int i = 0; i < games; ++i)
        text += generateGame(i, random);
    return text;
}

// The child's side: indexes the file and prints, on one line, the time to read its bytes,
// the index time, the memory at start and at its peak (bytes), the games, and the slowest
// and median times to open one game.
int measure(const char* path)
{
    const long startKiB = statusKiB("VmRSS");
    Draughts::PdnDatabase database;
    std::string error;
    Clock::time_point begin = Clock::now();
    const double cpuBegin = cpuSeconds();
    if (!database.openFile(path, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const double indexTime = seconds(begin);
    const double indexCpu = cpuSeconds() - cpuBegin;
    const long peakKiB = statusKiB("VmHWM");

    // The floor: the same bytes read into memory and nothing more (after the peak is taken).
    begin = Clock::now();
    std::size_t size = 0;
    {
        std::ifstream file(path, std::ios::binary);
        std::vector<char> buffer(1 << 16);
        while (file.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || file.gcount() > 0)
            size += static_cast<std::size_t>(file.gcount());
    }
    const double readTime = seconds(begin);

    std::vector<double> opens;
    opens.reserve(database.size());
    double slowestCpu = 0;
    for (std::size_t i = 0; i < database.size(); ++i) {
        begin = Clock::now();
        const double cpu = cpuSeconds();
        const Draughts::Game game = database.game(i);
        slowestCpu = std::max(slowestCpu, cpuSeconds() - cpu);
        opens.push_back(seconds(begin));
        if (game.moves().size() != database.moveCount(i))
            return 1;
    }
    std::sort(opens.begin(), opens.end());
    std::printf("%.6f %.6f %.6f %ld %ld %zu %zu %.6f %.6f %.6f\n", readTime, indexTime, indexCpu, startKiB * 1024,
                peakKiB * 1024, database.size(), size, opens.empty() ? 0.0 : opens.back(),
                opens.empty() ? 0.0 : opens[opens.size() / 2], slowestCpu);
    return 0;
}

struct Figures
{
    double read = 0;
    double index = 0;
    double indexCpu = 0;
    double startBytes = 0;
    double peakBytes = 0;
    double games = 0;
    double size = 0;
    double slowestOpen = 0;
    double medianOpen = 0;
    double slowestOpenCpu = 0;
};

bool runChild(const std::string& self, const std::string& path, Figures& figures)
{
    std::FILE* pipe = popen(("'" + self + "' --measure '" + path + "'").c_str(), "r");
    if (!pipe)
        return false;
    const int got = std::fscanf(pipe, "%lf %lf %lf %lf %lf %lf %lf %lf %lf %lf", &figures.read, &figures.index,
                                &figures.indexCpu, &figures.startBytes, &figures.peakBytes, &figures.games,
                                &figures.size, &figures.slowestOpen, &figures.medianOpen, &figures.slowestOpenCpu);
    return pclose(pipe) == 0 && got == 10;
}

// The medians of several runs on one file.
bool medians(const std::string& self, const std::string& path, int runs, Figures& result)
{
    std::vector<Figures> all(static_cast<std::size_t>(runs));
    for (Figures& figures : all)
        if (!runChild(self, path, figures))
            return false;
    auto median = [&all](double Figures::*field) {
        std::vector<double> values;
        for (const Figures& figures : all)
            values.push_back(figures.*field);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    for (double Figures::*field :
         {&Figures::read, &Figures::index, &Figures::indexCpu, &Figures::startBytes, &Figures::peakBytes,
          &Figures::games, &Figures::size, &Figures::slowestOpen, &Figures::medianOpen, &Figures::slowestOpenCpu})
        result.*field = median(field);
    return true;
}

const char* verdict(bool met)
{
    return met ? "met" : "NOT met";
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--measure") == 0)
        return measure(argv[2]);
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--write") == 0) {
        std::ofstream(argv[2], std::ios::binary) << generate(argc == 4 ? std::atoi(argv[3]) : 100000);
        return 0;
    }
    const int games = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    if (games < 1 || runs < 1) {
        std::fprintf(stderr, "Usage: pdn_index [games] [runs]\n");
        return 2;
    }
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return 1;
    self[length] = '\0';

    const Clock::time_point begin = Clock::now();
    const std::string text = generate(games);
    const double generated = seconds(begin);
    char pattern[] = "/tmp/pdn_index-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string directory = pattern;
    const std::string once = directory + "/once.pdn";
    const std::string twice = directory + "/twice.pdn";
    std::ofstream(once, std::ios::binary) << text;
    std::ofstream(twice, std::ios::binary) << text << text;
    std::printf("generated %d games, %.1f MiB, in %.1f s\n", games, static_cast<double>(text.size()) / (1 << 20),
                generated);

    Figures one;
    Figures two;
    const bool measured = medians(self, once, runs, one) && medians(self, twice, runs, two);
    std::remove(once.c_str());
    std::remove(twice.c_str());
    rmdir(directory.c_str());
    if (!measured || one.games != games || two.games != 2.0 * games) {
        std::fprintf(stderr, "pdn_index: a measuring run failed\n");
        return 1;
    }

    std::printf("index: %.3f s, processor %.3f s (medians of %d runs; reading the bytes alone %.3f s), %.0f games, "
                "%.0f ns a byte\n",
                one.index, one.indexCpu, runs, one.read, one.games, one.index / one.size * 1e9);
    std::printf("index time / target %.1f s: %.2f (%s)\n", c_IndexTarget, one.index / c_IndexTarget,
                verdict(one.index <= c_IndexTarget));
    const double used = one.peakBytes - one.startBytes;
    const double budget = one.size + c_BytesPerGame * one.games;
    std::printf("memory: peak %.1f MiB over the %.1f MiB at start; file + %.0f B a game = %.1f MiB: %.2f (%s)\n",
                used / (1 << 20), one.startBytes / (1 << 20), c_BytesPerGame, budget / (1 << 20), used / budget,
                verdict(used <= budget));
    std::printf("open one game: slowest %.3f ms (processor %.3f ms), median %.1f us; slowest / target %.0f ms: "
                "%.3f (%s)\n",
                one.slowestOpen * 1e3, one.slowestOpenCpu * 1e3, one.medianOpen * 1e6, c_OpenTarget * 1e3,
                one.slowestOpen / c_OpenTarget, verdict(one.slowestOpen <= c_OpenTarget));
    const double ratio = two.index / one.index;
    std::printf("linearity: twice the file indexed in %.3f s, %.2f times the time, %.2f times the processor time "
                "(target at most %.1f: %s); memory %.2f of its budget\n",
                two.index, ratio, two.indexCpu / one.indexCpu, c_LinearTarget, verdict(ratio <= c_LinearTarget),
                (two.peakBytes - two.startBytes) / (two.size + c_BytesPerGame * two.games));
    return 0;
}
