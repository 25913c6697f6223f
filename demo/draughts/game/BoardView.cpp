#include "BoardView.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <fstream>

#include "rendering/Render.h"

namespace Draughts
{

namespace
{
const Vec4<double> c_DarkSquare(0.2, 0.1, 0.0, 1.0);
const Vec4<double> c_LightSquare(0.65, 0.55, 0.3, 1.0);
const Vec4<double> c_BoardColor(0.35, 0.25, 0.1, 1.0);
const Vec4<double> c_WhiteMan(0.85, 0.82, 0.7, 1.0);
const Vec4<double> c_BlackMan(0.13, 0.13, 0.16, 1.0);
const Vec3<double> c_StatusColor(1.0, 0.85, 0.5);
const Vec3<double> c_HelpColor(0.6, 0.75, 1.0);
constexpr int c_Size = 10;
constexpr float c_BoardTurnSpeed = 3.5f;
constexpr float c_SceneScale = 0.85f;
constexpr double c_PieceScale = 0.02;
constexpr const char* c_ProbeFile = "Textures/checkers/Rock.png";

bool opens(const std::string& path)
{
    std::ifstream probe(path);
    return probe.is_open();
}

std::string programDirectory()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "";
    std::string text(path, static_cast<std::size_t>(length));
    return text.substr(0, text.rfind('/') + 1);
}

bool sameColor(const Vec4<double>& a, const Vec4<double>& b)
{
    return a.x() == b.x() && a.y() == b.y() && a.z() == b.z();
}
} // namespace

const char* const BoardView::c_Title = "Tessellon - Draughts";

BoardView::DataRoots BoardView::findDataRoots(const std::string& installedData)
{
    const std::string here = programDirectory();
    if (!here.empty() && opens(here + "../Data/" + c_ProbeFile))
        return {here + "../Data/", here + "../Shader/"};
    if (!here.empty() && !installedData.empty() && opens(here + installedData + "/" + c_ProbeFile))
        return {here + installedData + "/", here + installedData + "/../Shader/"};
    return {"../Data/", "../Shader/"};
}

BoardView::BoardView(const DataRoots& roots) : m_Roots(roots), m_Numbered(51, nullptr)
{
    m_WhiteModel = std::make_unique<Core::Object>(Core::Object::ObjectAlignment(),
                                                  m_Roots.data + "3D/checkers/pion_rouge.ASE");
    m_BlackModel = std::make_unique<Core::Object>(Core::Object::ObjectAlignment(),
                                                  m_Roots.data + "3D/checkers/pion_noir.ASE");
    for (Core::Object* model : {m_WhiteModel.get(), m_BlackModel.get()})
        model->setScale(c_PieceScale);

    m_Board = std::make_unique<Core::Board>(Vec2<unsigned int>(c_Size + 2, c_Size + 2), std::vector<Core::Square*>());
    m_Board->setColor(c_BoardColor);
    m_Board->setTexture(m_Roots.data + "Textures/checkers/Rock.png");
    m_Board->enableAutoHighlight(true);
    for (int row = 0; row < c_Size; ++row)
        for (int column = 0; column < c_Size; ++column)
            buildSquare(row, column);

    m_Status = std::make_unique<Rendering::HUDText>();
    m_Status->setColor(c_StatusColor);
    m_Help = std::make_unique<Rendering::HUDText>();
    m_Help->setColor(c_HelpColor);

    Rendering::Render& render = Rendering::Render::instance();
    render.pushBackHUD(m_Status.get());
    render.pushBackHUD(m_Help.get());
    render.setCameraSpeed(c_BoardTurnSpeed);
    render.setShaderFiles(m_Roots.shader + "per_pixel_true_phong.vert", m_Roots.shader + "per_pixel_true_phong.frag");
    const double scale = c_SceneScale;
    render.setParams(c_Title, Vec3<double>(scale, scale, scale), m_Board.get());
}

BoardView::~BoardView()
{
    Rendering::Render& render = Rendering::Render::instance();
    render.removeHUD(m_Status.get());
    render.removeHUD(m_Help.get());
    if (render.getBoard() == m_Board.get())
        render.setParams(render.getTitle(), render.getScale(), nullptr);
    // A square leaves the board's list when destroyed (and deletes its pieces), so the
    // list is taken over first.
    std::vector<Core::Square*> squares;
    squares.swap(m_Board->getSquares());
    for (Core::Square* square : squares)
        delete square;
}

