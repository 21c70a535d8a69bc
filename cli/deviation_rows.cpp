#include "deviation_rows.h"

namespace brevanto::cli {

FigureScope figureScope(const JobSettings& base, const std::vector<ChosenOperation>& operations) {
  bool pockets = false, fills = false, lines = false;
  if (operations.empty()) {
    pockets = base.kind == OperationKind::Pocket;
    fills = base.kind == OperationKind::LaserFill;
    lines = !pockets && !fills;
  }
  for (const ChosenOperation& op : operations) {
    const OperationKind kind = op.settings.kind;
    pockets = pockets || kind == OperationKind::Pocket;
    fills = fills || kind == OperationKind::LaserFill;
    lines = lines || (kind != OperationKind::Pocket && kind != OperationKind::LaserFill);
  }
  FigureScope scope;
  if (!lines) {
    scope.measured = false;
    scope.notMeasured = pockets
                            ? "not measured: a pocket's rings clear the area inside the drawing"
                            : "not measured: the fill's lines cross the area inside the drawing";
    scope.notApplied = pockets ? "not applied: the area inside is cleared"
                               : "not applied: the area is filled with lines";
  } else if (pockets || fills) {
    scope.leftOut = pockets && fills ? " (pockets and fills not measured)"
                    : pockets        ? " (pockets not measured)"
                                     : " (fills not measured)";
  }
  return scope;
}

std::vector<SummaryRow> deviationRows(const FigureScope& scope, const Deviation& deviation,
                                      std::optional<double> tolerance, const std::string& given) {
  if (!scope.measured) {
    return {{"largest deviation", scope.notMeasured}, {"tolerance", scope.notApplied}};
  }
  std::string toleranceRow = given + " mm";
  if (!tolerance) {
    toleranceRow = "none (as the job made it)";
  } else if (!deviation.whole) {
    toleranceRow += ", not verified: the drawing is too dense to check whole";
  }
  return {{"largest deviation", describeDeviation(deviation) + scope.leftOut},
          {"tolerance", toleranceRow}};
}

}  // namespace brevanto::cli
