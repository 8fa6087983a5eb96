#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "Foundation/Data.h"
#include "Foundation/Error.h"
#include "Foundation/Object.h"
#include "Foundation/Value.h"

namespace ns {

class XMLParser;

inline constexpr const char* kXMLParserErrorDomain = "NSXMLParserErrorDomain";
// User-info keys of a parse error: where the parser stopped (1-based).
inline constexpr const char* kXMLParserErrorLineKey = "NSXMLParserErrorLineNumber";
inline constexpr const char* kXMLParserErrorColumnKey = "NSXMLParserErrorColumn";

// Error codes of the parser's domain (the platform's numbering).
namespace XMLParserError {
inline constexpr std::int64_t Internal = 1;
inline constexpr std::int64_t OutOfMemory = 2;
inline constexpr std::int64_t EmptyDocument = 4;
inline constexpr std::int64_t PrematureDocumentEnd = 5;
inline constexpr std::int64_t InvalidCharacter = 9;
inline constexpr std::int64_t UndeclaredEntity = 26;
inline constexpr std::int64_t UnknownEncoding = 32;
inline constexpr std::int64_t TagNameMismatch = 76;
inline constexpr std::int64_t NotWellBalanced = 85;
inline constexpr std::int64_t DelegateAbortedParse = 512;
}  // namespace XMLParserError

// What the parser tells its delegate while it runs; every member is optional.
class XMLParserDelegate {
 public:
  virtual ~XMLParserDelegate() = default;
  virtual void parserDidStartDocument(XMLParser&) {}
  virtual void parserDidEndDocument(XMLParser&) {}
  // Without namespace processing the namespace URI and qualified name are empty.
  virtual void parserDidStartElementNamespaceURIQualifiedNameAttributes(XMLParser&,
                                                                        const std::string& /*elementName*/,
                                                                        const std::string& /*namespaceURI*/,
                                                                        const std::string& /*qualifiedName*/,
                                                                        const Dictionary& /*attributes*/) {}
  virtual void parserDidEndElementNamespaceURIQualifiedName(XMLParser&, const std::string& /*elementName*/,
                                                            const std::string& /*namespaceURI*/,
                                                            const std::string& /*qualifiedName*/) {}
  // A run of text between two other events, entities resolved, in one call.
  virtual void parserFoundCharacters(XMLParser&, const std::string& /*string*/) {}
  // One CDATA section's bytes.
  virtual void parserFoundCDATA(XMLParser&, const Data& /*CDATABlock*/) {}
  virtual void parserParseErrorOccurred(XMLParser&, const ErrorPtr& /*parseError*/) {}
};

// An event-driven XML parser over a document held in memory. Nothing is read beyond the given
// bytes: external entities and external DTD subsets are never loaded, and entity expansion is
// bounded, so a hostile document cannot make the parser fetch a URL or blow up memory.
// The parser keeps no thread affinity: it may be made on one thread and run on another, one
// run at a time.
class XMLParser final : public Object {
 public:
  std::shared_ptr<XMLParser> initWithData(Data data);

  std::shared_ptr<XMLParserDelegate> delegate() const;
  void setDelegate(const std::shared_ptr<XMLParserDelegate>& delegate);

  // Runs the parser over the whole document, calling the delegate. True when the document was
  // well-formed and no delegate aborted; false otherwise, with parserError() set. A parser runs
  // once; a second call returns false at once.
  bool parse();
  // From a delegate call: stop after the current event; parse() then fails with
  // XMLParserError::DelegateAbortedParse.
  void abortParsing();
  ErrorPtr parserError() const;

  // Where the parser is (during a delegate call) or stopped (after a failure), 1-based.
  std::int64_t lineNumber() const;
  std::int64_t columnNumber() const;

 private:
  struct Run;
  friend struct Run;

  Data data_;
  mutable std::mutex mutex_;
  std::weak_ptr<XMLParserDelegate> delegate_;
  ErrorPtr error_;
  Run* run_ = nullptr;  // set while parse() runs (only on the parsing thread)
  bool started_ = false;
  std::int64_t line_ = 0;
  std::int64_t column_ = 0;
};

using XMLParserPtr = std::shared_ptr<XMLParser>;

}  // namespace ns
