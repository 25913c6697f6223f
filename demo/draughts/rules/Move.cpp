#include "Move.h"

namespace Draughts
{

Move Move::step(int from, int to)
{
    const std::uint8_t path[1] = {static_cast<std::uint8_t>(Bits::bitOf(to))};
    return fromBits(Bits::bitOf(from), path, 1, 0);
}

std::vector<int> Move::landings() const
{
    std::vector<int> squares;
    for (int i = 0; i < m_Landings; ++i)
        squares.push_back(Bits::squareOf(m_Path[i]));
    return squares;
}

std::vector<int> Move::captured() const
{
    std::vector<int> squares;
    if (!isCapture())
        return squares;
    int at = m_From;
    for (int i = 0; i < m_Landings; ++i) {
        const int target = m_Path[i];
        // The one taken piece lies on the diagonal between two landings.
        for (int direction = 0; direction < Bits::c_Directions; ++direction) {
            int taken = -1;
            int bit = Bits::neighbour(at, direction);
            for (; bit >= 0 && bit != target; bit = Bits::neighbour(bit, direction))
                if (m_Captured & Bits::maskOf(bit))
                    taken = bit;
            if (bit == target && taken >= 0) {
                squares.push_back(Bits::squareOf(taken));
                break;
            }
        }
        at = target;
    }
    return squares;
}

std::string Move::toString() const
{
    if (isEmpty())
        return "";
    return std::to_string(from()) + (isCapture() ? "x" : "-") + std::to_string(to());
}

std::string Move::toLongString() const
{
    if (isEmpty())
        return "";
    std::string text = std::to_string(from());
    for (int i = 0; i < m_Landings; ++i)
        text += (isCapture() ? "x" : "-") + std::to_string(Bits::squareOf(m_Path[i]));
    return text;
}

} // namespace Draughts
