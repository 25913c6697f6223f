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

    // A file is indexed whole; its games are built when opened. Only a file that cannot be
    // read or holds no game (or no game --game names) ends the program.
    Draughts::PdnDatabase database;
    const std::string file = Core::quotable(options.file());
    if (!options.file().empty()) {
        std::string error;
        if (!database.openFile(options.file(), error)) {
            std::cerr << "draughts: " << error << '\n';
            return 2;
        }
        if (database.size() == 0) {
            std::cerr << "draughts: " << file << ": no game in the file\n";
            return 2;
        }
        if (options.game() > static_cast<long>(database.size())) {
            std::cerr << "draughts: " << file << ": no game " << options.game() << ": the file holds "
                      << database.size() << (database.size() == 1 ? " game\n" : " games\n");
            return 2;
        }
        const std::size_t opened = options.game() > 0 ? static_cast<std::size_t>(options.game() - 1) : 0;
        if (options.game() > 0 || database.size() == 1)
            for (const Draughts::PdnError& problem : database.problems(opened))
                std::cerr << "draughts: " << file << ": " << problem.toString() << '\n';
        else if (database.errorCount() != 0)
            std::cerr << "draughts: " << file << ": " << database.errorCount() << " of " << database.size()
                      << " games have an error (marked in the list; each is replayed up to it)\n";
    }

    char cwd[PATH_MAX];
    const std::string saveDirectory = getcwd(cwd, sizeof cwd) ? cwd : ".";

    Draughts::BoardView view(Draughts::BoardView::findDataRoots(DRAUGHTS_INSTALLED_DATA));
    Draughts::Session session(options);
    session.setOnError([](const std::string& line) { std::cerr << "draughts: " << line << '\n'; });
    if (!options.file().empty()) {
        const long game = options.game();
        session.setGames(std::move(database));
        if (game > 0)
            session.openGame(static_cast<std::size_t>(game - 1));
    }
    Draughts::Controller controller(view, session);
    Draughts::KeyInput keys(controller, saveDirectory);

    Rendering::Render& render = Rendering::Render::instance();
    render.setDrawOnDemand(true);
    // The square under the pointer is no longer marked once the pointer leaves the board.
    render.setClearHighlightOffBoard(true);
    controller.setLegDuration(options.glideSeconds() * 1000.0);
    // Escape ends the process from inside the main loop: the search is stopped first.
    render.setQuitHandler([&controller]() { controller.shutdown(); });

    std::cout << Draughts::Options::usage() << std::flush;
    // run() comes back only when no window could be opened; it has said why.
    return render.run() ? 0 : 1;
}
