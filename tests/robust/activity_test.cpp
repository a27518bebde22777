// SPDX-License-Identifier: Apache-2.0
#include "robust/activity.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <random>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace strixa {

namespace {

// 800 x 600 of paper (or ground) with bars of module pixels (two unless told) over x 300..400,
// y 200..260, upright or lying (then over y 300..400, x 200..260), and Gaussian noise on
// everything.
std::vector<std::uint8_t> Page(int ground, bool lying, double noise, double module = 2) {
  constexpr int width = 800;
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * 600);
  std::mt19937 random(5);
  std::normal_distribution<double> deviation(0, noise);
  for (int y = 0; y < 600; ++y) {
    for (int x = 0; x < width; ++x) {
      const int along = lying ? y : x;
      const int across = lying ? x : y;
      const bool bar = along >= 300 && along < 400 && across >= 200 && across < 260 &&
                       static_cast<int>(along / module) % 2 == 0;
      const double value = (bar ? 20 : ground) + (noise > 0 ? deviation(random) : 0);
      grey[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>(std::clamp(value, 0.0, 255.0));
    }
  }
  return grey;
}

TEST(ActivityMapTest, MarksBarsAndLeavesFlatAndNoisyGroundQuiet) {
  struct Case {
    std::string_view name;
    int ground;
    bool lying;  // only the columns cross the bars
    double noise;
    int every = 2;  // 8 as on a large picture, whose rows and columns are taken sparsely
    double module = 2;
  };
  const Case cases[] = {
      {"bars on paper", 240, false, 0},
      {"lying bars on paper", 240, true, 0},
      {"bars on grey ground with noise", 120, false, 3},
      {"bars on paper, rows and columns far apart", 240, false, 0, 8},
      {"lying bars of 1.5 pixels, rows and columns far apart", 240, true, 0, 8, 1.5},
      {"bars of 1.5 pixels on grey ground with noise, far apart", 120, false, 3, 8, 1.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint8_t> grey = Page(c.ground, c.lying, c.noise, c.module);
    const ActivityMap map(grey.data(), 800, 600, 800, 1, c.every);
    const auto at = [&](double along, double across) {
      return c.lying ? map.Active(across, along) : map.Active(along, across);
    };
    EXPECT_TRUE(at(350, 230));
    EXPECT_TRUE(at(302, 202));
    // Away from the bars, noise may leave a stray cell active, but not one in ten.
    int active = 0;
    int all = 0;
    for (int along = 8; along < 600; along += 16) {
      for (int across = 8; across < 600; across += 16) {
        if (along < 250 || along > 450 || across < 150 || across > 310) {
          active += at(along, across) ? 1 : 0;
          ++all;
        }
      }
    }
    EXPECT_LT(active * 10, all);
  }
}

TEST(ActivityMapTest, SpansReachMarginBeyondActiveCellsOnly) {
  const std::vector<std::uint8_t> grey = Page(240, false, 0);
  const ActivityMap map(grey.data(), 800, 600, 800, 1, 2);
  std::vector<std::pair<double, double>> spans;
  // A row through the bars: one span, from before the bars to after them by the margin at least
  // and by the margin and two cells at most.
  map.Spans(0, 230, 1, 0, 800, 40, spans);
  ASSERT_EQ(spans.size(), 1U);
  EXPECT_LE(spans[0].first, 300 - 40);
  EXPECT_GE(spans[0].first, 300 - 40 - 3 * ActivityMap::cellSize);
  EXPECT_GE(spans[0].second, 400 + 40);
  EXPECT_LE(spans[0].second, 400 + 40 + 3 * ActivityMap::cellSize);
  // Half the picture's scale (t in plane pixels of a copy scaled by two): the same place.
  map.Spans(0, 230, 2, 0, 400, 20, spans);
  ASSERT_EQ(spans.size(), 1U);
  EXPECT_LE(spans[0].first, 150 - 20);
  EXPECT_GE(spans[0].second, 200 + 20);
  // A column beside them and a turned line far below them: nothing.
  map.Spans(600, 0, 0, 1, 600, 40, spans);
  EXPECT_TRUE(spans.empty());
  map.Spans(0, 450, 0.8, 0.6, 250, 40, spans);
  EXPECT_TRUE(spans.empty());
}

TEST(ActivityMapTest, BoxesReadAlreadyCountNoTurnsInTheCellsTheyReach) {
  // The bars lie over x 300..400, y 200..260; a row through them, read whole.
  const std::vector<std::uint8_t> grey = Page(240, false, 0);
  ActivityMap map(grey.data(), 800, 600, 800, 1, 2);
  const struct {
    std::string_view name;
    std::vector<ActivityMap::Box> boxes;
    std::vector<ActivityMap::Quad> quads;
    bool leftHalf, rightHalf;  // of the bars, active
  } cases[] = {
      {"a box just within the bars", {{302, 203, 398, 257}}, {}, false, false},
      {"a box over their left half", {{280, 190, 340, 270}}, {}, false, true},
      {"a box elsewhere", {{500, 100, 600, 200}}, {}, true, true},
      {"none again", {}, {}, true, true},
      // Turned: the cells a quadrilateral reaches, not its upright box's.
      {"a diamond over their left half",
       {},
       {{{320, 360, 320, 280}, {170, 230, 290, 230}}},
       false,
       true},
      {"a thin band whose box holds both halves",
       {},
       {{{288, 292, 412, 408}, {298, 302, 162, 158}}},
       true,
       true},
      {"a diamond, its corners the other way round",
       {},
       {{{320, 280, 320, 360}, {170, 230, 290, 230}}},
       false,
       true},
  };
  std::vector<std::pair<double, double>> spans;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    map.LeaveOut(c.boxes, c.quads);
    EXPECT_EQ(map.Active(310, 230), c.leftHalf);
    EXPECT_EQ(map.Active(390, 230), c.rightHalf);
    map.Spans(0, 230, 1, 0, 800, 0, spans);
    EXPECT_EQ(spans.empty(), !c.leftHalf && !c.rightHalf);
  }
}

TEST(ActivityMapTest, LeavingOutMoreGivesTheMapOfLeavingAllOutAtOnce) {
  // Upright bars meeting lying ones at x 400, so that the cells around the meeting run two ways;
  // a box, then turned places that cut into them, meet and overlap.
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(800) * 600, 240);
  for (int y = 200; y < 400; ++y) {
    for (int x = 200; x < 600; ++x) {
      if ((x < 400 ? x : y) / 2 % 2 == 0) {
        grey[static_cast<std::size_t>(y) * 800 + static_cast<std::size_t>(x)] = 20;
      }
    }
  }
  const std::vector<ActivityMap::Box> box = {{500, 100, 600, 250}};
  // Small turned squares over the bars, some meeting or overlapping.
  std::vector<ActivityMap::Quad> places;
  std::mt19937 random(3);
  std::uniform_real_distribution<double> where(180, 620);
  std::uniform_real_distribution<double> turn(0, std::numbers::pi / 2);
  for (int k = 0; k < 24; ++k) {
    const double x = where(random);
    const double y = 300 + (where(random) - 400) / 2;
    const double c = 12 * std::cos(turn(random));
    const double s = std::sqrt(144 - c * c);
    places.push_back({{x + c, x - s, x - c, x + s}, {y + s, y + c, y - s, y - c}});
  }
  ActivityMap stepwise(grey.data(), 800, 600, 800, 1, 2);
  stepwise.LeaveOut(box);
  for (const ActivityMap::Quad& place : places) {
    stepwise.LeaveOutMore({place});
  }
  ActivityMap atOnce(grey.data(), 800, 600, 800, 1, 2);
  atOnce.LeaveOut(box, places);
  EXPECT_EQ(stepwise.ActiveShare(), atOnce.ActiveShare());
  std::vector<std::pair<double, double>> spans;
  std::vector<std::pair<double, double>> expected;
  for (int degrees = 0; degrees < 180; degrees += 5) {
    const double dx = std::cos(degrees * std::numbers::pi / 180);
    const double dy = std::sin(degrees * std::numbers::pi / 180);
    for (int offset = -500; offset <= 500; offset += 6) {
      // Through the page's centre, offset across the line's direction, 1000 pixels each way.
      const double x = 400 - offset * dy - 1000 * dx;
      const double y = 300 + offset * dx - 1000 * dy;
      stepwise.Spans(x, y, dx, dy, 2000, 0, spans);
      atOnce.Spans(x, y, dx, dy, 2000, 0, expected);
      ASSERT_EQ(spans, expected) << degrees << " degrees, offset " << offset;
    }
  }
}

