#pragma once

#include <gtest/gtest.h>

#include <string>

#include "Position.h"

// The position a FEN text describes; a test fails (and gets the empty board) when the text
// is not one.
inline Draughts::Position fen(const std::string& text)
{
    Draughts::Position position;
    std::string error;
    EXPECT_TRUE(Draughts::Position::fromFen(text, position, error)) << error;
    return position;
}
