#include "dxf/dxf_import.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "dxf/dxf_units.h"

namespace brevanto::cli::dxf {
namespace {

// A drawing of the given entities (group lines "code\nvalue\n"), with
// $INSUNITS when `units` >= 0 and the given blocks and layer table.
std::string drawing(const std::string& entities, int units = 4, const std::string& blocks = "",
                    const std::string& layers = "") {
  std::string text = "0\nSECTION\n2\nHEADER\n";
  if (units >= 0) text += "9\n$INSUNITS\n70\n" + std::to_string(units) + "\n";
  text += "0\nENDSEC\n0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n" + layers +
          "0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nBLOCKS\n" + blocks +
          "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" + entities + "0\nENDSEC\n0\nEOF\n";
  return text;
}

const std::string kSquareBlock =
    "0\nBLOCK\n2\nSQ\n10\n0\n20\n0\n"
    "0\nLWPOLYLINE\n8\n0\n62\n0\n90\n4\n70\n1\n10\n0\n20\n0\n10\n2\n20\n0\n10\n2\n20\n1\n10\n0\n20"
    "\n1\n"
    "0\nENDBLK\n"
    // Upright in the block: a circle in its xz plane and a line along z.
    "0\nBLOCK\n2\nUP\n0\nCIRCLE\n10\n3\n20\n5\n40\n2\n210\n0\n220\n1\n230\n0\n"
    "0\nLINE\n31\n4\n0\nENDBLK\n";

struct Extent {
  double minX, minY, maxX, maxY;
};

const std::string kEntitiesCircle = "0\nCIRCLE\n10\n5\n20\n5\n40\n2\n";

// Every entity kind, in drawing units; the extent includes control points,
// which for these lie on the bounding box.
const struct {
  const char* name;
  std::string entity;
  Extent extent;
  int shapes;
} kEntities[] = {
    {"line", "0\nLINE\n10\n1\n20\n2\n11\n4\n21\n6\n", {1, 2, 4, 6}, 1},
    {"circle", kEntitiesCircle, {3, 3, 7, 7}, 1},
    {"arc", "0\nARC\n10\n0\n20\n0\n40\n2\n50\n90\n51\n180\n", {-2, 0, 0, 2}, 1},
    {"ellipse",
     "0\nELLIPSE\n10\n0\n20\n0\n11\n0\n21\n4\n40\n0.5\n41\n0\n42\n6.283185307179586\n",
     {-2, -4, 2, 4},
     1},
    {"bulge", "0\nLWPOLYLINE\n90\n2\n10\n0\n20\n0\n42\n1\n10\n4\n20\n0\n", {0, -2, 4, 0}, 1},
    {"polyline",
     "0\nPOLYLINE\n66\n1\n70\n1\n0\nVERTEX\n10\n0\n20\n0\n0\nVERTEX\n10\n3\n20\n0\n"
     "0\nVERTEX\n10\n3\n20\n2\n0\nSEQEND\n",
     {0, 0, 3, 2},
     1},
    {"spline",
     "0\nSPLINE\n71\n3\n72\n8\n73\n4\n40\n0\n40\n0\n40\n0\n40\n0\n40\n1\n40\n1\n40\n1\n"
     "40\n1\n10\n0\n20\n0\n10\n0\n20\n3\n10\n3\n20\n3\n10\n3\n20\n0\n",
     {0, 0, 3, 3},
     1},
    {"fit spline", "0\nSPLINE\n71\n3\n74\n2\n11\n0\n21\n0\n11\n3\n21\n4\n", {0, 0, 3, 4}, 1},
    {"mirrored arc",
     "0\nARC\n10\n1\n20\n0\n40\n1\n50\n0\n51\n90\n210\n0\n220\n0\n230\n-1\n",
     {-2, 0, -1, 1},
     1},
    {"insert, rotated and mirrored",
     "0\nINSERT\n2\nSQ\n10\n10\n20\n0\n41\n-1\n42\n1\n50\n90\n",
     {9, -2, 10, 0},
     1},
    {"upright block laid down by its insert's extrusion",
     "0\nINSERT\n2\nUP\n210\n1\n220\n0\n230\n0\n",
     {0, -5, 7, 0},
     2},
    {"circle whose normal is a hair off z",
     "0\nCIRCLE\n10\n5\n20\n5\n40\n2\n210\n1e-7\n220\n0\n230\n1\n",
     {3, 3, 7, 7},
     1},
    {"circle in a tilted plane left out",
     kEntitiesCircle + "0\nCIRCLE\n40\n9\n210\n1\n220\n0\n230\n1\n",
     {3, 3, 7, 7},
     1},
    {"insert array",
     "0\nINSERT\n2\nSQ\n10\n0\n20\n0\n70\n2\n71\n2\n44\n3\n45\n3\n",
     {0, 0, 5, 4},
     4},
};

TEST(DxfImport, EveryEntityInEveryUnit) {
  const struct {
    int code;
    double mm;
  } units[] = {{0, 1.0}, {1, 25.4}, {2, 304.8}, {4, 1.0}, {5, 10.0}, {6, 1000.0}};
  for (const auto& unit : units) {
    for (const auto& c : kEntities) {
      SCOPED_TRACE(std::string(c.name) + " in unit " + std::to_string(unit.code));
      const DxfImport r = importDxf(drawing(c.entity, unit.code, kSquareBlock), {});
      ASSERT_TRUE(r.result.ok()) << r.result.error;
      EXPECT_EQ(r.result.shapes, c.shapes);
      const double tol = 1e-9 * unit.mm;
      EXPECT_NEAR(r.result.minXMm, c.extent.minX * unit.mm, tol);
      EXPECT_NEAR(r.result.minYMm, c.extent.minY * unit.mm, tol);
      EXPECT_NEAR(r.result.maxXMm, c.extent.maxX * unit.mm, tol);
      EXPECT_NEAR(r.result.maxYMm, c.extent.maxY * unit.mm, tol);
      EXPECT_EQ(r.unit.has_value(), unit.code != 0);
    }
  }
  // --dxf-units wins over the drawing's own unit.
  const DxfImport r = importDxf(drawing(kEntities[0].entity, 1), {.unit = unitNamed("cm")});
  EXPECT_DOUBLE_EQ(r.result.maxXMm, 40.0);
  // Header variables after an early ENDSEC (as dxflib 2.0 writes) still count.
  const DxfImport late = importDxf(
      "0\nSECTION\n2\nHEADER\n0\nENDSEC\n9\n$INSUNITS\n70\n1\n0\nENDSEC\n"
      "0\nSECTION\n2\nENTITIES\n" +
          kEntities[0].entity + "0\nENDSEC\n0\nEOF\n",
      {});
  ASSERT_TRUE(late.result.ok()) << late.result.error;
  EXPECT_DOUBLE_EQ(late.result.maxXMm, 4 * 25.4);
}

// Circles and bulges are pieces the job fits as one arc each (length 1);
// an ellipse, or a circle through a non-uniform scale, is measured instead.
TEST(DxfImport, ArcsReachTheJobAsExactArcs) {
  const std::string block =
      "0\nBLOCK\n2\nC\n0\nCIRCLE\n40\n1\n0\nENDBLK\n"
      "0\nBLOCK\n2\nU\n0\nCIRCLE\n40\n1\n210\n0\n220\n1\n230\n0\n0\nENDBLK\n";
  const struct {
    const char* name;
    std::string entity;
    bool exact;
  } cases[] = {
      {"circle", "0\nCIRCLE\n40\n3\n", true},
      {"bulge", kEntities[4].entity, true},
      {"ellipse", kEntities[3].entity, false},
      {"rotated mirrored insert", "0\nINSERT\n2\nC\n41\n-2\n42\n2\n50\n30\n", true},
      {"stretched insert", "0\nINSERT\n2\nC\n41\n2\n42\n1\n", false},
      {"upright circle laid down", "0\nINSERT\n2\nU\n210\n1\n220\n0\n230\n0\n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const DxfImport r = importDxf(drawing(c.entity, 1, block), {});
    ASSERT_FALSE(r.result.segments.empty()) << r.result.error;
    for (const Segment& s : r.result.segments) {
      EXPECT_EQ(s.kind, 1);
      EXPECT_EQ(s.length == 1.0F, c.exact);
    }
  }
}

TEST(DxfImport, LayersAndColoursTagEachShape) {
  const std::string layers =
      "0\nLAYER\n2\nRed\n62\n1\n70\n0\n0\nLAYER\n2\nFrozen\n62\n2\n70\n1\n"
      "0\nLAYER\n2\nOff\n62\n-3\n70\n0\n0\nLAYER\n2\nTrue\n62\n5\n420\n1122867\n";
  const std::string entities =
      "0\nCIRCLE\n8\nRed\n40\n1\n"         // by layer: red
      "0\nCIRCLE\n8\nred\n62\n7\n40\n1\n"  // 7 is black; names ignore case
      "0\nCIRCLE\n8\nFrozen\n40\n1\n0\nCIRCLE\n8\nOff\n40\n1\n"
      "0\nCIRCLE\n8\nTrue\n40\n1\n"                       // the layer's true colour
      "0\nCIRCLE\n8\nRed\n62\n3\n420\n16711680\n40\n1\n"  // true colour over the index
      "0\nINSERT\n2\nSQ\n8\nRed\n62\n4\n"                 // layer 0 and by-block colour inherited
      "0\nTEXT\n1\nhello\n0\nCIRCLE\n60\n1\n40\n1\n";
  const DxfImport r = importDxf(drawing(entities, 4, kSquareBlock, layers), {});
  ASSERT_TRUE(r.result.ok()) << r.result.error;
  const struct {
    const char* layer;
    int32_t stroke;
  } expected[] = {{"Red", 255},
                  {"Red", 0},
                  {"True", 0x332211},
                  {"Red", 0x0000FF},
                  {"Red", 255 * 256 + 255 * 65536}};
  ASSERT_EQ(r.tags.size(), std::size(expected));
  for (size_t i = 0; i < r.tags.size(); ++i) {
    EXPECT_EQ(r.tags[i].layer, expected[i].layer) << i;
    EXPECT_EQ(r.tags[i].stroke, expected[i].stroke) << i;
  }
  EXPECT_EQ(r.result.leftOutCount(), 4);  // frozen, off, text, invisible
  // Palette entries whose channels are cut to whole numbers only at the end
  // (33, 43), a pale dark one, a grey, and the first and last of the rows.
  const int aci[][4] = {{30, 255, 127, 0},  {11, 255, 127, 127}, {20, 255, 63, 0},
                        {33, 165, 124, 82}, {43, 165, 145, 82},  {62, 124, 165, 0},
                        {109, 19, 38, 23},  {249, 38, 19, 23},   {250, 51, 51, 51}};
  for (const auto& c : aci) EXPECT_EQ(aciColour(c[0]), c[1] + 256 * c[2] + 65536 * c[3]) << c[0];
}

// Ends within 0.001 mm meet, in any order and direction: four lines (one a
// hair off, in inches) close a square; a gap of 0.01 mm does not close.
TEST(DxfImport, EndsThatMeetAreChainedIntoClosedShapes) {
  const auto line = [](double x0, double y0, double x1, double y1) {
    return "0\nLINE\n10\n" + std::to_string(x0) + "\n20\n" + std::to_string(y0) + "\n11\n" +
           std::to_string(x1) + "\n21\n" + std::to_string(y1) + "\n";
  };
  const std::string square =
      line(1, 1, 1, 0) + line(0, 0, 1, 0) + line(0, 1, 1, 1) + line(0, 1, 0, 0.00003);
  DxfImport r = importDxf(drawing(square, 1), {});
  ASSERT_EQ(r.result.shapes, 1);
  const auto& s = r.result.segments;
  ASSERT_EQ(s.size(), 4U);
  for (size_t i = 0; i < s.size(); ++i) {
    EXPECT_EQ(s[i].x3, s[(i + 1) % 4].x0);
    EXPECT_EQ(s[i].y3, s[(i + 1) % 4].y0);
  }
  r = importDxf(drawing(line(0, 0, 1, 0) + line(1.01, 0, 2, 0)), {});
  EXPECT_EQ(r.result.shapes, 2);
}

TEST(DxfImport, MalformedDrawingsAreRefusedWithTheirLine) {
  const std::string selfInsert =
      "0\nBLOCK\n2\nA\n0\nINSERT\n2\nB\n0\nENDBLK\n0\nBLOCK\n2\nB\n0\nINSERT\n2\nA\n0\nENDBLK\n";
  const struct {
    std::string text;
    const char* error;
    int line;
  } cases[] = {
      {"0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n", "the file ends after group code 10", 7},
      {"0\nSECTION\n2\nENTITIES\n0\nLINE\n", "ends inside the ENTITIES section", 5},
      {"0\nSECTION\n2\nENTITIES\nx\nLINE\n", "expected a group code", 5},
      {"0\nSECTION\n2\nENTITIES\n0\nLINE\n5000\n1\n", "group code 5000 is none", 7},
      {"0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n1.2.3\n", "\"1.2.3\", is not a number", 7},
      {"0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nnan\n", "is not a number", 7},
      {"0\nSECTION\n2\nENTITIES\n10\n1\n", "expected an entity", 5},
      {drawing("0\nINSERT\n2\nA\n", 4, selfInsert), "inserts itself", 0},
      {drawing("0\nINSERT\n2\nE\n70\n30000\n71\n30000\n", 4, "0\nBLOCK\n2\nE\n0\nENDBLK\n"),
       "more than 2000000", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const DxfImport r = importDxf(c.text, {});
    EXPECT_NE(r.result.error.find(c.error), std::string::npos) << r.result.error;
    if (c.line > 0) {
      EXPECT_EQ(r.result.errorLine, c.line);
    }
    EXPECT_TRUE(r.result.segments.empty());
  }
}

// The binary form holds the same groups: a circle of radius 2 in inches.
TEST(DxfImport, BinaryDrawingsAreRead) {
  std::string bin("AutoCAD Binary DXF\r\n\x1a\0", 22);
  const auto code = [&](int c) {
    bin += static_cast<char>(c & 0xFF), bin += static_cast<char>(c >> 8);
  };
  const auto text = [&](int c, const std::string& v) { code(c), bin += v, bin += '\0'; };
  const auto real = [&](int c, double v) {
    code(c);
    bin.append(reinterpret_cast<const char*>(&v), 8);  // little-endian hosts
  };
  text(0, "SECTION"), text(2, "HEADER"), text(9, "$INSUNITS"), code(70),
      bin += std::string("\1\0", 2);
  text(0, "ENDSEC"), text(0, "SECTION"), text(2, "ENTITIES"), text(0, "CIRCLE"), text(8, "0");
  real(10, 1.0), real(20, 0.0), real(40, 2.0), text(0, "ENDSEC"), text(0, "EOF");
  const DxfImport r = importDxf(bin, {});
  ASSERT_TRUE(r.result.ok()) << r.result.error;
  EXPECT_DOUBLE_EQ(r.result.maxXMm, 3 * 25.4);
  EXPECT_EQ(importDxf(bin.substr(0, bin.size() - 30), {}).result.error.substr(0, 5), "byte ");
}

}  // namespace
}  // namespace brevanto::cli::dxf