TEST(ActivityMapTest, LinesNearBarsHoldEveryLineSpansFindBarsOn) {
  // Patches of bars turned every way on paper.
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(800) * 600, 240);
  for (int k = 0; k < 5; ++k) {
    const double turn = (35 * k + 5) * std::numbers::pi / 180;
    for (int y = 80 + 90 * k; y < 140 + 90 * k; ++y) {
      for (int x = 60 + 140 * k; x < 120 + 140 * k; ++x) {
        if (static_cast<long>(std::floor((x * std::cos(turn) + y * std::sin(turn)) / 3)) % 2 == 0) {
          grey[static_cast<std::size_t>(y) * 800 + static_cast<std::size_t>(x)] = 30;
        }
      }
    }
  }
  const ActivityMap map(grey.data(), 800, 600, 800, 1, 2);
  std::vector<std::pair<double, double>> spans;
  std::vector<std::uint8_t> near(200);
  std::size_t marked = 0;
  for (int degrees = 0; degrees < 180; degrees += 5) {
    const double dx = std::cos(degrees * std::numbers::pi / 180);
    const double dy = std::sin(degrees * std::numbers::pi / 180);
    // Lines 3.1 pixels apart from 310 pixels towards (-dy, dx) of the page's centre, each clipped
    // to the page as the engine's are.
    map.LinesNearBars(400, 300, dx, dy, -310, 3.1, near);
    for (std::size_t i = 0; i < near.size(); ++i) {
      marked += near[i];
      const double px = 400 + (3.1 * static_cast<double>(i) - 310) * dy;
      const double py = 300 - (3.1 * static_cast<double>(i) - 310) * dx;
      double from = -1e9, to = 1e9;
      for (const auto& [p, d, size] : {std::tuple{px, dx, 800.0}, std::tuple{py, dy, 600.0}}) {
        from = std::abs(d) > 1e-9 ? std::max(from, std::min(-p / d, (size - p) / d)) : from;
        to = std::abs(d) > 1e-9 ? std::min(to, std::max(-p / d, (size - p) / d))
                                : (p < 0 || p > size ? from : to);
      }
      if (to - from >= 1) {
        map.Spans(px + from * dx, py + from * dy, dx, dy, to - from, 0, spans);
        EXPECT_TRUE(spans.empty() || near[i] != 0) << degrees << " degrees, line " << i;
      }
    }
  }
  // Most lines pass no bars that run across them.
  EXPECT_LT(marked, 36 * near.size() / 2);
}

