// Seeded random events through the engine's own input callbacks on the demo's real scene,
// a frame after each, with the board checked after every one. The seed is printed;
// CHECKERS_MONKEY_SEED repeats a run and CHECKERS_MONKEY_EVENTS sets its length.
#include "support/GLTest.h"

#include <GL/freeglut.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <random>

#include "CheckersScene.h"
#include "rendering/Camera.h"
#include "rendering/Input.h"
#include "rendering/Render.h"

namespace
{
// Who stands on each square: 0 nobody, else the "player" of its piece.
using Position = std::array<int, 100>;

unsigned long fromEnvironment(const char* name, unsigned long otherwise)
{
    const char* value = std::getenv(name);
    return value && *value ? std::stoul(value) : otherwise;
}

int count(const Position& position, int player)
{
    return static_cast<int>(std::count(position.begin(), position.end(), player));
}

// Whether `after` follows from `before` by one move of `player`: a step to a diagonal
// neighbour in the next row forward, or a jump over an opponent's piece, which is taken
// off, to the square beyond it. Nothing else may change.
bool isMove(const Position& before, const Position& after, int player)
{
    int from = -1, to = -1, changes = 0;
    for (int n = 0; n < 100; ++n) {
        changes += before[n] != after[n];
        if (before[n] == player && after[n] == 0)
            from = n;
        if (before[n] == 0 && after[n] == player)
            to = n;
    }
    if (from < 0 || to < 0)
        return false;
    const int rows = (to / 10 - from / 10) * (player == 1 ? 1 : -1), columns = std::abs(to % 10 - from % 10);
    if (changes == 2)
        return rows == 1 && columns == 1;
    const int over = (from + to) / 2;
    return changes == 3 && rows == 2 && columns == 2 && before[over] == 3 - player && after[over] == 0;
}

class CheckersMonkeyGLTest : public TestSupport::GLTest
{
protected:
    void TearDown() override
    {
        Rendering::reShape(1024, 728);
        Rendering::disableVSync();
        GLTest::TearDown();
    }

    CheckersCBPicking& rules() { return scene->getRules(); }

    // Reads the board; "" when every piece stands on exactly one square (its parent,
    // which lists it once) or, once taken, on none, else what is wrong.
    std::string read(Position* position)
    {
        for (int n = 0; n < 100; ++n) {
            const std::vector<Core::Object*>& pieces = scene->getSquare(n).getObjects();
            (*position)[n] = pieces.empty() ? 0 : pieces.front()->getMeta("player") == "1" ? 1 : 2;
        }
        for (Core::Object& piece : scene->getPieces()) {
            int listed = 0, inParent = 0;
            for (int n = 0; n < 100; ++n) {
                const std::vector<Core::Object*>& pieces = scene->getSquare(n).getObjects();
                const int here = static_cast<int>(std::count(pieces.begin(), pieces.end(), &piece));
                listed += here;
                inParent += &scene->getSquare(n) == piece.getParentSquare() ? here : 0;
            }
            if (listed != (piece.getParentSquare() ? 1 : 0) || inParent != listed)
                return "a piece listed by " + std::to_string(listed) + " squares, " + std::to_string(inParent) +
                       " times by its parent";
        }
        return "";
    }

    // What is wrong after an event during `player`'s turn, or "".
    std::string check(int player)
    {
        if (glGetError() != GL_NO_ERROR)
            return "an OpenGL error";
        Position now;
        const std::string fault = read(&now);
        if (!fault.empty())
            return fault;
        if (count(now, 1) > count(board, 1) || count(now, 2) > count(board, 2))
            return "more pieces than before";
        const bool moved = now != board;
        if (moved && !isMove(board, now, player))
            return "a change that is no move of player " + std::to_string(player);
        const int next = rules().getCurrentPlayer();
        if (next != (moved ? 3 - player : player))
            return "player " + std::to_string(next) + " to move after " + (moved ? "a" : "no") + " move";
        const Core::Square* selected = rules().getSelectedSquare();
        if (selected && now[std::stoi(selected->getMeta("index"))] != next)
            return "a selected square without a piece of the player to move";
        if (moved) {
            ++moves;
            captures += count(now, 3 - player) < count(board, 3 - player);
            lastMove = events;
        }
        board = now;
        return "";
    }

    // One event, one frame, and the checks; false, with a failure, when one fails.
    template <typename Event>
    bool send(const char* what, Event event)
    {
        ++events;
        const int player = rules().getCurrentPlayer();
        event();
        Rendering::Render::instance().loop();
        const std::string fault = check(player);
        if (!fault.empty())
            ADD_FAILURE() << fault << " after a " << what << ", event " << events << " of seed " << seed;
        return fault.empty();
    }

