#include "SampleCatalogue.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "Foundation/JSONSerialization.h"

namespace sampleservice {

namespace {

ns::Value readFile(const std::string& folder, const std::string& name) {
  std::string path = folder + "/" + name;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  ns::ErrorPtr error;
  ns::Value value = ns::JSONSerialization::JSONObjectWithString(bytes.str(), &error);
  if (value.isNil())
    throw std::runtime_error(path + ": " + (error ? error->describe() : std::string("unreadable")));
  if (!value.isArray()) throw std::runtime_error(path + ": expected an array");
  return value;
}

// Reads one required text field; the files are ours, so a missing one is a fault worth stopping for.
std::string text(const ns::Value& record, const char* key, const std::string& file) {
  const std::string* s = record[key].asString();
  if (!s) throw std::runtime_error(file + ": a record lacks the text \"" + key + "\"");
  return *s;
}

std::optional<std::string> optionalText(const ns::Value& record, const char* key) {
  const std::string* s = record[key].asString();
  return s ? std::optional<std::string>(*s) : std::nullopt;
}

template <class Index, class Position>
void addUnique(Index& index, const std::string& id, Position position, const std::string& file) {
  if (!index.emplace(id, position).second) throw std::runtime_error(file + ": duplicate id " + id);
}

}  // namespace

Catalogue Catalogue::load(const std::string& folder) {
  Catalogue c;
  ns::Value categories = readFile(folder, "categories.json");
  for (std::size_t i = 0; i < categories.count(); ++i) {
    const ns::Value& r = categories.at(i);
    Category category{text(r, "id", "categories.json"),
                      text(r, "title", "categories.json"),
                      text(r, "item_category", "categories.json"),
                      {}};
    if (r["reply_groups"].isInteger()) category.replyGroups = r["reply_groups"].intValue();
    const ns::Value& genres = r["genres"];
    for (std::size_t g = 0; g < genres.count(); ++g)
      category.genres.push_back(
          {text(genres.at(g), "id", "categories.json"), text(genres.at(g), "title", "categories.json")});
    addUnique(c.categoryIndex_, category.id, c.categories_.size(), "categories.json");
    c.categories_.push_back(std::move(category));
  }

  ns::Value persons = readFile(folder, "persons.json");
  for (std::size_t i = 0; i < persons.count(); ++i) {
    const ns::Value& r = persons.at(i);
    Person p{text(r, "id", "persons.json"),     text(r, "fullname", "persons.json"),
             optionalText(r, "fullname_latin"), optionalText(r, "birthday"),
             optionalText(r, "birth_place"),    optionalText(r, "genres"),
             optionalText(r, "description"),    optionalText(r, "biography")};
    p.noPhoto = r["no_photo"].boolValue();
    addUnique(c.personIndex_, p.id, c.persons_.size(), "persons.json");
    c.persons_.push_back(std::move(p));
  }

  const std::string file = "titles.json";
  ns::Value titles = readFile(folder, file);
  for (std::size_t i = 0; i < titles.count(); ++i) {
    const ns::Value& r = titles.at(i);
    Title t;
    t.id = text(r, "id", file);
    t.categoryId = text(r, "category_id", file);
    if (!c.category(t.categoryId))
      throw std::runtime_error(file + ": title " + t.id + " has an unknown category");
    t.kind = text(r, "kind", file);
    t.title = text(r, "title", file);
    t.about = text(r, "about", file);
    t.description = text(r, "description", file);
    t.genreId = text(r, "genre_id", file);
    t.genreName = text(r, "genre_name", file);
    t.year = text(r, "year", file);
    t.country = text(r, "country", file);
    t.rating = text(r, "rating", file);
    t.ageFrom = text(r, "age_from", file);
    t.added = text(r, "added", file);
    t.popularity = static_cast<long>(r["popularity"].longLongValue());
    t.noImage = r["no_image"].boolValue();
    t.numericId = r["numeric_id"].boolValue();
    t.noCast = r["no_cast"].boolValue();
    t.noBigImage = r["no_big_image"].boolValue();
    for (std::size_t d = 0; d < r["directors"].count(); ++d)
      if (const std::string* name = r["directors"].at(d).asString()) t.directors.push_back(*name);
    for (std::size_t k = 0; k < r["cast"].count(); ++k) {
      CastEntry entry{text(r["cast"].at(k), "person", file), text(r["cast"].at(k), "role", file)};
      if (!c.person(entry.personId))
        throw std::runtime_error(file + ": title " + t.id + " names an unknown person " + entry.personId);
      t.cast.push_back(std::move(entry));
    }
    for (std::size_t e = 0; e < r["episodes"].count(); ++e) {
      const ns::Value& er = r["episodes"].at(e);
      t.episodes.push_back({text(er, "id", file), text(er, "title", file), text(er, "about", file),
                            text(er, "rating", file), er["number"].intValue()});
      addUnique(c.episodeIndex_, t.episodes.back().id, std::make_pair(c.titles_.size(), e), file);
    }
    if (r["adv"].isDictionary())
      t.adv = Advert{text(r["adv"], "clip", file), text(r["adv"], "advertiser", file)};
    addUnique(c.titleIndex_, t.id, c.titles_.size(), file);
    c.titles_.push_back(std::move(t));
  }
  for (const auto& [id, where] : c.episodeIndex_)
    if (c.titleIndex_.count(id))
      throw std::runtime_error(file + ": episode id " + id + " is also a title id");

  ns::Value posters = readFile(folder, "posters.json");
  for (std::size_t i = 0; i < posters.count(); ++i) {
    const ns::Value& r = posters.at(i);
    PosterEntry p;
    p.backgroundColor = text(r, "background_color", "posters.json");
    if (const ns::Value& link = r["foreign_link"]; link.isDictionary()) {
      p.promo = text(link, "promo", "posters.json");
      p.promoTitle = text(link, "title", "posters.json");
      p.promoAbout = text(link, "about", "posters.json");
    } else {
      p.titleId = text(r, "title_id", "posters.json");
      if (!c.title(p.titleId)) throw std::runtime_error("posters.json: unknown title " + p.titleId);
    }
    c.posters_.push_back(std::move(p));
  }
  return c;
}

const Category* Catalogue::category(const std::string& id) const {
  auto it = categoryIndex_.find(id);
  return it == categoryIndex_.end() ? nullptr : &categories_[it->second];
}

const Title* Catalogue::title(const std::string& id) const {
  auto it = titleIndex_.find(id);
  return it == titleIndex_.end() ? nullptr : &titles_[it->second];
}

std::pair<const Title*, const Episode*> Catalogue::episode(const std::string& id) const {
  auto it = episodeIndex_.find(id);
  if (it == episodeIndex_.end()) return {nullptr, nullptr};
  const Title& series = titles_[it->second.first];
  return {&series, &series.episodes[it->second.second]};
}

const Person* Catalogue::person(const std::string& id) const {
  auto it = personIndex_.find(id);
  return it == personIndex_.end() ? nullptr : &persons_[it->second];
}

std::vector<const Title*> Catalogue::titlesOfPerson(const std::string& personId) const {
  std::vector<const Title*> out;
  const Person* p = person(personId);
  if (!p) return out;
  // Titles name their directors by full name, their cast by id.
  for (const Title& t : titles_) {
    bool cast = std::any_of(t.cast.begin(), t.cast.end(),
                            [&](const CastEntry& entry) { return entry.personId == personId; });
    if (cast || std::find(t.directors.begin(), t.directors.end(), p->fullname) != t.directors.end())
      out.push_back(&t);
  }
  return out;
}

std::string defaultDataFolder() { return SAMPLE_SERVICE_DATA_DIR; }

}  // namespace sampleservice