TEST(ActivityMapTest, SpansHoldBarsALinePassesAtAnyAngleAndPhase) {
  // Patches of bars across each line's direction, far apart and quiet between, so that lines step
  // over most blocks at a time.
  const std::pair<int, int> patches[] = {{100, 80}, {500, 300}, {260, 470}};
  std::vector<std::pair<double, double>> spans;
  for (int degrees = 0; degrees < 180; degrees += 7) {
    const double dx = std::cos(degrees * std::numbers::pi / 180);
    const double dy = std::sin(degrees * std::numbers::pi / 180);
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(800) * 600, 240);
    for (const auto& [left, top] : patches) {
      for (int y = top; y < top + 40; ++y) {
        for (int x = left; x < left + 40; ++x) {
          const double along = (x - left) * dx + (y - top) * dy;
          grey[static_cast<std::size_t>(y) * 800 + static_cast<std::size_t>(x)] =
              static_cast<long>(std::floor(along / 2)) % 2 == 0 ? 20 : 240;
        }
      }
    }
    const ActivityMap map(grey.data(), 800, 600, 800, 1, 2);
    for (const auto& [left, top] : patches) {
      // Lines within 8 pixels of the patch's middle, which lies `before` along them.
      for (int i = 0; i < 16; ++i) {
        const double across = i - 8.0, before = 900 + 5.3 * i;
        const double ox = left + 20 - dy * across - dx * before;
        const double oy = top + 20 + dx * across - dy * before;
        map.Spans(ox, oy, dx, dy, 2000, 0, spans);
        EXPECT_TRUE(std::any_of(
            spans.begin(), spans.end(),
            [&](const auto& span) { return span.first <= before && before <= span.second; }))
            << degrees << " degrees, patch at " << left << ", line " << i;
      }
    }
  }
}

