#include "SampleReplies.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <functional>
#include <sstream>

#include "Foundation/JSONSerialization.h"
#include "Foundation/String.h"

namespace sampleservice {

namespace {

using ns::Array;
using ns::Dictionary;
using ns::Value;

ServiceReply json(const Value& value, int status = 200) {
  return {status, "application/json", ns::JSONSerialization::stringWithJSONObject(value).value_or("{}")};
}

ServiceReply failure(int status, const std::string& message) {
  return json(Value(Dictionary{{"error", message}}), status);
}

ServiceReply notFound() { return failure(404, "not found"); }

bool isDigits(const std::string& s) {
  return !s.empty() && s.size() <= 18 &&
         std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

// A numeric parameter within [low, high], or the fallback when absent or not a number.
int intParam(const ServiceRequest& request, const std::string& key, int fallback, int low, int high) {
  auto it = request.params.find(key);
  if (it == request.params.end()) return fallback;
  int value = 0;
  auto [end, ec] = std::from_chars(it->second.data(), it->second.data() + it->second.size(), value);
  if (ec != std::errc() || end != it->second.data() + it->second.size()) return fallback;
  return std::clamp(value, low, high);
}

std::string param(const ServiceRequest& request, const std::string& key) {
  auto it = request.params.find(key);
  return it == request.params.end() ? std::string() : it->second;
}

// "WxH" within the drawable range.
bool parseSize(const std::string& text, int& width, int& height) {
  auto x = text.find('x');
  if (x == std::string::npos) return false;
  auto read = [](std::string_view s, int& out) {
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size() && out > 0 && out <= kMaxImageEdge;
  };
  return read(std::string_view(text).substr(0, x), width) &&
         read(std::string_view(text).substr(x + 1), height);
}

// Links in replies name the host the client reached us by; anything odd in the header falls back.
std::string baseUrl(const ServiceRequest& request) {
  const std::string& host = request.host;
  bool sane =
      !host.empty() && host.size() < 256 && std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
      });
  return "http://" + (sane ? host : std::string("127.0.0.1"));
}

class Builder {
 public:
  Builder(const Catalogue& catalogue, const ServiceRequest& request)
      : catalogue_(catalogue), request_(request), base_(baseUrl(request)) {}

  ServiceReply api(const std::string& method) {
    if (method == "get_categories") return getCategories();
    if (method == "get_category") return getCategory();
    if (method == "get_posters") return getPosters();
    if (method == "get_title") return getTitle(param(request_, "title_id"));
    if (method == "get_episode") return getTitle(param(request_, "episode_id"));
    if (method == "get_related") return getRelated();
    if (method == "get_person") return getPerson();
    if (method == "get_search") return getSearch();
    return failure(404, "unknown method");
  }

  ServiceReply categoryTitles() {
    const Category* category = catalogue_.category(param(request_, "category_id"));
    if (!category) return failure(404, "unknown category");
    std::string orderby = param(request_, "orderby");
    bool ascending = param(request_, "orderdir") == "asc";
    int limit = intParam(request_, "limit", 16, 1, 100);
    int page = intParam(request_, "page", 0, 0, 100000);
    std::string genre = param(request_, "genre_id");
    int yearMin = intParam(request_, "year_min", 0, 0, 9999),
        yearMax = intParam(request_, "year_max", 9999, 0, 9999);

    auto list = titlesOf(category->id);
    std::erase_if(list, [&](const Title* t) {
      int year = std::stoi(t->year);
      return (!genre.empty() && t->genreId != genre) || year < yearMin || year > yearMax;
    });
    sortTitles(list, orderby, ascending);
    Array items;
    for (std::size_t i = static_cast<std::size_t>(page) * limit;
         i < list.size() && items.size() < std::size_t(limit); ++i)
      items.push_back(listItem(*list[i]));
    return json(Value(Dictionary{{"quantity", std::to_string(list.size())},
                                 {"items", std::move(items)},
                                 {"also", Dictionary{{"items", recommended(category->id)}}}}));
  }

