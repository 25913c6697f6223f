#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/Object.h"
#include "core/PieceMover.h"
#include "core/Square.h"
#include "rendering/Render.h"

using Core::Object;
using Core::PieceMover;
using Core::Square;

namespace
{
using P = Vec2<unsigned int>;

// Unit squares at grid (x, y); a piece on the first. Pieces stand at the squares' centres.
class PieceMoverTest : public ::testing::Test
{
protected:
    Square* at(unsigned int x, unsigned int y)
    {
        squares.push_back(std::make_unique<Square>(
            Square::Coords(P(x, y), P(x, y + 1), P(x + 1, y + 1), P(x + 1, y)), std::vector<Object*>()));
        return squares.back().get();
    }
    void expectOffset(const Object& piece, double x, double y, double z)
    {
        const Vec3<double>& d = piece.getDisplacement();
        EXPECT_NEAR(d.x(), x, 1e-9);
        EXPECT_NEAR(d.y(), y, 1e-9);
        EXPECT_NEAR(d.z(), z, 1e-9);
    }
    bool registered() const { return Rendering::Render::instance().hasAnimation(mover.get()); }

    std::vector<std::unique_ptr<Square>> squares;
    std::unique_ptr<PieceMover> mover = std::make_unique<PieceMover>();
    std::string log;
};
} // namespace

TEST_F(PieceMoverTest, GlidesEasedLegByLegHopsAndEndsOnTheLastSquareWithTheCapturesGone)
{
    Square* from = at(0, 0);
    Square* over1 = at(1, 1);
    Square* mid = at(2, 2);
    Square* over2 = at(3, 1);
    Square* to = at(4, 0);
    Object* piece = new Object;
    from->pushObject(piece);
    over1->pushObject(new Object);
    over2->pushObject(new Object);
    EXPECT_FALSE(mover->isBusy());
    mover->setHopHeight(0.5);
    mover->play(piece, {mid, to}, {over1->getObjects()[0], over2->getObjects()[0], piece}, 1000, true,
                [&] { log += "1"; });
    mover->play(piece, {from}, {}, 400, false, [&] { log += "2"; });
    EXPECT_TRUE(mover->isBusy());
    EXPECT_TRUE(registered());

    // The first frame starts the move; two legs of equal length, 500 ms each.
    EXPECT_TRUE(mover->animate(100));
    expectOffset(*piece, 0, 0, 0);
    mover->animate(225); // a quarter of the first leg: eased to 0.15625 of its way
    expectOffset(*piece, 2 * 0.15625, 0.5 * 4 * 0.15625 * 0.84375, -2 * 0.15625);
    mover->animate(350); // its middle, at the top of the arc
    expectOffset(*piece, 1, 0.5, -1);
    mover->animate(600); // on the landing square, down again
    expectOffset(*piece, 2, 0, -2);
    mover->animate(850);
    expectOffset(*piece, 3, 0.5, -1);
    EXPECT_EQ(piece->getParentSquare(), from) << "it stands on its square while it glides";
    EXPECT_EQ(log, "");

    // The second move starts where the first ends (1100), even in a late frame.
    EXPECT_TRUE(mover->animate(1300));
    EXPECT_EQ(log, "1");
    EXPECT_EQ(piece->getParentSquare(), to);
    EXPECT_TRUE(over1->getObjects().empty() && over2->getObjects().empty()) << "captured pieces deleted";
    expectOffset(*piece, -4 * 0.5, 0, 0); // half-way back in time: eased 0.5 of the way
    EXPECT_FALSE(mover->animate(1500));
    EXPECT_EQ(log, "12");
    EXPECT_EQ(from->getObjects(), std::vector<Object*>{piece});
    expectOffset(*piece, 0, 0, 0);
    EXPECT_FALSE(mover->isBusy());
    EXPECT_FALSE(registered()) << "idle, it leaves the frames alone";
}

