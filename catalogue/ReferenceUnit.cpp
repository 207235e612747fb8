#include "ReferenceUnit.h"

#include "CatUnits.h"

#include <cmath>

TConvUnit* FindReferenceUnit(const TConvCategory& category, bool includeCustom)
{
    TConvUnit* best = nullptr;
    double bestDistance = 0.0;
    for (int i = 0; i < category.UnitCount(); ++i) {
        TConvUnit* unit = category.Units(i);
        if (unit->Custom && !includeCustom)
            continue;
        if (unit->Factor == 1.0)
            return unit;
        const double distance = std::fabs(unit->Factor - 1.0);
        // A NaN factor never wins over a real one.
        if (best == nullptr || distance < bestDistance || std::isnan(bestDistance)) {
            best = unit;
            bestDistance = distance;
        }
    }
    return best;
}