 private:
  std::string apiUrl(const std::string& query) const {
    return base_ + "/api/mobile?platform=ios&method=" + query;
  }
  std::string titleUrl(const std::string& id) const { return apiUrl("get_title&title_id=" + id); }
  std::string image(const std::string& kind, const std::string& name) const {
    return base_ + "/images/" + kind + "/" + name;
  }
  std::string smallPoster(const std::string& id) const { return image("poster", id + ".jpg"); }
  std::string bigPoster(const std::string& id) const { return image("poster_big", id + ".jpg"); }
  std::string video(const std::string& id) const { return base_ + "/video/" + id + "/index.m3u8"; }
  std::string shareUrl(const std::string& id) const { return base_ + "/title/" + id; }

  // The id as lists send it: text, or a number for the titles the catalogue marks.
  static Value listId(const Title& t) { return t.numericId ? Value(std::stoll(t.id)) : Value(t.id); }
  std::string itemCategory(const Title& t) const { return catalogue_.category(t.categoryId)->itemCategory; }
  std::string tileDescription(const Title& t) const { return t.genreName + ", " + t.year; }

  std::vector<const Title*> titlesOf(const std::string& categoryId) const {
    std::vector<const Title*> out;
    for (const Title& t : catalogue_.titles())
      if (t.categoryId == categoryId) out.push_back(&t);
    return out;
  }

  static void sortTitles(std::vector<const Title*>& list, const std::string& orderby, bool ascending) {
    std::function<bool(const Title*, const Title*)> less;
    if (orderby == "newness")
      less = [](const Title* a, const Title* b) { return a->added < b->added; };
    else if (orderby == "alphabet")
      less = [](const Title* a, const Title* b) { return a->title < b->title; };
    else if (orderby == "rating")
      less = [](const Title* a, const Title* b) { return std::stoi(a->rating) < std::stoi(b->rating); };
    else
      less = [](const Title* a, const Title* b) { return a->popularity < b->popularity; };
    std::stable_sort(list.begin(), list.end(),
                     [&](const Title* a, const Title* b) { return ascending ? less(a, b) : less(b, a); });
  }

  // A title as category pages list it (get_category_titles, and their recommendations).
  Value listItem(const Title& t) const {
    return Dictionary{{"id", t.id},        {"title", t.title},           {"description", tileDescription(t)},
                      {"year", t.year},    {"image", smallPoster(t.id)}, {"url", titleUrl(t.id)},
                      {"rating", t.rating}};
  }

  Array recommended(const std::string& categoryId) const {
    auto list = titlesOf(categoryId);
    sortTitles(list, "rating", false);
    Array out;
    for (std::size_t i = 0; i < list.size() && i < 8; ++i) out.push_back(listItem(*list[i]));
    return out;
  }

  ServiceReply getCategories() const {
    Array items;
    for (const Category& c : catalogue_.categories())
      items.push_back(
          Dictionary{{"id", c.id}, {"title", c.title}, {"url", apiUrl("get_category&category_id=" + c.id)}});
    return json(Value(Dictionary{{"items", std::move(items)}}));
  }

  ServiceReply getCategory() const {
    const Category* category = catalogue_.category(param(request_, "category_id"));
    if (!category) return failure(404, "unknown category");
    Array genres;
    for (const Genre& g : category->genres) genres.push_back(Dictionary{{"id", g.id}, {"title", g.title}});
    auto tiles = [&](const char* orderby, int quantity) {
      auto list = titlesOf(category->id);
      sortTitles(list, orderby, false);
      Array out;
      for (std::size_t i = 0; i < list.size() && out.size() < std::size_t(quantity); ++i) {
        const Title& t = *list[i];
        out.push_back(Dictionary{{"id", listId(t)},
                                 {"title", t.title},
                                 {"description", tileDescription(t)},
                                 {"url", titleUrl(t.id)},
                                 {"image", smallPoster(t.id)},
                                 {"image_big", bigPoster(t.id)},
                                 {"rating", t.rating}});
      }
      return out;
    };
    // Groups in the order the client reads them: genres, popular, new; some categories stop early.
    Array groups{
        Dictionary{{"title", "Жанры"}, {"items", std::move(genres)}},
        Dictionary{{"title", "Популярное"},
                   {"items", tiles("popularity", intParam(request_, "popular_quantity", 15, 0, 100))}},
        Dictionary{{"title", "Новинки"},
                   {"items", tiles("newness", intParam(request_, "featured_quantity", 15, 0, 100))}}};
    groups.resize(std::min<std::size_t>(groups.size(), std::max(category->replyGroups, 0)));
    return json(
        Value(Dictionary{{"id", category->id}, {"title", category->title}, {"items", std::move(groups)}}));
  }

