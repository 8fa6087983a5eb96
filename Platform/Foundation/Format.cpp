#include "Foundation/Format.h"

#include <errno.h>
#include <locale.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <mutex>

namespace ns {
namespace {

locale_t cLocale() {
  static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

// snprintf into a string under the C locale, whatever the process locale is.
template <class T>
void appendPrintf(std::string& out, const std::string& directive, T value) {
  locale_t previous = uselocale(cLocale());
  char small[128];
  int n = std::snprintf(small, sizeof small, directive.c_str(), value);
  if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
    out.append(small, static_cast<std::size_t>(n));
  } else if (n > 0) {
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), directive.c_str(), value);
    out.append(big.data(), static_cast<std::size_t>(n));
  }
  uselocale(previous);
}

const Value* valueOf(const FormatArg::Storage& s) {
  if (auto v = std::get_if<const Value*>(&s)) return *v;
  return std::get_if<Value>(&s);
}

std::int64_t asSigned(const FormatArg::Storage& s) {
  if (auto i = std::get_if<std::int64_t>(&s)) return *i;
  if (auto u = std::get_if<std::uint64_t>(&s)) return static_cast<std::int64_t>(*u);
  if (auto d = std::get_if<double>(&s)) return static_cast<std::int64_t>(*d);
  if (auto v = valueOf(s)) return v->longLongValue();
  if (auto p = std::get_if<FormatArg::Pointer>(&s))
    return static_cast<std::int64_t>(reinterpret_cast<std::intptr_t>(p->p));
  return 0;
}

double asDouble(const FormatArg::Storage& s) {
  if (auto d = std::get_if<double>(&s)) return *d;
  if (auto i = std::get_if<std::int64_t>(&s)) return static_cast<double>(*i);
  if (auto u = std::get_if<std::uint64_t>(&s)) return static_cast<double>(*u);
  if (auto v = valueOf(s)) return v->doubleValue();
  return 0;
}

// A value's description for a line that shows `limit` bytes of it: a large collection is described
// only as far as the line shows, and says how many entries it holds in all.
std::string describeForLine(const Value& value, std::size_t limit) {
  if (limit == std::string_view::npos || value.isString() || value.isData()) {
    std::string text = value.describe();
    return text.size() > limit ? textForLog(text, limit) : text;
  }
  bool cut = false;
  std::string text = value.describe(limit, &cut);
  if (!cut) return text;
  const std::size_t entries = value.isArray()        ? value.asArray()->size()
                              : value.isDictionary() ? value.asDictionary()->size()
                                                     : 0;
  std::string shown = textForLog(text, limit);
  shown.erase(shown.rfind("\u2026 ("));
  return shown + "\u2026 (" + std::to_string(entries) + " entries in all)";
}

std::string asText(const FormatArg::Storage& s) {
  if (auto sv = std::get_if<std::string_view>(&s)) return std::string(*sv);
  if (auto str = std::get_if<std::string>(&s)) return *str;
  if (auto v = valueOf(s)) return v->describe();
  if (auto i = std::get_if<std::int64_t>(&s)) return std::to_string(*i);
  if (auto u = std::get_if<std::uint64_t>(&s)) return std::to_string(*u);
  if (auto d = std::get_if<double>(&s)) {
    std::string out;
    appendPrintf(out, "%g", *d);
    return out;
  }
  if (auto p = std::get_if<FormatArg::Pointer>(&s)) return p->p ? "<pointer>" : "(null)";
  return {};
}

// The argument's text without a copy where it is one already.
std::string_view textOf(const FormatArg::Storage& s, std::string& made) {
  if (auto sv = std::get_if<std::string_view>(&s)) return *sv;
  if (auto str = std::get_if<std::string>(&s)) return *str;
  made = asText(s);
  return made;
}

