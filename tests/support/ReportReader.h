// Reads a saved self-discovery report back through libxml2, as a caller of the program would:
// the name and `value` of each element that carries a `value`, in document order.
#pragma once

#include <string>
#include <utility>
#include <vector>

using ReportLeaves = std::vector<std::pair<std::string, std::string>>;

// `parsed` is false, and the list empty, when libxml2 rejects the file.
ReportLeaves ReadReportLeaves(const std::string& path, bool* parsed);

// The values of the leaves named `name`, in document order.
std::vector<std::string> ValuesNamed(const ReportLeaves& leaves, const std::string& name);
