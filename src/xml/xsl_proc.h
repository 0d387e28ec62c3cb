// The XSL processor over libxslt: a compiled stylesheet, the name of the file it came
// from and the last-write times of that file and of every file it imports or includes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "xml/xml_cursor.h"

struct _xsltStylesheet;
struct _xmlNode;

namespace kalvex {

class TXSLProc final : public IXSLProc {
 public:
  TXSLProc();
  ~TXSLProc() override;
  TXSLProc(const TXSLProc&) = delete;
  TXSLProc& operator=(const TXSLProc&) = delete;

  bool IsUpToDate() const override;
  void Load(const std::string& file_name) override;
  std::string Process(const XMLCursorPtr& cursor) override;
  void LoadXML(const std::string& text) override;

  // The files the stylesheet was read from, with the last-write times seen at Load.
  const std::vector<std::pair<std::string, int64_t>>& files() const { return files_; }

 private:
  struct StylesheetDeleter {
    void operator()(_xsltStylesheet* style) const;
  };
  void ProcessImports(_xmlNode* root, const std::string& own_file);

  std::unique_ptr<_xsltStylesheet, StylesheetDeleter> style_;
  std::string file_name_;
  std::vector<std::pair<std::string, int64_t>> files_;
};

}  // namespace kalvex
