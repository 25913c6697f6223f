// libFuzzer harness of the draughts PDN reader: any text is indexed without a fault of memory
// or a hang; every game opened agrees with the index, and is written and read back (up to
// its error, if it has one) to the same moves and result, without an error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "PdnDatabase.h"
#include "PdnReader.h"
#include "PdnWriter.h"

namespace
{
void check(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Draughts::PdnDatabase database;
    std::string error;
    check(database.setText(std::string(reinterpret_cast<const char*>(data), size), error));
    for (std::size_t i = 0; i < database.size(); ++i) {
        const Draughts::Game game = database.game(i);
        check(game.moves().size() == database.moveCount(i));
        const Draughts::PdnContents back = Draughts::PdnReader::read(Draughts::PdnWriter::write(game));
        check(back.errors.empty() && back.games.size() == 1);
        const Draughts::Game& copy = back.games.front();
        check(copy.start() == game.start() && copy.moves().size() == game.moves().size());
        for (std::size_t ply = 0; ply < game.moves().size(); ++ply)
            check(copy.moves()[ply] == game.moves()[ply]);
        check(copy.result() == game.result());
    }
    return 0;
}
