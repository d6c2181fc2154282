#include "InspectorFixture.h"

using namespace QuilmPrint;

// Pictures of the inspector in four typical states, for a person to look at; the checks live in the other
// tests.
TEST_F(InspectorTest, Screenshots) {
    sandbox.addProfile("P900 Glossy.icc", "SC-P900 Premium Glossy Photo Paper");
    OPEN(AppTestSupport::p900Queue);
    auto fit = [&] {
        QWidget* content = get<QWidget>("inspectorContent");
        content->layout()->activate();
        inspector->resize(320, content->layout()->totalHeightForWidth(320) + 2);
        PanelTest::settle();
    };
    model->setMedia("PGPP");
    model->chooseSheet("A4");
    model->setSource("SFBL");
    model->setBleedCompensation(true);
    model->rename("광택 A4 여백 없음");
    fit();
    PanelTest::saveArtifact(inspector.get(), "inspector-borderless");

    model->setPhotosPerSheet(PhotosPerSheet::one);
    model->setLayoutMode(LayoutMode::exact);
    model->setExactPreset(LayoutText::sizePresets()[0]);
    fit();
    PanelTest::saveArtifact(inspector.get(), "inspector-exact");

    model->setPhotosPerSheet(PhotosPerSheet::many);
    model->applyGridTemplate(GridTemplate::all()[3]);
    fit();
    PanelTest::saveArtifact(inspector.get(), "inspector-grid");

    model->setPhotosPerSheet(PhotosPerSheet::one);
    model->setLayoutMode(LayoutMode::fit);
    model->setAppManagedColor(true);
    ASSERT_TRUE(recipe().color.app);
    fit();
    PanelTest::saveArtifact(inspector.get(), "inspector-app-colour");
}
