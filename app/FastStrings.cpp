#include "FastStrings.h"
