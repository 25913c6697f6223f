// libFuzzer harness of the draughts PDN reader: any text is read without a fault of memory
// or a hang, and every game read (up to its first fault) is written and read back to the
// same moves and result without a fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

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
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Draughts::PdnContents contents = Draughts::PdnReader::read(text);
    for (const Draughts::Game& game : contents.games) {
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