TEST(ActivityMapTest, BarsCountForLinesNearlyAcrossThemOnly) {
  // Over x 300..400, y 200..300 of paper, bars turned by `turn` degrees (0: upright), the line
  // across them at `turn` from the rows, offset by `phase` pixels along it; or, all over, grey at
  // random, as text and clutter turn it, whose edges run every way. Noise over the whole picture.
  struct Case {
    std::string_view name;
    double turn;
    double module;  // none: grey at random
    double phase = 0;
    double noise = 0;
    double dark = 25;  // bars' grey
  };
  const Case cases[] = {
      {"upright bars of two pixels", 0, 2},
      {"upright bars of two pixels, a pixel on", 0, 2, 1},
      {"lying bars of two pixels, a pixel on", 90, 2, 1},
      {"bars turned 30 degrees, with noise", 30, 3, 0, 12},
      {"bars turned -50 degrees, blurred by their pixels", -50, 1.6},
      {"faint bars turned 10 degrees under heavy noise", 10, 3, 0, 40, 170},
      {"grey at random", 0, 0},
      {"heavy noise alone", 0, 0, 0, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const double across = c.turn * std::numbers::pi / 180;
    std::vector<std::uint8_t> grey(static_cast<std::size_t>(800) * 600, 235);
    std::mt19937 random(7);
    std::normal_distribution<double> deviation(0, c.noise);
    for (int y = 0; y < 600; ++y) {
      for (int x = 0; x < 800; ++x) {
        double value = 235;
        if (c.module == 0 || (x >= 300 && x < 400 && y >= 200 && y < 300)) {
          const double along = x * std::cos(across) + y * std::sin(across) + c.phase;
          value = c.module == 0                                              ? random() % 256
                  : static_cast<long>(std::floor(along / c.module)) % 2 == 0 ? c.dark
                                                                             : 235;
        }
        value += c.noise > 0 ? deviation(random) : 0;
        grey[static_cast<std::size_t>(y) * 800 + static_cast<std::size_t>(x)] =
            static_cast<std::uint8_t>(std::clamp(value, 0.0, 255.0));
      }
    }
    const ActivityMap map(grey.data(), 800, 600, 800, 1, 2);
    std::vector<std::pair<double, double>> spans;
    // Lines through the middle, which lies 500 along them.
    for (const int off : {0, 15, -15, 30, -30, 60, -60, 90}) {
      const double degrees = c.turn + off;
      const double dx = std::cos(degrees * std::numbers::pi / 180);
      const double dy = std::sin(degrees * std::numbers::pi / 180);
      map.Spans(350 - 500 * dx, 250 - 500 * dy, dx, dy, 1000, 0, spans);
      const bool crossed = std::any_of(spans.begin(), spans.end(), [](const auto& span) {
        return span.first <= 500 && 500 <= span.second;
      });
      EXPECT_EQ(crossed, c.module > 0 && std::abs(off) < 20) << off << " degrees from across";
    }
  }
}

TEST(ActivityMapTest, StretchesThatCrossBarsAreReadWhole) {
  // Upright bars over x 300..400, y 200..300, and beside them grey at random (x 400..560: the
  // stubs of bars a picture's edge cuts short, or digits), whose edges run every way.
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(800) * 600, 235);
  std::mt19937 random(3);
  for (int y = 200; y < 300; ++y) {
    for (int x = 300; x < 560; ++x) {
      grey[static_cast<std::size_t>(y) * 800 + static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>(x < 400 ? (x / 2 % 2 == 0 ? 25 : 235) : random() % 256);
    }
  }
  const ActivityMap map(grey.data(), 800, 600, 800, 1, 2);
  std::vector<std::pair<double, double>> spans;
  // A row through both: one span over both.
  map.Spans(0, 250, 1, 0, 800, 0, spans);
  ASSERT_EQ(spans.size(), 1U);
  EXPECT_LE(spans[0].first, 300);
  EXPECT_GE(spans[0].second, 560);
}

TEST(ActivityMapTest, RowsAndColumnsAreFollowedAlike) {
  // A transposed picture's map is the map transposed, whatever the picture's size (rows and
  // columns of it the followed lines do not fill evenly) and however far apart they are followed.
  constexpr int width = 203;
  constexpr int height = 157;
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * height, 230);
  // Dark dots of a pixel or two, far apart on flat paper (whose median step is nought both ways,
  // so that both maps take the same least step): a line through one turns the grey twice, and a
  // dot only rows (or only columns) pass through makes its cells active by their turns alone.
  std::mt19937 random(11);
  for (int dot = 0; dot < 24; ++dot) {
    const int x = static_cast<int>(random() % (width - 1));
    const int y = static_cast<int>(random() % (height - 1));
    const int size = 1 + dot % 2;
    for (int dy = 0; dy < size; ++dy) {
      for (int dx = 0; dx < size; ++dx) {
        grey[static_cast<std::size_t>(y + dy) * width + static_cast<std::size_t>(x + dx)] = 30;
      }
    }
  }
  std::vector<std::uint8_t> turned(grey.size());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      turned[static_cast<std::size_t>(x) * height + static_cast<std::size_t>(y)] =
          grey[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)];
    }
  }
  for (const int every : {1, 2, 3, 5, 6, 8}) {
    SCOPED_TRACE(every);
    const ActivityMap map(grey.data(), width, height, width, 1, every);
    const ActivityMap turnedMap(turned.data(), height, width, height, 1, every);
    int active = 0;
    for (int y = 8; y < height; y += ActivityMap::cellSize) {
      for (int x = 8; x < width; x += ActivityMap::cellSize) {
        EXPECT_EQ(map.Active(x, y), turnedMap.Active(y, x)) << x << ", " << y;
        active += map.Active(x, y) ? 1 : 0;
      }
    }
    EXPECT_GT(active, 0);
    EXPECT_LT(map.ActiveShare(), 1);
  }
}

