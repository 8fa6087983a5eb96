#include "Foundation/XMLParser.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <string_view>

#include "Foundation/Format.h"

namespace ns {

namespace {

std::int64_t platformCode(XML_Error code, bool sawElement) {
  switch (code) {
    case XML_ERROR_NO_MEMORY:
      return XMLParserError::OutOfMemory;
    case XML_ERROR_NO_ELEMENTS:
      return sawElement ? XMLParserError::PrematureDocumentEnd : XMLParserError::EmptyDocument;
    case XML_ERROR_UNCLOSED_TOKEN:
    case XML_ERROR_PARTIAL_CHAR:
    case XML_ERROR_JUNK_AFTER_DOC_ELEMENT:
      return XMLParserError::PrematureDocumentEnd;
    case XML_ERROR_INVALID_TOKEN:
    case XML_ERROR_BAD_CHAR_REF:
      return XMLParserError::InvalidCharacter;
    case XML_ERROR_UNDEFINED_ENTITY:
      return XMLParserError::UndeclaredEntity;
    case XML_ERROR_UNKNOWN_ENCODING:
    case XML_ERROR_INCORRECT_ENCODING:
      return XMLParserError::UnknownEncoding;
    case XML_ERROR_TAG_MISMATCH:
      return XMLParserError::TagNameMismatch;
    case XML_ERROR_ABORTED:
      return XMLParserError::DelegateAbortedParse;
    default:
      return XMLParserError::NotWellBalanced;
  }
}

}  // namespace

// One run of parse(): the expat handle and the text gathered between events.
struct XMLParser::Run {
  XMLParser& owner;
  XML_Parser expat;
  std::string text;
  std::string cdata;
  bool inCDATA = false;
  bool sawElement = false;
  bool aborted = false;

  void updateLocation() {
    std::lock_guard lock(owner.mutex_);
    owner.line_ = static_cast<std::int64_t>(XML_GetCurrentLineNumber(expat));
    owner.column_ = static_cast<std::int64_t>(XML_GetCurrentColumnNumber(expat)) + 1;
  }

  // Read per event, so a delegate cleared from another thread stops hearing at once.
  std::shared_ptr<XMLParserDelegate> delegate() const { return owner.delegate(); }

  void flushText() {
    if (text.empty()) return;
    std::string run;
    run.swap(text);
    if (auto d = delegate()) d->parserFoundCharacters(owner, run);
  }

  static void onStart(void* user, const XML_Char* name, const XML_Char** attributes) {
    auto* self = static_cast<Run*>(user);
    self->sawElement = true;
    self->flushText();
    self->updateLocation();
    std::vector<Dictionary::Entry> entries;
    for (const XML_Char** a = attributes; a && a[0]; a += 2) entries.emplace_back(a[0], Value(a[1]));
    auto d = self->delegate();
    if (d && !self->aborted)
      d->parserDidStartElementNamespaceURIQualifiedNameAttributes(
          self->owner, name, {}, {}, Dictionary::fromEntries(std::move(entries)));
  }

  static void onEnd(void* user, const XML_Char* name) {
    auto* self = static_cast<Run*>(user);
    self->flushText();
    self->updateLocation();
    if (auto d = self->delegate(); d && !self->aborted)
      d->parserDidEndElementNamespaceURIQualifiedName(self->owner, name, {}, {});
  }

  static void onCharacters(void* user, const XML_Char* s, int length) {
    auto* self = static_cast<Run*>(user);
    (self->inCDATA ? self->cdata : self->text).append(s, static_cast<std::size_t>(length));
  }

  static void onStartCDATA(void* user) {
    auto* self = static_cast<Run*>(user);
    self->flushText();
    self->inCDATA = true;
    self->cdata.clear();
  }

  static void onEndCDATA(void* user) {
    auto* self = static_cast<Run*>(user);
    self->inCDATA = false;
    self->updateLocation();
    Data block(self->cdata);
    self->cdata.clear();
    if (auto d = self->delegate(); d && !self->aborted) d->parserFoundCDATA(self->owner, block);
  }

