#include <gtest/gtest.h>

#include "core/Object.h"
#include "support/PictureFiles.h"

using Core::Object;

// A stack beyond the bound, such as -1 given by mistake (4294967295 copies, a frame that
// never ends), is refused and leaves the stack as it was.
TEST(Object, AStackBeyondItsBoundIsRefusedAndSaysSo)
{
    Object piece;
    EXPECT_TRUE(piece.setStack(Object::c_MaxStack));
    EXPECT_EQ(piece.getStack(), Object::c_MaxStack);
    EXPECT_TRUE(piece.setStack(0));
    EXPECT_EQ(piece.getStack(), 1u);
    EXPECT_TRUE(piece.setStack(2));
    TestSupport::CapturedOutput output;
    EXPECT_FALSE(piece.setStack(static_cast<unsigned int>(-1)));
    EXPECT_FALSE(piece.setStack(Object::c_MaxStack + 1));
    EXPECT_EQ(piece.getStack(), 2u);
    EXPECT_EQ(output.text(),
              "Stack refused : 4294967295 copies, at most 64.\nStack refused : 65 copies, at most 64.\n");
}
