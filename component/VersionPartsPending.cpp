#include "BaseCmp.h"

// Version comparison arrives with the wide pattern engine.
int CBaseCmp::CompareVersions(const std::wstring&, const std::wstring&) { return 0; }
