#include "dxf_document.h"

#include <cmath>
#include <unordered_map>

#include "group_reader.h"

namespace brevanto::cli::dxf {
namespace {

// A polyline or spline may have this many vertices, control or fit points,
// knots or weights: as many as the pieces a drawing may make, few enough
// that a hostile count costs no more memory than the file's own size does.
constexpr size_t kMostPoints = 2'000'000;

struct Failure {
  std::string message;
  int64_t where;  // line (text) or byte (binary)
};

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

class Parser {
 public:
  Parser(std::string_view bytes, Document& document, EntitySink& sink)
      : reader_(bytes), doc_(document), sink_(sink) {
    layerIndex("0");
  }

  [[nodiscard]] bool binary() const { return reader_.binary(); }

  // Throws Failure; returns when the file's EOF group is read.
  void run() {
    Group g;
    bool afterHeader = false;
    while (take(g)) {
      if (g.code == 999) continue;
      // Some writers (dxflib 2.0) close the header early and write the rest
      // of its variables after it, up to a second ENDSEC: read as header.
      if (g.code == 9 && afterHeader) {
        reader_.unread();
        header();
        continue;
      }
      if (g.code != 0)
        failAt(g, "expected a section (group 0), found group " + std::to_string(g.code));
      if (g.text == "EOF") return;
      if (g.text != "SECTION") failAt(g, "expected SECTION, found \"" + std::string(g.text) + "\"");
      Group name;
      if (!take(name) || name.code != 2) failAt(g, "a SECTION without its name (group 2)");
      const std::string section(name.text);
      afterHeader = section == "HEADER";
      if (section == "HEADER") {
        header();
      } else if (section == "TABLES") {
        tables();
      } else if (section == "BLOCKS") {
        blocks();
      } else if (section == "ENTITIES") {
        entities(section, &sink_, nullptr);
      } else {
        skipSection(section);
      }
    }
    // A file without EOF whose last section was closed is whole enough; one
    // that ends inside a section was refused on the way.
  }

 private:
  bool take(Group& g) {
    if (reader_.next(g)) {
      lastWhere_ = g.where;
      return true;
    }
    if (!reader_.error().empty()) throw Failure{reader_.error(), reader_.errorWhere()};
    return false;
  }

  // The next group inside `section`: the file must not end there.
  Group within(const std::string& section) {
    Group g;
    if (!take(g)) {
      throw Failure{"the file ends inside the " + section + " section (no ENDSEC): it is cut short",
                    lastWhere_};
    }
    return g;
  }

  [[noreturn]] void failAt(const Group& g, const std::string& why) { throw Failure{why, g.where}; }

  double number(const Group& g) {
    double v = 0.0;
    if (!parseNumber(g.text, v)) {
      failAt(g, "the value of group " + std::to_string(g.code) + ", \"" +
                    std::string(g.text.substr(0, 40)) + "\", is not a number");
    }
    return v;
  }

  int32_t integer(const Group& g) {
    const double v = number(g);
    if (!(std::fabs(v) <= 2147483647.0) || v != std::trunc(v)) {
      failAt(g, "the value of group " + std::to_string(g.code) + ", \"" +
                    std::string(g.text.substr(0, 40)) + "\", is not a whole number");
    }
    return static_cast<int32_t>(v);
  }

  int32_t layerIndex(std::string_view name) {
    const auto [it, added] =
        layerByName_.try_emplace(upper(name), static_cast<int32_t>(doc_.layers.size()));
    if (added) doc_.layers.push_back(Layer{.name = std::string(name)});
    return it->second;
  }

  void skipSection(const std::string& section) {
    for (;;) {
      const Group g = within(section);
      if (g.code == 0 && g.text == "ENDSEC") return;
    }
  }

  void header() {
    for (;;) {
      const Group g = within("HEADER");
      if (g.code == 0 && g.text == "ENDSEC") return;
      if (g.code == 9 && g.text == "$INSUNITS") {
        const Group value = within("HEADER");
        if (value.code != 70) failAt(value, "$INSUNITS without its value (group 70)");
        doc_.insunits = integer(value);
      }
    }
  }

  void tables() {
    for (;;) {
      Group g = within("TABLES");
      if (g.code == 0 && g.text == "ENDSEC") return;
      if (g.code != 0 || g.text != "LAYER") continue;
      Layer layer;
      int32_t flags = 0;
      for (;;) {
        g = within("TABLES");
        if (g.code == 0) break;
        if (g.code == 2) layer.name = std::string(g.text);
        if (g.code == 62) layer.aci = integer(g);
        if (g.code == 70) flags = integer(g);
        if (g.code == 420) layer.rgb = integer(g) & 0xFFFFFF;
      }
      reader_.unread();
      Layer& known = doc_.layers[static_cast<size_t>(layerIndex(layer.name))];
      // A negative colour number turns the layer off; flag 1 freezes it.
      known.hidden = layer.aci < 0 || (flags & 1) != 0;
      known.aci = std::abs(layer.aci);
      known.rgb = layer.rgb;
    }
  }

