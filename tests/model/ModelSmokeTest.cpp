#include "AppTestSupport.h"

#include "QuilmPrint/model/PrintModel.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;

TEST(PrintModelTest, StartsOnceAndBecomesCurrent) {
    AppTestSupport::Sandbox sandbox;
    {
        PrintModel model(sandbox.environment());
        EXPECT_EQ(PrintModel::current(), nullptr);
        model.start();
        EXPECT_EQ(PrintModel::current(), &model);
    }
    EXPECT_EQ(PrintModel::current(), nullptr);
}