TEST(ActivityMapTest, PixelsApartAndRowsUpwardsMakeTheSameMap) {
  // Bars and dots on noise; the same greys every third byte among others, the last row first.
  constexpr int width = 203;
  constexpr int height = 157;
  std::mt19937 random(3);
  std::vector<std::uint8_t> grey(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool bar = x > 40 && x < 120 && y > 30 && y < 90 && (x / 3) % 2 == 0;
      grey[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>((bar ? 30 : 200) + random() % 24);
    }
  }
  constexpr int pixelStep = 3;
  constexpr std::ptrdiff_t pitch = width * pixelStep + 5;
  std::vector<std::uint8_t> spread(static_cast<std::size_t>(pitch) * height);
  for (std::uint8_t& byte : spread) {
    byte = static_cast<std::uint8_t>(random());
  }
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      spread[static_cast<std::size_t>((height - 1 - y) * pitch + x * pixelStep + 1)] =
          grey[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)];
    }
  }
  const std::uint8_t* lastRow = spread.data() + (height - 1) * pitch + 1;
  for (const int every : {2, 3, 6}) {
    SCOPED_TRACE(every);
    const ActivityMap map(grey.data(), width, height, width, 1, every);
    const ActivityMap spreadMap(lastRow, width, height, -pitch, pixelStep, every);
    EXPECT_EQ(map.ActiveShare(), spreadMap.ActiveShare());
    EXPECT_GT(map.ActiveShare(), 0);
    EXPECT_LT(map.ActiveShare(), 1);
    for (int y = 8; y < height; y += ActivityMap::cellSize) {
      for (int x = 8; x < width; x += ActivityMap::cellSize) {
        EXPECT_EQ(map.Active(x, y), spreadMap.Active(x, y)) << x << ", " << y;
      }
    }
    // And the directions that count the bars' cells.
    std::vector<std::pair<double, double>> spans;
    std::vector<std::pair<double, double>> spreadSpans;
    for (int degrees = 0; degrees < 180; degrees += 15) {
      const double dx = std::cos(degrees * std::numbers::pi / 180);
      const double dy = std::sin(degrees * std::numbers::pi / 180);
      map.Spans(80 - 200 * dx, 60 - 200 * dy, dx, dy, 400, 0, spans);
      spreadMap.Spans(80 - 200 * dx, 60 - 200 * dy, dx, dy, 400, 0, spreadSpans);
      EXPECT_EQ(spans, spreadSpans) << degrees << " degrees";
    }
  }
}

}  // namespace

}  // namespace strixa
