#include "UIKit/WebPageReader.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <strings.h>

#include <limits>
#include <mutex>

#include "Foundation/String.h"

namespace ui {

namespace {

std::string name(const xmlNode* node) {
  return ns::lowercaseString(reinterpret_cast<const char*>(node->name));
}

std::optional<std::string> attribute(xmlNode* node, const char* key) {
  // HTML attribute names are read in lower case by the parser.
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(key));
  if (!value) return std::nullopt;
  std::string out(reinterpret_cast<const char*>(value));
  xmlFree(value);
  return out;
}

// All text below a node, blanks collapsed to single spaces and trimmed.
std::string collapsed(std::string_view text) {
  std::string out;
  bool blank = false;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
      blank = !out.empty();
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += c;
  }
  return out;
}

std::string textOf(xmlNode* node) {
  xmlChar* content = xmlNodeGetContent(node);
  if (!content) return {};
  std::string out = collapsed(reinterpret_cast<const char*>(content));
  xmlFree(content);
  return out;
}

bool isBlock(const std::string& tag) {
  static const char* const blocks[] = {"p",    "div",        "br",     "h1",     "h2",      "h3", "h4",
                                       "h5",   "h6",         "li",     "ul",     "ol",      "tr", "table",
                                       "form", "section",    "header", "footer", "hr",      "dl", "dt",
                                       "dd",   "blockquote", "pre",    "center", "fieldset"};
  for (const char* block : blocks)
    if (tag == block) return true;
  return false;
}

class Reader {
 public:
  explicit Reader(const ns::URL& base) : base_(base) {}

  WebPage read(xmlNode* root) {
    walk(root, -1, 0);
    std::string text;
    for (const auto& item : page_.items) {
      if (item.kind == WebPage::Item::Kind::lineBreak) {
        if (!text.empty() && text.back() != '\n') text += '\n';
      } else if (!item.text.empty()) {
        if (!text.empty() && text.back() != '\n') text += ' ';
        text += item.text;
      }
    }
    while (!text.empty() && text.back() == '\n') text.pop_back();
    page_.text = std::move(text);
    return std::move(page_);
  }

 private:
  std::string resolve(const std::string& href) const {
    if (auto url = ns::URL::URLWithString(href, base_)) return url->absoluteURL().absoluteString();
    return href;
  }

  void lineBreak() {
    if (!page_.items.empty() && page_.items.back().kind != WebPage::Item::Kind::lineBreak)
      page_.items.push_back({WebPage::Item::Kind::lineBreak, 0, {}});
  }

  // Pages come from the network: nesting past kMaxDepth is not read (the walk must not exhaust the stack).
  static constexpr int kMaxDepth = 256;

  void walk(xmlNode* node, int form, int depth) {
    if (depth > kMaxDepth) return;
    for (; node; node = node->next) {
      if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
        std::string text =
            collapsed(reinterpret_cast<const char*>(node->content ? node->content : BAD_CAST ""));
        if (!text.empty()) page_.items.push_back({WebPage::Item::Kind::text, 0, std::move(text)});
        continue;
      }
      if (node->type != XML_ELEMENT_NODE) continue;
      std::string tag = name(node);
      if (tag == "script" || tag == "style" || tag == "noscript" || tag == "template") continue;
      if (tag == "head") {
        walkHead(node->children);
        continue;
      }
      if (tag == "title") {
        if (page_.title.empty()) page_.title = textOf(node);
        continue;
      }
      if (tag == "a" && attribute(node, "href")) {
        std::size_t index = page_.links.size();
        page_.links.push_back({textOf(node), resolve(*attribute(node, "href"))});
        page_.items.push_back({WebPage::Item::Kind::link, index, page_.links.back().text});
        continue;
      }
      if (tag == "input") {
        input(node, form);
        continue;
      }
      if (tag == "textarea") {
        addField(attribute(node, "name").value_or(""), "textarea", textOf(node), form);
        continue;
      }
      if (tag == "button") {
        std::string type = ns::lowercaseString(attribute(node, "type").value_or("submit"));
        if (type == "submit") addButton(attribute(node, "name").value_or(""), textOf(node), form);
        continue;
      }
      if (tag == "select") continue;
      bool block = isBlock(tag);
      if (block) lineBreak();
      int inner = form;
      if (tag == "form") {
        inner = static_cast<int>(page_.forms.size());
        std::string method = ns::uppercaseString(attribute(node, "method").value_or("GET"));
        std::string action = attribute(node, "action").value_or("");
        page_.forms.push_back(
            {action.empty() ? base_.absoluteString() : resolve(action), method == "POST" ? "POST" : "GET"});
      }
      walk(node->children, inner, depth + 1);
      if (block) lineBreak();
    }
  }

  void walkHead(xmlNode* node) {
    for (; node; node = node->next)
      if (node->type == XML_ELEMENT_NODE && name(node) == "title" && page_.title.empty())
        page_.title = textOf(node);
  }

  void input(xmlNode* node, int form) {
    std::string type = ns::lowercaseString(attribute(node, "type").value_or("text"));
    std::string fieldName = attribute(node, "name").value_or("");
    if (type == "submit") {
      addButton(fieldName, attribute(node, "value").value_or("Submit"), form);
    } else if (type == "checkbox" || type == "radio") {
      if (attribute(node, "checked"))
        addField(fieldName, type, attribute(node, "value").value_or("on"), form);
    } else if (type != "button" && type != "reset" && type != "image" && type != "file") {
      addField(fieldName, type, attribute(node, "value").value_or(""), form);
    }
  }

  void addField(std::string fieldName, std::string type, std::string value, int form) {
    std::size_t index = page_.fields.size();
    page_.fields.push_back({std::move(fieldName), std::move(type), std::move(value), form});
    page_.items.push_back({WebPage::Item::Kind::field, index, {}});
  }

  void addButton(std::string buttonName, std::string value, int form) {
    std::size_t index = page_.buttons.size();
    page_.buttons.push_back({std::move(buttonName), value, form});
    page_.items.push_back({WebPage::Item::Kind::button, index, std::move(value)});
  }

  const ns::URL& base_;
  WebPage page_;
};

}  // namespace

WebPage readWebPage(const ns::Data& body, const std::optional<std::string>& encoding,
                    const ns::URL& baseURL) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { xmlInitParser(); });
  if (body.length() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return {};
  const char* charset = encoding && !encoding->empty() ? encoding->c_str() : "UTF-8";
  // An unknown charset would make the parser give up: read such a page as UTF-8.
  if (xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(charset))
    xmlCharEncCloseFunc(handler);
  else
    charset = "UTF-8";
  htmlDocPtr doc =
      htmlReadMemory(reinterpret_cast<const char*>(body.bytes()), static_cast<int>(body.length()),
                     baseURL.absoluteString().c_str(), charset,
                     HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
  if (!doc) return {};
  WebPage page = Reader(baseURL).read(xmlDocGetRootElement(doc));
  xmlFreeDoc(doc);
  return page;
}

}  // namespace ui
