#include "CheckersScene.h"

#include <fstream>

#include "rendering/Render.h"

namespace
{
const Vec4<double> c_DarkSquare(0.2, 0.1, 0.0, 1.0);
const Vec4<double> c_LightSquare(0.65, 0.55, 0.3, 1.0);
const Vec4<double> c_BoardColor(0.35, 0.25, 0.1, 1.0);
const Vec4<double> c_Player1Color(0.6, 0.6, 0.5, 1.0);
const Vec4<double> c_Player2Color(0.2, 0.2, 0.25, 1.0);
const Vec3<double> c_MessageColor(1.0, 0.5, 0.5);
constexpr float c_BoardTurnSpeed = 3.5f;
constexpr float c_SceneScale = 0.85f;
constexpr double c_PieceScale = 0.02;
constexpr const char* c_ProbeFile = "Textures/checkers/Rock.png";

bool opens(const std::string& path)
{
    std::ifstream probe(path);
    return probe.is_open();
}
} // namespace

const char* const CheckersScene::c_Title = "Tessellon - Checkers Demo";

CheckersScene::DataRoots CheckersScene::findDataRoots()
{
    if (opens(std::string("../../../Project/Data/") + c_ProbeFile))
        return {"../../../Project/Data/", "../../../Project/Shader/"};
    if (opens(std::string("../Data/") + c_ProbeFile))
        return {"../Data/", "../Shader/"};
    return {"../../project/Data/", "../../project/Shader/"};
}

CheckersScene::CheckersScene()
{
    m_Pieces.reserve(c_PieceCount);
    for (int i = 0; i < c_PieceCount; ++i)
        m_Pieces.emplace_back(Core::Object::ObjectAlignment(), "");

    m_Roots = findDataRoots();
    m_BoardTexture = m_Roots.data + "Textures/checkers/Rock.png";
    m_LightTexture = m_Roots.data + "Textures/checkers/square_light.png";
    m_DarkTexture = m_Roots.data + "Textures/checkers/square_dark.png";
    m_Player1Mesh = m_Roots.data + "3D/checkers/pion_rouge.ASE";
    m_Player2Mesh = m_Roots.data + "3D/checkers/pion_noir.ASE";

    m_Board =
        std::make_unique<Core::Board>(Vec2<unsigned int>(c_Columns + 2, c_Rows + 2), std::vector<Core::Square*>());
    m_Board->setColor(c_BoardColor);
    m_Board->setTexture(m_BoardTexture);
    m_Board->enableAutoHighlight(true);
    for (int row = 0; row < c_Rows; ++row)
        for (int column = 0; column < c_Columns; ++column)
            buildSquare(row, column);

    m_Message = std::make_unique<Rendering::HUDText>();
    m_Message->setColor(c_MessageColor);
    m_Rules = std::make_unique<CheckersCBPicking>(m_Board.get(), m_Message.get());

    Rendering::Render& render = Rendering::Render::instance();
    render.pushBackHUD(m_Message.get());
    render.addCallBackPicking(m_Rules.get());
    render.setCameraSpeed(c_BoardTurnSpeed);
    render.setShaderFiles(m_Roots.shader + "per_pixel_true_phong.vert", m_Roots.shader + "per_pixel_true_phong.frag");
    const double scale = c_SceneScale;
    render.setParams(c_Title, Vec3<double>(scale, scale, scale), m_Board.get());
}

void CheckersScene::buildSquare(int row, int column)
{
    const unsigned int k = static_cast<unsigned int>(column), j = static_cast<unsigned int>(row);
    const Core::Square::Coords corners(Vec2<unsigned int>(k + 1, j + 1), Vec2<unsigned int>(k + 1, j + 2),
                                       Vec2<unsigned int>(k + 2, j + 2), Vec2<unsigned int>(k + 2, j + 1));
    auto* square = new Core::Square(corners, std::vector<Core::Object*>());
    const bool dark = (row + column) % 2 == 0;
    square->setColor(dark ? c_DarkSquare : c_LightSquare);
    square->setTexture(dark ? m_DarkTexture : m_LightTexture);
    tag(*square, "index", std::to_string(row * c_Columns + column));

    const bool backRow = row <= 2 || row >= 7;
    if (backRow && dark && m_PiecesPlaced < m_Pieces.size()) {
        Core::Object& piece = m_Pieces[m_PiecesPlaced++];
        const bool first = row <= 2;
        piece.setColor(first ? c_Player1Color : c_Player2Color);
        piece.setMesh(first ? m_Player1Mesh : m_Player2Mesh);
        piece.setScale(c_PieceScale);
        tag(piece, "player", first ? "1" : "2");
        square->pushObject(&piece);
        square->defineObjectPosition();
    }
    m_Board->getSquares().push_back(square);
}

void CheckersScene::tag(Core::Drawable& drawable, const std::string& key, const std::string& value)
{
    m_Metadata.push_back(std::make_unique<Meta<std::string>>(key, value));
    drawable.getMetadata().push_back(m_Metadata.back().get());
}

CheckersScene::~CheckersScene()
{
    Rendering::Render& render = Rendering::Render::instance();
    render.removeHUD(m_Message.get());
    render.removeCallBackPicking(m_Rules.get());
    // The pieces belong to the scene, not to the squares that would delete them. A square
    // leaves the board's list when destroyed, so the list is taken over first.
    std::vector<Core::Square*> squares;
    squares.swap(m_Board->getSquares());
    for (Core::Square* square : squares) {
        while (!square->getObjects().empty())
            square->popObject(square->getObjects().front());
        delete square;
    }
}

void CheckersScene::printBanner(std::ostream& out)
{
    static const char* const lines[] = {
        "********* TESSELLON - CHECKERS DEMO *********",       "*                                                 *",
        "* Utilisation :                                   *", "*      - Clic gauche souris : Selection           *",
        "*      - Clic droit souris  : Orientation camera  *", "*      - Touche 'Z' : Avant                       *",
        "*      - Touche 'S' : Arriere                     *", "*      - Touche 'Q' : Gauche                      *",
        "*      - Touche 'D' : Droite                      *", "*      - Touche 'A' : Haut                        *",
        "*      - Touche 'E' : Bas                         *", "*      - Touche '-' : Camera libre                *",
        "*      - Touche '+' : Camera centree              *", "*                                                 *",
        "***************************************************",
    };
    out << '\n';
    for (const char* line : lines)
        out << line << '\n';
    out << '\n' << std::flush;
}
