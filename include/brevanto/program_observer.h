// The program as a controller reads it, block by block, for hosts that sum
// it up, draw it or measure it without reading the text back.
#pragma once

#include <cstdint>
#include <span>

namespace brevanto {

// One block that may move the tool: its motion word and the numbers of its
// words exactly as the program states them (rounded to the program's digits,
// as a reader of the text gets them back). An arc states its circle by R or
// by its centre relative to its start (I J), as the dialect writes it.
struct WrittenBlock {
  int8_t motion = -1;  // 0 to 3 for G00 to G03
  bool hasX = false, hasY = false, hasZ = false;
  bool hasR = false, hasIJ = false, hasF = false;
  double x = 0.0, y = 0.0, z = 0.0;
  double r = 0.0, i = 0.0, j = 0.0;
  double f = 0.0;
  bool hasS = false;  // a laser's power on the move
  double s = 0.0;
};

// Told of every block as it is written, in order.
class ProgramObserver {
 public:
  virtual ~ProgramObserver() = default;
  virtual void shapeBegins() = 0;  // the "( NEXT SHAPE )" marker
  virtual void homeBegins() = 0;   // the "( HOME POSITION )" marker: shapes are done
  virtual void block(const WrittenBlock& block) = 0;
  // Before the first block, when the work origin is not the page's: the
  // program's X and Y are the drawing's plus (dx, dy).
  virtual void originMoved(double dx, double dy) {
    static_cast<void>(dx);
    static_cast<void>(dy);
  }
};

// A host's measure of how far the program of one shape strays from the
// drawing, for a job with a tolerance: the job asks it of each shape before
// the shape is written, and makes a shape that strays further again, finer.
class ShapeCheck {
 public:
  virtual ~ShapeCheck() = default;
  // `blocks` are one shape's blocks as they would be written (the shape's
  // marker before them), following the blocks already told to the observer.
  // The distance in mm. Once the shape is known to stray further than
  // `enough`, the check may stop and answer any distance beyond it: the job
  // makes such a try again whatever its exact figure (infinity: the figure
  // counts, measure it whole).
  virtual double stray(std::span<const WrittenBlock> blocks, double enough) = 0;
  // For a job whose later stages move or offset the shapes (cut order,
  // tool offset, operations): the drawing's shape `shape` (1 for the first,
  // in the records' order) as it would be cut on its line, alone, before
  // those stages: measured as `stray` measures, against that shape of the
  // drawing, and neither kept nor told as written. A check that does not
  // measure so answers 0 (the job then refines nothing before those stages).
  virtual double strayOnLine(int32_t shape, std::span<const WrittenBlock> blocks,
                             double enough) = 0;
};

}  // namespace brevanto