  void blocks() {
    for (;;) {
      const Group g = within("BLOCKS");
      if (g.code == 0 && g.text == "ENDSEC") return;
      if (g.code != 0 || g.text != "BLOCK") continue;
      Block block;
      block.line = static_cast<int32_t>(g.where);
      std::string name;
      for (;;) {
        const Group h = within("BLOCKS");
        if (h.code == 0) break;
        if (h.code == 2) name = std::string(h.text);
        if (h.code == 10) block.baseX = number(h);
        if (h.code == 20) block.baseY = number(h);
        if (h.code == 30) block.baseZ = number(h);
      }
      reader_.unread();
      entities("BLOCKS", nullptr, &block.entities);
      doc_.blocks.insert_or_assign(upper(name), std::move(block));
    }
  }

  // Entities up to ENDSEC (the section) or ENDBLK (a block), each handed to
  // the sink or kept in `into`.
  void entities(const std::string& section, EntitySink* sink, std::vector<Entity>* into) {
    for (;;) {
      const Group g = within(section);
      if (g.code != 0)
        failAt(g, "expected an entity (group 0), found group " + std::to_string(g.code));
      if (g.text == "ENDSEC") {
        if (into != nullptr) failAt(g, "a BLOCK without ENDBLK");
        return;
      }
      if (g.text == "ENDBLK") {
        for (Group h = within(section); h.code != 0; h = within(section)) {
        }
        reader_.unread();
        return;
      }
      Entity e = entity(g, section);
      if (sink != nullptr) {
        sink->entity(std::move(e), doc_);
      } else {
        into->push_back(std::move(e));
      }
    }
  }

  void common(Entity& e, const Group& g) {
    const int32_t c = g.code;
    if (c == 8) e.layer = layerIndex(g.text);
    if (c == 60) e.invisible = integer(g) != 0;
    if (c == 62) e.aci = integer(g);
    if (c == 67) e.paperSpace = integer(g) != 0;
    if (c == 210) e.normal.x = number(g);
    if (c == 220) e.normal.y = number(g);
    if (c == 230) e.normal.z = number(g);
    if (c == 420) e.rgb = integer(g) & 0xFFFFFF;
  }

  template <class T>
  void grow(std::vector<T>& list, const Group& g) {
    if (list.size() >= kMostPoints) {
      failAt(g, "more than " + std::to_string(kMostPoints) + " points in one entity");
    }
    list.emplace_back();
  }

  Entity entity(const Group& start, const std::string& section) {
    Entity e;
    e.line = static_cast<int32_t>(start.where);
    e.name = std::string(start.text);
    const std::string& type = e.name;
    if (type == "LINE") e.kind = Kind::Line;
    if (type == "ARC") e.kind = Kind::Arc;
    if (type == "CIRCLE") e.kind = Kind::Circle;
    if (type == "ELLIPSE") e.kind = Kind::Ellipse;
    if (type == "LWPOLYLINE" || type == "POLYLINE") e.kind = Kind::Polyline;
    if (type == "SPLINE") e.kind = Kind::Spline;
    if (type == "INSERT") e.kind = Kind::Insert;
    if (e.kind == Kind::Spline) e.spline = std::make_unique<SplineData>();
    bool followers = type == "POLYLINE";  // VERTEX ... SEQEND follow
    for (;;) {
      const Group g = within(section);
      if (g.code == 0) break;
      common(e, g);
      field(e, g, followers);
    }
    reader_.unread();
    if (followers) sequence(e, section);
    if (e.kind == Kind::Polyline && e.threeD) e.kind = Kind::LeftOut;
    if (e.kind == Kind::Ellipse && e.radius == 0.0) e.radius = 1.0;
    return e;
  }