    int random(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

    // The pointer over a square, or over the piece standing on it.
    bool hover(int n)
    {
        const std::vector<Core::Object*>& pieces = scene->getSquare(n).getObjects();
        const double height = pieces.empty() || random(0, 1) ? 0.001 : pieces.front()->deltaTranslateY();
        const Vec3<double> w = onScreen(n % 10 + 1.5, n / 10 + 1.5, height);
        return send("hover", [&] { Rendering::passiveMotionEvent(static_cast<int>(w.x()), static_cast<int>(w.y())); });
    }

    // A left click, mostly where the rules would take it: one of the current player's
    // pieces, a marked destination of the selected one, or the selected square when it
    // has none; now and then anywhere.
    bool leftClick()
    {
        std::vector<int> likely;
        for (int n = 0; n < 100; ++n)
            if (rules().getSelectedSquare() ? scene->getSquare(n).isHighlightedAuthorized()
                                            : board[n] == rules().getCurrentPlayer())
                likely.push_back(n);
        if (likely.empty() && rules().getSelectedSquare())
            likely.push_back(std::stoi(rules().getSelectedSquare()->getMeta("index")));
        const int n =
            !likely.empty() && random(0, 9) ? likely[random(0, static_cast<int>(likely.size()) - 1)] : random(0, 99);
        return hover(n) && send("left press", [] { Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0); }) &&
               send("left release", [] { Rendering::mouseEvent(GLUT_LEFT_BUTTON, GLUT_UP, 0, 0); });
    }

    // Now and then the player puts the view back: filled drawing, the free camera at its
    // start-up place, a window of 400 x 285.
    bool restoreView()
    {
        const auto key = [](unsigned char k) { return [k] { Rendering::keyboardEvent(k, 0, 0); }; };
        return send("key", key('p')) &&
               (Rendering::Render::instance().getCamera()->isFree() || send("key", key('+'))) &&
               send("key", key('-')) && send("resize", [] { Rendering::reShape(400, 285); });
    }

    bool randomEvent()
    {
        // The engine's keys, and two it hands to the application.
        static const char keys[] = "zsqdae+-*/lpZx";
        switch (std::discrete_distribution<int>({6, 1, 1, 2, 1, 12})(rng)) {
        case 0:
            return hover(random(0, 99));
        case 1:
            return send("pointer", [&] { Rendering::passiveMotionEvent(random(-50, 560), random(-50, 400)); });
        case 2: {
            int x = random(0, 511), y = random(0, 363);
            bool ok = send("right press", [] { Rendering::mouseEvent(GLUT_RIGHT_BUTTON, GLUT_DOWN, 0, 0); });
            for (int i = random(1, 5); ok && i > 0; --i) {
                x += random(-20, 20);
                y += random(-20, 20);
                ok = send("drag", [&] { Rendering::motionEvent(x, y); });
            }
            return ok && send("right release", [] { Rendering::mouseEvent(GLUT_RIGHT_BUTTON, GLUT_UP, 0, 0); });
        }
        case 3:
            return send("key", [&] { Rendering::keyboardEvent(keys[random(0, sizeof keys - 2)], 10, 10); });
        case 4: {
            // Windows up to half the screen keep the frames quick; now and then a tiny or a
            // minimised one (height 0).
            const bool tiny = random(0, 9) == 0;
            const int width = tiny ? random(1, 512) : random(160, 512), height = tiny ? random(0, 8) : random(120, 364);
            return send("resize", [&] { Rendering::reShape(width, height); });
        }
        default:
            return leftClick();
        }
    }

    // A new game: the scene is rebuilt, as when the game has got stuck.
    void newGame()
    {
        scene = std::make_unique<CheckersScene>();
        ++games;
        lastMove = events;
        read(&board);
    }

    unsigned long seed = 0;
    std::mt19937 rng;
    std::unique_ptr<CheckersScene> scene;
    Position board{};
    long events = 0, moves = 0, captures = 0, games = 0, lastMove = 0;
};
} // namespace

TEST_F(CheckersMonkeyGLTest, RandomEventsKeepTheGameLegal)
{
    seed = fromEnvironment("CHECKERS_MONKEY_SEED", std::random_device()());
    const long length = static_cast<long>(fromEnvironment("CHECKERS_MONKEY_EVENTS", 2000));
    rng.seed(seed);
    std::cout << "Monkey seed " << seed << " (CHECKERS_MONKEY_SEED), " << length << " events" << std::endl;
    const auto start = std::chrono::steady_clock::now();
    newGame();
    for (int untilRestore = 0; events < length; --untilRestore) {
        if (untilRestore <= 0 && restoreView())
            untilRestore = random(5, 50);
        if (HasFailure() || !randomEvent())
            break;
        if (events - lastMove > 400)
            newGame();
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::cout << events << " events, " << moves << " moves, " << captures << " captures, " << games << " games in "
              << seconds.count() << " s" << std::endl;
    EXPECT_GT(moves, length / 100) << "the clicks should make moves";
}
