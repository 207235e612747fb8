#pragma once

class TConvCategory;
class TConvUnit;

// The unit a category's other units are measured against: the first unit (in list order)
// whose factor is exactly 1, else the one whose factor is closest to 1 (the earlier on a
// tie); custom units count only when asked for. None for a category with no such unit.
TConvUnit* FindReferenceUnit(const TConvCategory& category, bool includeCustom);
