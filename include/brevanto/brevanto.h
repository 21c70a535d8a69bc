/* Brevanto: outlines of a vector drawing in, a G-code milling program out.
 *
 * The whole interface is one call: fill an array of Segment records and pass
 * it to sp() together with the index of its last record. The library reads the
 * machining settings from its settings store, writes the program file and
 * returns the index of the last path element it wrote. */
#ifndef BREVANTO_BREVANTO_H
#define BREVANTO_BREVANTO_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define BREVANTO_CALL __stdcall /* what a 32-bit VBA Declare expects */
#else
#define BREVANTO_CALL
#endif

#if defined(_WIN32)
#define BREVANTO_API /* exported by name through the module-definition file */
#else
#define BREVANTO_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* One path segment of the drawing: 80 bytes, little-endian, no padding. */
typedef struct Segment {
  double x0, y0; /* start point */
  double x1, y1; /* first control point (curves only) */
  double x2, y2; /* second control point (curves only) */
  double x3, y3; /* end point */
  int32_t kind;  /* 1 = cubic Bezier through the four points, else a line from (x0,y0) to (x3,y3) */
  float length;  /* as the caller measured it; sets the number of arcs of a curve */
  int32_t shapeKey; /* shapes numbered 1, 2, 3... in cutting order, segments of a shape adjacent */
  int32_t colour;   /* outline colour: red + 256*green + 65536*blue */
} Segment;

#ifdef __cplusplus
#define BREVANTO_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define BREVANTO_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
BREVANTO_STATIC_ASSERT(sizeof(Segment) == 80, "Segment must be 80 bytes");
BREVANTO_STATIC_ASSERT(offsetof(Segment, x0) == 0, "x0 at 0");
BREVANTO_STATIC_ASSERT(offsetof(Segment, y0) == 8, "y0 at 8");
BREVANTO_STATIC_ASSERT(offsetof(Segment, x1) == 16, "x1 at 16");
BREVANTO_STATIC_ASSERT(offsetof(Segment, y1) == 24, "y1 at 24");
BREVANTO_STATIC_ASSERT(offsetof(Segment, x2) == 32, "x2 at 32");
BREVANTO_STATIC_ASSERT(offsetof(Segment, y2) == 40, "y2 at 40");
BREVANTO_STATIC_ASSERT(offsetof(Segment, x3) == 48, "x3 at 48");
BREVANTO_STATIC_ASSERT(offsetof(Segment, y3) == 56, "y3 at 56");
BREVANTO_STATIC_ASSERT(offsetof(Segment, kind) == 64, "kind at 64");
BREVANTO_STATIC_ASSERT(offsetof(Segment, length) == 68, "length at 68");
BREVANTO_STATIC_ASSERT(offsetof(Segment, shapeKey) == 72, "shapeKey at 72");
BREVANTO_STATIC_ASSERT(offsetof(Segment, colour) == 76, "colour at 76");

/* Results of sp() below -1: the call failed and spLastError() says why. */
#define BREVANTO_SETTINGS_REFUSED (-2) /* a machining setting is not a usable number */
#define BREVANTO_OUTPUT_FAILED (-3)    /* the program file could not be opened or written */
#define BREVANTO_OUT_OF_MEMORY (-4)
/* A record's point is NaN, infinite or more than 1e6 mm from the origin on
 * either axis, or a curve's length is NaN, negative, infinite or at least 2^31. */
#define BREVANTO_NON_FINITE_COORDINATE (-5)
#define BREVANTO_DIALECT_REFUSED (-6) /* the dialect cannot write the drawing exactly */

/* Converts segments[0..*lastIndex] into a G-code program file.
 * lastIndex holds the index of the last record (the array's upper bound);
 * a negative value reads no record. Neither argument is written.
 * Returns the index of the last path element written (-1 for none), or one
 * of the failure codes above. Calls from several threads are serialised. */
BREVANTO_API int32_t BREVANTO_CALL sp(const Segment* segments, const int32_t* lastIndex);

/* The message of this thread's last failed sp() call, "" after a successful
 * one. The text stays valid until this thread calls sp() again; calls on
 * other threads do not change it. */
BREVANTO_API const char* BREVANTO_CALL spLastError(void);

#ifdef __cplusplus
}
#endif

#endif /* BREVANTO_BREVANTO_H */
