// libFuzzer harness of the Hub protocol's lines as an engine or a GUI reads them: any text
// is read line by line without a fault of memory or a hang; every line read is written and
// read back to the same command and arguments; positions and moves in it are read against
// the rules without a fault, and a move read is written back to the same move.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "HubLine.h"
#include "HubNotation.h"
#include "LineReader.h"

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
    Draughts::LineReader reader(4096);
    reader.feed(reinterpret_cast<const char*>(data), size);
    std::string text, error;
    bool tooLong = false;
    while (reader.rest(text, tooLong)) {
        check(text.size() <= 4096);
        Draughts::HubLine line;
        if (!Draughts::HubLine::parse(text, line, error))
            continue;
        Draughts::HubLine back;
        check(Draughts::HubLine::parse(line.format(), back, error));
        check(back.command() == line.command() && back.arguments().size() == line.arguments().size());
        for (std::size_t i = 0; i < line.arguments().size(); ++i) {
            const auto& one = line.arguments()[i];
            const auto& other = back.arguments()[i];
            check(one.name == other.name && one.hasValue == other.hasValue);
            check(one.value == other.value);
        }
        Draughts::Position position = Draughts::Position::initial();
        std::string value;
        if (line.value("pos", value))
            Draughts::HubNotation::readPosition(value, position, error);
        for (const auto& argument : line.arguments()) {
            Draughts::Move move;
            if (Draughts::HubNotation::readMove(position, argument.value, move, error)) {
                Draughts::Move again;
                check(Draughts::HubNotation::readMove(position, Draughts::HubNotation::writeMove(move), again, error));
                check(again == move);
            }
        }
    }
    return 0;
}