  // External entities are never fetched: the reference is accepted and expands to nothing.
  static int onExternalEntity(XML_Parser, const XML_Char*, const XML_Char*, const XML_Char*,
                              const XML_Char*) {
    return XML_STATUS_OK;
  }
};

std::shared_ptr<XMLParser> XMLParser::initWithData(Data data) {
  data_ = std::move(data);
  return std::static_pointer_cast<XMLParser>(shared_from_this());
}

std::shared_ptr<XMLParserDelegate> XMLParser::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

void XMLParser::setDelegate(const std::shared_ptr<XMLParserDelegate>& delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = delegate;
}

ErrorPtr XMLParser::parserError() const {
  std::lock_guard lock(mutex_);
  return error_;
}

std::int64_t XMLParser::lineNumber() const {
  std::lock_guard lock(mutex_);
  return line_;
}

std::int64_t XMLParser::columnNumber() const {
  std::lock_guard lock(mutex_);
  return column_;
}

void XMLParser::abortParsing() {
  Run* run = nullptr;
  {
    std::lock_guard lock(mutex_);
    run = run_;
  }
  if (!run) return;
  run->aborted = true;
  XML_StopParser(run->expat, XML_FALSE);
}

bool XMLParser::parse() {
  {
    std::lock_guard lock(mutex_);
    if (started_) return false;
    started_ = true;
  }
  XML_Parser expat = XML_ParserCreate(nullptr);
  if (!expat) {
    std::lock_guard lock(mutex_);
    error_ = Error::make(kXMLParserErrorDomain, XMLParserError::OutOfMemory);
    return false;
  }
  Run run{*this, expat, {}, {}, false, false, false};
  XML_SetUserData(expat, &run);
  XML_SetElementHandler(expat, &Run::onStart, &Run::onEnd);
  XML_SetCharacterDataHandler(expat, &Run::onCharacters);
  XML_SetCdataSectionHandler(expat, &Run::onStartCDATA, &Run::onEndCDATA);
  XML_SetExternalEntityRefHandler(expat, &Run::onExternalEntity);
  XML_SetParamEntityParsing(expat, XML_PARAM_ENTITY_PARSING_NEVER);
  {
    std::lock_guard lock(mutex_);
    run_ = &run;
  }

  if (auto d = delegate()) d->parserDidStartDocument(*this);

  // expat takes int lengths; larger documents go in slices.
  std::string_view bytes = data_.view();
  XML_Status status = XML_STATUS_OK;
  do {
    std::size_t slice = std::min<std::size_t>(bytes.size(), INT_MAX / 2);
    bool last = slice == bytes.size();
    status = XML_Parse(expat, bytes.data(), static_cast<int>(slice), last ? XML_TRUE : XML_FALSE);
    bytes.remove_prefix(slice);
  } while (status == XML_STATUS_OK && !bytes.empty());

  ErrorPtr error;
  if (status == XML_STATUS_OK) {
    run.flushText();
  } else {
    XML_Error code = run.aborted ? XML_ERROR_ABORTED : XML_GetErrorCode(expat);
    auto line = static_cast<std::int64_t>(XML_GetCurrentLineNumber(expat));
    auto column = static_cast<std::int64_t>(XML_GetCurrentColumnNumber(expat)) + 1;
    std::string message = code == XML_ERROR_ABORTED ? std::string("The delegate aborted the parse")
                                                    : std::string(XML_ErrorString(code));
    error = Error::make(
        kXMLParserErrorDomain, platformCode(code, run.sawElement),
        Dictionary{{kLocalizedDescriptionKey, format("%@ at line %lld, column %lld", message, line, column)},
                   {kXMLParserErrorLineKey, line},
                   {kXMLParserErrorColumnKey, column}});
    std::lock_guard lock(mutex_);
    error_ = error;
    line_ = line;
    column_ = column;
  }
  {
    std::lock_guard lock(mutex_);
    run_ = nullptr;
  }
  XML_ParserFree(expat);

  if (auto d = delegate()) {
    if (error)
      d->parserParseErrorOccurred(*this, error);
    else
      d->parserDidEndDocument(*this);
  }
  return !error;
}

}  // namespace ns
