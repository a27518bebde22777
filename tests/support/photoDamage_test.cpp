// SPDX-License-Identifier: Apache-2.0
#include "support/photoDamage.h"

#include <cmath>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "support/canvas.h"

namespace strixa {

namespace {

void ExpectNear(Point actual, Point expected, double tolerance = 1e-6) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
}

struct QuadCase {
  std::string_view name;
  Quad quad;
};

constexpr QuadCase quadCases[] = {
    {"same rectangle", {{{0, 0}, {40, 0}, {40, 20}, {0, 20}}}},
    {"moved and scaled", {{{10, 5}, {90, 5}, {90, 45}, {10, 45}}}},
    {"turned a half turn", {{{40, 20}, {0, 20}, {0, 0}, {40, 0}}}},
    {"turned and sheared", {{{20, 0}, {60, 30}, {40, 60}, {0, 30}}}},
    {"trapezoid of a tilt", {{{5, 0}, {35, 0}, {45, 20}, {-5, 20}}}},
    {"irregular", {{{3, 7}, {51, 2}, {60, 41}, {-4, 33}}}},
};

TEST(PhotoDamageTest, RectToQuadTakesCornersOntoTheQuadAndInvertBringsThemBack) {
  const Quad rectangle = {{{0, 0}, {40, 0}, {40, 20}, {0, 20}}};
  for (const QuadCase& c : quadCases) {
    SCOPED_TRACE(c.name);
    const Homography map = RectToQuad(40, 20, c.quad);
    Homography inverse;
    ASSERT_TRUE(Invert(map, inverse));
    for (std::size_t i = 0; i < 4; ++i) {
      ExpectNear(map.Map(rectangle[i]), c.quad[i]);
      ExpectNear(inverse.Map(c.quad[i]), rectangle[i]);
    }
  }
}

TEST(PhotoDamageTest, InvertRefusesAQuadFoldedOntoALine) {
  Homography inverse;
  EXPECT_FALSE(Invert(RectToQuad(10, 10, {{{0, 0}, {10, 0}, {20, 0}, {30, 0}}}), inverse));
}

TEST(PhotoDamageTest, TiltedQuadTurnsAndForeshortens) {
  struct Case {
    std::string_view name;
    double tilt, axis, turn;
    Quad expected;
  };
  // A 100 x 50 label at scale 1 seen from 100 pixels, tilted 60 degrees: about its rows' axis
  // the top edge comes nearer (factor 100 / (100 - 25 sin 60)) and the bottom edge recedes;
  // about its bars' axis the right end comes nearer (100 / (100 - 50 sin 60)).
  const Case cases[] = {
      {"flat", 0, 0, 0, {{{-50, -25}, {50, -25}, {50, 25}, {-50, 25}}}},
      {"quarter turn clockwise", 0, 0, 90, {{{25, -50}, {25, 50}, {-25, 50}, {-25, -50}}}},
      {"tilted about the rows",
       60,
       0,
       0,
       {{{-63.817, -15.954}, {63.817, -15.954}, {41.101, 10.275}, {-41.101, 10.275}}}},
      {"tilted about the bars",
       60,
       90,
       0,
       {{{-17.446, -17.446}, {44.093, -44.093}, {44.093, 44.093}, {-17.446, 17.446}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Quad quad = TiltedQuad(100, 50, 1, c.tilt, c.axis, c.turn, 100);
    for (std::size_t i = 0; i < 4; ++i) {
      ExpectNear(quad[i], c.expected[i], 0.01);
    }
  }
}

TEST(PhotoDamageTest, PlaceInsideKeepsTheWholeQuadInThePicture) {
  for (const QuadCase& c : quadCases) {
    for (std::uint64_t seed = 0; seed < 50; ++seed) {
      SCOPED_TRACE(c.name);
      Random random(seed);
      Quad quad = c.quad;
      ASSERT_TRUE(PlaceInside(quad, 80, 65, random));
      for (const Point& p : quad) {
        EXPECT_GE(p.x, 0);
        EXPECT_LE(p.x, 80);
        EXPECT_GE(p.y, 0);
        EXPECT_LE(p.y, 65);
      }
      // Moved, not reshaped.
      EXPECT_NEAR(quad[1].x - quad[0].x, c.quad[1].x - c.quad[0].x, 1e-9);
      EXPECT_NEAR(quad[2].y - quad[0].y, c.quad[2].y - c.quad[0].y, 1e-9);
    }
  }
  Random random(1);
  Quad tooWide = quadCases[1].quad;
  EXPECT_FALSE(PlaceInside(tooWide, 79, 100, random));
  EXPECT_EQ(tooWide[0].x, 10);
}

// A 20 x 10 label, black left half and white right half, on a grey scene.
Canvas HalfBlackLabel() {
  Canvas label = MakeCanvas(20, 10, 255);
  FillBox(label, 0, 0, 10, 10, 0);
  return label;
}

TEST(PhotoDamageTest, PasteQuadDrawsTheLabelOnlyInsideItsQuad) {
  struct Probe {
    int x, y;
    float grey;
  };
  struct Case {
    std::string_view name;
    Quad quad;
    std::vector<Probe> probes;
  };
  const Case cases[] = {
      {"upright, twice the size",
       {{{30, 40}, {70, 40}, {70, 60}, {30, 60}}},
       {{35, 50, 0}, {65, 50, 255}, {25, 50, 128}, {75, 50, 128}, {50, 35, 128}, {50, 65, 128}}},
      {"half turn: white comes left",
       {{{70, 60}, {30, 60}, {30, 40}, {70, 40}}},
       {{35, 50, 255}, {65, 50, 0}, {25, 50, 128}}},
      {"quarter turn: black comes on top",
       {{{60, 30}, {60, 70}, {40, 70}, {40, 30}}},
       {{50, 35, 0}, {50, 65, 255}, {35, 50, 128}, {65, 50, 128}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas scene = MakeCanvas(100, 100, 128);
    PasteQuad(scene, HalfBlackLabel(), c.quad);
    for (const Probe& p : c.probes) {
      SCOPED_TRACE(testing::Message() << "at " << p.x << "," << p.y);
      EXPECT_NEAR(scene.At(p.x, p.y), p.grey, 0.5);
    }
  }
}

// Dark pixels on one row.
int DarkOnRow(const Canvas& canvas, int y) {
  int dark = 0;
  for (int x = 0; x < canvas.width; ++x) {
    dark += canvas.At(x, y) < 128 ? 1 : 0;
  }
  return dark;
}

TEST(PhotoDamageTest, PasteCylinderNarrowsTheLabelTowardsItsEnds) {
  // 90 degrees of a cylinder: radius 100 / (pi / 2) = 63.66, footprint 2 r sin 45 = 90.03.
  EXPECT_NEAR(CylinderWidth(100, 1, 90), 90.03, 0.01);
  struct Case {
    std::string_view name;
    int barFrom, barWidth;
    int expectedDark;  // on the centre row
  };
  // A bar at the label's first ten columns lands between r sin(-50/r) and r sin(-40/r): 7.6
  // pixels; one in the middle keeps its 10.
  const Case cases[] = {
      {"whole label dark", 0, 100, 90},
      {"bar at the end", 0, 10, 8},
      {"bar in the middle", 45, 10, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas label = MakeCanvas(100, 20, 255);
    FillBox(label, c.barFrom, 0, c.barWidth, 20, 0);
    Canvas scene = MakeCanvas(200, 100, 255);
    PasteCylinder(scene, label, {100, 50}, 1, 90, 0);
    EXPECT_NEAR(DarkOnRow(scene, 50), c.expectedDark, 1);
    EXPECT_EQ(DarkOnRow(scene, 35), 0);  // above the label, 20 rows high about row 50
  }
  // Turned a quarter, the same label stands: its dark run lies along a column.
  Canvas label = MakeCanvas(100, 20, 0);
  Canvas scene = MakeCanvas(200, 200, 255);
  PasteCylinder(scene, label, {100, 100}, 1, 90, 90);
  EXPECT_NEAR(DarkOnRow(scene, 100), 20, 1);
  EXPECT_NEAR(DarkOnRow(scene, 56), 20, 1);
  EXPECT_EQ(DarkOnRow(scene, 50), 0);
}

TEST(PhotoDamageTest, LightAndContrastChangesGiveTheirLevels) {
  struct Probe {
    int x, y;
    float grey;
  };
  struct Case {
    std::string_view name;
    float start;
    void (*change)(Canvas&);
    std::vector<Probe> probes;
  };
  const Case cases[] = {
      {"gradient left to right",
       200,
       [](Canvas& c) { ShadeGradient(c, 0, 0.5, 1); },
       {{0, 0, 100}, {50, 7, 150}, {100, 3, 200}}},
      {"gradient bottom to top",
       200,
       [](Canvas& c) { ShadeGradient(c, 270, 0.5, 1); },
       {{9, 0, 200}, {3, 100, 100}}},
      {"spot",
       100,
       [](Canvas& c) {
         AddSpot(c, {50, 50}, 5, 0.5);
       },
       {{50, 50, 177.5f}, {50, 90, 100}, {0, 0, 100}}},
      {"contrast", 0, [](Canvas& c) { ScaleContrast(c, 128, 0.25); }, {{1, 1, 96}}},
      {"contrast of white", 255, [](Canvas& c) { ScaleContrast(c, 128, 0.25); }, {{1, 1, 159.75f}}},
      {"inverted", 200, InvertGrey, {{5, 5, 55}}},
      {"clipped above", 300, ClipGrey, {{5, 5, 255}}},
      {"clipped below", -5, ClipGrey, {{5, 5, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas canvas = MakeCanvas(101, 101, c.start);
    c.change(canvas);
    for (const Probe& p : c.probes) {
      EXPECT_NEAR(canvas.At(p.x, p.y), p.grey, 0.01);
    }
  }
}

}  // namespace

}  // namespace strixa