  ServiceReply getPosters() const {
    int width = 1000, height = 424;
    if (request_.params.count("poster_size") && !parseSize(param(request_, "poster_size"), width, height))
      return failure(400, "bad poster_size");
    std::string size = "_";
    ((size += std::to_string(width)) += 'x') += std::to_string(height);
    size += ".jpg";
    int limit = intParam(request_, "limit", 12, 0, 100);
    Array items;
    for (const PosterEntry& p : catalogue_.posters()) {
      if (items.size() >= std::size_t(limit)) break;
      if (!p.promo.empty()) {
        items.push_back(Dictionary{{"background_color", p.backgroundColor},
                                   {"is_foreign_link", 1},
                                   {"foreign_link_click_counter", base_ + "/counter/promo/" + p.promo},
                                   {"foreign_link_url", base_ + "/promo/" + p.promo},
                                   {"poster", image("promo", p.promo + size)},
                                   {"title_info", Dictionary{{"title", p.promoTitle},
                                                             {"about", p.promoAbout},
                                                             {"category", ""},
                                                             {"rating", ""},
                                                             {"id", ""},
                                                             {"description", ""},
                                                             {"url", ""},
                                                             {"image", ""},
                                                             {"country", ""},
                                                             {"year", ""}}}});
        continue;
      }
      const Title& t = *catalogue_.title(p.titleId);
      items.push_back(
          Dictionary{{"background_color", p.backgroundColor},
                     {"is_foreign_link", 0},
                     {"foreign_link_click_counter", ""},
                     {"foreign_link_url", ""},
                     {"poster", image("slider", t.id + size)},
                     {"title_info", Dictionary{{"title", t.title},
                                               {"category", catalogue_.category(t.categoryId)->title},
                                               {"rating", t.rating},
                                               {"about", t.about},
                                               {"id", t.id},
                                               {"description", t.genreName},
                                               {"url", titleUrl(t.id)},
                                               {"image", smallPoster(t.id)},
                                               {"country", t.country},
                                               {"year", t.year}}}});
    }
    return json(Value(Dictionary{{"items", std::move(items)}}));
  }

  // Director names, cast names, country and year: the four facts every title record carries.
  Value info(const Title& t) const {
    Array directors, cast;
    for (const auto& name : t.directors) directors.push_back(name);
    for (std::size_t i = 0; i < t.cast.size() && i < 3; ++i)
      cast.push_back(catalogue_.person(t.cast[i].personId)->fullname);
    return Array{Dictionary{{"title", "Режиссёр"}, {"items", std::move(directors)}},
                 Dictionary{{"title", "В ролях"}, {"items", std::move(cast)}},
                 Dictionary{{"title", "Страна"}, {"items", t.country}},
                 Dictionary{{"title", "Год"}, {"items", t.year}}};
  }

  Value actors(const Title& t) const {
    Array out;
    for (const CastEntry& entry : t.cast) {
      const Person& p = *catalogue_.person(entry.personId);
      out.push_back(Dictionary{{"id", p.id},
                               {"fullname", p.fullname},
                               {"description", entry.role},
                               {"photo_76x101", image("person", p.id + "_76x101.png")}});
    }
    return out;
  }

  // An episode as its series lists it.
  Value episodeEntry(const Title& series, const Episode& e) const {
    return Dictionary{{"id", e.id},
                      {"title", e.title},
                      {"description", e.about},
                      {"image", smallPoster(e.id)},
                      {"url", titleUrl(e.id)},
                      {"category", itemCategory(series)},
                      {"parent_id", series.id},
                      {"genre_id", series.genreId},
                      {"rating", e.rating},
                      {"share_url", shareUrl(e.id)},
                      {"info", info(series)}};
  }

