// Shows the model named on the command line (ASE, glTF 2.0 as .gltf or .glb, or Wavefront
// OBJ) as its author made it: in its materials' colours, standing up, framed to about two
// thirds of the window, with the camera orbiting its centre. glTF and OBJ models are Y-up;
// an ASE file written by the usual modelling package (it starts with "*3DSMAX_ASCIIEXPORT")
// is taken as Z-up, any other as Y-up.
// Keys: right-drag or z s q d turn around the model, a and e move away and closer,
// u switches between Z-up and Y-up, b shows or hides the bounding box, l and p wire frame
// or filled, Escape quits.
// Usage: model_viewer MODEL.ASE|MODEL.gltf|MODEL.glb|MODEL.obj
// TESSELLON_FRAMES=N ends the program after N frames (the tests use it).
#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>

#include "core/Board.h"
#include "core/CallBackKeyboard.h"
#include "core/MeshManager.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Camera.h"
#include "rendering/Geometry.h"
#include "rendering/HUD.h"
#include "rendering/Light.h"
#include "rendering/Mesh.h"
#include "rendering/Primitive.h"
#include "rendering/Render.h"

namespace
{
// The engine starts the orbiting camera 10 units from its centre with a 45 degree view.
constexpr double c_CameraDistance = 10.0;
constexpr double c_HalfView = 22.5 * 3.14159265358979 / 180.0;
// Share of the window height that the model's bounding sphere spans: a model then fills
// about two thirds of it from most directions, and never leaves it while it turns.
constexpr double c_SphereShare = 0.8;
// First word of the files the usual modelling package writes, which are Z-up.
constexpr char c_ZUpSignature[] = "*3DSMAX_ASCIIEXPORT";

// The export's first word (only a regular file is opened: a FIFO would make the viewer
// wait); a UTF-16 file is read by its low bytes, so its byte-order mark and zero bytes drop out.
Rendering::Mesh::UpAxis detectUpAxis(const std::string& file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return Rendering::Mesh::UpAxis::Y;
    std::ifstream in(file, std::ios::binary);
    char head[128];
    in.read(head, sizeof head);
    const std::size_t filled = static_cast<std::size_t>(in.gcount());
    std::string text;
    for (std::size_t i = 0; i < filled; ++i) {
        const unsigned char c = static_cast<unsigned char>(head[i]);
        if (c != 0 && c < 0x80)
            text += static_cast<char>(c);
    }
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    return start != std::string::npos && text.compare(start, std::strlen(c_ZUpSignature), c_ZUpSignature) == 0
               ? Rendering::Mesh::UpAxis::Z
               : Rendering::Mesh::UpAxis::Y;
}

std::string title(const std::string& file, const Rendering::Mesh& mesh)
{
    std::size_t vertices = 0, faces = 0;
    for (const Rendering::Geometry* geometry : mesh.getGeometries()) {
        vertices += geometry->getVertexArray().size();
        for (const Rendering::Primitive* primitive : geometry->getPrimitives())
            faces += primitive->getVertexIndicesArray().size() / primitive->getFaceSize();
    }
    const std::string name = file.substr(file.find_last_of('/') + 1);
    return "Tessellon - " + name + " - " + std::to_string(mesh.getGeometries().size()) + " objects, " +
           std::to_string(vertices) + " vertices, " + std::to_string(faces) + " faces";
}

// Scales the piece so that its bounding sphere has radius 1 and turns the camera around
// the model's centre. The scene is drawn scaled by `sceneScale`.
void frame(Core::Object& piece, double sceneScale)
{
    const Rendering::Aabb& box = piece.getAabb();
    const double radius = box.getSize().length() / 2.0;
    piece.setScale(radius > 0.0 ? 1.0 / radius : 1.0);
    const double s = piece.getScale();
    // The piece stands on a square of no size at the origin, lifted to rest on it.
    const Vec3<double> centre((box.getMin().x() + box.getMax().x()) / 2.0 * s,
                              piece.deltaTranslateY() + (box.getMin().y() + box.getMax().y()) / 2.0 * s,
                              (box.getMin().z() + box.getMax().z()) / 2.0 * s);
    Rendering::Render::instance().getCamera()->setOrbitCentre(centre * sceneScale);
}

// A light from just above and left of the eye, so that faces turned differently are lit
// differently wherever the camera goes; applied each frame before the scene is drawn.
class HeadLight : public Rendering::HUD
{
public:
    void draw() override
    {
        if (!m_Ready) {
            m_Light.setId(1);
            Vec4<float> diffuse(0.8f, 0.8f, 0.8f, 1.0f);
            Vec4<float> specular(0.3f, 0.3f, 0.3f, 1.0f);
            m_Light.setDiffuseColor(diffuse);
            m_Light.setSpecularColor(specular);
            Vec4<float> direction(-0.3f, 0.25f, 1.0f, 0.0f); // directional, in eye space
            m_Light.setPosition(direction);
            m_Ready = true;
        }
        glPushMatrix();
        glLoadIdentity();
        m_Light.apply();
        glPopMatrix();
    }

private:
    Rendering::Light m_Light;
    bool m_Ready = false;
};

// u: Z-up or Y-up; b: the bounding box.
class Keys : public Core::CallBackKeyboard
{
public:
    Keys(Core::Object& piece, std::string file, double sceneScale)
        : m_Piece(piece), m_File(std::move(file)), m_SceneScale(sceneScale)
    {
    }

