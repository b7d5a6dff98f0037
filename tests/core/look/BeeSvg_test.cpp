#include "look/BeeSvg.h"

#include <gtest/gtest.h>

#include <cmath>

#include "look/SVGPathParser.h"

namespace tervane {
namespace {

std::size_t count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

bool near(Point a, Point b) {
  return std::abs(a.x - b.x) < 1e-3 && std::abs(a.y - b.y) < 1e-3;
}

TEST(BeeSvg, ColoursRoundToTheNearestByteAndClamp) {
  EXPECT_EQ(hexColor(TervaneTints::deepBg), "#0e1014");
  EXPECT_EQ(hexColor(accentDark(TervaneTint::carbon)), "#f3f3f5");
  EXPECT_EQ(hexColor(Color{0.5, 1.2, -0.1, 0.3}), "#80ff00");
}

TEST(BeeSvg, TheDocumentHoldsOneFilledPathThatReadsBackAsTheBee) {
  for (bool open : {true, false}) {
    const BeeShape bee{.open = open};
    const std::string svg = beeSvgDocument(bee, TervaneTints::deepBg);
    EXPECT_EQ(count(svg, "<path"), 1u);
    EXPECT_EQ(count(svg, "viewBox=\"0 0 750 750\""), 1u);
    EXPECT_EQ(count(svg, "fill=\"#0e1014\""), 1u);
    EXPECT_EQ(svg.rfind("</svg>\n"), svg.size() - 7);

    const auto start = svg.find(" d=\"");
    ASSERT_NE(start, std::string::npos);
    const auto end = svg.find('"', start + 4);
    const VectorPath back = SVGPathParser(svg.substr(start + 4, end - start - 4)).parse();
    const auto& expected = bee.designPath().elements();
    ASSERT_EQ(back.elements().size(), expected.size()) << "open " << open;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const auto& a = back.elements()[i];
      const auto& b = expected[i];
      ASSERT_EQ(a.kind, b.kind) << i;
      if (a.kind == PathElement::Kind::close) continue;
      EXPECT_TRUE(near(a.to, b.to)) << i;
      if (a.kind == PathElement::Kind::cubic) {
        EXPECT_TRUE(near(a.control1, b.control1) && near(a.control2, b.control2)) << i;
      }
    }
  }
}

}  // namespace
}  // namespace tervane