  ServiceReply getTitle(const std::string& id) const {
    if (id.empty()) return failure(400, "no id");
    if (const Title* t = catalogue_.title(id)) {
      Dictionary record{{"id", t->id},
                        {"title", t->title},
                        {"subtitle", ""},
                        {"description", t->description},
                        {"image", smallPoster(t->id)},
                        {"image_big", bigPoster(t->id)},
                        {"rating", std::stoi(t->rating)},  // the one record that sends its rating as a number
                        {"age_from", t->ageFrom},
                        {"parent_id", ""},
                        {"rubric_name", catalogue_.category(t->categoryId)->title},
                        {"genre_name", t->genreName},
                        {"share_url", shareUrl(t->id)},
                        {"actors", actors(*t)},
                        {"info", info(*t)}};
      if (t->isSeries() && !t->episodes.empty()) {
        // Newest first: the client shows the list reversed and plays the last entry first.
        Array items;
        for (auto e = t->episodes.rbegin(); e != t->episodes.rend(); ++e)
          items.push_back(episodeEntry(*t, *e));
        record.set("items", std::move(items));
        record.set("url", video(t->episodes.front().id));
      } else {
        record.set("url", video(t->id));
      }
      if (t->noCast) record.remove("actors");
      if (t->noBigImage) record.set("image_big", "");
      if (t->adv)
        record.set("adv", Dictionary{{"stream", video(t->adv->clip)},
                                     {"click_url", base_ + "/promo/" + t->adv->advertiser},
                                     {"counter", base_ + "/counter/adv/" + t->adv->advertiser}});
      return json(Value(std::move(record)));
    }
    auto [series, e] = catalogue_.episode(id);
    if (!e) return failure(404, "unknown title");
    // Every third episode leaves its facts to the series, as some real records do.
    bool sparse = e->number % 3 == 0;
    return json(
        Value(Dictionary{{"id", e->id},
                         {"title", series->title},
                         {"subtitle", e->title},
                         {"description", e->about},
                         {"image", smallPoster(e->id)},
                         {"image_big", bigPoster(e->id)},
                         {"rating", std::stoi(e->rating)},
                         {"url", video(e->id)},
                         {"age_from", sparse ? "" : series->ageFrom},
                         {"parent_id", series->id},
                         {"rubric_name", sparse ? "" : catalogue_.category(series->categoryId)->title},
                         {"genre_name", sparse ? "" : series->genreName},
                         {"share_url", shareUrl(e->id)},
                         {"actors", actors(*series)},
                         {"info", info(*series)}}));
  }

  ServiceReply getRelated() const {
    const Title* t = catalogue_.title(param(request_, "title_id"));
    if (!t) return failure(404, "unknown title");
    Array items;
    for (const Title& other : catalogue_.titles()) {
      if (items.size() >= 10) break;
      if (&other == t || other.categoryId != t->categoryId || other.genreId != t->genreId) continue;
      items.push_back(Dictionary{{"id", listId(other)},
                                 {"title", other.title},
                                 {"description", tileDescription(other)},
                                 {"image", smallPoster(other.id)},
                                 {"url", titleUrl(other.id)},
                                 {"category", itemCategory(other)},
                                 {"parent_id", ""},
                                 {"genre_id", other.genreId},
                                 {"rating", other.rating}});
    }
    return json(Value(Dictionary{{"rating", t->rating}, {"items", std::move(items)}}));
  }

  ServiceReply getPerson() const {
    const Person* p = catalogue_.person(param(request_, "person_id"));
    if (!p) return failure(404, "unknown person");
    Dictionary record{{"id", p->id}, {"fullname", p->fullname}};
    if (!p->noPhoto) record.set("photo_240x320", image("person", p->id + "_240x320.png"));
    auto optional = [&](const char* key, const std::optional<std::string>& value) {
      if (value) record.set(key, *value);
    };
    optional("fullname_latin", p->fullnameLatin);
    optional("birthday", p->birthday);
    optional("birth_place", p->birthPlace);
    optional("genres", p->genres);
    optional("description", p->description);
    optional("biography", p->biography);
    Array titles;
    for (const Title* t : catalogue_.titlesOfPerson(p->id))
      titles.push_back(Dictionary{{"ID", t->id},
                                  {"name", t->title},
                                  {"genre", t->genreName},
                                  {"screenshot", image("screenshot", t->id + ".jpg")},
                                  {"rating", t->rating}});
    record.set("titles", std::move(titles));
    return json(Value(std::move(record)));
  }