    void update() override
    {
        if (m_Key == 'b') {
            m_Piece.setDrawBound(!m_Piece.getDrawBound());
        } else if (m_Key == 'u') {
            Rendering::Mesh* mesh = m_Piece.getMesh();
            const bool zUp = mesh->getUpAxis() == Rendering::Mesh::UpAxis::Z;
            mesh->setUpAxis(zUp ? Rendering::Mesh::UpAxis::Y : Rendering::Mesh::UpAxis::Z);
            m_Piece.setMesh(m_File); // the same cached mesh, measured again
            frame(m_Piece, m_SceneScale);
            Rendering::Render::instance().getCamera()->glPut();
            std::cout << "Up axis: " << (zUp ? "Y" : "Z") << std::endl;
        }
    }

private:
    Core::Object& m_Piece;
    std::string m_File;
    double m_SceneScale;
};

// Ends the program after a number of frames.
class FrameLimit : public Rendering::HUD
{
public:
    explicit FrameLimit(long frames) : m_Left(frames) {}
    void draw() override
    {
        if (--m_Left <= 0)
            std::exit(0);
    }

private:
    long m_Left;
};
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "Usage: model_viewer MODEL.ASE|MODEL.gltf|MODEL.glb|MODEL.obj" << std::endl;
        return 2;
    }
    const std::string file = argv[1];

    Rendering::Mesh* mesh = nullptr;
    Core::MeshManager::instance().addMesh(file, mesh);
    // The readers of glTF and OBJ know their up axis; an ASE file is looked at.
    const bool ase = file.find(".ase") != std::string::npos || file.find(".ASE") != std::string::npos;
    if (ase && !mesh->getGeometries().empty())
        mesh->setUpAxis(detectUpAxis(file));

    // Pieces stand on squares of a board: here a square of no size at the origin, on a
    // board of no size, so that only the model shows.
    Core::Board board(Vec2<unsigned int>(0, 0), {});
    auto* square = new Core::Square(Core::Square::Coords({0, 0}, {0, 0}, {0, 0}, {0, 0}), {});
    board.getSquares().push_back(square);
    auto* piece = new Core::Object(Core::Object::ObjectAlignment(), file);
    piece->setColor(Vec4<double>(0.7, 0.7, 0.7, 1.0)); // for parts without a material
    piece->setUseMaterialColors(true);
    square->pushObject(piece); // the square deletes it with itself
    if (!(piece->getAabb().getSize().x() >= 0.0)) {
        std::cerr << "\"" << file << "\" has nothing to show." << std::endl;
        return 1;
    }

    // The model's bounding sphere (radius 1) spans c_SphereShare of the window height.
    const double sceneScale = c_CameraDistance * std::sin(std::atan(c_SphereShare * std::tan(c_HalfView)));
    Rendering::Render& render = Rendering::Render::instance();
    render.setParams(title(file, *mesh), Vec3<double>(sceneScale, sceneScale, sceneScale), &board);
    render.getCamera()->setIsFree(false); // orbit the model's centre
    frame(*piece, sceneScale);
    HeadLight headLight;
    render.pushBackHUD(&headLight);
    Keys keys(*piece, file, sceneScale);
    render.getCallBacksKeyboard().push_back(&keys);
    if (const char* frames = std::getenv("TESSELLON_FRAMES"))
        render.pushBackHUD(new FrameLimit(std::atol(frames)));
    return render.run() ? 0 : 1;
}