std::string formatWithTextLimit(std::string_view fmt, const std::vector<FormatArg>& args,
                                std::size_t textLimit) {
  std::string out;
  out.reserve(fmt.size() + 16 * args.size());
  std::size_t next = 0;
  auto take = [&]() -> const FormatArg::Storage* {
    return next < args.size() ? &args[next++].storage() : nullptr;
  };
  static const FormatArg::Storage kMissing = std::int64_t{0};

  for (std::size_t i = 0; i < fmt.size(); ++i) {
    char c = fmt[i];
    if (c != '%') {
      out += c;
      continue;
    }
    std::size_t start = i++;
    if (i >= fmt.size()) {
      out += '%';
      break;
    }
    if (fmt[i] == '%') {
      out += '%';
      continue;
    }
    std::string directive = "%";
    while (i < fmt.size() && std::string_view("-+ #0'").find(fmt[i]) != std::string_view::npos) {
      if (fmt[i] != '\'') directive += fmt[i];
      ++i;
    }
    auto readNumber = [&]() {
      if (i < fmt.size() && fmt[i] == '*') {
        ++i;
        const auto* a = take();
        directive += std::to_string(asSigned(a ? *a : kMissing));
        return;
      }
      while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') directive += fmt[i++];
    };
    readNumber();
    if (i < fmt.size() && fmt[i] == '.') {
      directive += fmt[i++];
      readNumber();
    }
    // Length modifiers only tell the C library the argument's size; ours are already 64-bit.
    while (i < fmt.size() && std::string_view("hlqLjzt").find(fmt[i]) != std::string_view::npos) ++i;
    if (i >= fmt.size()) {
      out.append(fmt.substr(start));
      break;
    }
    char conversion = fmt[i];
    const auto* arg = take();
    const FormatArg::Storage& value = arg ? *arg : kMissing;
    switch (conversion) {
      case 'd':
      case 'i':
        appendPrintf(out, directive + "lld", static_cast<long long>(asSigned(value)));
        break;
      case 'u':
      case 'x':
      case 'X':
      case 'o':
        appendPrintf(out, directive + "ll" + conversion, static_cast<unsigned long long>(asSigned(value)));
        break;
      case 'c':
        appendPrintf(out, directive + "c", static_cast<int>(asSigned(value)));
        break;
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        appendPrintf(out, directive + conversion, asDouble(value));
        break;
      case 'p':
        if (auto p = std::get_if<FormatArg::Pointer>(&value))
          appendPrintf(out, directive + "p", p->p);
        else
          appendPrintf(out, directive + "llx", static_cast<unsigned long long>(asSigned(value)));
        break;
      case 's':
      case '@': {
        if (auto v = valueOf(value)) {
          appendPrintf(out, directive + "s", describeForLine(*v, textLimit).c_str());
          break;
        }
        std::string made;
        std::string_view text = textOf(value, made);
        std::string shown = text.size() > textLimit ? textForLog(text, textLimit) : std::string(text);
        appendPrintf(out, directive + "s", shown.c_str());
        break;
      }
      default:
        // Unknown conversion: print it as written and give the argument back.
        out.append(fmt.substr(start, i - start + 1));
        if (arg) --next;
    }
  }
  return out;
}

}  // namespace

std::string formatArgs(std::string_view fmt, const std::vector<FormatArg>& args) {
  return formatWithTextLimit(fmt, args, std::string_view::npos);
}

std::string formatArgsForLog(std::string_view fmt, const std::vector<FormatArg>& args) {
  return formatWithTextLimit(fmt, args, kLogValueLimit);
}

std::string textForLog(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return std::string(text);
  // Back to the start of the character the limit falls in: at most three continuation bytes.
  std::size_t cut = limit;
  for (int i = 0; i < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++i) --cut;
  if ((static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) cut = limit;  // not UTF-8 here anyway
  return std::string(text.substr(0, cut)) + "\u2026 (" + std::to_string(text.size()) + " bytes in all)";
}

namespace {
std::mutex& handlerMutex() {
  static std::mutex m;
  return m;
}
LogHandler& handler() {
  static LogHandler h;
  return h;
}
}  // namespace

LogHandler setLogHandler(LogHandler h) {
  std::lock_guard lock(handlerMutex());
  return std::exchange(handler(), std::move(h));
}

void logLine(const std::string& text) {
  // Whatever built the message, one line stays readable and cheap to write.
  const std::string cut = text.size() > kLogLineLimit ? textForLog(text, kLogLineLimit) : std::string();
  const std::string& message = cut.empty() ? text : cut;
  LogHandler installed;
  {
    std::lock_guard lock(handlerMutex());
    installed = handler();
  }
  if (installed) {
    installed(message);
    return;
  }
  timeval now{};
  gettimeofday(&now, nullptr);
  std::tm tm{};
  localtime_r(&now.tv_sec, &tm);
  char stamp[64];
  std::size_t n = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
  std::snprintf(stamp + n, sizeof stamp - n, ".%03d", static_cast<int>(now.tv_usec / 1000));
  std::string line = std::string(stamp) + " " + program_invocation_short_name + "[" +
                     std::to_string(getpid()) + "] " + message + "\n";
  const char* p = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    ssize_t written = ::write(STDERR_FILENO, p, left);
    if (written <= 0) break;
    p += written;
    left -= static_cast<std::size_t>(written);
  }
}

}  // namespace ns
