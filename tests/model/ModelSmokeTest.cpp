#include "QuilmPrint/model/PrintModel.h"

#include <gtest/gtest.h>

using namespace QuilmPrint;

TEST(PrintModelTest, StartsOnceAndBecomesCurrent) {
    PrintModel model;
    EXPECT_EQ(PrintModel::current(), nullptr);
    model.start();
    EXPECT_EQ(PrintModel::current(), &model);
}