  ServiceReply getSearch() const {
    std::string query = ns::lowercaseString(ns::trimWhitespaceAndNewlines(param(request_, "q")));
    int limit = intParam(request_, "limit", 50, 0, 100);
    std::vector<const Title*> found;
    if (!query.empty())
      for (const Title& t : catalogue_.titles())
        if (ns::lowercaseString(t.title).find(query) != std::string::npos) found.push_back(&t);
    sortTitles(found, "popularity", false);
    Array items;
    for (std::size_t i = 0; i < found.size() && items.size() < std::size_t(limit); ++i) {
      const Title& t = *found[i];
      items.push_back(Dictionary{{"id", t.id},
                                 {"title", t.title},
                                 {"description", tileDescription(t)},
                                 {"rating", t.rating},
                                 {"url", titleUrl(t.id)},
                                 {"category", itemCategory(t)},
                                 {"image", t.noImage ? Value::null() : Value(smallPoster(t.id))}});
    }
    std::vector<const Title*> popular;
    for (const Title& t : catalogue_.titles()) popular.push_back(&t);
    sortTitles(popular, "popularity", false);
    Array also;
    for (std::size_t i = 0; i < popular.size() && i < 6; ++i) {
      const Title& t = *popular[i];
      also.push_back(Dictionary{{"id", t.id},
                                {"title", t.title},
                                {"description", tileDescription(t)},
                                {"rating", t.rating},
                                {"url", titleUrl(t.id)},
                                {"image", smallPoster(t.id)}});
    }
    return json(Value(
        Dictionary{{"items", std::move(items)}, {"also", Array{Dictionary{{"items", std::move(also)}}}}}));
  }

