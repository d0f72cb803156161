#include "tools/catalog/saver_catalog.h"

#include "savers/beziers/beziers_saver.h"
#include "savers/cyclics/cyclics_saver.h"
#include "savers/pattern/pattern_saver.h"
#include "savers/plasma/plasma_saver.h"
#include "savers/polygon/polygon_saver.h"
#include "savers/spheres/spheres_saver.h"
#include "savers/stain/stain_saver.h"
#include "savers/stars/stars_saver.h"
#include "savers/vortex/vortex_saver.h"

namespace orvo::catalog {
namespace {

const Entry kEntries[] = {
    {&kPatternSaver, "interference patterns of long, slow waves",
     "Fills the screen with interference patterns of long waves, drawn in three passes of "
     "falling coarseness, and lets the colours flow through them."},
    {&kStainSaver, "stains of colour around a few random nodes",
     "Paints full-screen images whose colours come from each point's distances to two to four "
     "random nodes: rings, blends and interference that the palette sets flowing."},
    {&kCyclicsSaver, "a ring of points sweeping on coupled sine paths",
     "A ring of points sweeps over the screen on coupled sine paths, leaving thick coloured "
     "trails of limited length."},
    {&kStarsSaver, "a flight through a three-dimensional star field",
     "A flight through a three-dimensional star field, drawn as colour streaks or as single "
     "pixels."},
    {&kSpheresSaver, "kaleidoscopes stamped from shaded spheres",
     "Kaleidoscope-like images stamped with N-fold symmetry from pre-rendered shaded spheres."},
    {&kVortexSaver, "rings that shrink and twist into the centre",
     "A ring of points shrinks and twists from the corners of the screen to its centre, filling "
     "the band it sweeps with colour."},
    {&kPolygonSaver, "a bouncing polygon repeated with rotational symmetry",
     "A bouncing polygon drawn again and again without erasing, repeated with rotational "
     "symmetry."},
    {&kBeziersSaver, "symmetric curves with bouncing control points",
     "Cubic Bezier curves with bouncing control points, repeated with rotational symmetry, "
     "leaving trails of limited length."},
    {&kPlasmaSaver, "a fractal plasma cloud",
     "A fractal plasma cloud built by midpoint subdivision; the cycling colours make the still "
     "cloud flow, and a new cloud replaces it every little while."},
};

}  // namespace

std::span<const Entry> Savers() { return kEntries; }

const Entry* Find(std::string_view program) {
  for (const Entry& e : kEntries) {
    if (program == e.module->program) return &e;
  }
  return nullptr;
}

const char* NameList() {
  return "pattern, stain, cyclics, stars, spheres, vortex, polygon, beziers, plasma";
}

}  // namespace orvo::catalog
