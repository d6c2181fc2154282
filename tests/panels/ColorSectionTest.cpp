#include "InspectorFixture.h"

using namespace QuilmPrint;

TEST_F(InspectorTest, AppManagedColourPicksTheSuggestionAndTheMenuOffersTheRest) {
    sandbox.addProfile("P900 Glossy.icc", "SC-P900 Premium Glossy Photo Paper");
    sandbox.addProfile("Canvas.icc", "Canvas Matte Generic");
    sandbox.addProfile("Paper 10.icc", "Paper 10");
    sandbox.addProfile("Paper 9.icc", "Paper 9");
    OPEN(AppTestSupport::p900Queue);
    model->setMedia("PGPP");
    model->setAppManagedColor(false);
    EXPECT_EQ(selected(get<ChipRow>("colorManagement")), 1);
    EXPECT_FALSE(shown("profile"));
    EXPECT_EQ(text("managementHelp"), QString("sRGB로 보내고 프린터 드라이버가 색을 조정합니다."));

    click(get<ChipRow>("colorManagement")->chip(0));
    ASSERT_TRUE(recipe().color.app);
    EXPECT_EQ(recipe().color.app->profile.description, "SC-P900 Premium Glossy Photo Paper");
    EXPECT_EQ(get<MenuChip>("profile")->title(), QString("SC-P900 Premium Glossy Photo Paper"));
    EXPECT_EQ(selected(get<ChipRow>("intent")), 0);
    EXPECT_TRUE(get<ToggleRow>("blackPoint")->isOn());
    EXPECT_FALSE(shown("profileWarning"));
    EXPECT_EQ(menu(get<MenuChip>("profile")),
              (QStringList{"[이 용지에 추천]", "● SC-P900 Premium Glossy Photo Paper",
                           "[모든 프린터 프로파일]", "Canvas Matte Generic", "Paper 9", "Paper 10"}));

    choose(get<MenuChip>("profile"), "Paper 10");
    EXPECT_EQ(recipe().color.app->profile.description, "Paper 10");
    EXPECT_EQ(text("profileWarning"), QString("고른 용지용 프로파일이 아닙니다."));
    choose(get<MenuChip>("media"), "벨벳 파인 아트 용지");
    EXPECT_EQ(text("profileWarning"), QString("이 용지에 맞는 프로파일을 찾지 못했습니다."));
    EXPECT_EQ(menu(get<MenuChip>("profile")).first(), QString("[모든 프린터 프로파일]"));

    click(get<ChipRow>("intent")->chip(1));
    EXPECT_EQ(recipe().color.app->intent, PrintKit::RenderingIntent::relativeColorimetric);
    EXPECT_EQ(text("intentHelp"),
              QString("낼 수 있는 색은 그대로, 벗어난 색만 가까운 색으로. 색 정확도 우선일 때."));
    click(get<ToggleRow>("blackPoint")->toggle());
    EXPECT_FALSE(recipe().color.app->blackPointCompensation);
    EXPECT_EQ(recipe().color.app->profile.description, "Paper 10");
}

TEST_F(InspectorTest, AppManagedColourFailsWithoutAnyProfile) {
    OPEN("TestbedPhoto");
    ASSERT_TRUE(model->profiles().empty());
    click(get<ChipRow>("colorManagement")->chip(0));
    EXPECT_EQ(model->failure(), QString("이 프린터에 쓸 ICC 프로파일을 찾지 못했습니다"));
    EXPECT_TRUE(recipe().color.isDriver());
    EXPECT_EQ(selected(get<ChipRow>("colorManagement")), 1);
}
