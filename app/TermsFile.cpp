#include "TermsFile.h"