  const Catalogue& catalogue_;
  const ServiceRequest& request_;
  std::string base_;
};

// "/images/<kind>/<id>[_<W>x<H>].<ext>": the picture of a catalogue item.
ServiceReply imageReply(const Catalogue& catalogue, ImageCache& cache, const std::string& path) {
  auto slash = path.find('/', 8);
  if (slash == std::string::npos) return notFound();
  std::string kind = path.substr(8, slash - 8), file = path.substr(slash + 1);
  auto dot = file.rfind('.');
  if (dot == std::string::npos) return notFound();
  std::string ext = file.substr(dot + 1), stem = file.substr(0, dot);
  ImageRequest request;
  request.format = ext == "png" ? ImageFormat::png : ImageFormat::jpeg;
  if (ext != "png" && ext != "jpg") return notFound();

  static const std::map<std::string, PictureSize> defaults{
      {"poster", kPosterSize}, {"poster_big", kBigPosterSize}, {"slider", {1000, 424}},
      {"promo", {1000, 424}},  {"person", {240, 320}},         {"screenshot", {320, 180}}};
  auto size = defaults.find(kind);
  if (size == defaults.end()) return notFound();
  request.width = size->second.width;
  request.height = size->second.height;
  std::string id = stem;
  if (auto underscore = stem.find('_'); underscore != std::string::npos) {
    id = stem.substr(0, underscore);
    if (!parseSize(stem.substr(underscore + 1), request.width, request.height)) return notFound();
  }
  request.seed = kind + id;
  // Captions stay clear of what covers the foot of a picture: the big tiles' caption bar, the
  // phone slider's panel. The title header shows a big poster's middle, below its top seventh, with
  // the play button at its centre.
  if (kind == "slider" || kind == "promo") request.captionTop = 0.08;
  if (kind == "poster_big") {
    request.captionTop = 0.15;
    request.captionSize = 1.0 / 11;
  }
  if (kind == "slider") {
    auto it = std::find_if(catalogue.posters().begin(), catalogue.posters().end(),
                           [&](const PosterEntry& e) { return e.promo.empty() && e.titleId == id; });
    if (it != catalogue.posters().end()) request.ground = it->backgroundColor;
  }
  if (kind == "person") {
    const Person* p = catalogue.person(id);
    if (!p) return notFound();
    request.caption = p->fullname;
  } else if (kind == "promo") {
    auto it = std::find_if(catalogue.posters().begin(), catalogue.posters().end(),
                           [&](const PosterEntry& e) { return !id.empty() && e.promo == id; });
    if (it == catalogue.posters().end()) return notFound();
    request.caption = it->promoTitle;
    request.ground = it->backgroundColor;
  } else if (const Title* t = catalogue.title(id)) {
    request.caption = t->title;
  } else if (auto [series, e] = catalogue.episode(id); e) {
    request.caption = series->title + ". " + e->title;
  } else {
    return notFound();
  }
  auto bytes = cache.get(request);
  if (!bytes) return failure(500, "cannot draw the image");
  return {200, request.format == ImageFormat::png ? "image/png" : "image/jpeg", std::move(*bytes)};
}

// The generated clip a video id plays: the programme for every title and episode, the
// advertisement for the advertising clip, and one the platform cannot decode for tests.
std::string clipOf(const Catalogue& catalogue, const std::string& id) {
  if (catalogue.title(id) || catalogue.episode(id).second) return "programme";
  if (std::any_of(catalogue.titles().begin(), catalogue.titles().end(),
                  [&](const Title& t) { return t.adv && t.adv->clip == id; }))
    return "advert";
  if (id == "unsupported") return "unsupported";
  return {};
}

bool isSegmentName(const std::string& file) {
  constexpr std::string_view prefix = "segment", suffix = ".ts";
  if (file.size() <= prefix.size() + suffix.size() || file.compare(0, prefix.size(), prefix) != 0 ||
      file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0)
    return false;
  return isDigits(file.substr(prefix.size(), file.size() - prefix.size() - suffix.size()));
}

// "/video/<id>/" followed by "index.m3u8" (the stream), "live.m3u8" (the same segments as a
// live stream: no end mark), "segment<N>.ts" or "clip.mp4" (the same clip as one file).
ServiceReply videoReply(const Catalogue& catalogue, ClipStore& clips, const std::string& path) {
  auto slash = path.find('/', 7);
  if (slash == std::string::npos) return notFound();
  std::string id = path.substr(7, slash - 7), file = path.substr(slash + 1);
  std::string clip = clipOf(catalogue, id);
  if (clip.empty()) return notFound();
  std::string type;
  std::string stored = file;
  if (file == "index.m3u8" || file == "live.m3u8") {
    type = "application/vnd.apple.mpegurl";
    stored = "index.m3u8";
  } else if (file == "clip.mp4") {
    type = "video/mp4";
  } else if (isSegmentName(file)) {
    type = "video/mp2t";
  } else {
    return notFound();
  }
  auto bytes = clips.file(clip, stored);
  if (!bytes) return notFound();
  if (file == "live.m3u8") {
    std::string live;
    std::istringstream lines(*bytes);
    for (std::string line; std::getline(lines, line);)
      if (line.rfind("#EXT-X-ENDLIST", 0) != 0 && line.rfind("#EXT-X-PLAYLIST-TYPE", 0) != 0)
        live += line + "\n";
    return {200, type, live};
  }
  return {200, type, *bytes};
}

ServiceReply htmlPage(const std::string& heading, const std::string& text) {
  return {200, "text/html; charset=utf-8",
          "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + heading +
              "</title></head><body><h1>" + heading + "</h1><p>" + text + "</p></body></html>\n"};
}

bool startsWith(const std::string& s, std::string_view prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

ServiceReply Replies::answer(const ServiceRequest& request) {
  const std::string& path = request.path;
  if (path == "/api/mobile" || path == "/api/mobile.pl") {
    std::string method = param(request, "method");
    Builder builder(catalogue_, request);
    // The one method that lives under the other path.
    if (method == "get_category_titles")
      return path == "/api/mobile.pl" ? builder.categoryTitles() : failure(404, "unknown method");
    if (path == "/api/mobile.pl") return failure(404, "unknown method");
    for (const char* key : {"category_id", "title_id", "episode_id", "person_id"})
      if (request.params.count(key) && !isDigits(param(request, key)))
        return failure(400, std::string("bad ") + key);
    return builder.api(method);
  }
  if (startsWith(path, "/images/")) return imageReply(catalogue_, images_, path);
  if (startsWith(path, "/video/")) return videoReply(catalogue_, clips_, path);
  if (startsWith(path, "/counter/")) return {200, "text/plain", "ok\n"};
  if (startsWith(path, "/promo/")) {
    for (const PosterEntry& p : catalogue_.posters())
      if (!p.promo.empty() && path == "/promo/" + p.promo) return htmlPage(p.promoTitle, p.promoAbout);
    for (const Title& t : catalogue_.titles())
      if (t.adv && path == "/promo/" + t.adv->advertiser)
        return htmlPage("Рекламодатель", "Страница рекламодателя.");
    return notFound();
  }
  if (startsWith(path, "/title/")) {
    std::string id = path.substr(7);
    if (const Title* t = catalogue_.title(id)) return htmlPage(t->title, t->about);
    if (auto [series, e] = catalogue_.episode(id); e)
      return htmlPage(series->title + ". " + e->title, e->about);
    return notFound();
  }
  return notFound();
}

}  // namespace sampleservice
