// Recipes with every field set to a value of its own, shared by the recipe tests.
#pragma once

#include "PrintKit/settings/PaperRecipe.h"

#include <chrono>

namespace RecipeSamples {

using namespace PrintKit;

// 2024-05-01T09:30:00Z
inline Timestamp mayFirst() {
    return Timestamp(std::chrono::seconds(1714555800));
}

inline Uuid fixedId() {
    return *Uuid::parse("6F1C2A3B-4D5E-4F60-8172-93A4B5C6D7E8");
}

// Every optional field present, colour managed by the application, two driver overrides.
inline PaperRecipe fineArt() {
    PaperRecipe recipe;
    recipe.schemaVersion = 1;
    recipe.id = fixedId();
    recipe.version = 3;
    recipe.name = "Barytpapier glänzend 310";
    recipe.printer = {"SC_P900", "SC-P900 Series"};
    recipe.media = "FAPR";
    recipe.sheet = "Custom";
    recipe.customSheet = CustomSheetSize{432.00000000000006, 612.5};
    recipe.source = "REAR";
    recipe.quality = PrintQuality::custom;
    recipe.ink = InkMode::advancedBlackAndWhite;
    recipe.color = ColorManagement::application(
        ProfileReference("/home/kim/.local/share/icc/SC-P900 Baryt 310.icc", "SC-P900 Baryt 310",
                         "0123456789abcdef0123456789abcdef"),
        RenderingIntent::relativeColorimetric, true);
    recipe.sharpening = OutputSharpening::standard;
    recipe.bleedCompensation = false;
    recipe.driverOverrides = {{"EPIJ_Qual", "302"}, {"EPIJ_Dire", "1"}};
    recipe.notes = "건조 24시간";
    recipe.updatedAt = mayFirst();
    return recipe;
}

// No optional field present, colour managed by the driver, no overrides, empty notes.
inline PaperRecipe plain() {
    PaperRecipe recipe;
    recipe.id = *Uuid::parse("00000000-0000-4000-8000-00000000000A");
    recipe.name = "Glossy";
    recipe.printer = {"ET_8550", "ET-8550"};
    recipe.media = "PGPP";
    recipe.sheet = "A4";
    recipe.source = "AUTO";
    recipe.quality = PrintQuality::high;
    recipe.ink = InkMode::color;
    recipe.color = ColorManagement::driver();
    recipe.updatedAt = mayFirst();
    return recipe;
}

} // namespace RecipeSamples
