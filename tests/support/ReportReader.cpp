#include "ReportReader.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

namespace {
const xmlChar kValue[] = "value";

void CollectLeaves(const xmlNode* node, ReportLeaves& leaves) {
  for (; node != nullptr; node = node->next) {
    if (node->type != XML_ELEMENT_NODE) continue;
    if (xmlHasProp(node, kValue) != nullptr) {
      xmlChar* value = xmlGetProp(node, kValue);
      leaves.emplace_back(reinterpret_cast<const char*>(node->name),
                          value ? reinterpret_cast<const char*>(value) : "");
      xmlFree(value);
    }
    CollectLeaves(node->children, leaves);
  }
}
}  // namespace

ReportLeaves ReadReportLeaves(const std::string& path, bool* parsed) {
  ReportLeaves leaves;
  xmlDoc* doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
  *parsed = doc != nullptr;
  if (doc == nullptr) return leaves;
  CollectLeaves(xmlDocGetRootElement(doc), leaves);
  xmlFreeDoc(doc);
  return leaves;
}

std::vector<std::string> ValuesNamed(const ReportLeaves& leaves, const std::string& name) {
  std::vector<std::string> values;
  for (const auto& leaf : leaves)
    if (leaf.first == name) values.push_back(leaf.second);
  return values;
}
