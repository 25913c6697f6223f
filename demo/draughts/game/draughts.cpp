// International draughts against the computer (or another person) on the engine's board:
// reads the command line, builds the board, and hands over to the engine's main loop,
// which ends with Escape.
#include <unistd.h>

#include <climits>
#include <iostream>

#include "BoardView.h"
#include "Controller.h"
#include "KeyInput.h"
#include "Options.h"
#include "PdnDatabase.h"
#include "Session.h"
#include "core/Quotable.h"
#include "rendering/Render.h"

#ifndef DRAUGHTS_INSTALLED_DATA
#define DRAUGHTS_INSTALLED_DATA ""
#endif

namespace
{
// A move takes this long on the board for each square the piece lands on.
constexpr double c_LegMs = 400.0;
} // namespace

int main(int argc, char** argv)
{
    Draughts::Options options;
    switch (options.parse(argc, argv)) {
    case Draughts::Options::Outcome::Help:
        std::cout << Draughts::Options::usage();
        return 0;
    case Draughts::Options::Outcome::Error:
        std::cerr << "draughts: " << options.error() << '\n';
        return 2;
    case Draughts::Options::Outcome::Run:
        break;
    }

    Draughts::Game loaded;
    if (!options.file().empty()) {
        Draughts::PdnDatabase database;
        std::string error;
        if (!database.openFile(options.file(), error)) {
            std::cerr << "draughts: " << error << '\n';
            return 2;
        }
        if (database.size() == 0) {
            std::cerr << "draughts: " << Core::quotable(options.file()) << ": no game in the file\n";
            return 2;
        }
        for (const Draughts::PdnError& problem : database.problems(0))
            std::cerr << "draughts: " << Core::quotable(options.file()) << ": " << problem.toString() << '\n';
        loaded = database.game(0);
    }

    char cwd[PATH_MAX];
    const std::string saveDirectory = getcwd(cwd, sizeof cwd) ? cwd : ".";

    Draughts::BoardView view(Draughts::BoardView::findDataRoots(DRAUGHTS_INSTALLED_DATA));
    Draughts::Session session(options);
    session.setOnError([](const std::string& line) { std::cerr << "draughts: " << line << '\n'; });
    if (!options.file().empty())
        session.load(loaded);
    Draughts::Controller controller(view, session);
    Draughts::KeyInput keys(controller, saveDirectory);

    Rendering::Render& render = Rendering::Render::instance();
    render.setDrawOnDemand(true);
    // The square under the pointer is no longer marked once the pointer leaves the board.
    render.setClearHighlightOffBoard(true);
    controller.setLegDuration(c_LegMs);
    // Escape ends the process from inside the main loop: the search is stopped first.
    render.setQuitHandler([&controller]() { controller.shutdown(); });

    std::cout << Draughts::Options::usage() << std::flush;
    // run() comes back only when no window could be opened; it has said why.
    return render.run() ? 0 : 1;
}
