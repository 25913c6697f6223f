// Shows the ASE model named on the command line as a piece on a single square, with the
// camera orbiting it: right-drag or z s q d turn around it, a and e move away and closer,
// l and p switch between wire frame and filled; Escape quits.
// Usage: model_viewer MODEL.ASE
#include <algorithm>
#include <iostream>
#include <string>

#include "core/Board.h"
#include "core/MeshManager.h"
#include "core/Object.h"
#include "core/Square.h"
#include "rendering/Aabb.h"
#include "rendering/Camera.h"
#include "rendering/Render.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "Usage: model_viewer MODEL.ASE" << std::endl;
        return 2;
    }
    const std::string file = argv[1];

    // Measure the model to fit it on its square. The mesh cache loads it once: the piece
    // below gets the same mesh.
    Rendering::Mesh* mesh = nullptr;
    Core::MeshManager::instance().addMesh(file, mesh);
    const Vec3<double> size = Rendering::Aabb(mesh).getSize();
    const double largest = std::max({size.x(), size.y(), size.z()});
    if (!(largest > 0.0)) {
        std::cerr << "\"" << file << "\" has nothing to show." << std::endl;
        return 1;
    }

    // One square in a board of 3 x 3 grid points, which is drawn centred on the origin.
    Core::Board board(Vec2<unsigned int>(3, 3), {});
    board.setColor(Vec4<double>(0.3, 0.3, 0.35, 1.0));
    auto* square = new Core::Square(Core::Square::Coords({1, 1}, {1, 2}, {2, 2}, {2, 1}), {});
    square->setColor(Vec4<double>(0.6, 0.6, 0.65, 1.0));
    board.getSquares().push_back(square);
    auto* piece = new Core::Object(Core::Object::ObjectAlignment(), file);
    piece->setScale(0.8 / largest);
    square->pushObject(piece); // the square deletes it with itself

    Rendering::Render& render = Rendering::Render::instance();
    render.setParams("Tessellon - " + file, Vec3<double>(3.0, 3.0, 3.0), &board);
    render.getCamera()->setIsFree(false); // orbit the origin, where the model stands
    return render.run() ? 0 : 1;
}
