#include "BaseCmp.h"

// Distribution detection arrives with the release-file patterns.
void CBaseCmp::DetectOS() {}
