// The panels' tests see widgets through the window tests' helpers.
#pragma once

#include "shared/WindowTestSupport.h"

namespace PanelTest {
using WindowTest::grab;
using WindowTest::saveArtifact;
using WindowTest::settle;
} // namespace PanelTest
