#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/Board.h"
#include "core/Object.h"
#include "core/Square.h"
#include "reader/ASETestSupport.h"
#include "rendering/Render.h"
#include "rendering/Texture.h"

using Core::Object;
using Core::Square;

TEST(Drawable, PickingNamesFollowConstructionOrderAndRegistration)
{
    Rendering::Render& render = Rendering::Render::instance();
    using P = Vec2<unsigned int>;
    Square a(Square::Coords(P(0, 0), P(0, 1), P(1, 1), P(1, 0)), {});
    Object b;
    Core::Board c(Vec2<unsigned int>(2, 2), {});
    EXPECT_EQ(b.getPickingName(), a.getPickingName() + 1);
    EXPECT_EQ(c.getPickingName(), a.getPickingName() + 2);
    EXPECT_EQ(render.findDrawable(b.getPickingName()), &b);

    // A copy takes a fresh name, the colour, and no metadata. The first entry of a name wins.
    b.setColor(Vec4<double>(0.2, 0.4, 0.6, 0.8));
    Meta<std::string> player("player", "1"), other("Player", "3"), second("player", "2");
    for (Meta<std::string>* entry : {&other, &player, &second})
        b.getMetadata().push_back(entry);
    EXPECT_EQ(b.getMeta("player"), "1");
    unsigned int name = 0;
    {
        Object copy(b);
        name = copy.getPickingName();
        EXPECT_EQ(render.findDrawable(name), &copy);
        EXPECT_EQ(copy.getColor(), b.getColor());
        EXPECT_EQ(copy.getMeta("player"), "");
    }
    EXPECT_EQ(render.findDrawable(name), nullptr) << "a destroyed drawable leaves the registry";
}

// Copies share the texture and the model; each lets go of its own hold only, so that none
// frees what another still draws (run under AddressSanitizer).
TEST(Drawable, CopiesShareTextureAndModelUntilTheLastHolderLetsGo)
{
    TestSupport::CapturedOutput output;
    Object piece;
    EXPECT_FALSE(piece.hasTexture());
    piece.removeTexture();
    piece.setTexture("no/such/picture.png");
    ASSERT_TRUE(piece.hasTexture()) << "kept although the picture did not load";
    auto copy = std::make_unique<Object>(piece);
    EXPECT_EQ(copy->getTexture(), piece.getTexture());
    piece.removeTexture();
    EXPECT_FALSE(piece.hasTexture());
    EXPECT_EQ(copy->getTexture()->getFileName(), "no/such/picture.png");
    copy->setTexture("no/such/other.png");
    EXPECT_EQ(copy->getTexture()->getFileName(), "no/such/other.png");

    namespace fs = std::filesystem;
    const std::string path =
        (fs::temp_directory_path() / ("drawable_model_" + std::to_string(::getpid()) + ".ase")).string();
    std::ofstream(path) << "*GEOMOBJECT { *MESH { *MESH_NUMVERTEX 2 *MESH_VERTEX_LIST { *MESH_VERTEX 0 0 0 -5 "
                           "*MESH_VERTEX 1 1 1 5 } } }";
    const std::string loaded = "Mesh File : \"" + path + "\" loaded.\n";
    auto source = std::make_unique<Object>(Object::ObjectAlignment(), path);
    source->setScale(0.02);
    Object twin(*source);
    EXPECT_EQ(twin.getMesh(), source->getMesh());
    EXPECT_DOUBLE_EQ(twin.deltaTranslateY(), 10 * 0.02 / 2 + 0.02) << "the copy has the box too";
    // The same file set again is not read again.
    source->setMesh(path);
    source.reset();
    EXPECT_EQ(twin.getMesh()->getGeometries().size(), 1u);
    twin.setMesh("");
    EXPECT_FALSE(twin.hasMesh());
    EXPECT_EQ(twin.deltaTranslateY(), 0.076);
    // Every holder let go: the next piece reads the file again.
    Object again(Object::ObjectAlignment(), path);
    const std::string text = output.text();
    EXPECT_EQ(text.find(loaded), text.rfind(loaded) - loaded.size()) << "read twice, once per first holder";
    // A model that does not load is an empty one: nothing drawn, a box of -6.8e38.
    again.setMesh(path + ".missing.ase");
    EXPECT_TRUE(again.hasMesh());
    EXPECT_DOUBLE_EQ(again.deltaTranslateY(), -6.7999999042887285e38 / 2 + 0.02);
    fs::remove(path);
}