  void field(Entity& e, const Group& g, bool& followers) {
    const int32_t c = g.code;
    switch (e.kind) {
      case Kind::Line:
      case Kind::Arc:
      case Kind::Circle:
      case Kind::Ellipse:
      case Kind::Insert:
        if (c == 10) e.a.x = number(g);
        if (c == 20) e.a.y = number(g);
        if (c == 30) e.a.z = number(g);
        if (c == 11) e.b.x = number(g);
        if (c == 21) e.b.y = number(g);
        if (c == 31) e.b.z = number(g);
        if (c == 40) e.radius = number(g);
        if (c == 50 || c == 41) e.start = number(g);
        if (c == 51 || c == 42) e.end = number(g);
        if (e.kind == Kind::Insert) {
          if (c == 2) e.name = std::string(g.text);
          if (c == 41) e.sx = number(g);
          if (c == 42) e.sy = number(g);
          if (c == 43) e.sz = number(g);
          if (c == 50) e.rotation = number(g);
          if (c == 70) e.columns = integer(g);
          if (c == 71) e.rows = integer(g);
          if (c == 44) e.columnSpacing = number(g);
          if (c == 45) e.rowSpacing = number(g);
          if (c == 66) followers = integer(g) != 0;
        }
        break;
      case Kind::Polyline:
        if (c == 70) {
          const int32_t flags = integer(g);
          e.closed = (flags & 1) != 0;
          // A 3D polyline (8) lies in world coordinates and is cut as seen
          // from above; meshes (16) and polyfaces (64) are surfaces.
          if ((flags & 8) != 0) e.worldPolyline = true;
          e.threeD = (flags & (16 | 64)) != 0;
        }
        if ((c == 40 || c == 41 || c == 43) && number(g) != 0.0) e.widths = true;
        if (c == 38 || (c == 30 && followers)) e.a.z = number(g);  // the elevation
        // POLYLINE's own point is a placeholder; its vertices follow it.
        if (c == 10 && !followers) {
          grow(e.vertices, g);
          e.vertices.back().x = number(g);
        }
        if (c == 20 && !e.vertices.empty()) e.vertices.back().y = number(g);
        if (c == 42 && !e.vertices.empty()) e.vertices.back().bulge = number(g);
        break;
      case Kind::Spline: {
        SplineData& s = *e.spline;
        if (c == 70) s.flags = integer(g);
        if (c == 71) s.degree = integer(g);
        if (c == 40) grow(s.knots, g), s.knots.back() = number(g);
        if (c == 41) grow(s.weights, g), s.weights.back() = number(g);
        if (c == 10) grow(s.control, g), s.control.back().x = number(g);
        if (c == 20 && !s.control.empty()) s.control.back().y = number(g);
        if (c == 30 && !s.control.empty()) s.control.back().z = number(g);
        if (c == 11) grow(s.fit, g), s.fit.back().x = number(g);
        if (c == 21 && !s.fit.empty()) s.fit.back().y = number(g);
        if (c == 31 && !s.fit.empty()) s.fit.back().z = number(g);
        if (c == 12) s.startTangent.x = number(g);
        if (c == 22) s.startTangent.y = number(g);
        if (c == 32) s.startTangent.z = number(g);
        if (c == 13) s.endTangent.x = number(g);
        if (c == 23) s.endTangent.y = number(g);
        if (c == 33) s.endTangent.z = number(g);
        break;
      }
      case Kind::LeftOut:
        break;
    }
  }

  // The VERTEX entities of a POLYLINE (or the ATTRIB entities of an
  // INSERT) up to SEQEND.
  void sequence(Entity& e, const std::string& section) {
    for (;;) {
      const Group g = within(section);
      if (g.code != 0)
        failAt(g, "expected VERTEX or SEQEND, found group " + std::to_string(g.code));
      if (g.text != "VERTEX" && g.text != "ATTRIB" && g.text != "SEQEND") {
        // Some writers leave SEQEND out: the next entity ends the list.
        reader_.unread();
        return;
      }
      Vertex v;
      int32_t flags = 0;
      bool widths = false;
      for (Group h = within(section); h.code != 0; h = within(section)) {
        if (h.code == 10) v.x = number(h);
        if (h.code == 20) v.y = number(h);
        if (h.code == 30) v.z = number(h);
        if (h.code == 42) v.bulge = number(h);
        if (h.code == 70) flags = integer(h);
        if ((h.code == 40 || h.code == 41) && number(h) != 0.0) widths = true;
      }
      reader_.unread();
      if (g.text == "SEQEND") return;
      if (g.text == "ATTRIB") {
        ++e.attributes;
        continue;
      }
      // A spline frame's control points (16) are not on the curve.
      if (e.kind == Kind::Polyline && (flags & 16) == 0) {
        grow(e.vertices, g);
        e.vertices.back() = v;
        e.widths = e.widths || widths;
      }
    }
  }

  GroupReader reader_;
  Document& doc_;
  EntitySink& sink_;
  std::unordered_map<std::string, int32_t> layerByName_;
  int64_t lastWhere_ = 0;
};

}  // namespace

std::string placed(const Document& document, int64_t where, const std::string& message,
                   int32_t& errorLine) {
  errorLine = 0;
  if (document.binary) return "byte " + std::to_string(where) + ": " + message;
  if (where > 0 && where <= INT32_MAX) errorLine = static_cast<int32_t>(where);
  return message;
}

bool readDocument(std::string_view bytes, Document& document, EntitySink& sink, std::string& error,
                  int32_t& errorLine) {
  Parser parser(bytes, document, sink);
  document.binary = parser.binary();
  try {
    parser.run();
  } catch (const Failure& f) {
    error = placed(document, f.where, f.message, errorLine);
    return false;
  }
  return true;
}

}  // namespace brevanto::cli::dxf
