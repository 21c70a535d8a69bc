#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brevanto::cli::dxf {

struct Vec3 {
  double x = 0.0, y = 0.0, z = 0.0;
};

// A polyline vertex: its point (in the entity's coordinate system) and the
// bulge of the piece that starts at it: tan(sweep / 4), positive
// counter-clockwise.
struct Vertex {
  double x = 0.0, y = 0.0, bulge = 0.0;
  double z = 0.0;  // a 3D polyline's
};

struct SplineData {
  int32_t degree = 3;
  int32_t flags = 0;  // 1 closed, 2 periodic, 4 rational
  std::vector<double> knots;
  std::vector<double> weights;
  std::vector<Vec3> control;
  std::vector<Vec3> fit;
  Vec3 startTangent, endTangent;  // zero when the file gives none
};

enum class Kind : uint8_t {
  Line,
  Arc,
  Circle,
  Ellipse,
  Polyline,  // LWPOLYLINE, and POLYLINE with its VERTEX entities
  Spline,
  Insert,
  LeftOut,  // an entity that is not cut; `name` says its type
};

// One entity as the file gives it, in the file's units. Points are in the
// entity's own coordinate system (arcs, circles, polylines and inserts lie
// in the plane of `normal`); lines, ellipses and splines are in world
// coordinates.
struct Entity {
  Kind kind = Kind::LeftOut;
  bool closed = false;      // polyline flag 1
  bool invisible = false;   // group 60
  bool paperSpace = false;  // group 67
  int32_t line = 0;         // where the entity starts (line or byte)
  int32_t layer = 0;        // index into Document::layers
  int32_t aci = 256;        // 256 by layer, 0 by block
  int32_t rgb = -1;         // true colour (420), -1 when none
  Vec3 normal{0.0, 0.0, 1.0};
  // LINE ends; ARC/CIRCLE/ELLIPSE/INSERT centre or point; ELLIPSE major
  // axis; a 2D polyline's elevation is a.z.
  Vec3 a, b;
  double radius = 0.0;            // ARC, CIRCLE; ELLIPSE minor/major ratio
  double start = 0.0, end = 0.0;  // ARC degrees, ELLIPSE parameter (radians)
  // INSERT: scale, rotation (degrees), columns and rows with their spacing.
  double sx = 1.0, sy = 1.0, sz = 1.0, rotation = 0.0, columnSpacing = 0.0, rowSpacing = 0.0;
  int32_t columns = 1, rows = 1;
  std::string name;  // INSERT: block; LeftOut: entity type
  std::vector<Vertex> vertices;
  std::unique_ptr<SplineData> spline;
  bool widths = false;         // a polyline with widths (cut along its centre line)
  bool threeD = false;         // a mesh or a polyface
  bool worldPolyline = false;  // a 3D polyline: vertices in world coordinates
  int32_t attributes = 0;      // INSERT: its ATTRIB entities (text)
};

struct Layer {
  std::string name;
  int32_t aci = 7;
  int32_t rgb = -1;
  bool hidden = false;  // frozen or off
};

struct Block {
  double baseX = 0.0, baseY = 0.0, baseZ = 0.0;
  int32_t line = 0;
  std::vector<Entity> entities;
};

struct Document {
  bool binary = false;        // places are byte offsets, not lines
  int32_t insunits = -1;      // $INSUNITS; -1 when the header does not say
  std::vector<Layer> layers;  // layer 0 first, then as the table and entities name them
  std::map<std::string, Block, std::less<>> blocks;
};

// Told each entity of the model space as soon as it is read, so that a
// drawing of a million entities is never held whole. The layers and blocks
// read so far are in the document.
class EntitySink {
 public:
  virtual ~EntitySink() = default;
  virtual void entity(Entity&& entity, const Document& document) = 0;
};

// Reads the sections of a DXF file into `document` (header, layers,
// blocks), handing the model space's entities to `sink`. On failure, false
// with `error` saying where ("line 12: ...") and `errorLine` the line of a
// text file (0 for a binary one).
bool readDocument(std::string_view bytes, Document& document, EntitySink& sink, std::string& error,
                  int32_t& errorLine);

// A message for a place in the file: a text file's line goes to
// `errorLine` (the command prefixes it), a binary file's byte offset into
// the message.
std::string placed(const Document& document, int64_t where, const std::string& message,
                   int32_t& errorLine);

}  // namespace brevanto::cli::dxf