TEST_F(PieceMoverTest, FinishPlaysEverythingAtOnceCancelDropsWhatHasNotStarted)
{
    Square* a = at(0, 0);
    Square* b = at(1, 1);
    Square* c = at(2, 2);
    Object* piece = new Object;
    a->pushObject(piece);
    b->pushObject(new Object);
    // An onDone may queue the next move; finish plays it too.
    mover->play(piece, {c}, {b->getObjects()[0]}, 500, true, [&] {
        log += "1";
        mover->play(piece, {a}, {}, 500, false, [&] { log += "2"; });
    });
    mover->finish();
    EXPECT_EQ(log, "12");
    EXPECT_EQ(piece->getParentSquare(), a);
    EXPECT_TRUE(b->getObjects().empty());
    EXPECT_FALSE(mover->isBusy());
    EXPECT_FALSE(registered());

    // Not started yet: everything is dropped, nothing moves, no onDone.
    log.clear();
    mover->play(piece, {c}, {}, 500, false, [&] { log += "x"; });
    mover->cancel();
    EXPECT_FALSE(mover->isBusy());
    EXPECT_EQ(piece->getParentSquare(), a);
    EXPECT_FALSE(registered());

    // Playing: it completes at once, the queued one is dropped.
    mover->play(piece, {c}, {}, 500, false, [&] { log += "3"; });
    mover->play(piece, {b}, {}, 500, false, [&] { log += "4"; });
    mover->animate(0);
    mover->animate(100);
    mover->cancel();
    EXPECT_EQ(log, "3");
    EXPECT_EQ(piece->getParentSquare(), c);
    expectOffset(*piece, 0, 0, 0);
    EXPECT_FALSE(mover->isBusy());

    // Nothing to glide (no square, no time, no piece): the move ends at its first frame.
    mover->play(piece, {}, {}, 500, false, [&] { log += "5"; });
    mover->play(piece, {a}, {}, 0, false, [&] { log += "6"; });
    mover->play(nullptr, {b}, {}, 500, false, [&] { log += "7"; });
    EXPECT_FALSE(mover->animate(10));
    EXPECT_EQ(log, "3567");
    EXPECT_EQ(piece->getParentSquare(), a);
}

TEST_F(PieceMoverTest, DestroyedPiecesSquaresAndMoversAreNeverTouchedAgain)
{
    Square* a = at(0, 0);
    Square* b = at(1, 1);
    Square* c = at(2, 2);
    Object* piece = new Object;
    Object* other = new Object;
    Object* victim = new Object;
    a->pushObject(piece);
    c->pushObject(other);
    b->pushObject(victim);

    // The piece deleted mid-move (its square deleted with it), the other's path square
    // deleted while queued: both moves dropped without onDone.
    mover->play(piece, {b}, {}, 500, false, [&] { log += "piece"; });
    mover->play(other, {b}, {}, 500, false, [&] { log += "other"; });
    mover->animate(0);
    mover->animate(200);
    squares[0].reset();
    EXPECT_TRUE(mover->isBusy());
    squares[1].reset(); // deletes the victim too
    EXPECT_FALSE(mover->isBusy());
    EXPECT_FALSE(registered());
    EXPECT_FALSE(mover->animate(1000));
    EXPECT_EQ(log, "");

    // A captured piece deleted by someone else is not deleted again.
    Square* d = at(3, 3);
    d->pushObject(victim = new Object);
    mover->play(other, {d}, {victim}, 500, true, [&] { log += "done"; });
    mover->animate(0);
    delete victim;
    mover->animate(600);
    EXPECT_EQ(log, "done");
    EXPECT_EQ(other->getParentSquare(), d);

    // An onDone that destroys the mover: the queued move goes with it, the frame stops.
    mover->play(other, {c}, {}, 100, false, [&] { mover.reset(); });
    mover->play(other, {d}, {}, 100, false, [&] { log += "never"; });
    PieceMover* raw = mover.get();
    raw->animate(0);
    EXPECT_FALSE(raw->animate(200));
    EXPECT_EQ(mover, nullptr);
    EXPECT_EQ(other->getParentSquare(), c);
    EXPECT_FALSE(Rendering::Render::instance().hasAnimation(raw));

    // A mover destroyed mid-move leaves the piece undisplaced where it stood, unregistered.
    mover = std::make_unique<PieceMover>();
    mover->play(other, {d}, {}, 100, false, [&] { log += "never"; });
    mover->animate(0);
    mover->animate(50);
    EXPECT_NE(other->getDisplacement().x(), 0.0);
    raw = mover.get();
    mover.reset();
    EXPECT_FALSE(Rendering::Render::instance().hasAnimation(raw));
    EXPECT_EQ(other->getParentSquare(), c);
    expectOffset(*other, 0, 0, 0);
    EXPECT_EQ(log, "done");
}