void BoardView::buildSquare(int row, int column)
{
    const unsigned int k = static_cast<unsigned int>(column), j = static_cast<unsigned int>(row);
    const Core::Square::Coords corners(Vec2<unsigned int>(k + 1, j + 1), Vec2<unsigned int>(k + 1, j + 2),
                                       Vec2<unsigned int>(k + 2, j + 2), Vec2<unsigned int>(k + 2, j + 1));
    auto* square = new Core::Square(corners, std::vector<Core::Object*>());
    const bool dark = (row + column) % 2 == 0;
    square->setColor(dark ? c_DarkSquare : c_LightSquare);
    square->setTexture(m_Roots.data + (dark ? "Textures/checkers/square_dark.png" : "Textures/checkers/square_light.png"));
    tag(*square, "index", std::to_string(row * c_Size + column));
    if (dark) {
        // Rows count from the far side seen from White, five squares to a row.
        const int fromTop = c_Size - 1 - row;
        const int number = fromTop * 5 + column / 2 + 1;
        m_Numbered[static_cast<std::size_t>(number)] = square;
        tag(*square, "square", std::to_string(number));
    }
    m_Board->getSquares().push_back(square);
}

void BoardView::tag(Core::Drawable& drawable, const std::string& key, const std::string& value)
{
    m_Metadata.push_back(std::make_unique<Meta<std::string>>(key, value));
    drawable.getMetadata().push_back(m_Metadata.back().get());
}

Core::Square* BoardView::square(int number) const
{
    return number >= 1 && number <= 50 ? m_Numbered[static_cast<std::size_t>(number)] : nullptr;
}

int BoardView::numberOf(const Core::Square* square) const
{
    if (!square)
        return 0;
    for (int n = 1; n <= 50; ++n)
        if (m_Numbered[static_cast<std::size_t>(n)] == square)
            return n;
    return 0;
}

Core::Object* BoardView::pieceOn(int number) const
{
    Core::Square* s = square(number);
    return s && !s->getObjects().empty() ? s->getObjects().front() : nullptr;
}

bool BoardView::showsKing(int number) const
{
    const Core::Object* piece = pieceOn(number);
    return piece && piece->getStack() == 2;
}

bool BoardView::showsWhite(int number) const
{
    const Core::Object* piece = pieceOn(number);
    return piece && sameColor(piece->getColor(), c_WhiteMan);
}

void BoardView::dress(Core::Object& piece, bool white, bool king)
{
    // A king is two men, one on the other.
    piece.setColor(white ? c_WhiteMan : c_BlackMan);
    piece.setStack(king ? 2 : 1);
}

void BoardView::show(const Position& position)
{
    for (int n = 1; n <= 50; ++n) {
        Core::Square* s = square(n);
        const Piece wanted = position.at(n);
        // Extra pieces (none in play) go first.
        while (s->getObjects().size() > (wanted == Piece::None ? 0u : 1u))
            delete s->getObjects().back();
        if (wanted == Piece::None)
            continue;
        const bool white = wanted == Piece::WhiteMan || wanted == Piece::WhiteKing;
        const bool king = wanted == Piece::WhiteKing || wanted == Piece::BlackKing;
        Core::Object* piece = pieceOn(n);
        if (piece && showsWhite(n) != white) {
            delete piece;
            piece = nullptr;
        }
        if (!piece) {
            piece = new Core::Object(white ? *m_WhiteModel : *m_BlackModel);
            s->pushObject(piece);
        }
        dress(*piece, white, king);
    }
}

void BoardView::clearMarks()
{
    m_Board->clearHighlight();
}

void BoardView::markSelected(int number)
{
    if (Core::Square* s = square(number))
        s->highlightSelected(true);
}

void BoardView::markDestination(int number)
{
    if (Core::Square* s = square(number))
        s->highlightAuthorized(true);
}

void BoardView::face(Color color)
{
    m_Board->setOrientation(color == Color::White ? 0.0f : 180.0f);
}

void BoardView::setTexts(const std::string& status, const std::string& help)
{
    m_Status->setText(status);
    // The help text starts on the line after the status's last one.
    std::string below(static_cast<std::size_t>(std::count(status.begin(), status.end(), '\n') + 2), '\n');
    m_Help->setText(below + help);
}

} // namespace Draughts
