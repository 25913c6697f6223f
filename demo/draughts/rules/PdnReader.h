#pragma once

#include <string>
#include <vector>

#include "Game.h"

namespace Draughts
{

// A fault in one game of a PDN text.
struct PdnError
{
    // The game's place in the text, from 1.
    int game = 0;
    // The move's number as PDN counts it and its side; 0 when the fault is not in a move.
    int moveNumber = 0;
    bool blackMove = false;
    // The move as written, "" when the fault is not in a move.
    std::string move;
    // What is wrong, e.g. "illegal move" or "unterminated comment".
    std::string message;

    // "game 3, move 12... 19x28: illegal move", or "game 3: unterminated comment".
    std::string toString() const;
};

// What a PDN text held: every game found (a faulty one with the moves before its fault), the
// faults, and the number of moves replayed through the rules.
struct PdnContents
{
    std::vector<Game> games;
    std::vector<PdnError> errors;
    long movesReplayed = 0;
};

// Reads PDN 3.0 for international draughts (GameType 20): tags, [FEN] set-ups, move numbers,
// moves "32-28", "28x19" and "28x19x8", results 2-0 1-1 0-2 * (and 1-0 1/2-1/2 0-1); comments
// {...}, lines from % or ;, variations (...), NAGs $n and move strengths ! ? are skipped.
// Every move is replayed through the rules; a game stops at its first fault and reading goes
// on with the next game. Text is UTF-8, or Latin-1 when it is not valid UTF-8; tags are kept
// in UTF-8.
class PdnReader
{
public:
    // Reads every game of a text; never fails as a whole (faults are in the result).
    static PdnContents read(const std::string& text);
    // Reads a file the same way. False with a one-line message when the file cannot be read:
    // missing, not a regular file (a FIFO or device is refused, not waited on), or larger
    // than 256 MiB.
    static bool readFile(const std::string& path, PdnContents& contents, std::string& error);
    // The text in UTF-8: unchanged when it is valid UTF-8 (a byte-order mark dropped), else
    // read as Latin-1.
    static std::string toUtf8(const std::string& text);
};

} // namespace Draughts
